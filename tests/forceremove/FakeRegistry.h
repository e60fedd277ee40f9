#pragma once
// A registry of the test's own for the registry scanners, on 64-bit Windows:
// a key text without a view names the 64-bit one, and the 32-bit view
// ("(x32)") holds keys of its own unless the test shares them. Files exist
// when the test says so; no variable is set. A shared-DLL list in memory, a
// remove strategy that records its changes, and the texts of a list's items,
// to compare whole.
#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "forceremove/RemoveStrategy.h"
#include "forceremove/SharedDlls.h"
#include "platform/RegistryKeyText.h"
#include "platform/Text.h"

#include <functional>
#include <map>
#include <set>
#include <stdexcept>

namespace velmora::testing {

// What each item of a list (Count, GetItem) gives, in the list's order.
template <class TList, class F = std::identity>
std::vector<std::wstring> Texts(const TList& list, F text = {}) {
    std::vector<std::wstring> texts;
    for (size_t i = 0; i < list.Count(); ++i)
        texts.emplace_back(std::invoke(text, list.GetItem(i)));
    return texts;
}

// A shared-DLL list held in memory, empty unless given; paths compare without
// regard to case, as registry value names do.
class TSharedDllMap : public TSharedDllCounts {
public:
    struct TTextLess {
        bool operator()(const std::wstring& a, const std::wstring& b) const { return CompareText(a, b) < 0; }
    };
    using TCounts = std::map<std::wstring, std::optional<int64_t>, TTextLess>;

    explicit TSharedDllMap(TCounts counts = {}) : FCounts(std::move(counts)) {}
    std::vector<std::wstring> Paths() const override {
        std::vector<std::wstring> paths;
        for (const auto& entry : FCounts)
            paths.push_back(entry.first);
        return paths;
    }
    std::optional<int64_t> Count(const std::wstring& path) const override {
        auto found = FCounts.find(path);
        return found == FCounts.end() ? std::nullopt : found->second;
    }

private:
    TCounts FCounts;
};

// A remove strategy that changes nothing and hands each change on as a line:
// "file <path>", "dir <path>", "key <entry>", "value <key>\<name>",
// "write <key>\<name>=<number>", "service <name>"; every file plainly archived.
class TChangeLines : public IRemoveStrategy {
public:
    void RemoveDir(const std::wstring& path) override { Change(L"dir " + path); }
    void RemoveFile(const std::wstring& path) override { Change(L"file " + path); }
    void RemoveKey(const TFRRegEntry& entry) override { Change(L"key " + entry.FullPath()); }
    void RemoveValue(TRegRoot root, const std::wstring& key, const std::wstring& name) override {
        Change(L"value " + TRegistryKey{TRegView::Default, root, key}.Text() + L"\\" + name);
    }
    void WriteValue(TRegRoot root, const std::wstring& key, uint32_t value,
                    const std::wstring& name) override {
        Change(L"write " + TRegistryKey{TRegView::Default, root, key}.Text() + L"\\" + name + L"=" +
               std::to_wstring(value));
    }
    void RemoveService(const std::wstring& name) override { Change(L"service " + name); }
    uint32_t FileGetAttr(const std::wstring&) override { return 0x20; }
    void FileSetAttr(const std::wstring&, uint32_t) override {}

    std::vector<std::wstring> Lines; // what Change was handed, unless overridden

protected:
    virtual void Change(const std::wstring& change) { Lines.push_back(change); }
};

class TFakeRegistry : public TRegistrySource {
public:
    enum class TType { String, ExpandString };

    // Makes the key with its parents and sets a value (an empty name is the default value).
    void Set(std::wstring_view keyText, std::wstring_view name, std::wstring_view data,
             TType type = TType::String) {
        TRegistryKey key = Parse(keyText);
        std::wstring path;
        for (size_t start = 0; start < key.Path.size();) {
            size_t end = std::min(key.Path.find(L'\\', start), key.Path.size());
            std::wstring part = key.Path.substr(start, end - start);
            FKeys[Id({key.View, key.Root, path})].SubKeys.insert({UpperCase(part), part});
            path += (path.empty() ? L"" : L"\\") + part;
            start = end + 1;
        }
        FKeys[Id(key)].Values[UpperCase(name)] = {std::wstring(name), type, std::wstring(data)};
    }
    // Sets each row's value.
    struct TRow {
        std::wstring Key, Name, Data;
        TType Type = TType::String;
    };
    void Set(const std::vector<TRow>& rows) {
        for (const TRow& row : rows)
            Set(row.Key, row.Name, row.Data, row.Type);
    }
    void AddFile(std::wstring path) { FFiles.insert(UpperCase(path)); }
    // The key (a text without a view) is one key in both views, as Windows keeps most class keys.
    void Share(std::wstring_view keyText) { FShared.insert(Id(Parse(keyText))); }

    bool Is64BitWindows() const override { return true; }
    std::vector<std::wstring> SubKeyNames(std::wstring_view keyText) const override {
        std::vector<std::wstring> names;
        if (const TKey* key = Find(keyText))
            for (const auto& [id, name] : key->SubKeys)
                names.push_back(name);
        return names;
    }
    std::vector<std::wstring> ValueNames(std::wstring_view keyText) const override {
        std::vector<std::wstring> names;
        if (const TKey* key = Find(keyText))
            for (const auto& [id, value] : key->Values)
                names.push_back(value.Name);
        return names;
    }
    std::optional<std::wstring> ReadString(std::wstring_view keyText, std::wstring_view name) const override {
        const TValue* value = FindValue(keyText, name);
        return value && value->Type == TType::String ? std::optional(value->Data) : std::nullopt;
    }
    std::optional<std::wstring> ReadText(std::wstring_view keyText, std::wstring_view name) const override {
        const TValue* value = FindValue(keyText, name);
        return value ? std::optional(value->Data) : std::nullopt;
    }
    bool KeyExists(std::wstring_view keyText) const override { return Find(keyText) != nullptr; }
    bool SharedByBothViews(std::wstring_view keyText) const override {
        return FShared.contains(Id(Parse(keyText)));
    }
    bool FileExists(const std::wstring& path) const override { return FFiles.contains(UpperCase(path)); }
    std::optional<std::wstring> Variable(const std::wstring&) const override { return std::nullopt; }

private:
    struct TValue {
        std::wstring Name;
        TType Type;
        std::wstring Data;
    };
    struct TKey {
        std::map<std::wstring, std::wstring> SubKeys; // upper-cased name -> name
        std::map<std::wstring, TValue> Values;        // upper-cased name -> value
    };

    static TRegistryKey Parse(std::wstring_view keyText) {
        auto key = TRegistryKey::FromText(keyText);
        if (!key)
            throw std::invalid_argument("not a key text");
        if (key->View == TRegView::Default)
            key->View = TRegView::x64;
        return *key;
    }
    static std::wstring Id(const TRegistryKey& key) { return UpperCase(key.Text()); }
    const TKey* Find(std::wstring_view keyText) const {
        auto found = FKeys.find(Id(Parse(keyText)));
        return found == FKeys.end() ? nullptr : &found->second;
    }
    const TValue* FindValue(std::wstring_view keyText, std::wstring_view name) const {
        const TKey* key = Find(keyText);
        if (!key)
            return nullptr;
        auto found = key->Values.find(UpperCase(name));
        return found == key->Values.end() ? nullptr : &found->second;
    }

    std::map<std::wstring, TKey> FKeys;
    std::set<std::wstring> FFiles;
    std::set<std::wstring> FShared;
};

} // namespace velmora::testing
