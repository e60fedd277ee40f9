#pragma once
// Registry keys and files of the Windows tests: unique names, removed afterwards.
#include "platform/Format.h"
#include "platform/Registry.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace velmora::testing {

// A key path below Software\VelmoraTests that no other test uses.
inline std::wstring UniqueTestKey(std::wstring_view stem) {
    static std::atomic<int> count{0};
    return Format(L"Software\\VelmoraTests\\%s-%d-%d-%d", stem, static_cast<int>(GetCurrentProcessId()),
                  static_cast<int>(GetTickCount()), ++count);
}

// A new folder in the temporary folder, removed with what is left in it.
class TScratchFolder {
public:
    explicit TScratchFolder(std::wstring_view stem);
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    // The folder with a trailing "\".
    const std::wstring& Path() const { return FPath; }
    // Writes a file of `size` bytes into the folder; answers its full path.
    std::wstring WriteFile(std::wstring_view name, size_t size = 16) const;

private:
    std::wstring FPath;
};

} // namespace velmora::testing
