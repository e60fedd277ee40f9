#pragma once
// The store on disk: %LOCALAPPDATA%\Velmora\Backups, one folder per backup
// set named by its identifier (local time of its beginning and a counter,
// "20261207-014512-0001"), so that identifiers sort by time. A set's folder
// holds manifest.txt and the saved copies its records name.
#include "components/rekova/Manifest.h"
#include "platform/Handles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::rekova {

std::wstring StoreFolder();
std::wstring SetFolder(std::wstring_view id);
// Creates the folder of a new set and answers its identifier; throws EOSError.
std::wstring CreateSetFolder();
// Identifiers of the sets in the store (folders holding a manifest), newest first.
std::vector<std::wstring> SetIds();
std::optional<TManifest> LoadManifest(std::wstring_view id);
// Replaces the manifest as a whole (written beside it, then moved over it);
// throws EOSError.
void SaveManifest(const TManifest& manifest);

// The lock of an open set: a file in the set's folder, opened exclusively
// (and deleted when closed) for as long as the set is open, so that no other
// root object or process restores, deletes or purges it meanwhile.
class TSetLock {
public:
    // Throws EOSError.
    explicit TSetLock(std::wstring_view id);

private:
    unique_file FFile;
};
// Whether a root object, of this process or another, holds the set open.
bool SetInUse(std::wstring_view id);

// Bytes of the files below a folder; 0 when it is missing.
int64_t FolderSize(std::wstring_view folder);
// Deletes a folder with everything in it; false when something stayed.
bool RemoveTree(std::wstring_view folder);

std::optional<std::string> ReadFileBytes(std::wstring_view path);
// Throws EOSError.
void WriteFileBytes(std::wstring_view path, std::string_view bytes);

// The local time now as "YYYY-MM-DD hh:mm:ss", and such a text as a local OLE date.
std::wstring LocalTimeText();
double LocalTimeTextToDate(std::wstring_view text);

} // namespace velmora::rekova
