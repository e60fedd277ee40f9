#include "features/SysOCIniFile.h"

#include "frame/DebugLog.h"
#include "platform/Format.h"
#include "platform/Text.h"

namespace velmora {

namespace {

std::wstring_view LineContent(std::wstring_view line) {
    size_t comment = line.find(L';');
    return comment == line.npos ? line : Trim(line.substr(0, comment));
}

bool IsSectionHeader(std::wstring_view content) {
    return content.size() > 1 && content.front() == L'[' && content.back() == L']';
}

// Key and value of a line's content: split at "=" only when that gives
// exactly two parts.
std::pair<std::wstring_view, std::wstring_view> KeyAndValue(std::wstring_view content) {
    size_t equals = content.find(L'=');
    if (equals == content.npos || content.find(L'=', equals + 1) != content.npos)
        return {Trim(content), {}};
    return {Trim(content.substr(0, equals)), Trim(content.substr(equals + 1))};
}

std::wstring Utf16LeText(std::string_view bytes) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                       static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return text;
}

} // namespace

bool TSysOCIniFile::Refused(const std::wstring& fileName, uint64_t size) {
    if (size <= MaxFileSize)
        return false;
    DebugLog().WriteLogF(TLogLevel::llWarning,
                         L"Setup information file %s refused: %d bytes, more than the %d read", fileName,
                         static_cast<int64_t>(size), static_cast<int64_t>(MaxFileSize));
    return true;
}

TSysOCIniFile::TSysOCIniFile(std::wstring_view text) : FStrings(SplitLines(text)) {}

TSysOCIniFile TSysOCIniFile::FromBytes(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE"))
        return TSysOCIniFile(Utf16LeText(bytes.substr(2)));
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return TSysOCIniFile(Widen(bytes.substr(3)));
    return TSysOCIniFile(AnsiText(bytes));
}

template <class Visit> void TSysOCIniFile::ForEachLine(std::wstring_view section, Visit visit) const {
    bool inSection = false;
    for (const std::wstring& line : FStrings) {
        std::wstring_view content = LineContent(line);
        if (IsSectionHeader(content)) {
            inSection = SameText(content.substr(1, content.size() - 2), section);
            continue;
        }
        if (!inSection || content.empty())
            continue;
        auto [key, value] = KeyAndValue(content);
        if (!visit(key, value))
            return;
    }
}

void TSysOCIniFile::ReadSection(std::wstring_view section, std::vector<std::wstring>& keys) const {
    ForEachLine(section, [&](std::wstring_view key, std::wstring_view) {
        keys.emplace_back(key);
        return true;
    });
}

std::wstring TSysOCIniFile::ReadString(std::wstring_view section, std::wstring_view name,
                                       std::wstring_view defaultValue) const {
    std::wstring result(defaultValue);
    ForEachLine(section, [&](std::wstring_view key, std::wstring_view value) {
        if (!SameText(key, name))
            return true;
        result = value;
        return false;
    });
    return result;
}

bool TSysOCIniFile::SectionExists(std::wstring_view section) const {
    bool found = false;
    ForEachLine(section, [&](std::wstring_view, std::wstring_view) {
        found = true;
        return false;
    });
    return found;
}

} // namespace velmora
