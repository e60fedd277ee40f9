#include "forceremove/AppFolders.h"

#include "platform/PathText.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

// "/" as "\", the "\\?\" and "\??\" prefixes removed ("\\?\UNC\" as "\\").
std::wstring PlainPath(std::wstring_view path) {
    std::wstring text(path);
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (text.starts_with(L"\\\\?\\UNC\\"))
        return L"\\\\" + text.substr(8);
    if (text.starts_with(L"\\\\?\\") || text.starts_with(L"\\??\\"))
        return text.substr(4);
    return text;
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

std::vector<std::wstring> FullFoldersNormalised(std::vector<std::wstring> paths) {
    std::vector<std::wstring> result;
    for (const auto& path : paths)
        if (const std::wstring plain = StripQuotes(path); IsFullFolderPath(plain))
            result.push_back(NormalisedPath(plain));
    return result;
}

} // namespace

std::wstring NormalisedPath(std::wstring_view path) {
    const std::wstring text = PlainPath(path);
    const bool unc = text.starts_with(L"\\\\");
    std::vector<std::wstring> parts;
    size_t start = unc ? 2 : 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(L'\\', start), text.size());
        std::wstring part = text.substr(start, end - start);
        if (part == L"..") {
            if (parts.size() > (unc ? 2u : 1u))
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::wstring folder = unc ? L"\\\\" : L"";
    for (size_t i = 0; i < parts.size(); ++i)
        folder += (i ? L"\\" : L"") + parts[i];
    return folder;
}

bool IsFullFolderPath(std::wstring_view path) {
    const std::wstring text = PlainPath(path);
    const std::wstring folder = NormalisedPath(text);
    if (text.starts_with(L"\\\\")) // server, share and a folder below it
        return std::count(folder.begin() + 2, folder.end(), L'\\') >= 2;
    return text.size() >= 3 && IsDriveLetter(text[0]) && text[1] == L':' && text[2] == L'\\' &&
           folder.size() > 2;
}

bool PathInFolder(std::wstring_view path, std::wstring_view folder) {
    if (folder.empty() || !StartsWithText(path, folder))
        return false;
    return path.size() == folder.size() || path[folder.size()] == L'\\';
}

TAppFolders::TAppFolders(std::wstring windowsFolder, std::vector<std::wstring> otherInstallLocations)
    : FWindowsFolder(NormalisedPath(windowsFolder)),
      FOtherInstallLocations(FullFoldersNormalised(std::move(otherInstallLocations))) {}

bool TAppFolders::Add(std::wstring_view path) {
    if (path.empty()) {
        FStrings.emplace_back();
        FFolders.emplace_back();
        return true;
    }
    if (!IsFullFolderPath(path))
        return false;
    const std::wstring folder = NormalisedPath(path);
    if (InAppFolder(folder))
        return true;
    if (InWindowsFolder(folder) || HoldsOtherProgram(folder))
        return false;
    FStrings.push_back(IncludeTrailingBackslash(folder));
    FFolders.push_back(folder);
    return true;
}

bool TAppFolders::InAppFolder(std::wstring_view path) const {
    std::wstring_view text = Trim(path);
    if (text.starts_with(L'"')) {
        text.remove_prefix(1);
        text = text.substr(0, text.find(L'"'));
    }
    if (!IsFullFolderPath(text))
        return false;
    const std::wstring normalised = NormalisedPath(text);
    return std::any_of(FFolders.begin(), FFolders.end(),
                       [&](const std::wstring& folder) { return PathInFolder(normalised, folder); });
}

bool TAppFolders::HoldsOtherProgram(std::wstring_view folder) const {
    const std::wstring normalised = NormalisedPath(folder);
    return std::any_of(FOtherInstallLocations.begin(), FOtherInstallLocations.end(),
                       [&](const std::wstring& location) { return PathInFolder(location, normalised); });
}

// Also "C:\Windows" itself and what merely starts like it ("C:\WindowsApps"):
// refusing too much here only leaves files behind.
bool TAppFolders::InWindowsFolder(const std::wstring& folder) const {
    return !FWindowsFolder.empty() && StartsWithText(folder, FWindowsFolder);
}

} // namespace velmora
