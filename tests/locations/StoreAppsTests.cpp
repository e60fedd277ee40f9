// Store apps through the library's public interface, as a front end sees
// them, over app packages laid out in a Windows 10 prefix. Package names
// carry the process id; every package is removed again.
#include "tests/kits/AppPackages.h"
#include "tests/library/LibraryHarness.h"

#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/LogDirectory.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <nlohmann/json.hpp>

#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr auto ReadLimit = std::chrono::seconds(90);

TTestPackage Package(const wchar_t* name) {
    TTestPackage package;
    package.Name = Format(L"Velmora.Apps.%s.%d", name, static_cast<int>(GetCurrentProcessId()));
    package.DisplayName = Format(L"Velmora %s", name);
    return package;
}

std::wstring Text(IProduct& product, TProductInfo index) {
    unique_variant value;
    product.GetInfo(index, value.put());
    return V_VT(&value.get()) == VT_BSTR ? BstrText(V_BSTR(&value.get())) : std::wstring();
}

std::optional<double> Date(IProduct& product, TProductInfo index) {
    unique_variant value;
    product.GetInfo(index, value.put());
    return V_VT(&value.get()) == VT_DATE ? std::optional(V_DATE(&value.get())) : std::nullopt;
}

// A program of the user's uninstall entries, beside the apps.
struct TClassicProgram {
    TClassicProgram() {
        TRegKey::Create(HKEY_CURRENT_USER, Key(), KEY_ALL_ACCESS).WriteString(L"DisplayName", Name);
    }
    ~TClassicProgram() { DeleteKey(HKEY_CURRENT_USER, Key()); }
    std::wstring Key() const { return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + Name; }
    const std::wstring Name = Format(L"Velmora Apps Classic %d", static_cast<int>(GetCurrentProcessId()));
};

class StoreApps : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Library->Module(), nullptr) << "VelmoraHelper.dll not found beside the test";
    }

    // A root whose first full read has ended, and its program collection.
    void Read() {
        Root = Library->NewRoot();
        ASSERT_TRUE(Root);
        Root->GetPrograms(Programs.put());
        ASSERT_TRUE(Programs);
        Root->Refresh();
        ASSERT_TRUE(WaitUntil([&] { return Root->GetReadState() == TReadState::rsLoaded; }, ReadLimit));
    }
    void TearDown() override {
        if (Root)
            Root->Stop();
        Programs.reset();
        Root.reset();
    }
    // The program whose product key is the package's full name.
    TComPtr<IProduct> Program(const std::wstring& fullName) {
        TComPtr<IProduct> found;
        Programs->Lock();
        for (int32_t i = 0, n = Programs->GetCount(); i < n && !found; ++i) {
            TComPtr<IProduct> product;
            Programs->GetItem(i, product.put());
            if (product && SameText(Text(*product, piProductKeyName), fullName))
                found = product;
        }
        Programs->Unlock();
        return found;
    }
    bool Listed(const std::wstring& fullName) { return static_cast<bool>(Program(fullName)); }

    std::optional<TLoadedLibrary> Library{std::in_place};
    TComPtr<IVelmora> Root;
    TComPtr<IProductCollection> Programs;
};

