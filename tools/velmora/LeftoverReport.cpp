#include "tools/velmora/LeftoverReport.h"

#include "platform/Format.h"
#include "tools/velmora/ConsoleOutput.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace velmora::cli {

namespace {

constexpr size_t kSizeColumn = 10;

std::wstring Group(std::wstring_view title, size_t count) {
    return count == 0 ? Format(L"%s: none\n", title) : Format(L"%s (%d):\n", title, count);
}

std::wstring FileLine(const TLeftoverFile& file) {
    std::wstring size = file.IsFolder ? L"folder" : FormatSize(file.Size);
    return L"  " + std::wstring(kSizeColumn - std::min(kSizeColumn, size.size()), L' ') + size + L"  " +
           file.Path + L"\n";
}

std::wstring ShortcutLine(const TLeftoverShortcut& shortcut) {
    return L"  " + shortcut.File.Path + L" -> " + shortcut.Target + L"\n";
}

std::wstring ServiceLine(const TLeftoverService& service) {
    return Format(L"  %s (%s): %s\n", service.Name, service.DisplayName, service.Path);
}

// "removed", or "NOT removed" with the reason when one was given.
std::wstring OutcomeLine(bool removed, std::wstring_view what, std::wstring_view error) {
    if (removed)
        return Format(L"  removed      %s\n", what);
    return error.empty() ? Format(L"  NOT removed  %s\n", what)
                         : Format(L"  NOT removed  %s: %s\n", what, error);
}

using TJson = nlohmann::ordered_json;

std::string Utf8(std::wstring_view text) {
    return Narrow(text);
}

TJson FileJson(const TLeftoverFile& file) {
    return {{"path", Utf8(file.Path)},     {"size", file.Size},
            {"isFolder", file.IsFolder},   {"removed", file.Removed},
            {"canRemove", file.CanRemove}, {"errorMessage", Utf8(file.ErrorMessage)}};
}

TJson RegEntryJson(const TLeftoverRegEntry& entry) {
    return {{"fullPath", Utf8(entry.FullPath)},   {"root", Utf8(entry.Root)}, {"key", Utf8(entry.Key)},
            {"valueName", Utf8(entry.ValueName)}, {"flag", entry.Flag},       {"removed", entry.Removed}};
}

TJson ServiceJson(const TLeftoverService& service) {
    return {{"path", Utf8(service.Path)},
            {"name", Utf8(service.Name)},
            {"displayName", Utf8(service.DisplayName)},
            {"removed", service.Removed},
            {"errorMessage", Utf8(service.ErrorMessage)}};
}

template <class T, class ToJson> TJson JsonArray(const std::vector<T>& items, ToJson toJson) {
    TJson array = TJson::array();
    for (const T& item : items)
        array.push_back(toJson(item));
    return array;
}

} // namespace

std::wstring RenderLeftovers(const TLeftovers& leftovers) {
    std::wstring out = Group(L"Files and folders", leftovers.Files.size());
    for (const TLeftoverFile& file : leftovers.Files)
        out += FileLine(file);
    out += Group(L"Registry entries", leftovers.RegEntries.size());
    for (const TLeftoverRegEntry& entry : leftovers.RegEntries)
        out += L"  " + entry.FullPath + L"\n";
    out += Group(L"Shortcuts", leftovers.Shortcuts.size());
    for (const TLeftoverShortcut& shortcut : leftovers.Shortcuts)
        out += ShortcutLine(shortcut);
    out += Group(L"Services", leftovers.Services.size());
    for (const TLeftoverService& service : leftovers.Services)
        out += ServiceLine(service);
    return out + Format(L"Total: %d files, %s\n", leftovers.TotalFiles, FormatSize(leftovers.TotalSize));
}

