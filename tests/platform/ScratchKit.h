#pragma once
// Names no other test or run uses, and scratch folders removed afterwards.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace velmora::testing {

// The stem followed by a number unique to this run and this call (keys, folders, files).
inline std::wstring UniqueName(std::wstring_view stem) {
    static std::atomic<int> counter{0};
    static const unsigned seed = std::random_device{}();
    return std::wstring(stem) + L"-" + std::to_wstring(seed) + L"-" + std::to_wstring(++counter);
}

// A new folder, by default in the temporary folder, removed with its content.
class TTempFolder {
public:
    explicit TTempFolder(std::wstring_view stem,
                         const std::filesystem::path& parent = std::filesystem::temp_directory_path())
        : Path(parent / UniqueName(stem)) {
        std::filesystem::create_directories(Path);
    }
    ~TTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    // Writes a file into the folder; answers its full path.
    std::wstring File(std::wstring_view name, std::string_view content = "x") const {
        auto file = Path / name;
        std::ofstream(file, std::ios::binary) << content;
        return file.wstring();
    }

    const std::filesystem::path Path;
};

} // namespace velmora::testing
