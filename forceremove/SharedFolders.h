#pragma once
// The folders a forced removal never takes as a program's folder, whatever a
// program recorded: a drive root, the Windows folder, the program-files and
// common-files folders themselves and the vendor folders in common files, a
// user's profile and its shell folders (desktop, documents, downloads, the
// application-data roots, the temporary folders), the all-users data folder.
// Their content belongs to every program or to Windows; a folder below them
// is another matter.
#include "platform/RegistryKeyText.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class TAppFolders;

class TSharedFolders {
public:
    // The system's long form of an existing path ("C:\PROGRA~1" to
    // "C:\Program Files"); the path unchanged when the system has none.
    using TLongPath = std::function<std::wstring(std::wstring_view path)>;

    // folders: refused as they stand. sharedParents: folders refused with
    // every direct subfolder, each of them shared (the profiles folder with
    // the users' profiles, the common-files folders with the vendor folders).
    TSharedFolders(std::vector<std::wstring> folders, std::vector<std::wstring> sharedParents,
                   TLongPath longPath = {});

    // Letter case, "/" for "\", trailing separators, "." and ".." and a
    // "\\?\" prefix make no difference.
    bool IsShared(std::wstring_view path) const;
    // The long form of the path where the system knows one.
    std::wstring LongForm(std::wstring_view path) const;

private:
    bool IsSharedText(const std::wstring& folder) const;

    std::vector<std::wstring> FFolders;       // normalised
    std::vector<std::wstring> FSharedParents; // normalised
    TLongPath FLongPath;
};

// The shared folders of this system (Windows only).
TSharedFolders SystemSharedFolders();

// Adds a folder to the program's folders unless it is no full path, a shared
// one or holds another program's install location; a refusal is written to
// the statistics log. True when the folder may count as the program's.
bool AddProgramFolder(TAppFolders& appFolders, std::wstring_view folder, const TSharedFolders& shared);

// Where the other registered programs are installed, as the uninstall keys
// of the machine and of the user record it, the product's own keys left out
// (Windows only).
std::vector<std::wstring> OtherInstallLocations(const std::vector<TRegistryKey>& ownKeys);

} // namespace velmora
