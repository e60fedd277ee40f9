#include "forceremove/SharedFolders.h"

#include "forceremove/AppFolders.h"
#include "frame/DebugLog.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

// "\"-separated, without a "\\?\" prefix, "." and ".." resolved, no trailing
// separator: "C:", "C:\Program Files", "\\server\share".
std::wstring NormalisedFolder(std::wstring_view path) {
    std::wstring text(path);
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (text.starts_with(L"\\\\?\\UNC\\"))
        text = L"\\\\" + text.substr(8);
    else if (text.starts_with(L"\\\\?\\"))
        text = text.substr(4);
    const bool unc = text.starts_with(L"\\\\");
    std::vector<std::wstring> parts;
    size_t start = unc ? 2 : 0;
    while (start <= text.size()) {
        size_t end = std::min(text.find(L'\\', start), text.size());
        std::wstring part = text.substr(start, end - start);
        if (part == L"..") {
            // Never above the drive or the share.
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

bool IsRoot(const std::wstring& folder) {
    if (folder.starts_with(L"\\\\"))
        return std::count(folder.begin() + 2, folder.end(), L'\\') <= 1;
    // "C:", or nothing left of "\" or "."
    return folder.empty() || (folder.size() == 2 && folder[1] == L':');
}

std::vector<std::wstring> Normalised(std::vector<std::wstring> folders) {
    std::vector<std::wstring> result;
    for (const auto& folder : folders)
        if (auto normalised = NormalisedFolder(folder); !normalised.empty())
            result.push_back(std::move(normalised));
    return result;
}

} // namespace

TSharedFolders::TSharedFolders(std::vector<std::wstring> folders, std::vector<std::wstring> profileParents,
                               TLongPath longPath)
    : FFolders(Normalised(std::move(folders))), FProfileParents(Normalised(std::move(profileParents))),
      FLongPath(std::move(longPath)) {}

bool TSharedFolders::IsShared(std::wstring_view path) const {
    if (path.empty()) // no folder at all
        return false;
    if (IsSharedText(NormalisedFolder(path)))
        return true;
    return FLongPath && IsSharedText(NormalisedFolder(FLongPath(path)));
}

bool TSharedFolders::IsSharedText(const std::wstring& folder) const {
    if (IsRoot(folder))
        return true;
    auto same = [&](const std::wstring& shared) { return SameText(folder, shared); };
    if (std::any_of(FFolders.begin(), FFolders.end(), same) ||
        std::any_of(FProfileParents.begin(), FProfileParents.end(), same))
        return true;
    const size_t last = folder.rfind(L'\\');
    const std::wstring parent = folder.substr(0, last);
    return std::any_of(FProfileParents.begin(), FProfileParents.end(),
                       [&](const std::wstring& profiles) { return SameText(parent, profiles); });
}

bool AddProgramFolder(TAppFolders& appFolders, std::wstring_view folder, const TSharedFolders& shared) {
    if (shared.IsShared(folder)) {
        StatisticsLog::Add(L"Refused as a program folder (shared with other programs or Windows): %s",
                           std::wstring(folder));
        return false;
    }
    appFolders.Add(folder);
    return true;
}

} // namespace velmora
