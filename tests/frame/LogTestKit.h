#pragma once
// A scratch log folder, and log files read back as lines.
#include "frame/DebugLog.h"
#include "platform/Format.h"
#include "platform/LogDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
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

// A new temporary folder made the log directory while the object lives.
struct TScratchLogFolder {
    explicit TScratchLogFolder(std::wstring_view stem)
        : Folder(fs::temp_directory_path() / fs::path(UniqueName(stem))) {
        fs::create_directories(Folder);
        SetLogDirectory(Folder.wstring());
    }
    ~TScratchLogFolder() {
        SetLogDirectory(L"");
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    const fs::path Folder;
};

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

inline std::streamoff StatisticsFileEnd() {
    std::error_code error;
    auto size = fs::file_size(StatisticsLog::Instance().FileName(), error);
    return error ? 0 : static_cast<std::streamoff>(size);
}
// Texts of the statistics records written since the file had the size `from`.
inline std::vector<std::wstring> StatisticsTextsSince(std::streamoff from) {
    std::vector<std::wstring> texts;
    for (auto& line : ReadLines(StatisticsLog::Instance().FileName(), from))
        texts.push_back(RecordText(line, StatisticsLog::Instance().ModuleName().size()));
    return texts;
}

class LogFolderTest : public ::testing::Test {
protected:
    fs::path LogPath(const std::wstring& name) const { return Folder / fs::path(name + L".log"); }
    std::vector<std::wstring> Texts(const std::wstring& name) const {
        std::vector<std::wstring> texts;
        for (auto& line : ReadLines(LogPath(name)))
            texts.push_back(RecordText(line));
        return texts;
    }

    TScratchLogFolder Scratch{L"velmora-logs"};
    const fs::path& Folder = Scratch.Folder;
};

} // namespace velmora::testing
