#pragma once
// A scratch log folder, and log files read back as lines.
#include "frame/DebugLog.h"
#include "platform/LogDirectory.h"
#include "tests/platform/ScratchKit.h"
#include "tests/TestBase.h"

namespace velmora::testing {

namespace fs = std::filesystem;

// A new temporary folder made the log directory while the object lives.
struct TScratchLogFolder {
    explicit TScratchLogFolder(std::wstring_view stem) : Temp(stem) { SetLogDirectory(Folder.wstring()); }
    ~TScratchLogFolder() { SetLogDirectory(L""); }
    const TTempFolder Temp;
    const fs::path& Folder = Temp.Path;
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

// The texts of records "yyyy.mm.dd hh:nn:ss.zzz [  thread] LEVEL prefix text" after a prefix of
// prefixLength characters, from byte offset `from`.
inline std::vector<std::wstring> RecordTexts(const fs::path& file, size_t prefixLength = 31,
                                             std::streamoff from = 0) {
    std::vector<std::wstring> texts;
    for (auto& line : ReadLines(file, from)) {
        size_t close = line.find(L"] ");
        std::wstring body = close == std::wstring::npos ? std::wstring() : line.substr(close + 2);
        texts.push_back(body.size() >= prefixLength + 6 ? body.substr(prefixLength + 6) : std::wstring());
    }
    return texts;
}

inline std::streamoff StatisticsFileEnd() {
    std::error_code error;
    auto size = fs::file_size(StatisticsLog::Instance().FileName(), error);
    return error ? 0 : static_cast<std::streamoff>(size);
}
// Texts of the statistics records written since the file had the size `from`.
inline std::vector<std::wstring> StatisticsTextsSince(std::streamoff from) {
    return RecordTexts(StatisticsLog::Instance().FileName(), StatisticsLog::Instance().ModuleName().size(),
                       from);
}

class DebugLogTest : public ::testing::Test {
protected:
    fs::path LogPath(const std::wstring& name) const { return Folder / fs::path(name + L".log"); }

    TScratchLogFolder Scratch{L"velmora-logs"};
    const fs::path& Folder = Scratch.Folder;
};

} // namespace velmora::testing
