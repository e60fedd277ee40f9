#pragma once
// What the registry scanners share: which registry views a key is read in,
// the program path of a recorded command, when a key named after a file of
// the program really is the program's, and the listing of what they find.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora {

class TAppFolders;
class TFRRegList;
class TRegistrySource;

// A subkey as read in one view: Parent is the key text it was read from,
// view prefix and trailing "\" included.
struct TSubKey {
    std::wstring Parent;
    std::wstring Name;

    // Parent + Name + "\".
    std::wstring Text() const { return Parent + Name + L'\\'; }
};

class TRegistryScan {
public:
    // Findings go to regList.
    TRegistryScan(const TRegistrySource& source, const TAppFolders& appFolders, TFRRegList& regList);

    const TRegistrySource& Source() const { return FSource; }
    // What the scanners listed so far.
    const TFRRegList& RegList() const { return FRegList; }

    // The key text, and on 64-bit Windows for a key below HKEY_CLASSES_ROOT or
    // HKEY_LOCAL_MACHINE also its 32-bit view ("(x32)" in front), where 32-bit
    // programs register. HKEY_CURRENT_USER\Software is one key for both.
    std::vector<std::wstring> Views(std::wstring_view keyText) const;
    // The subkeys of the key in each of its views, 64-bit first.
    std::vector<TSubKey> SubKeysInViews(std::wstring_view keyText) const;
    // A path below the classes ("" for the classes key itself, else ending in
    // "\") in each place that holds classes: the user's
    // (HKEY_CURRENT_USER\Software\Classes), then the machine's in its views.
    // HKEY_CLASSES_ROOT merges them, a user's key over the machine's of the
    // same name, and Wine's shows the machine's alone: each place is read and
    // judged on its own, and what is listed names the real key.
    std::vector<std::wstring> ClassViews(std::wstring_view path) const;
    // The subkeys of the path in each of its class views, the user's first.
    std::vector<TSubKey> SubKeysInClasses(std::wstring_view path) const;

    // The program file of a command: arguments removed, then variables
    // expanded and quotes removed.
    std::wstring ProgramPath(std::wstring_view command) const;
    bool InAppFolder(std::wstring_view path) const;
    bool ProgramInAppFolder(std::wstring_view command) const;
    // A key attributed only because a listed file has its name belongs to the
    // program when every path it records (its default value, its "Path"
    // folders, its shell\*\command programs) lies in a program folder, or
    // when it records none: common names such as "uninst.exe" are shipped
    // by many programs, and each records its own folder.
    bool RecordsOnlyProgramPaths(std::wstring_view keyText) const;
    // Evidence that the key is this program's and no other's: it records at
    // least one full path, and every path it records lies in a program folder.
    bool RecordsProgramPaths(std::wstring_view keyText) const;
    // One of the key's own values names a place in a program folder (a path,
    // or a command whose program lies there).
    bool HoldsProgramPath(std::wstring_view keyText) const;
    // The text (variables expanded, quotes removed) is a full path outside
    // the program folders; an icon's index after it does not matter.
    bool NamesOtherPlace(std::wstring_view text) const;

    // A whole key, or one value of a key. A 32-bit view's key that is one
    // key with the 64-bit view's (most of HKEY_CLASSES_ROOT) is the 64-bit
    // scan's finding: it is not listed twice. A key's default value (empty
    // name) is never listed: the list would take the whole key for it.
    void AddKey(const std::wstring& keyText);
    void AddValue(const std::wstring& keyText, const std::wstring& valueName);

private:
    // Not the 32-bit view's text of a key both views share.
    bool IsOwnKey(const std::wstring& keyText) const;
    // The full paths the key records (RecordsOnlyProgramPaths), each with
    // whether it lies in a program folder.
    std::vector<std::pair<std::wstring, bool>> RecordedPaths(std::wstring_view keyText) const;

    const TRegistrySource& FSource;
    const TAppFolders& FAppFolders;
    TFRRegList& FRegList;
};

} // namespace velmora
