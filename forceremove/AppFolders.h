#pragma once
// The folders that belong to the program being removed: at first its
// install location, then the data folders found by name. "In a program
// folder" means a path that contains one of them, ignoring case.
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class TAppFolders {
public:
    explicit TAppFolders(std::wstring windowsFolder);

    // Appends a folder (kept with a trailing "\", so that "C:\App" does not
    // claim "C:\AppData"), unless a listed folder already covers it or it
    // lies in the Windows folder, which never belongs to a program. An empty
    // path is kept as an empty entry (a program without an install location).
    void Add(std::wstring_view path);
    // Some listed folder is contained in path; an empty entry matches nothing.
    bool InAppFolder(std::wstring_view path) const;

    // Raises std::out_of_range for an index outside the list.
    const std::wstring& GetItem(size_t index) const { return FStrings.at(index); }
    size_t Count() const { return FStrings.size(); }

private:
    bool InWindowsFolder(std::wstring_view path) const;

    const std::wstring FWindowsFolder; // without a trailing "\"
    std::vector<std::wstring> FStrings;
};

} // namespace velmora
