#pragma once
// An uninstall entry of the current user for a program whose folder holds
// files but whose size is not recorded, so that a read queues the folder for
// a measurement; removed again with the object.
#include "platform/Format.h"
#include "platform/Registry.h"
#include "tests/platform/ScratchKit.h"

#include <string>

namespace velmora::testing {

class TUnsizedProgram {
public:
    TUnsizedProgram(std::wstring name, int files)
        : FName(std::move(name)), FKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + FName),
          FFolder(FName) {
        for (int i = 0; i < files; ++i)
            FFolder.File(Format(L"file%d.dat", i), std::string(1000, 'x'));
        auto key = TRegKey::Create(HKEY_CURRENT_USER, FKey, KEY_ALL_ACCESS);
        key.WriteString(L"DisplayName", FName);
        key.WriteString(L"InstallLocation", FFolder.Path.wstring());
        key.WriteString(L"UninstallString", L"C:\\Windows\\notepad.exe");
    }
    ~TUnsizedProgram() { DeleteKey(HKEY_CURRENT_USER, FKey); }
    TUnsizedProgram(const TUnsizedProgram&) = delete;
    TUnsizedProgram& operator=(const TUnsizedProgram&) = delete;

    const std::wstring& Name() const { return FName; }
    // The measured size, written back by a worker of the job queue.
    bool Measured() const {
        return TRegKey::Open(HKEY_CURRENT_USER, FKey).ReadNumber(L"EstimatedSize").has_value();
    }

private:
    std::wstring FName, FKey;
    TTempFolder FFolder;
};

} // namespace velmora::testing
