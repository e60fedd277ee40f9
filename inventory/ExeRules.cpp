#include "inventory/ExeRules.h"

#include "platform/PathText.h"
#include "platform/Text.h"

#include <array>

namespace velmora {

namespace {

constexpr std::array<std::wstring_view, 7> UninstallerPrefixes = {
    L"unins0", L"uninst.", L"uninst-", L"msiexec.exe", L"setup.", L"uninstall.", L"sptdinst-"};

// Index = rank.
constexpr std::array<std::wstring_view, 15> ExecutableExtensions = {
    L".exe",      L".bat", L".cmd", L".com", L".jar", L".vbs", L".vb", L".vbe",
    L".vbscript", L".ws",  L".wsf", L".hta", L".air", L".msi", L".pl"};

constexpr std::wstring_view RunPathPrefix = L"ueme_runpath:";

bool IsTrailingVersionChar(wchar_t c) {
    return c == L' ' || c == L'-' || c == L'.' || (c >= L'0' && c <= L'9');
}

std::wstring_view TrimSpaces(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ')
        text.remove_suffix(1);
    return text;
}

} // namespace

std::wstring CleanName(std::wstring_view name) {
    std::wstring text(name);
    size_t open = text.find(L'(');
    if (open != std::wstring::npos) {
        size_t close = text.find(L')', open);
        if (close != std::wstring::npos)
            text.erase(open, close - open + 1);
    }
    size_t end = text.size();
    while (end > 0 && IsTrailingVersionChar(text[end - 1]))
        --end;
    if (end > 0)
        text.resize(end);
    return std::wstring(TrimSpaces(text));
}

bool IsUninstaller(std::wstring_view fileName) {
    std::wstring name = LowerCase(ExtractFileName(fileName));
    for (std::wstring_view prefix : UninstallerPrefixes) {
        if (name.starts_with(prefix))
            return true;
    }
    return false;
}

int32_t ExtensionRank(std::wstring_view fileName) {
    std::wstring extension = LowerCase(ExtractFileExt(fileName));
    for (size_t rank = 0; rank < ExecutableExtensions.size(); ++rank) {
        if (extension == ExecutableExtensions[rank])
            return static_cast<int32_t>(rank);
    }
    return NoExtensionRank;
}

std::optional<std::wstring> RunValueExecutable(std::wstring_view value) {
    if (!value.empty() && value.front() == L'"') {
        value.remove_prefix(1);
        size_t close = value.find(L'"');
        if (close != std::wstring_view::npos)
            value = value.substr(0, close);
    }
    std::wstring path = LowerCase(value);
    if (ExtractFileExt(path) != L".exe")
        return std::nullopt;
    return path;
}

std::optional<std::wstring> UsageRecordFile(std::wstring_view valueName, bool encoded,
                                            std::wstring_view desktopFolder) {
    std::wstring name = encoded ? Rot13(valueName) : std::wstring(valueName);
    if (!StartsWithText(name, RunPathPrefix))
        return std::nullopt;
    std::wstring path = name.substr(RunPathPrefix.size());
    std::wstring extension = ExtractFileExt(path);
    if (SameText(extension, L".lnk") && ExtractFilePath(path).empty())
        path = IncludeTrailingBackslash(desktopFolder) + path;
    if (!SameText(extension, L".exe") && !SameText(extension, L".lnk"))
        return std::nullopt;
    return path;
}

std::optional<size_t> ChooseExecutable(std::wstring_view displayName, std::wstring_view installLocation,
                                       size_t count, const std::function<TExeRecord(size_t)>& record) {
    const std::wstring name = LowerCase(CleanName(displayName));
    const std::wstring location = IncludeTrailingBackslash(installLocation);
    std::optional<size_t> best;
    int32_t bestRank = NoExtensionRank;
    for (size_t i = 0; i < count; ++i) {
        const TExeRecord entry = record(i);
        if (IsUninstaller(entry.ExecutedFile))
            continue;
        const std::wstring exeFolder = ExtractFilePath(entry.ExecutedFile);
        bool candidate = !entry.LinkName.empty() && SameText(entry.LinkName, name);
        if (!candidate && !installLocation.empty()) {
            candidate = SameText(exeFolder, location) ||
                        (!entry.LinkFile.empty() && SameText(ExtractFilePath(entry.LinkFile), location));
        }
        if (!candidate && !name.empty() && !entry.LinkName.empty()) {
            candidate = name.find(LowerCase(entry.LinkName)) != std::wstring::npos &&
                        StartsWithText(exeFolder, location);
        }
        if (!candidate)
            continue;
        int32_t rank = ExtensionRank(entry.ExecutedFile);
        if (rank < bestRank) {
            best = i;
            bestRank = rank;
        }
    }
    return best;
}

} // namespace velmora
