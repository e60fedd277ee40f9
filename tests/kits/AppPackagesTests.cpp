#include "tests/kits/AppPackages.h"

#include "platform/ComObject.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/XmlDocument.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

const std::wstring Repository =
    L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\Repository";

} // namespace

TEST(AppPackageKit, InstallWritesWhatWindowsRecordsAndRemoveTakesItAway) {
    TComApartmentGuard com;
    TTestPackage package;
    package.Name = L"Velmora.Kit.Check";
    package.DisplayName = L"ms-resource:AppName";
    package.LogoVariant = L"scale-100";
    package.Provisioned = true;
    const std::wstring fullName = package.FullName();
    ASSERT_EQ(fullName, L"Velmora.Kit.Check_1.0.0.0_x64__" + PublisherId(package.Publisher));
    {
        TInstalledTestPackage installed(package);
        EXPECT_EQ(package.Folder(), ProgramFilesFolder() + L"\\WindowsApps\\" + fullName);
        EXPECT_TRUE(FileExists(package.Folder() + L"\\AppxSignature.p7x"));
        EXPECT_TRUE(FileExists(package.Folder() + L"\\Assets\\StoreLogo.scale-100.png"));
        EXPECT_FALSE(FileExists(package.Folder() + L"\\Assets\\StoreLogo.png"));

        TXmlElement manifest = TXmlDocument::LoadElement(package.Folder() + L"\\AppxManifest.xml");
        ASSERT_TRUE(manifest);
        EXPECT_EQ(manifest.Child(L"Identity").Attribute(L"Name"), package.Name);
        EXPECT_EQ(manifest.Child(L"Applications").Child(L"Application").Attribute(L"Id"), L"App");

        TRegKey key = TRegKey::Open(HKEY_CURRENT_USER, Repository + L"\\Packages\\" + fullName);
        EXPECT_EQ(key.ReadString(L"PackageRootFolder"), package.Folder());
        EXPECT_EQ(key.ReadString(L"PackageID"), fullName);
        EXPECT_EQ(key.ReadString(L"DisplayName"),
                  L"@{" + fullName + L"?ms-resource://Velmora.Kit.Check/Resources/AppName}");
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER,
                              Repository + L"\\Families\\" + package.FamilyName() + L"\\" + fullName));
        EXPECT_TRUE(KeyExists(
            HKEY_LOCAL_MACHINE,
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications\\" +
                fullName));
    }
    EXPECT_FALSE(PathExists(package.Folder()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Repository + L"\\Packages\\" + fullName));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Repository + L"\\Families\\" + package.FamilyName()));
    EXPECT_FALSE(KeyExists(
        HKEY_LOCAL_MACHINE,
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications\\" + fullName));
}