std::wstring RenderRemoval(const TLeftovers& leftovers, const TRemovalCounts& counts) {
    std::wstring out = Group(L"Files and folders", leftovers.Files.size());
    for (const TLeftoverFile& file : leftovers.Files)
        out += OutcomeLine(file.Removed, file.Path, file.ErrorMessage);
    out += Group(L"Registry entries", leftovers.RegEntries.size());
    for (const TLeftoverRegEntry& entry : leftovers.RegEntries)
        out += OutcomeLine(entry.Removed, entry.FullPath, {});
    out += Group(L"Shortcuts", leftovers.Shortcuts.size());
    for (const TLeftoverShortcut& shortcut : leftovers.Shortcuts)
        out += OutcomeLine(shortcut.File.Removed, shortcut.File.Path, shortcut.File.ErrorMessage);
    out += Group(L"Services", leftovers.Services.size());
    for (const TLeftoverService& service : leftovers.Services)
        out += OutcomeLine(service.Removed, service.Name, service.ErrorMessage);
    out += Format(L"Files deleted: %d of %d (%s of %s)\nRegistry entries handled: %d\nServices removed: %d\n",
                  counts.FilesProcessed, leftovers.TotalFiles, FormatSize(counts.RemovedSize),
                  FormatSize(leftovers.TotalSize), counts.RegistryKeysProcessed, counts.RemovedServices);
    if (counts.Terminated)
        out += L"The removal was ended before it was complete.\n";
    return out;
}

std::wstring RenderLeftoversJson(const TLeftovers& leftovers, const TRemovalCounts* counts) {
    TJson document = {
        {"files", JsonArray(leftovers.Files, FileJson)},
        {"registryEntries", JsonArray(leftovers.RegEntries, RegEntryJson)},
        {"shortcuts",
         JsonArray(leftovers.Shortcuts,
                   [](const TLeftoverShortcut& shortcut) {
                       return TJson{{"file", FileJson(shortcut.File)}, {"target", Utf8(shortcut.Target)}};
                   })},
        {"services", JsonArray(leftovers.Services, ServiceJson)},
        {"totalFiles", leftovers.TotalFiles},
        {"totalSize", leftovers.TotalSize},
    };
    if (counts)
        document["removal"] = {{"filesProcessed", counts->FilesProcessed},
                               {"removedSize", counts->RemovedSize},
                               {"registryKeysProcessed", counts->RegistryKeysProcessed},
                               {"removedServiceCount", counts->RemovedServices},
                               {"terminated", counts->Terminated},
                               {"allRemoved", AllRemoved(leftovers)}};
    return Widen(document.dump(2, ' ', false, TJson::error_handler_t::replace)) + L"\n";
}

bool AllRemoved(const TLeftovers& leftovers) {
    auto removed = [](const auto& item) { return item.Removed; };
    return std::ranges::all_of(leftovers.Files, removed) &&
           std::ranges::all_of(leftovers.RegEntries, removed) &&
           std::ranges::all_of(leftovers.Services, removed) &&
           std::ranges::all_of(leftovers.Shortcuts, [](const auto& s) { return s.File.Removed; });
}

std::wstring ProgressLine(int64_t percent, std::wstring_view label, size_t width) {
    constexpr size_t bar = 20;
    percent = std::clamp<int64_t>(percent, 0, 100);
    const size_t done = static_cast<size_t>(percent) * bar / 100;
    std::wstring number = std::to_wstring(percent);
    std::wstring line = L"[" + std::wstring(done, L'#') + std::wstring(bar - done, L'-') + L"] " +
                        std::wstring(3 - number.size(), L' ') + number + L"%";
    if (!label.empty() && line.size() + 2 < width) {
        const size_t room = width - line.size() - 2;
        line += L"  ";
        line += label.size() <= room ? std::wstring(label)
                : room <= 3          ? std::wstring(room, L'.')
                                     : L"..." + std::wstring(label.substr(label.size() - (room - 3)));
    }
    return line.substr(0, width);
}

const wchar_t* ActionName(TFRAction action) {
    switch (action) {
    case TFRAction::fraCalculating:
        return L"scanning";
    case TFRAction::fraCheckingFiles:
        return L"checking files";
    case TFRAction::fraRemovingRegistryKeys:
        return L"removing registry entries";
    case TFRAction::fraRemovingFiles:
        return L"removing files";
    }
    return L"";
}

} // namespace velmora::cli
