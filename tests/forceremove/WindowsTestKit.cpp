#include "WindowsTestKit.h"

#include <filesystem>
#include <fstream>

namespace velmora::testing {

namespace fs = std::filesystem;

TScratchFolder::TScratchFolder(std::wstring_view stem) {
    static std::atomic<int> count{0};
    fs::path folder = fs::temp_directory_path() /
                      Format(L"%s-%d-%d", stem, static_cast<int>(GetCurrentProcessId()), ++count);
    fs::create_directories(folder);
    FPath = folder.wstring() + L"\\";
}

TScratchFolder::~TScratchFolder() {
    std::error_code ignored;
    fs::remove_all(FPath, ignored);
}

std::wstring TScratchFolder::WriteFile(std::wstring_view name, size_t size) const {
    std::wstring path = FPath + std::wstring(name);
    std::ofstream(fs::path(path), std::ios::binary) << std::string(size, 'x');
    return path;
}

} // namespace velmora::testing
