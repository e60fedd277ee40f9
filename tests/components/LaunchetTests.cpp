// LaunchetHelper.dll through its exports, over app packages laid out in the
// prefix as Windows records them. Package names carry the process id; every
// package is removed again.
#include "tests/components/LoadedComponent.h"
#include "api/Interfaces.Launchet.h"
#include "components/launchet/AppLogo.h"
#include "components/launchet/ResourceText.h"
#include "tests/Polling.h"
#include "tests/kits/AppPackages.h"
#include "tests/platform/ScratchKit.h"

#include <iterator>
#include <sstream>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr uint32_t LoadLimitMs = 20000;

using TGetter = void (STDMETHODCALLTYPE IMetroAppItem::*)(BSTR*);
using I = IMetroAppItem;

std::wstring Get(IMetroAppItem* item, TGetter getter) {
    BSTR value = nullptr;
    (item->*getter)(&value);
    return TakeText(value);
}
std::vector<std::wstring> Get(IMetroAppItem* item, const std::vector<TGetter>& getters) {
    std::vector<std::wstring> values;
    for (TGetter getter : getters)
        values.push_back(Get(item, getter));
    return values;
}
// The flags that are set, in the interface's order.
std::wstring Flags(IMetroAppItem* item) {
    const std::pair<bool, const wchar_t*> flags[] = {{item->IsExcluded1(), L"excluded1 "},
                                                     {item->IsExcluded2(), L"excluded2 "},
                                                     {item->IsListed(), L"listed "},
                                                     {item->IsFeatureListed(), L"feature-listed "},
                                                     {item->IsProvisioned(), L"provisioned "}};
    std::wstring set;
    for (auto [on, name] : flags)
        set += on ? name : L"";
    return set;
}
using Texts = std::vector<std::wstring>;

std::wstring PackageName(const wchar_t* stem) {
    return Format(L"Velmora.Launchet.%s.%d", stem, static_cast<int>(GetCurrentProcessId()));
}

} // namespace

