#pragma once
// The registry keys and values a forced removal will delete. The list keeps
// system data out: a whole registry root never enters it, nor does a key
// that is one of the protected paths ("SOFTWARE\Microsoft" itself is
// refused, "SOFTWARE\Microsoft\App" is not).
#include "forceremove/Leftovers.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace velmora {

class TRegistrySource;

class TFRRegList {
public:
    // On 64-bit Windows a key text that names no view means the 64-bit one.
    explicit TFRRegList(bool is64BitWindows);

    // Adds a whole key (empty value name) or a value of a key text, unless
    // listed already or the key is a protected path. True when added.
    bool Add(std::wstring_view keyText, std::wstring_view valueName);
    // The same for a key in the 64-bit view on 64-bit Windows, else in the 32-bit one.
    bool Add(TRegRoot root, std::wstring_view path, std::wstring_view valueName);
    // The text of a key of a root as a row of the given bitness names it: a
    // 32-bit program's rows are in the 32-bit view on 64-bit Windows.
    std::wstring KeyText(TRegRoot root, std::wstring_view path, bool is64BitRow = true) const;
    // A key of HKEY_CLASSES_ROOT as the real key it is: the user's
    // (HKEY_CURRENT_USER\Software\Classes) when it is there, as Windows merges
    // them, else the machine's; for any other root the plain key text.
    std::wstring RealKeyText(const TRegistrySource& registry, TRegRoot root, std::wstring_view path,
                             bool is64BitRow = true) const;
    // The program's values of a key: the key whole when IsKeyEmpty, else each
    // named value (the default value cannot be listed apart from its key).
    void AddKeyOrValues(const TRegistrySource& registry, std::wstring_view keyText,
                        const std::vector<std::wstring>& ownValues);
    // The program's own keys, whole, without the protected-path test.
    void AddKeys(const std::vector<TRegistryKey>& keys);

    // The 15 protected paths, in their order.
    static const std::vector<std::wstring_view>& SystemPaths();
    // path is one of the protected paths.
    static bool IsSystemPath(std::wstring_view path);
    // path starts with one of them (a plain text prefix: "SAMPLE" starts with "SAM").
    static bool IsInSystemPath(std::wstring_view path);
    // Nothing but the program's values is in the key: no subkey and no value
    // other than ownValues ("" is the default value). A key that does not
    // open holds nothing.
    static bool IsKeyEmpty(const TRegistrySource& registry, std::wstring_view keyText,
                           const std::vector<std::wstring>& ownValues);

    // The entry of the key text and value name is listed.
    bool KeyExist(std::wstring_view keyText, std::wstring_view valueName = {}) const;

    // A whole key listed is the key the text names or one of its parents.
    bool Covers(std::wstring_view keyText) const;

    // Sorts by root, view and key path, whole keys before values of the same
    // path, and drops every entry whose key path contains (as text, ignoring
    // case) the key path of the whole key kept before it in the same root and
    // view: "Software\Foo" thus also covers "Software\FooBar". A value covers
    // nothing, and a user's key never covers the machine's of the same path.
    void Compact();

    // Raises std::out_of_range for an index outside the list.
    TFRRegEntry& GetItem(size_t index) const { return *FList.at(index); }
    size_t Count() const { return FList.size(); }

private:
    enum class TProtection { Checked, Unchecked };
    // The key a text names, its path without leading or trailing "\" and
    // the implied view applied; nothing when the text names no root.
    std::optional<TRegistryKey> Parse(std::wstring_view keyText) const;
    bool AddEntry(std::optional<TRegistryKey> key, std::wstring_view valueName, TProtection protection);
    static std::wstring Identity(const TRegistryKey& key, std::wstring_view valueName);

    const bool FIsWOW64;
    std::vector<std::unique_ptr<TFRRegEntry>> FList;
    std::unordered_set<std::wstring> FKeyHash;
};

} // namespace velmora
