#pragma once
// What a forced removal found and did, as the front end read it from the
// library: the review a person reads, the report of a removal, JSON for
// scripts and the progress bar. No Windows API here.
#include "api/Enums.Velmora.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

struct TLeftoverFile {
    std::wstring Path;
    int64_t Size = 0;
    bool IsFolder = false;
    bool Removed = false;
    bool CanRemove = false;
    std::wstring ErrorMessage;
};

struct TLeftoverRegEntry {
    std::wstring FullPath;
    std::wstring Root; // "HKEY_LOCAL_MACHINE", ...
    std::wstring Key;
    std::wstring ValueName; // empty for a whole key
    uint32_t Flag = 0;      // the registry view bits
    bool Removed = false;
};

struct TLeftoverService {
    std::wstring Path;
    std::wstring Name;
    std::wstring DisplayName;
    bool Removed = false;
    std::wstring ErrorMessage;
};

struct TLeftoverShortcut {
    TLeftoverFile File; // the .lnk file
    std::wstring Target;
};

struct TLeftovers {
    std::vector<TLeftoverFile> Files; // every file and folder to delete but the shortcuts' files
    std::vector<TLeftoverRegEntry> RegEntries;
    std::vector<TLeftoverShortcut> Shortcuts;
    std::vector<TLeftoverService> Services;
    int32_t TotalFiles = 0; // files (not folders) of every kind to delete
    int64_t TotalSize = 0;
};

// The counters of a finished removal.
struct TRemovalCounts {
    int32_t FilesProcessed = 0;
    int64_t RemovedSize = 0;
    int32_t RegistryKeysProcessed = 0;
    int32_t RemovedServices = 0;
    bool Terminated = false;
};

// The leftovers grouped for review, with sizes and totals.
std::wstring RenderLeftovers(const TLeftovers& leftovers);
// Each item removed or not (with its error), then the counts.
std::wstring RenderRemoval(const TLeftovers& leftovers, const TRemovalCounts& counts);
// One JSON document with every field of every item and the totals; with
// counts, those of the removal too.
std::wstring RenderLeftoversJson(const TLeftovers& leftovers, const TRemovalCounts* counts = nullptr);
// Whether every listed item is marked removed.
bool AllRemoved(const TLeftovers& leftovers);

// The removal's step as a person reads it ("scanning", "removing files").
const wchar_t* ActionName(TFRAction action);

// "[#####-----]  50%  label" in at most width characters (the label is cut
// from the left, where long paths differ least); percent is clamped to 0..100.
std::wstring ProgressLine(int64_t percent, std::wstring_view label, size_t width);

} // namespace velmora::cli
