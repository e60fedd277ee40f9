#include "features/MumFile.h"

#include "platform/PathText.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>

namespace velmora {

namespace {

std::vector<std::wstring_view> Split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring_view> parts;
    for (;;) {
        size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::wstring_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

// A whole signed 32-bit decimal number.
std::optional<int32_t> ParseInt(std::wstring_view text) {
    if (text.empty() || text.size() > 11)
        return std::nullopt;
    std::string narrow;
    for (wchar_t c : text) {
        if (c > 0x7F)
            return std::nullopt;
        narrow += static_cast<char>(c);
    }
    int32_t value = 0;
    auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    if (error != std::errc() || end != narrow.data() + narrow.size())
        return std::nullopt;
    return value;
}

// "7601.17514" style revisions may carry a bracketed number: "0(17514)".
int32_t ParseRevision(std::wstring_view text) {
    if (auto value = ParseInt(text))
        return *value;
    size_t open = text.find(L'(');
    if (open == std::wstring_view::npos)
        return 0;
    size_t close = text.find(L')', open);
    if (close == std::wstring_view::npos)
        return 0;
    return ParseInt(text.substr(open + 1, close - open - 1)).value_or(0);
}

} // namespace

std::optional<TMumFile> TMumFile::FromPath(std::wstring path) {
    TMumFile file;
    file.FFileName = std::move(path);
    std::vector<std::wstring_view> parts;
    std::wstring name = file.KeyName();
    parts = Split(name, L'~');
    if (parts.size() != 5)
        return file;
    file.FPackage = parts[0];
    file.FHash = parts[1];
    file.FArchitecture = parts[2];
    file.FLocale = parts[3];
    std::vector<std::wstring_view> version = Split(parts[4], L'.');
    if (version.size() != 4)
        return file;
    auto major = ParseInt(version[0]), minor = ParseInt(version[1]), build = ParseInt(version[2]);
    if (!major || !minor || !build)
        return std::nullopt;
    file.FVersion = {*major, *minor, *build, ParseRevision(version[3])};
    return file;
}

std::wstring TMumFile::KeyName() const {
    std::wstring name(ExtractFileName(FFileName));
    if (EndsWithText(name, L".mum"))
        name.resize(name.size() - 4);
    return name;
}

bool TMumFile::SameName(const TMumFile& other) const {
    return SameText(FPackage, other.FPackage) && SameText(FHash, other.FHash) &&
           SameText(FLocale, other.FLocale) && SameText(FArchitecture, other.FArchitecture);
}

std::vector<TMumFile> KeepNewest(std::vector<TMumFile> files) {
    std::vector<TMumFile> kept;
    for (const TMumFile& file : files) {
        bool newer = std::any_of(files.begin(), files.end(), [&](const TMumFile& other) {
            return other.SameName(file) && other.FVersion > file.FVersion;
        });
        if (!newer)
            kept.push_back(file);
    }
    return kept;
}

std::map<std::wstring, bool> ParseFeatureTable(std::wstring_view output) {
    static constexpr std::wstring_view States[] = {L"Enabled", L"Disabled", L"Enable Pending",
                                                   L"Disable Pending"};
    std::map<std::wstring, bool> table;
    for (const std::wstring& line : SplitLines(output)) {
        size_t bar = line.find(L'|');
        if (bar == std::wstring::npos || bar == 0)
            continue;
        std::wstring_view state = std::wstring_view(line).substr(bar + 1);
        if (std::none_of(std::begin(States), std::end(States),
                         [&](std::wstring_view s) { return state.find(s) != std::wstring_view::npos; }))
            continue;
        table[std::wstring(Trim(std::wstring_view(line).substr(0, bar)))] =
            state.find(L"Enabled") != std::wstring_view::npos;
    }
    return table;
}

bool UpdateEnabled(std::optional<int32_t> entry, bool defaultEnabled,
                   const std::function<bool()>& parentEnabled) {
    if (entry && (*entry == -16 || *entry == 255))
        return defaultEnabled && parentEnabled();
    return entry && (*entry == 1 || *entry == 6);
}

} // namespace velmora
