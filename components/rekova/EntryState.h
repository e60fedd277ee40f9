#pragma once
// What a record keeps of a file or folder besides a file's content: its
// attributes and its three times, as record fields ("attributes=0x00000021",
// "created=2026-12-07 01:45:12.1234567" in UTC, to the 100 ns).
#include "components/rekova/Manifest.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace velmora::rekova {

struct TEntryState {
    DWORD Attributes = 0;
    FILETIME Created{};
    FILETIME Accessed{};
    FILETIME Written{};
};

// Nothing when the entry is missing.
std::optional<TEntryState> ReadEntryState(std::wstring_view path);
void PutEntryState(TRecord& record, const TEntryState& state);
std::optional<TEntryState> EntryStateOf(const TRecord& record);
// Sets the times, then the attributes; false (last error set) when either failed.
bool ApplyEntryState(std::wstring_view path, const TEntryState& state);

// A folder that is a link: a junction or a symbolic link, with the target as
// the link holds it ("\\??\\C:\\Target" for an absolute one), as the record
// fields "link" and "linkkind".
struct TFolderLink {
    bool Junction = true;
    std::wstring Target;
};
// Nothing when the folder is not a link of either kind.
std::optional<TFolderLink> ReadFolderLink(std::wstring_view path);
void PutFolderLink(TRecord& record, const TFolderLink& link);
std::optional<TFolderLink> FolderLinkOf(const TRecord& record);
// Makes the (empty or missing) folder the link; false (last error set) when it failed.
bool MakeFolderLink(std::wstring_view path, const TFolderLink& link);

// Creates a folder with its missing parents; false (last error set) when it failed.
bool CreateFolderPath(std::wstring_view path);

} // namespace velmora::rekova