TEST_F(StoreApps, ListsTheUsersAppsWithTheirDetailsAndNotTheOtherPackages) {
    TTestPackage notes = Package(L"Notes");
    notes.PublisherDisplayName = L"Velmora Note Makers";
    notes.Version = L"2.5.0.7";
    notes.Description = L"Takes notes";
    TTestPackage shell = Package(L"Shell");
    shell.InWindowsFolder = true;
    TTestPackage runtime = Package(L"Runtime");
    runtime.Framework = true;
    runtime.ApplicationId.clear();
    TTestPackage language = Package(L"Language");
    language.ResourcePackage = true;
    language.ResourceId = L"split.language-de";
    language.ApplicationId.clear();
    TTestPackage hidden = Package(L"Hidden");
    hidden.InAppList = false;
    TInstalledTestPackage installed[] = {TInstalledTestPackage(notes), TInstalledTestPackage(shell),
                                         TInstalledTestPackage(runtime), TInstalledTestPackage(language),
                                         TInstalledTestPackage(hidden)};
    const TClassicProgram classic;
    ASSERT_NO_FATAL_FAILURE(Read());

    TComPtr<IProduct> app = Program(notes.FullName());
    ASSERT_TRUE(app);
    EXPECT_EQ(Text(*app, piDisplayName), L"Velmora Notes");
    EXPECT_EQ(Text(*app, piPublisher), L"Velmora Note Makers");
    EXPECT_EQ(Text(*app, piDisplayVersion), L"2.5.0.7");
    EXPECT_EQ(Text(*app, piComments), L"Takes notes");
    EXPECT_TRUE(SameText(Text(*app, piInstallLocation), notes.Folder()));
    EXPECT_GE(app->GetImageIndex(), 4) << "the logo, not the default icon";
    EXPECT_EQ(app->GetPossibleActions(), ActionBit(TPossibleActions::paUninstall));
    std::optional<double> installDate = Date(*app, piInstallDate);
    ASSERT_TRUE(installDate);
    SYSTEMTIME now;
    GetLocalTime(&now);
    double today = 0;
    SystemTimeToVariantTime(&now, &today);
    EXPECT_NEAR(*installDate, today, 1.0 / 24) << "laid out by this test";
    for (const TTestPackage* other : {&shell, &runtime, &language, &hidden})
        EXPECT_FALSE(Listed(other->FullName())) << Narrow(other->Name);

    // The console front end tells store apps from the other programs.
    auto [code, output] = RunProgram(ThisModuleFolder() + L"velmora.exe", L"list --json");
    ASSERT_EQ(code, 0) << output;
    const size_t start = output.starts_with("[") ? 0 : output.find("\n[");
    ASSERT_NE(start, std::string::npos) << output;
    auto programs = nlohmann::json::parse(output.substr(start), nullptr, false);
    ASSERT_TRUE(programs.is_array()) << output;
    int storeApps = 0, classics = 0;
    for (const auto& program : programs) {
        const bool isNotes = program.value("productId", "") == Narrow(notes.FullName());
        EXPECT_EQ(program.value("storeApp", !isNotes), isNotes) << program.dump();
        storeApps += isNotes;
        classics += program.value("displayName", "") == Narrow(classic.Name);
    }
    EXPECT_EQ(storeApps, 1);
    EXPECT_EQ(classics, 1);
}

TEST_F(StoreApps, AnAppAddedOrRemovedWhileTheLibraryWatchesIsPickedUp) {
    TTestPackage early = Package(L"Early");
    TTestPackage late = Package(L"Late");
    TInstalledTestPackage earlyInstalled(early);
    ASSERT_NO_FATAL_FAILURE(Read());
    ASSERT_TRUE(Listed(early.FullName()));

    TInstalledTestPackage lateInstalled(late);
    earlyInstalled.Remove();
    EXPECT_TRUE(WaitUntil([&] { return Listed(late.FullName()) && !Listed(early.FullName()); }, ReadLimit));
}

// Wine has no package manager: the removal fails, is logged, and the app stays.
TEST_F(StoreApps, AnUninstallWindowsRefusesIsLoggedAndTheAppStays) {
    TTestPackage app = Package(L"Kept");
    TInstalledTestPackage installed(app);
    const std::filesystem::path log = std::filesystem::path(LogDirectory()) /
                                      std::filesystem::path(ThisModuleFileName()).stem().concat(L".log");
    std::error_code none;
    const auto logStart = static_cast<std::streamoff>(std::filesystem::file_size(log, none));
    {
        ASSERT_NO_FATAL_FAILURE(Read());
        TComPtr<IProduct> product = Program(app.FullName());
        ASSERT_TRUE(product);
        TPossibleActions uninstall = TPossibleActions::paUninstall;
        HWND window = nullptr;
        EXPECT_TRUE(product->RunAction(&uninstall, &window));
        EXPECT_TRUE(WaitUntil([&] { return !product->IsActionRunning(); }));
        // The collection reloads after the attempt; the owner polls once a second.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        EXPECT_TRUE(Listed(app.FullName()));
        product.reset();
        TearDown();
    }
    // The library writes its diagnostic log out when it is unloaded.
    Library.reset();
    std::ifstream in(log, std::ios::binary);
    in.seekg(logStart);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Removing metro App: "), std::string::npos) << text;
}

} // namespace
