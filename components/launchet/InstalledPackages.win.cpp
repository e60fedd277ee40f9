#include "components/launchet/InstalledPackages.h"

#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace velmora::launchet {

namespace {

bool IsProvisioned(const std::wstring& fullName) {
    return KeyExists(HKEY_LOCAL_MACHINE, std::wstring(ProvisionedKeyPath) + L"\\" + fullName);
}

// The package a repository entry names; the manifest's identity must give
// the entry's name, so a stale entry left over for another version is not
// taken for this one.
std::optional<TAppPackage> ReadEntry(const TRegKey& packages, const std::wstring& fullName) {
    TRegKey entry = packages.OpenSubKey(fullName);
    std::optional<std::wstring> folder = entry ? entry.ReadText(L"PackageRootFolder") : std::nullopt;
    if (!folder || folder->empty())
        return std::nullopt;
    std::wstring root = ExpandEnvironment(*folder);
    while (root.size() > 3 && root.back() == L'\\')
        root.pop_back();
    std::optional<TAppPackage> package = ReadAppPackage(root);
    if (!package || !SameText(package->FullName, fullName))
        return std::nullopt;
    package->Provisioned = IsProvisioned(package->FullName);
    return package;
}

TRegKey OpenPackages() {
    return TRegKey::Open(HKEY_CURRENT_USER, std::wstring(RepositoryKeyPath) + L"\\Packages");
}

} // namespace

std::vector<TAppPackage> ReadInstalledPackages() {
    std::vector<TAppPackage> result;
    TRegKey packages = OpenPackages();
    if (!packages)
        return result;
    for (const auto& fullName : packages.SubKeyNames().ToVector())
        if (auto package = ReadEntry(packages, fullName))
            result.push_back(std::move(*package));
    return result;
}

std::optional<TAppPackage> ReadInstalledPackage(const std::wstring& fullName) {
    TRegKey packages = OpenPackages();
    return packages ? ReadEntry(packages, fullName) : std::nullopt;
}

} // namespace velmora::launchet
