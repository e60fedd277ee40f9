#pragma once
// Registry keys and files of the Windows tests: unique names, removed afterwards.
#include "platform/ChildProcess.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/Registry.h"
#include "tests/platform/ScratchKit.h"

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>

namespace velmora::testing {

// A key path below Software\VelmoraTests that no other test uses.
inline std::wstring UniqueTestKey(std::wstring_view stem) {
    return L"Software\\VelmoraTests\\" + UniqueName(stem);
}

// A unique key below the machine's Software\VelmoraTests, made in either
// registry view and deleted from both afterwards.
class TMachineTestKey {
public:
    explicit TMachineTestKey(std::wstring_view stem) : Path(UniqueTestKey(stem)) {}
    ~TMachineTestKey() {
        DeleteKey(TRegRoot::LocalMachine, Path, TRegView::x64);
        DeleteKey(TRegRoot::LocalMachine, Path, TRegView::x32);
    }
    TMachineTestKey(const TMachineTestKey&) = delete;
    TMachineTestKey& operator=(const TMachineTestKey&) = delete;

    // The key, or a subkey of it, in the view.
    TRegKey Create(TRegView view, std::wstring_view subKey = {}) const {
        std::wstring path = subKey.empty() ? Path : Path + L"\\" + std::wstring(subKey);
        return TRegKey::CreateOrThrow(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE, view);
    }

    const std::wstring Path;
};

// A new folder in the temporary folder, removed with what is left in it.
class TScratchFolder {
public:
    explicit TScratchFolder(std::wstring_view stem) : FFolder(stem), FPath(FFolder.Path.wstring() + L"\\") {}
    // The folder with a trailing "\".
    const std::wstring& Path() const { return FPath; }
    // Writes a file of `size` bytes into the folder; answers its full path.
    std::wstring WriteFile(std::wstring_view name, size_t size = 16) const {
        return FFolder.File(name, std::string(size, 'x'));
    }

private:
    const TTempFolder FFolder;
    const std::wstring FPath;
};

// A demand-start service registered for the test, deleted afterwards.
class TTestService {
public:
    explicit TTestService(const std::wstring& path);
    ~TTestService() { Delete(); }
    TTestService(const TTestService&) = delete;
    TTestService& operator=(const TTestService&) = delete;

    const std::wstring& Name() const { return FName; }
    bool Exists() const;
    void Delete() const;

private:
    std::wstring FName;
};

// A copy of the waiting console double beside the test, started from a
// folder; ended afterwards if it still runs.
class TWaitingProgram {
public:
    explicit TWaitingProgram(const std::wstring& folder);
    ~TWaitingProgram();
    TWaitingProgram(const TWaitingProgram&) = delete;
    TWaitingProgram& operator=(const TWaitingProgram&) = delete;

    // The copy that runs.
    const std::wstring& Program() const { return FProgram; }
    bool Started() const { return FChild.has_value(); }
    bool EndsWithin(DWORD milliseconds) const {
        return WaitForSingleObject(FChild->Process.get(), milliseconds) == WAIT_OBJECT_0;
    }

private:
    std::wstring FProgram;
    std::optional<TChildProcess> FChild;
};

} // namespace velmora::testing
