#pragma once
// The process-wide catalogue of executables the user can start (found through
// Start-menu shortcuts, Run keys and Explorer usage records) and the choice of
// the executable that belongs to an installed program.
//
// Entries are only ever added, never removed, and live until the library is
// unloaded: a pointer to an entry stays valid. Every access to the list and to
// an entry's fields holds the catalogue lock, which is re-entrant.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class TItemFolder {
public:
    using TItems = std::vector<std::unique_ptr<TItemFolder>>;

    // Field readers; each takes the catalogue lock.
    std::wstring ExecutedFile() const;
    std::wstring LinkFile() const;
    std::wstring LinkName() const;
    std::wstring CompanyName() const;
    std::wstring ProductName() const;
    std::wstring ProductVersion() const;
    // "path,index", or empty when the shortcut names no icon.
    std::wstring IconLocation() const;
    // The version resource's languages as display text.
    std::wstring Translations() const;
    bool ResourceReaded() const;

    static void Lock();
    static void Unlock();
    // The catalogue in the order entries were added; only while locked.
    static const TItems& Items();

    // Adds an executable or, for a ".lnk" file, a shortcut; the existing entry
    // when the file is known already. Null when the file does not exist.
    static TItemFolder* AddItem(std::wstring_view fileName);
    // Adds a shortcut (advertised installer shortcuts resolved to their
    // component's file); the existing entry for the same shortcut or target.
    static TItemFolder* AddLink(std::wstring_view linkFile);
    // The entry that is the program's executable, with its version
    // information read; null when no entry qualifies.
    static TItemFolder* SearchForExecutable(std::wstring_view displayName, std::wstring_view installLocation);

    // Fills the version fields still empty from the executable's version
    // resource; once per entry.
    void ReadResource();

private:
    std::wstring FExecutedFile;
    std::wstring FLinkFile;
    std::wstring FLinkName;
    std::wstring FCompanyName;
    std::wstring FProductName;
    std::wstring FProductVersion;
    std::wstring FIconLocation;
    std::wstring FTranslations;
    bool FResourceReaded = false;
};

} // namespace velmora
