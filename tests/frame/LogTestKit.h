#pragma once
// A scratch log folder per test, and log files read back as lines.
#include "platform/Format.h"
#include "platform/LogDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace velmora::testing {

namespace fs = std::filesystem;

inline std::wstring UniqueName(std::wstring_view stem) {
    static std::atomic<int> counter{0};
    static const unsigned seed = std::random_device{}();
    return std::wstring(stem) + L"-" + std::to_wstring(seed) + L"-" + std::to_wstring(++counter);
}

// Lines of a UTF-8 log file from byte offset `from`, without their line breaks.
inline std::vector<std::wstring> ReadLines(const fs::path& file, std::streamoff from = 0) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(from);
    std::vector<std::wstring> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(Widen(line));
    }
    return lines;
}

// The parts of a record "yyyy.mm.dd hh:nn:ss.zzz [  thread] LEVEL prefix text".
struct TRecord {
    std::wstring Thread, Level, Rest; // Rest: prefix and text
};
inline TRecord ParseRecord(const std::wstring& line) {
    size_t open = line.find(L" ["), close = line.find(L"] ");
    if (open == std::wstring::npos || close == std::wstring::npos || close + 8 > line.size())
        return {};
    return {line.substr(open + 2, close - open - 2), line.substr(close + 2, 5), line.substr(close + 8)};
}
// The text of a record after a prefix of prefixLength characters.
inline std::wstring RecordText(const std::wstring& line, size_t prefixLength = 31) {
    std::wstring rest = ParseRecord(line).Rest;
    return rest.size() >= prefixLength ? rest.substr(prefixLength) : std::wstring();
}

class LogFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() / fs::path(UniqueName(L"velmora-logs"));
        fs::create_directories(Folder);
        SetLogDirectory(Folder.wstring());
    }
    void TearDown() override {
        SetLogDirectory(L"");
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    fs::path LogPath(const std::wstring& name) const { return Folder / fs::path(name + L".log"); }
    std::vector<std::wstring> Texts(const std::wstring& name) const {
        std::vector<std::wstring> texts;
        for (auto& line : ReadLines(LogPath(name)))
            texts.push_back(RecordText(line));
        return texts;
    }

    fs::path Folder;
};

} // namespace velmora::testing
