// Store apps through the library's public interface over app packages laid
// out in a Windows 10 prefix (named with the process id, removed again).
#include "tests/kits/AppPackages.h"
#include "tests/kits/LibraryRoot.h"

#include "platform/Format.h"
#include "platform/LogDirectory.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <filesystem>
#include <fstream>
#include <thread>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr auto ReadLimit = std::chrono::seconds(90);

TTestPackage Package(const wchar_t* name) {
    return ProcessPackage(L"Apps", name);
}

class StoreApps : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Lib.Library->Module(), nullptr) << "VelmoraHelper.dll not found beside the test";
    }
    void Read() { ASSERT_TRUE(Lib.Read()); }
    // The program whose product key is the package's full name.
    TComPtr<IProduct> Program(const std::wstring& fullName) {
        return FindProduct(*Lib.Programs, piProductKeyName, fullName, SameText);
    }
    bool Listed(const std::wstring& fullName) { return static_cast<bool>(Program(fullName)); }

    TLibraryRoot Lib;
};

TEST_F(StoreApps, ListsTheUsersAppsWithTheirDetailsAndNotTheOtherPackages) {
    TTestPackage notes = Package(L"Notes"), shell = Package(L"Shell"), runtime = Package(L"Runtime"),
                 language = Package(L"Language"), hidden = Package(L"Hidden");
    shell.InWindowsFolder = runtime.Framework = language.ResourcePackage = true;
    runtime.ApplicationId = language.ApplicationId = L"";
    language.ResourceId = L"split.language-de";
    hidden.InAppList = false;
    TInstalledTestPackage installed[] = {TInstalledTestPackage(notes), TInstalledTestPackage(shell),
                                         TInstalledTestPackage(runtime), TInstalledTestPackage(language),
                                         TInstalledTestPackage(hidden)};
    ASSERT_NO_FATAL_FAILURE(Read());

    TComPtr<IProduct> app = Program(notes.FullName());
    ASSERT_TRUE(app);
    EXPECT_EQ(InfoText(*app, piDisplayName), L"Velmora Notes");
    EXPECT_TRUE(SameText(InfoText(*app, piInstallLocation), notes.Folder()));
    EXPECT_GE(app->GetImageIndex(), 4) << "the logo, not the default icon";
    EXPECT_EQ(app->GetPossibleActions(), ActionBit(TPossibleActions::paUninstall));
    std::optional<double> installDate = InfoDate(*app, piInstallDate);
    ASSERT_TRUE(installDate);
    SYSTEMTIME now;
    GetLocalTime(&now);
    double today = 0;
    SystemTimeToVariantTime(&now, &today);
    EXPECT_NEAR(*installDate, today, 1.0 / 24) << "laid out by this test";
    for (const TTestPackage* other : {&shell, &runtime, &language, &hidden})
        EXPECT_FALSE(Listed(other->FullName())) << Narrow(other->Name);
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
        Lib.Release();
    }
    // The library writes its diagnostic log out when it is unloaded.
    Lib.Library.reset();
    std::ifstream in(log, std::ios::binary);
    in.seekg(logStart);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Removing metro App: "), std::string::npos) << text;
}

} // namespace
