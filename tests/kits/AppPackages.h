#pragma once
// App packages laid out as Windows records an installed one: the install folder
// (manifest, signature, logo), the user's repository keys and, when provisioned,
// the all-users store's key. Steps that fail throw std::runtime_error.
#include "platform/PackageIdentity.h"

#include <string>

namespace velmora::testing {

struct TTestPackage {
    std::wstring Name = L"Velmora.Test.App";
    std::wstring Publisher = L"CN=Velmora Test Publisher";
    std::wstring Version = L"1.0.0.0";
    std::wstring Architecture = L"x64";
    std::wstring ResourceId;
    // Properties, written as given (plain text or "ms-resource:..."); an
    // empty Description is left out.
    std::wstring DisplayName = L"Velmora Test App";
    std::wstring PublisherDisplayName = L"Velmora Test Publisher";
    std::wstring Description;
    bool HasLogo = true;
    // Empty: the logo is the manifest's own file name; else only the variant
    // with this qualifier is written (e.g. L"scale-100", L"targetsize-44").
    std::wstring LogoVariant;
    // %ProgramFiles%\WindowsApps\<full name>, or %WINDIR%\SystemApps\<full name>.
    bool InWindowsFolder = false;
    bool Framework = false;
    bool ResourcePackage = false;
    // Empty: no Applications element.
    std::wstring ApplicationId = L"App";
    // False: the application's VisualElements carry AppListEntry="none".
    bool InAppList = true;
    bool Provisioned = false;

    TPackageIdentity Identity() const { return {Name, Publisher, Version, Architecture, ResourceId}; }
    std::wstring FullName() const { return PackageFullName(Identity()); }
    std::wstring FamilyName() const { return PackageFamilyName(Identity()); }
    // The install folder, without trailing backslash.
    std::wstring Folder() const;
    // Full path of the logo file written, empty without logo.
    std::wstring LogoFile() const;
};

// A package of this process: named Velmora.<group>.<stem>.<process id>,
// displayed as "Velmora <stem>".
TTestPackage ProcessPackage(const wchar_t* group, const wchar_t* stem);

void InstallTestPackage(const TTestPackage& package);

// Installed for the object's lifetime; what is already gone is no error at removal.
class TInstalledTestPackage {
public:
    explicit TInstalledTestPackage(TTestPackage package);
    ~TInstalledTestPackage();
    TInstalledTestPackage(const TInstalledTestPackage&) = delete;
    TInstalledTestPackage& operator=(const TInstalledTestPackage&) = delete;

    const TTestPackage& Package() const { return FPackage; }
    std::wstring FullName() const { return FPackage.FullName(); }
    // Removes it now (the destructor then does nothing).
    void Remove();

private:
    TTestPackage FPackage;
    bool FInstalled = false;
};

} // namespace velmora::testing
