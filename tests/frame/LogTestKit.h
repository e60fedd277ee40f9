#pragma once
// Helpers for the log tests: a scratch folder the logs write to, and reading
// a log file back as lines.
#include "platform/Format.h"
#include "platform/LogDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

inline std::wstring PathText(const fs::path& path) {
    return path.wstring();
}

// Lines of a UTF-8 log file, without their line breaks.
inline std::vector<std::wstring> ReadLines(const fs::path& file, std::streamoff from = 0) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    in.seekg(from);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(Widen(line));
        start = end + 1;
    }
    return lines;
}

// The parts of a record "yyyy.mm.dd hh:nn:ss.zzz [  thread] LEVEL prefix text".
struct TRecord {
    std::wstring Time, Thread, Level, Rest; // Rest: prefix and text
};
inline TRecord ParseRecord(const std::wstring& line) {
    TRecord r;
    size_t open = line.find(L" [");
    size_t close = line.find(L"] ");
    if (open == std::wstring::npos || close == std::wstring::npos || close + 8 > line.size())
        return r;
    r.Time = line.substr(0, open);
    r.Thread = line.substr(open + 2, close - open - 2);
    r.Level = line.substr(close + 2, 5);
    r.Rest = line.substr(close + 8);
    return r;
}
// The text of a record after a prefix of prefixLength characters.
inline std::wstring RecordText(const std::wstring& line, size_t prefixLength) {
    std::wstring rest = ParseRecord(line).Rest;
    return rest.size() >= prefixLength ? rest.substr(prefixLength) : std::wstring();
}

// Every log opened during a test writes into a fresh folder.
class LogFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() / fs::path(UniqueName(L"velmora-logs"));
        fs::create_directories(Folder);
        SetLogDirectory(PathText(Folder));
    }
    void TearDown() override {
        SetLogDirectory(L"");
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    fs::path LogPath(const std::wstring& name) const { return Folder / fs::path(name + L".log"); }

    fs::path Folder;
};

} // namespace velmora::testing
