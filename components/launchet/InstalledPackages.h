#pragma once
// Where Windows records the app packages of the current user, and reading
// them from there.
#include "components/launchet/AppPackage.h"

#include <optional>
#include <string>
#include <vector>

namespace velmora::launchet {

// Under HKEY_CURRENT_USER: the user's package repository, one subkey
// Packages\<full name> per registered package (PackageRootFolder names its
// folder) and Families\<family name>\<full name>.
inline constexpr wchar_t RepositoryKeyPath[] =
    L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\Repository";
// Under HKEY_LOCAL_MACHINE: one subkey per package full name staged for every
// new user.
inline constexpr wchar_t ProvisionedKeyPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications";

// Every package of the repository whose manifest can be read, in the
// repository's order. A missing repository is an empty list. The caller is in
// a COM apartment.
std::vector<TAppPackage> ReadInstalledPackages();
// The one package of that full name; nothing when it is not installed.
std::optional<TAppPackage> ReadInstalledPackage(const std::wstring& fullName);

} // namespace velmora::launchet
