#include "forceremove/SharedFolders.h"

#include "forceremove/AppFolders.h"
#include "frame/DebugLog.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

bool IsRoot(const std::wstring& folder) {
    if (folder.starts_with(L"\\\\"))
        return std::count(folder.begin() + 2, folder.end(), L'\\') <= 1;
    // "C:", or nothing left of "\" or "."
    return folder.empty() || (folder.size() == 2 && folder[1] == L':');
}

std::vector<std::wstring> NonEmptyNormalised(std::vector<std::wstring> folders) {
    std::vector<std::wstring> result;
    for (const auto& folder : folders)
        if (auto normalised = NormalisedPath(folder); !normalised.empty())
            result.push_back(std::move(normalised));
    return result;
}

} // namespace

TSharedFolders::TSharedFolders(std::vector<std::wstring> folders, std::vector<std::wstring> sharedParents,
                               TLongPath longPath)
    : FFolders(NonEmptyNormalised(std::move(folders))),
      FSharedParents(NonEmptyNormalised(std::move(sharedParents))), FLongPath(std::move(longPath)) {}

bool TSharedFolders::IsShared(std::wstring_view path) const {
    if (path.empty()) // no folder at all
        return false;
    if (IsSharedText(NormalisedPath(path)))
        return true;
    return FLongPath && IsSharedText(NormalisedPath(FLongPath(path)));
}

std::wstring TSharedFolders::LongForm(std::wstring_view path) const {
    return FLongPath ? FLongPath(path) : std::wstring(path);
}

bool TSharedFolders::IsSharedText(const std::wstring& folder) const {
    if (IsRoot(folder))
        return true;
    auto same = [&](const std::wstring& shared) { return SameText(folder, shared); };
    if (std::any_of(FFolders.begin(), FFolders.end(), same) ||
        std::any_of(FSharedParents.begin(), FSharedParents.end(), same))
        return true;
    const size_t last = folder.rfind(L'\\');
    const std::wstring parent = folder.substr(0, last);
    return std::any_of(FSharedParents.begin(), FSharedParents.end(),
                       [&](const std::wstring& shared) { return SameText(parent, shared); });
}

bool AddProgramFolder(TAppFolders& appFolders, std::wstring_view folder, const TSharedFolders& shared) {
    const wchar_t* refusal = nullptr;
    if (!folder.empty() && !IsFullFolderPath(folder))
        refusal = L"Refused as a program folder (not a full path): %s";
    else if (shared.IsShared(folder))
        refusal = L"Refused as a program folder (shared with other programs or Windows): %s";
    else if (!folder.empty() &&
             (appFolders.HoldsOtherProgram(folder) || appFolders.HoldsOtherProgram(shared.LongForm(folder))))
        refusal = L"Refused as a program folder (holds another program): %s";
    else if (!appFolders.Add(folder))
        refusal = L"Refused as a program folder (in the Windows folder): %s";
    if (!refusal)
        return true;
    StatisticsLog::Add(refusal, std::wstring(folder));
    return false;
}

} // namespace velmora
