#include "forceremove/RegList.h"

#include "forceremove/RegistrySource.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

TFRRegList::TFRRegList(bool is64BitWindows) : FIsWOW64(is64BitWindows) {}

const std::vector<std::wstring_view>& TFRRegList::SystemPaths() {
    static const std::vector<std::wstring_view> paths{L"HARDWARE",
                                                      L"SAM",
                                                      L"SECURITY",
                                                      L"SYSTEM",
                                                      L"Interface",
                                                      L"CLSID",
                                                      L"AppID",
                                                      L"SOFTWARE\\Wow6432Node",
                                                      L"SOFTWARE\\Classes",
                                                      L"SOFTWARE\\Clients",
                                                      L"SOFTWARE\\Microsoft",
                                                      L"SOFTWARE\\ODBC",
                                                      L"SOFTWARE\\Policies",
                                                      L"SOFTWARE\\Program Groups",
                                                      L"SOFTWARE\\Secure"};
    return paths;
}

bool TFRRegList::IsSystemPath(std::wstring_view path) {
    const auto& paths = SystemPaths();
    return std::any_of(paths.begin(), paths.end(), [&](auto p) { return SameText(path, p); });
}

bool TFRRegList::IsInSystemPath(std::wstring_view path) {
    const auto& paths = SystemPaths();
    return std::any_of(paths.begin(), paths.end(), [&](auto p) { return StartsWithText(path, p); });
}

bool TFRRegList::IsKeyEmpty(const TRegistrySource& registry, std::wstring_view keyText,
                            const std::vector<std::wstring>& ownValues) {
    if (!registry.SubKeyNames(keyText).empty())
        return false;
    const auto values = registry.ValueNames(keyText);
    return std::all_of(values.begin(), values.end(), [&](const auto& value) {
        return std::any_of(ownValues.begin(), ownValues.end(),
                           [&](const auto& own) { return SameText(own, value); });
    });
}

std::optional<TRegistryKey> TFRRegList::Parse(std::wstring_view keyText) const {
    auto key = TRegistryKey::FromText(std::wstring(keyText) + L'\\');
    if (key && key->View == TRegView::Default && FIsWOW64)
        key->View = TRegView::x64;
    return key;
}

bool TFRRegList::Add(std::wstring_view keyText, std::wstring_view valueName) {
    return AddEntry(Parse(keyText), valueName, TProtection::Checked);
}

bool TFRRegList::Add(TRegRoot root, std::wstring_view path, std::wstring_view valueName) {
    return Add(KeyText(root, path), valueName);
}

std::wstring TFRRegList::KeyText(TRegRoot root, std::wstring_view path, bool is64BitRow) const {
    return RegistryKeyToStr(FIsWOW64 && is64BitRow ? TRegView::x64 : TRegView::x32, root, path);
}

std::wstring TFRRegList::RealKeyText(const TRegistrySource& registry, TRegRoot root, std::wstring_view path,
                                     bool is64BitRow) const {
    if (root != TRegRoot::ClassesRoot)
        return KeyText(root, path, is64BitRow);
    const std::wstring below = L"Software\\Classes\\" + std::wstring(path);
    if (std::wstring user = KeyText(TRegRoot::CurrentUser, below, is64BitRow); registry.KeyExists(user))
        return user;
    return KeyText(TRegRoot::LocalMachine, below, is64BitRow);
}

void TFRRegList::AddKeyOrValues(const TRegistrySource& registry, std::wstring_view keyText,
                                const std::vector<std::wstring>& ownValues) {
    if (IsKeyEmpty(registry, keyText, ownValues)) {
        Add(keyText, L"");
        return;
    }
    for (const auto& value : ownValues)
        if (!value.empty())
            Add(keyText, value);
}

void TFRRegList::AddKeys(const std::vector<TRegistryKey>& keys) {
    for (const auto& key : keys)
        AddEntry(Parse(key.Text()), {}, TProtection::Unchecked);
}

bool TFRRegList::AddEntry(std::optional<TRegistryKey> key, std::wstring_view valueName,
                          TProtection protection) {
    // A whole registry root never enters the list.
    if (!key || key->Path.empty())
        return false;
    if (protection == TProtection::Checked && IsSystemPath(key->Path))
        return false;
    if (!FKeyHash.insert(Identity(*key, valueName)).second)
        return false;
    FList.push_back(std::make_unique<TFRRegEntry>(std::move(*key), std::wstring(valueName)));
    return true;
}

// Built from the parsed key, so that short root names, a trailing "\" and
// an implied view name the same entry as the canonical text.
std::wstring TFRRegList::Identity(const TRegistryKey& key, std::wstring_view valueName) {
    return UpperCase(key.Text() + L'\\' + std::wstring(valueName));
}

bool TFRRegList::KeyExist(std::wstring_view keyText, std::wstring_view valueName) const {
    auto key = Parse(keyText);
    return key && FKeyHash.contains(Identity(*key, valueName));
}

bool TFRRegList::Covers(std::wstring_view keyText) const {
    auto key = Parse(keyText);
    return key && std::any_of(FList.begin(), FList.end(), [&](const auto& entry) {
               return !entry->IsValue() && entry->Root() == key->Root && entry->View() == key->View &&
                      (SameText(key->Path, entry->Key()) || StartsWithText(key->Path, entry->Key() + L'\\'));
           });
}

void TFRRegList::Compact() {
    auto order = [](const TFRRegEntry& a, const TFRRegEntry& b) {
        if (a.Root() != b.Root())
            return a.Root() < b.Root();
        if (a.View() != b.View())
            return a.View() < b.View();
        if (int byPath = CompareText(a.Key(), b.Key()))
            return byPath < 0;
        return !a.IsValue() && b.IsValue();
    };
    std::stable_sort(FList.begin(), FList.end(), [&](const auto& a, const auto& b) { return order(*a, *b); });
    const TFRRegEntry* kept = nullptr; // the last whole key kept
    for (auto& entry : FList) {
        if (kept && kept->Root() == entry->Root() && kept->View() == entry->View() &&
            ContainsText(entry->Key(), kept->Key())) {
            FKeyHash.erase(Identity(entry->RegistryKey(), entry->ValueName()));
            entry.reset();
        } else if (!entry->IsValue()) {
            kept = entry.get();
        }
    }
    std::erase(FList, nullptr);
}

} // namespace velmora
