#pragma once
// App packages laid out in the test prefix the way Windows records an
// installed package, for tests of whatever lists store apps.
//
//   TTestPackage package;                 // describe it (defaults below)
//   package.Name = L"Velmora.Test.Notes";
//   package.DisplayName = L"Notes";
//   TInstalledTestPackage installed(package); // install; removed on scope exit
//   installed.FullName(), package.FamilyName(), package.Folder()
//
// InstallTestPackage writes the install folder (AppxManifest.xml, a signature
// file and, when HasLogo, a 1x1 PNG logo), the current user's repository keys
// (Packages\<full name> with one subkey per application, and
// Families\<family name>\<full name>) and, when Provisioned, the all-users
// store's key; RemoveTestPackage deletes all of it again. Both throw
// std::runtime_error when a step fails.
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
    // Empty: %ProgramFiles%\WindowsApps\<full name>, or with InWindowsFolder
    // %WINDIR%\SystemApps\<full name>; else this folder.
    std::wstring InstallFolder;
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
// Removes what InstallTestPackage wrote; what is already gone is no error.
void RemoveTestPackage(const TTestPackage& package);

// Installed for the object's lifetime.
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