// A package of the user's and a system app's, as one collection reads them
// and reads them again.
TEST(Launchet, ListsPackagesWithEveryValueAndReadsThemAgainWhenAskedProvisionedOrUpdated) {
    const TLoadedComponent component{L"LaunchetHelper.dll"};
    ASSERT_TRUE(component.Module);
    const TTestPackage app{.Name = PackageName(L"Notes"),
                           .DisplayName = L"Velmora Notes",
                           .PublisherDisplayName = L"Velmora Test Makers",
                           .Description = L"Takes notes",
                           .Provisioned = true};
    const TTestPackage hidden{.Name = PackageName(L"Helper"),
                              .DisplayName = L"ms-resource:AppName",
                              .InWindowsFolder = true,
                              .ApplicationId = L"Helper.Main",
                              .InAppList = false};
    TInstalledTestPackage installed[] = {TInstalledTestPackage(app), TInstalledTestPackage(hidden)};
    TComPtr<IMetroAppCollection> collection;
    ASSERT_EQ(
        component.GetInstance(__uuidof(IMetroAppCollection), reinterpret_cast<void**>(collection.put())),
        S_OK);
    ASSERT_TRUE(collection->WaitForLoad(LoadLimitMs, false));
    ASSERT_TRUE(collection->WaitForLoad(LoadLimitMs, true));
    EXPECT_EQ(collection->GetLoadError(), S_OK);
    EXPECT_FALSE(collection->IsLoading());
    // Every entry the test takes, released at its end.
    std::vector<TComPtr<IMetroAppItem>> items;
    auto find = [&](const std::wstring& fullName) {
        TComPtr<IMetroAppItem> item;
        collection->FindItem(fullName.c_str(), item.put());
        return item ? items.emplace_back(std::move(item)).get() : nullptr;
    };

    // Per package the values asked for and the flags that are set (framework
    // and resource packages, not listed, are the library's store-app test; the
    // logo variants the logo rule's). The helper's display name reference
    // cannot be resolved (the package has no resources): the package name stands in.
    IMetroAppItem *notes = find(app.FullName()), *helper = find(hidden.FullName());
    ASSERT_TRUE(notes && helper);
    EXPECT_EQ(Get(notes, {&I::GetPackageFullName, &I::GetPackageFamilyName, &I::GetDisplayName,
                          &I::GetDisplayNameResource, &I::GetDescriptionResource, &I::GetPublisher,
                          &I::GetPublisherResource, &I::GetInstallPath, &I::GetVersion, &I::GetArchitecture,
                          &I::GetLogo, &I::GetAppIds}),
              (Texts{L"Velmora.Launchet.Notes." + std::to_wstring(GetCurrentProcessId()) + L"_1.0.0.0_x64__" +
                         PublisherId(app.Publisher),
                     app.FamilyName(), L"Velmora Notes", L"Velmora Notes", L"Takes notes", app.Publisher,
                     L"Velmora Test Makers", ProgramFilesFolder() + L"\\WindowsApps\\" + app.FullName(),
                     L"1.0.0.0", L"x64", app.LogoFile(), L"App"}));
    EXPECT_EQ(Flags(notes), L"listed feature-listed provisioned ");
    EXPECT_EQ(
        Get(helper, {&I::GetInstallPath, &I::GetDisplayName, &I::GetDisplayNameResource, &I::GetAppIds}),
        (Texts{WindowsFolder() + L"\\SystemApps\\" + hidden.FullName(), hidden.Name, L"ms-resource:AppName",
               L"Helper.Main"}));
    EXPECT_EQ(Flags(helper), L"feature-listed ");

    // A missing package has no entry; texts load as given, and the package
    // has no resource file: references resolve to nothing.
    EXPECT_FALSE(find(L"Velmora.Launchet.Missing_1.0.0.0_x64__0000000000000"));
    const std::pair<std::wstring, const wchar_t*> texts[] = {
        {L"Plain text", L"Plain text"},
        {L"", L""},
        {L"ms-resource:AppName", L""},
        {L"@{" + app.FullName() + L"?ms-resource://x/Resources/AppName}", L""}};
    for (const auto& [reference, text] : texts) {
        BSTR value = nullptr;
        notes->LoadResourceString(reference.c_str(), &value);
        EXPECT_EQ(TakeText(value), text) << Narrow(reference);
    }

    // A load that finds nothing new changes neither the time nor the entries.
    const uint32_t loaded = collection->GetUpdateTime();
    collection->Update();
    ASSERT_TRUE(collection->WaitForLoad(LoadLimitMs, true));
    EXPECT_FALSE(collection->IsLoading());
    EXPECT_EQ(collection->GetUpdateTime(), loaded);
    EXPECT_TRUE(collection->Contains(helper));

    // Packages added and removed while it lives are the library's store-app
    // test (StoreApps); staged for all users while it lives: the provisioned
    // packages are watched too.
    const std::wstring provisioned =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications\\" +
        hidden.FullName();
    ASSERT_TRUE(TRegKey::Create(HKEY_LOCAL_MACHINE, provisioned));
    auto isProvisioned = [&] {
        IMetroAppItem* item = find(hidden.FullName());
        return item && item->IsProvisioned();
    };
    EXPECT_TRUE(WaitUntil(isProvisioned, std::chrono::seconds(5)));
    DeleteKey(HKEY_LOCAL_MACHINE, provisioned);
    EXPECT_TRUE(WaitUntil([&] { return !isProvisioned(); }, std::chrono::seconds(5)));
    EXPECT_FALSE(collection->Contains(helper));
    EXPECT_TRUE(collection->Contains(notes)) << "an unchanged package keeps its entry";

    // UpdateItem reads that package again when only its manifest changed (no
    // registry change for the watch to see); entries stay snapshots.
    const uint32_t time = collection->GetUpdateTime();
    const std::filesystem::path manifest(app.Folder() + L"\\AppxManifest.xml");
    auto rename = [&](const std::string& from, const std::string& to) {
        std::stringstream text;
        text << std::ifstream(manifest).rdbuf();
        std::string xml = text.str();
        xml.replace(xml.find(from), from.size(), to);
        std::ofstream(manifest, std::ios::binary | std::ios::trunc) << xml;
    };
    rename("Velmora Notes", "Renamed App");
    collection->UpdateItem(app.FullName().c_str());
    ASSERT_TRUE(collection->WaitForLoad(LoadLimitMs, true));
    IMetroAppItem* after = find(app.FullName());
    ASSERT_TRUE(after);
    EXPECT_EQ(Get(after, &I::GetDisplayName), L"Renamed App");
    EXPECT_EQ(Get(notes, &I::GetDisplayName), L"Velmora Notes");
    EXPECT_NE(collection->GetUpdateTime(), time);
    EXPECT_FALSE(collection->Contains(notes));

    // After an uninstall attempt the entry has the package read again the same way.
    rename("Renamed App", "Kept App");
    after->NotifyRemoved();
    ASSERT_TRUE(collection->WaitForLoad(LoadLimitMs, true));
    IMetroAppItem* checked = find(app.FullName());
    ASSERT_TRUE(checked);
    EXPECT_EQ(Get(checked, &I::GetDisplayName), L"Kept App");

    // Alive objects keep the component loaded; then it may go.
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    collection.reset();
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE); // entries still held
    items.clear();
    EXPECT_EQ(component.CanUnloadNow(), S_OK);
}

