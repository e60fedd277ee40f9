// The executable catalogue under Wine: real shortcuts in a Start-menu folder
// and Run values, under unique names, removed again by each test.
#include "inventory/ItemFolder.h"
#include "locations/LocationExeInfo.h"
#include "platform/ComObject.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "tests/kits/ShortcutKit.h"
#include "tests/platform/ScratchKit.h"
#include "tests/TestBase.h"

#include <shlobj.h>

namespace velmora {
namespace {

using testing::WriteShortcut;

constexpr std::wstring_view RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

size_t EntriesForFile(const std::wstring& path) {
    size_t found = 0;
    TItemFolder::Lock();
    for (const auto& item : TItemFolder::Items())
        found += SameText(item->ExecutedFile(), path);
    TItemFolder::Unlock();
    return found;
}

// A program folder under the temporary folder and a folder of shortcuts in
// the user's Start menu, both removed afterwards.
class ExeCatalogue : public ::testing::Test {
protected:
    const testing::TTempFolder FProgram{L"VelmoraExe"};
    const testing::TTempFolder FMenuFolder{L"VelmoraExe", SpecialFolder(CSIDL_PROGRAMS)};
    // Also the name of the test's products and Run values.
    const std::wstring FName = FProgram.Path.filename().wstring();
    const std::wstring FFolder = FProgram.Path.wstring(), FMenu = FMenuFolder.Path.wstring();
};

TEST_F(ExeCatalogue, OneEntryPerExecutableAndPerShortcutName) {
    const std::wstring exe = FProgram.File(L"Widget.exe");
    const std::wstring link = FMenu + L"\\Widget Pro 2.5 (beta).lnk";
    WriteShortcut(link, exe);
    TItemFolder* entry = TItemFolder::AddItem(link);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->LinkName(), L"Widget Pro");
    EXPECT_TRUE(SameText(entry->ExecutedFile(), exe)) << entry->ExecutedFile();
    EXPECT_EQ(TItemFolder::AddItem(UpperCase(exe)), entry);
    EXPECT_EQ(TItemFolder::AddItem(FFolder + L"\\missing.exe"), nullptr);
    EXPECT_EQ(EntriesForFile(exe), 1u);

    // Another shortcut of the same name joins the entry; one of another name does not.
    const std::wstring sub = FMenu + L"\\Sub";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    WriteShortcut(sub + L"\\Widget Pro.lnk", exe);
    EXPECT_EQ(TItemFolder::AddItem(sub + L"\\Widget Pro.lnk"), entry);
    WriteShortcut(sub + L"\\Widget Help.lnk", exe);
    TItemFolder* help = TItemFolder::AddItem(sub + L"\\Widget Help.lnk");
    ASSERT_NE(help, nullptr);
    EXPECT_NE(help, entry);
}

TEST_F(ExeCatalogue, ScanMatchesTheBareProductNameAndReadsTheVersionOnce) {
    const std::wstring exe = FFolder + L"\\WidgetPro.exe";
    ASSERT_TRUE(CopyFileW(ThisModuleFileName().c_str(), exe.c_str(), FALSE)); // with this test's version
    const std::wstring uninstaller = FProgram.File(L"unins000.exe");
    // The catalogue is process-wide: a product name of this test only.
    const std::wstring product = FName + L"Gizmo";
    WriteShortcut(FMenu + L"\\Uninstall " + product + L".lnk", uninstaller);
    WriteShortcut(FMenu + L"\\" + product + L".lnk", exe);

    TLocationExeInfo location;
    location.ReadProgramsSlowInfo();
    location.ReadProgramsSlowInfo();
    ASSERT_EQ(EntriesForFile(exe), 1u);
    TItemFolder* found = TItemFolder::SearchForExecutable(product + L" 2.5.1 (x64 edition)", L"");
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(SameText(found->ExecutedFile(), exe)) << found->ExecutedFile();
    EXPECT_EQ(found->CompanyName() + L", " + found->ProductVersion(),
              L"Velmora Catalogue Maker, 2.5.1 catalogue");
    // By folder, the uninstaller in the same folder is passed over.
    EXPECT_EQ(TItemFolder::SearchForExecutable(L"Something else", FFolder), found);
}

TEST_F(ExeCatalogue, RunValuesOfBothViewsAddQuotedAndBareExecutables) {
    const std::wstring quoted = FProgram.File(L"Quoted Tray.exe"), withArgs = FProgram.File(L"plain.exe");
    const std::wstring machine = FProgram.File(L"machine.exe"), machine32 = FProgram.File(L"machine32.exe");
    const TRegKey user = TRegKey::Create(HKEY_CURRENT_USER, RunKey);
    const TRegKey local = TRegKey::Create(HKEY_LOCAL_MACHINE, RunKey, KEY_READ | KEY_WRITE, TRegView::x64);
    const TRegKey local32 = TRegKey::Create(HKEY_LOCAL_MACHINE, RunKey, KEY_READ | KEY_WRITE, TRegView::x32);
    ASSERT_TRUE(user && local && local32);
    ASSERT_TRUE(user.WriteString(FName + L"q", L"\"" + quoted + L"\" /background"));
    ASSERT_TRUE(user.WriteExpandString(FName + L"a", withArgs + L" /min"));
    ASSERT_TRUE(local.WriteString(FName, machine));
    ASSERT_TRUE(local32.WriteString(FName, machine32));

    TLocationExeInfo().ReadProgramsSlowInfo();
    user.DeleteValue(FName + L"q");
    user.DeleteValue(FName + L"a");
    local.DeleteValue(FName);
    local32.DeleteValue(FName);
    EXPECT_EQ((std::vector{EntriesForFile(quoted), EntriesForFile(machine), EntriesForFile(machine32),
                           EntriesForFile(withArgs)}),
              (std::vector<size_t>{1, 1, 1, 0}));
}

} // namespace
} // namespace velmora
