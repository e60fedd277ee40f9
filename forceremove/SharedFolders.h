#pragma once
// The folders a forced removal never takes as a program's folder, whatever a
// program recorded: a drive root, the Windows folder, the program-files and
// common-files folders themselves, a user's profile, the all-users data
// folder and the application-data roots. Their content belongs to every
// program or to Windows; a folder below them is another matter.
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

    // folders: refused as they stand. profileParents: folders whose every
    // direct subfolder is a user's profile (the profiles folder), refused
    // too, with those subfolders.
    TSharedFolders(std::vector<std::wstring> folders, std::vector<std::wstring> profileParents,
                   TLongPath longPath = {});

    // Letter case, "/" for "\", trailing separators, "." and ".." and a
    // "\\?\" prefix make no difference.
    bool IsShared(std::wstring_view path) const;

private:
    bool IsSharedText(const std::wstring& folder) const;

    std::vector<std::wstring> FFolders;        // normalised
    std::vector<std::wstring> FProfileParents; // normalised
    TLongPath FLongPath;
};

// The shared folders of this system (Windows only).
TSharedFolders SystemSharedFolders();

// Adds a folder to the program's folders unless it is a shared one; a
// refusal is written to the statistics log. True when the folder may count
// as the program's.
bool AddProgramFolder(TAppFolders& appFolders, std::wstring_view folder, const TSharedFolders& shared);

} // namespace velmora
