#include "forceremove/RegistryScan.h"

#include "forceremove/AppFolders.h"
#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "platform/PathText.h"
#include "platform/RegistryKeyText.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

// A drive path ("C:\...") or a network one ("\\server\..."); a description
// or a bare file name records no place.
bool IsFullPath(std::wstring_view path) {
    if (path.starts_with(L"\\\\"))
        return true;
    return path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

// The folders of a list separated by ";".
std::vector<std::wstring> SplitFolders(std::wstring_view list) {
    std::vector<std::wstring> folders;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(L';', start);
        if (end == std::wstring_view::npos)
            end = list.size();
        if (std::wstring_view folder = Trim(list.substr(start, end - start)); !folder.empty())
            folders.emplace_back(folder);
        start = end + 1;
    }
    return folders;
}

} // namespace

TRegistryScan::TRegistryScan(const TRegistrySource& source, const TAppFolders& appFolders,
                             TFRRegList& regList)
    : FSource(source), FAppFolders(appFolders), FRegList(regList) {}

std::vector<std::wstring> TRegistryScan::Views(std::wstring_view keyText) const {
    std::vector<std::wstring> views{std::wstring(keyText)};
    auto key = TRegistryKey::FromText(keyText);
    if (FSource.Is64BitWindows() && key && key->View == TRegView::Default &&
        (key->Root == TRegRoot::ClassesRoot || key->Root == TRegRoot::LocalMachine))
        views.push_back(L"(x32)" + std::wstring(keyText));
    return views;
}

std::vector<TSubKey> TRegistryScan::SubKeysInViews(std::wstring_view keyText) const {
    std::vector<TSubKey> subKeys;
    for (const auto& view : Views(keyText))
        for (auto& name : FSource.SubKeyNames(view))
            subKeys.push_back({view, std::move(name)});
    return subKeys;
}

std::vector<std::wstring> TRegistryScan::ClassViews(std::wstring_view path) const {
    std::vector<std::wstring> views{L"HKEY_CURRENT_USER\\Software\\Classes\\" + std::wstring(path)};
    for (auto& view : Views(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\" + std::wstring(path)))
        views.push_back(std::move(view));
    return views;
}

std::vector<TSubKey> TRegistryScan::SubKeysInClasses(std::wstring_view path) const {
    std::vector<TSubKey> subKeys;
    for (const auto& view : ClassViews(path))
        for (auto& name : FSource.SubKeyNames(view))
            subKeys.push_back({view, std::move(name)});
    return subKeys;
}

std::wstring TRegistryScan::ProgramPath(std::wstring_view command) const {
    std::wstring program =
        PathRemoveArgs(command, [this](const std::wstring& path) { return FSource.FileExists(path); });
    return PrepareFileName(program, [this](const std::wstring& name) { return FSource.Variable(name); });
}

bool TRegistryScan::InAppFolder(std::wstring_view path) const {
    return FAppFolders.InAppFolder(path);
}

bool TRegistryScan::ProgramInAppFolder(std::wstring_view command) const {
    return InAppFolder(ProgramPath(command));
}

std::vector<std::pair<std::wstring, bool>> TRegistryScan::RecordedPaths(std::wstring_view keyText) const {
    const std::wstring key = IncludeTrailingBackslash(keyText);
    auto variable = [this](const std::wstring& name) { return FSource.Variable(name); };
    std::vector<std::wstring> paths{PrepareFileName(FSource.ReadText(key, L"").value_or(L""), variable)};
    // A folder without its trailing "\" is still the program folder.
    for (const auto& folder : SplitFolders(FSource.ReadText(key, L"Path").value_or(L"")))
        paths.push_back(IncludeTrailingBackslash(PrepareFileName(folder, variable)));
    const std::wstring shell = key + L"shell\\";
    for (const auto& verb : FSource.SubKeyNames(shell))
        paths.push_back(ProgramPath(FSource.ReadText(shell + verb + L"\\command", L"").value_or(L"")));
    std::vector<std::pair<std::wstring, bool>> recorded;
    for (auto& path : paths)
        if (IsFullPath(path)) {
            const bool own = FAppFolders.InAppFolder(path);
            recorded.emplace_back(std::move(path), own);
        }
    return recorded;
}

bool TRegistryScan::RecordsOnlyProgramPaths(std::wstring_view keyText) const {
    for (const auto& [path, own] : RecordedPaths(keyText))
        if (!own)
            return false;
    return true;
}

bool TRegistryScan::RecordsProgramPaths(std::wstring_view keyText) const {
    const auto recorded = RecordedPaths(keyText);
    return !recorded.empty() &&
           std::all_of(recorded.begin(), recorded.end(), [](const auto& path) { return path.second; });
}

bool TRegistryScan::HoldsProgramPath(std::wstring_view keyText) const {
    const std::wstring key = IncludeTrailingBackslash(keyText);
    auto variable = [this](const std::wstring& name) { return FSource.Variable(name); };
    for (const auto& name : FSource.ValueNames(key)) {
        const std::wstring text = FSource.ReadText(key, name).value_or(L"");
        const std::wstring path = PrepareFileName(text, variable);
        if (IsFullPath(path) && (InAppFolder(IncludeTrailingBackslash(path)) || ProgramInAppFolder(text)))
            return true;
    }
    return false;
}

bool TRegistryScan::NamesOtherPlace(std::wstring_view text) const {
    const std::wstring path =
        PrepareFileName(text, [this](const std::wstring& name) { return FSource.Variable(name); });
    return IsFullPath(path) && !InAppFolder(path);
}

bool TRegistryScan::IsOwnKey(const std::wstring& keyText) const {
    auto key = TRegistryKey::FromText(keyText);
    return !key || key->View != TRegView::x32 ||
           !FSource.SharedByBothViews(RegistryKeyToStr(TRegView::Default, key->Root, key->Path));
}

void TRegistryScan::AddKey(const std::wstring& keyText) {
    if (IsOwnKey(keyText))
        FRegList.Add(keyText, {});
}

void TRegistryScan::AddValue(const std::wstring& keyText, const std::wstring& valueName) {
    if (!valueName.empty() && IsOwnKey(keyText))
        FRegList.Add(keyText, valueName);
}

} // namespace velmora
