#pragma once
// The folders that belong to the program being removed: at first its
// install location, then the data folders found by name. A path lies in a
// program folder when it is that folder or starts with it, compared by whole
// path components and ignoring case.
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// "\"-separated, without a "\\?\" or "\??\" prefix, "." and ".." resolved
// (never above the drive or the share), no trailing separator: "C:",
// "C:\Program Files", "\\server\share".
std::wstring NormalisedPath(std::wstring_view path);
// A folder below a drive's root ("C:\Apps") or below a network share
// ("\\server\share\Apps"). A name ("Vendor"), a path from the current drive's
// root ("\Apps") or one relative to a drive's current folder ("C:Apps") says
// nothing of where it lies.
bool IsFullFolderPath(std::wstring_view path);
// Both normalised: path is the folder or lies below it.
bool PathInFolder(std::wstring_view path, std::wstring_view folder);

class TAppFolders {
public:
    // otherInstallLocations: where the other registered programs are
    // installed; a folder holding one of them is never this program's.
    explicit TAppFolders(std::wstring windowsFolder, std::vector<std::wstring> otherInstallLocations = {});

    // Appends a folder (kept normalised with a trailing "\"), unless a listed
    // folder already covers it, it is no full path, it lies in the Windows
    // folder or it holds another program's install location. An empty path
    // is kept as an empty entry (a program without an install location).
    // True when the folder is listed or covered.
    bool Add(std::wstring_view path);
    // The path lies in a listed folder; an empty entry matches nothing. A
    // command whose program is quoted counts by its program.
    bool InAppFolder(std::wstring_view path) const;
    // Another program's install location is the folder or lies below it.
    bool HoldsOtherProgram(std::wstring_view folder) const;

    // Raises std::out_of_range for an index outside the list.
    const std::wstring& GetItem(size_t index) const { return FStrings.at(index); }
    size_t Count() const { return FStrings.size(); }

private:
    bool InWindowsFolder(const std::wstring& folder) const;

    const std::wstring FWindowsFolder;                      // normalised
    const std::vector<std::wstring> FOtherInstallLocations; // normalised
    std::vector<std::wstring> FStrings;
    std::vector<std::wstring> FFolders; // FStrings normalised, without the trailing "\"
};

} // namespace velmora