TEST(LaunchetResourceText, IndirectStringsFollowTheShellsRules) {
    const std::wstring full = L"Velmora.Notes_1.0.0.0_x64__abcdefghjkmnp";
    const std::pair<const wchar_t*, std::wstring> references[] = {
        {L"ms-resource:AppName", L"@{" + full + L"?ms-resource://Velmora.Notes/Resources/AppName}"},
        {L"ms-resource:Strings/Title", L"@{" + full + L"?ms-resource://Velmora.Notes/Strings/Title}"},
        {L"ms-resource:/Strings/Title", L"@{" + full + L"?ms-resource://Velmora.Notes/Strings/Title}"},
        {L"ms-resource://Other/Strings/Title", L"@{" + full + L"?ms-resource://Other/Strings/Title}"},
        {L"@{x?ms-resource://y/z}", L"@{x?ms-resource://y/z}"},
        {L"Plain", L""},
    };
    for (const auto& [reference, indirect] : references)
        EXPECT_EQ(launchet::IndirectResourceString(full, L"Velmora.Notes", reference), indirect)
            << Narrow(reference);
}

// Files added step by step, each step with the logo chosen then.
TEST(LaunchetLogo, IsTheManifestsFileElseTheVariantWindowsWouldPick) {
    const TTempFolder root(L"LaunchetLogo");
    std::filesystem::create_directories(root.Path / "Assets");
    const std::pair<std::vector<const wchar_t*>, const wchar_t*> steps[] = {
        {{}, L""},
        {{L"Logo.targetsize-24.png", L"Logo.targetsize-48.png"}, L"Logo.targetsize-48.png"},
        {{L"Logo.scale-80.png"}, L"Logo.scale-80.png"},
        {{L"Logo.scale-200.png", L"Logo.scale-150.png"}, L"Logo.scale-150.png"},
        {{L"Logo.scale-100_contrast-black.png"}, L"Logo.scale-150.png"},
        {{L"Logo.scale-100.png"}, L"Logo.scale-100.png"},
        {{L"Logo.png"}, L"Logo.png"},
    };
    for (const auto& [added, chosen] : steps) {
        for (const wchar_t* file : added)
            root.File(std::wstring(L"Assets\\") + file, "png");
        EXPECT_EQ(launchet::FindLogo(root.Path.wstring(), L"Assets\\Logo.png"),
                  *chosen ? root.Path.wstring() + L"\\Assets\\" + chosen : L"")
            << Narrow(chosen);
    }
    EXPECT_EQ(launchet::FindLogo(root.Path.wstring(), L""), L"");
}
