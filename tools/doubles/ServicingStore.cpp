#include "tools/doubles/ServicingStore.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"

#include <algorithm>

namespace velmora::doubles {

namespace {

constexpr wchar_t kPackagesKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\Packages";
constexpr wchar_t kFoundationName[] = L"Microsoft-Windows-Foundation-Package";

std::wstring ServicingFolder() {
    return WindowsFolder() + L"\\servicing";
}

std::wstring ManifestPath(const std::wstring& packageKey) {
    return ServicingFolder() + L"\\Packages\\" + packageKey + L".mum";
}

TRegKey PackagesKey() {
    return TRegKey::Open(TRegRoot::LocalMachine, kPackagesKey, KEY_READ, TRegView::x64);
}

bool IsLanguageNeutral(const std::wstring& packageKey) {
    std::optional<TPackageKey> key = ParsePackageKey(packageKey);
    return key && key->Locale.empty();
}

bool Declares(const std::vector<std::wstring>& updates, const std::wstring& name) {
    return std::find(updates.begin(), updates.end(), name) != updates.end();
}

// The manifests of language-neutral packages, by package key.
std::vector<std::wstring> NeutralManifests() {
    std::vector<std::wstring> keys;
    for (const TFindData& file : FindFiles(ServicingFolder() + L"\\Packages\\*.mum")) {
        std::wstring name(file.Name());
        name.resize(name.size() - 4);
        if (!file.IsFolder() && IsLanguageNeutral(name))
            keys.push_back(name);
    }
    return keys;
}

} // namespace

std::optional<TPackageKey> ParsePackageKey(std::wstring_view key) {
    std::vector<std::wstring> parts(1);
    for (wchar_t c : key)
        if (c == L'~')
            parts.emplace_back();
        else
            parts.back() += c;
    if (parts.size() != 5)
        return std::nullopt;
    return TPackageKey{parts[0], parts[1], parts[2], parts[3], parts[4]};
}

std::optional<std::vector<std::wstring>> DeclaredUpdates(const std::wstring& packageKey) {
    TXmlElement assembly = TXmlDocument::LoadElement(ManifestPath(packageKey));
    if (!assembly)
        return std::nullopt;
    std::vector<std::wstring> names;
    for (const TXmlElement& update : assembly.Child(L"package").Children(L"update"))
        if (std::optional<std::wstring> name = update.Attribute(L"name"))
            names.push_back(*name);
    return names;
}

std::vector<TFeature> ListFeatures() {
    std::vector<TFeature> features;
    TRegKey packages = PackagesKey();
    for (const std::wstring& packageKey : packages.SubKeyNames().ToVector()) {
        if (!IsLanguageNeutral(packageKey))
            continue;
        std::optional<std::vector<std::wstring>> declared = DeclaredUpdates(packageKey);
        if (!declared)
            continue;
        TRegKey updates = packages.OpenSubKey(packageKey + L"\\Updates");
        for (const std::wstring& name : updates.ValueNames().ToVector()) {
            std::optional<DWORD> state = updates.ReadNumber(name);
            bool known = std::any_of(features.begin(), features.end(),
                                     [&](const TFeature& feature) { return feature.Name == name; });
            if (state && !known && Declares(*declared, name))
                features.push_back({name, *state});
        }
    }
    std::sort(features.begin(), features.end(),
              [](const TFeature& a, const TFeature& b) { return CompareText(a.Name, b.Name) < 0; });
    return features;
}

std::wstring FoundationPackage() {
    for (const std::wstring& packageKey : NeutralManifests())
        if (SameText(ParsePackageKey(packageKey)->Name, kFoundationName))
            return packageKey;
    return {};
}

std::wstring PackageOfUpdate(const std::wstring& updateName) {
    TRegKey packages = PackagesKey();
    // Features live in language-neutral packages; their localized packages
    // may carry states of the same names.
    std::vector<std::wstring> keys = packages.SubKeyNames().ToVector();
    std::stable_partition(keys.begin(), keys.end(), IsLanguageNeutral);
    for (const std::wstring& packageKey : keys)
        if (packages.OpenSubKey(packageKey + L"\\Updates").ReadNumber(updateName))
            return packageKey;
    for (const std::wstring& packageKey : NeutralManifests())
        if (std::optional<std::vector<std::wstring>> declared = DeclaredUpdates(packageKey))
            if (Declares(*declared, updateName))
                return packageKey;
    return {};
}

bool WriteUpdateState(const std::wstring& packageKey, const std::wstring& updateName, DWORD state) {
    TRegKey updates = TRegKey::Create(TRegRoot::LocalMachine,
                                      std::wstring(kPackagesKey) + L"\\" + packageKey + L"\\Updates",
                                      KEY_READ | KEY_WRITE, TRegView::x64);
    return updates && updates.WriteNumber(updateName, state);
}

std::optional<DWORD> PackageState(const std::wstring& packageKey) {
    return PackagesKey().OpenSubKey(packageKey).ReadNumber(L"CurrentState");
}

bool WritePackageState(const std::wstring& packageKey, DWORD state) {
    TRegKey package = TRegKey::Open(TRegRoot::LocalMachine, std::wstring(kPackagesKey) + L"\\" + packageKey,
                                    KEY_READ | KEY_WRITE, TRegView::x64);
    return package && package.WriteNumber(L"CurrentState", state);
}

std::optional<bool> IsPermanentPackage(const std::wstring& packageKey) {
    TXmlElement assembly = TXmlDocument::LoadElement(ManifestPath(packageKey));
    if (!assembly)
        return std::nullopt;
    TXmlElement package = assembly.Child(L"package");
    return package && SameText(package.Attribute(L"permanence").value_or(L""), L"permanent");
}

static std::wstring LockPath() {
    return ServicingFolder() + L"\\velmora-double.lock";
}

std::optional<TOperationLock> TOperationLock::Take() {
    CreateDirectoryW(ServicingFolder().c_str(), nullptr);
    unique_file file(CreateFileW(LockPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file)
        return std::nullopt;
    return TOperationLock(std::move(file));
}

bool TOperationLock::Held() {
    unique_file file(CreateFileW(LockPath().c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

} // namespace velmora::doubles
