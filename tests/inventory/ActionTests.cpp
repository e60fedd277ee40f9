// Product actions under Wine with real uninstaller doubles, which delete the
// test's own uninstall entry below HKCU; folder measurement over a linked folder.
#include "InventoryTestKit.h"

#include "console/Process.h"
#include "inventory/ActionThread.h"
#include "inventory/ItemProductIntf.h"
#include "inventory/TaskManager.h"
#include "library/Velmora.h"
#include "platform/ChildProcess.h"
#include "platform/ComObject.h"
#include "platform/Files.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/ProcessList.h"
#include "tests/platform/TestKey.h"

#include <windows.h>

#include <fstream>

namespace velmora {
namespace {

using enum TPossibleActions;
using testkit::WaitUntil;

constexpr auto kLong = std::chrono::seconds(60);

std::wstring Double(const std::wstring& arguments) {
    return L"\"" + ThisModuleFolder() + L"relaunch_double.exe\" " + arguments;
}

class ActionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Its actions run hidden, so their output is captured and no display is needed.
        FProgram->ShowWindow = false;
        FProgram->FDisplayNameNative = L"Action test program";
        TItemProgram::Init();
        TItemProgram::Items().Add(FProgram);
        // Errors go to the test, never to a message box.
        TProcess::SetErrorHook([](const std::wstring&) { return true; });
    }
    void TearDown() override {
        TProcess::SetErrorHook(nullptr);
        TProcess::SetStarter({});
        if (FProgram)
            FProgram->StopActionThread();
        TItemProgram::Done();
        // The copies' folders (a copy may still be ending: best effort).
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(TempFolder(), ignored))
            if (entry.path().filename().wstring().starts_with(L"velmora-relaunch-"))
                std::filesystem::remove_all(entry.path(), ignored);
    }

    // An "uninstall entry" that the double deletes; answers its path below HKCU.
    std::wstring Entry(const wchar_t* name) {
        FKey.Create(name).WriteString(L"DisplayName", name);
        return FKey.PathOf(name);
    }

    const testing::TUserTestKey FKey{L"A"};
    // Listed in the library's program list.
    std::shared_ptr<testkit::TTestProgram> FProgram = std::make_shared<testkit::TTestProgram>();
};

TEST(RelaunchRule, NewProcessesTheUninstallerStartedNamedLikeACopyOrCopiesOfItRunFromTemp) {
    EXPECT_TRUE(IsRelaunchCopyName(L"Bu_.exe"));
    for (const wchar_t* other : {L"AU_.EXE", L"Xau_.exe", L"u_.exe", L"Un.exe"})
        EXPECT_FALSE(IsRelaunchCopyName(other)) << Narrow(other);

    std::vector<TProcessListItem> before{{10, 0, L"explorer.exe"}, {11, 0, L"Au_.exe"}};
    TRelaunchProbe probe;
    probe.UninstallerID = 20;
    probe.TempFolders = {L"C:\\users\\ME~1\\Temp", L"C:\\users\\me.long\\Temp"};
    // 20 started 31-34 and the wrapper 35, which started 36; 10 started 41;
    // 42's parent 11 was running before the start.
    probe.ParentOf = [](DWORD id) -> DWORD {
        return (id >= 31 && id <= 35) || id == 37 ? 20 : id == 36 ? 35 : id == 41 ? 10 : id == 42 ? 11 : 0;
    };
    probe.ImagePathOf = [](DWORD id) -> std::wstring {
        return id == 31   ? L"C:\\Users\\Me.Long\\TEMP\\~nsuA.tmp\\Un.exe"
               : id == 32 ? L"C:\\Program Files\\App\\helper.exe"
               : id == 33 ? L"C:\\users\\me.long\\TempOther\\Un.exe"
               : id == 35 ? L"C:\\windows\\system32\\cmd.exe"
               : id == 37 ? L"C:\\users\\ME~1\\Temp\\~bs1.tmp\\helper.exe"
                          : L"C:\\users\\me.long\\Temp\\x\\Un.exe";
    };
    // The files named "Un.exe" hold the uninstaller's bytes.
    probe.IsUninstallerCopy = [](const std::wstring& path) { return path.ends_with(L"\\Un.exe"); };
    // Already running before the start: never waited for.
    EXPECT_EQ(FindRelaunchedUninstaller(before, before, probe), 0u);
    // Named like a copy and started by the uninstaller, or through a wrapper.
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{10, 0, L"explorer.exe"}, {34, 0, L"Au_.exe"}}, probe), 34u);
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{35, 0, L"cmd.exe"}, {36, 0, L"Au_.exe"}}, probe), 36u);
    // Named like a copy, but someone else's.
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{41, 0, L"Au_.exe"}, {42, 0, L"Bu_.exe"}}, probe), 0u);
    // The uninstaller's own child from the temporary folder (either form).
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{31, 0, L"Un.exe"}}, probe), 31u);
    // Its child from elsewhere, or from a folder that only starts alike.
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{32, 0, L"helper.exe"}, {33, 0, L"Un.exe"}}, probe), 0u);
    // Someone else's program in the temporary folder.
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{50, 0, L"Un.exe"}}, probe), 0u);
    // The uninstaller's own child from the temporary folder that is not a
    // copy of it (a helper it unpacked there).
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{37, 0, L"helper.exe"}}, probe), 0u);
    // The uninstaller's file could not be read: only a classic copy's name counts.
    TRelaunchProbe unread = probe;
    unread.IsUninstallerCopy = nullptr;
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{31, 0, L"Un.exe"}}, unread), 0u);
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{31, 0, L"Un.exe"}, {34, 0, L"Au_.exe"}}, unread), 34u);
    // Parents unknown: nothing is waited for.
    TRelaunchProbe blind = probe;
    blind.ParentOf = nullptr;
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{34, 0, L"Au_.exe"}}, blind), 0u);
    // No first snapshot: nothing counts as new.
    EXPECT_EQ(FindRelaunchedUninstaller({}, {{34, 0, L"Au_.exe"}, {31, 0, L"Un.exe"}}, probe), 0u);
}

// The double exits at once after starting a program from the temporary
// folder that deletes the entry later: a copy of itself ("Au_.exe" by its
// name, "Un.exe" as the uninstaller's own child from %TEMP%) is waited for,
// a helper it unpacked there (other bytes) runs on after the action. While
// the action runs, another answers false with the running action and starts
// nothing.
struct TStarted {
    const wchar_t *Mode, *Process;
    bool Waited;
};
class RelaunchTest : public ActionTest, public ::testing::WithParamInterface<TStarted> {};

TEST_P(RelaunchTest, ActionRunsUntilARelaunchedCopyEndsButNotAHelper) {
    const auto [mode, process, waited] = GetParam();
    std::wstring entry = Entry(L"Relaunching"), other = Entry(L"Untouched");
    FProgram->SetCommands(
        Double(std::wstring(mode) + L" " + process + L" \"" + entry + (waited ? L"\" 3000" : L"\" 300000")),
        {}, {}, Double(L"work \"" + other + L"\" 0"));
    TPossibleActions action = paUninstall;
    void* top = reinterpret_cast<void*>(1);
    ASSERT_TRUE(FProgram->RunAction(action, top));
    EXPECT_EQ(top, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !FindProcesses(process).empty(); }, kLong));
    ASSERT_TRUE(WaitUntil([&] { return FindProcesses(L"relaunch_double.exe").empty(); }, kLong));
    if (waited) {
        // The original is gone long before the copy has done its work.
        EXPECT_TRUE(FProgram->IsActionRunning());
        action = paRepair;
        EXPECT_FALSE(FProgram->RunAction(action, top));
        EXPECT_EQ(action, paUninstall);
        EXPECT_TRUE(KeyExists(TRegRoot::CurrentUser, entry));
    }
    ASSERT_TRUE(WaitUntil([&] { return !FProgram->IsActionRunning(); }, kLong));
    EXPECT_EQ(KeyExists(TRegRoot::CurrentUser, entry), !waited) << "the action ended before the copy's work";
    EXPECT_EQ(FindProcesses(process).empty(), waited);
    EXPECT_TRUE(KeyExists(TRegRoot::CurrentUser, other)) << "the repair command must not have run";
    for (const auto& helper : FindProcesses(process)) {
        unique_handle running(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, helper.ProcessID));
        if (running && TerminateProcess(running.get(), 1))
            WaitForSingleObject(running.get(), 10000);
    }
}

INSTANTIATE_TEST_SUITE_P(Started, RelaunchTest,
                         ::testing::Values(TStarted{L"relaunch", L"Au_.exe", true},
                                           TStarted{L"relaunch", L"Un.exe", true},
                                           TStarted{L"helper", L"velmora_helper.exe", false}));

// Windows refuses to start a program that needs administrator rights from a
// process without them; Wine never does, so here the start fails that way.
// An uninstall the user sees asks for the rights through the shell and lasts
// as long as the uninstaller; a quiet one asks nothing and reports the
// failure (the error's text and the shell's refusals: the console runner's tests).
TEST_F(ActionTest, UninstallerNeedingAdministratorRightsAsksForThemUnlessQuiet) {
    testkit::TEventLog log;
    TProcess::SetStarter({[](const TChildStart&) -> std::optional<TChildProcess> {
                              SetLastError(ERROR_ELEVATION_REQUIRED);
                              return std::nullopt;
                          },
                          [&](const std::wstring& program, const std::wstring& arguments, WORD show) {
                              log.Add(L"elevated " + program + L" " + arguments);
                              return StartElevatedChildProcess(program, arguments, show);
                          }});
    TProcess::SetErrorHook([&](const std::wstring& text) {
        log.Add(text.substr(0, text.find(L'\r')) + L" " + text.substr(text.rfind(L'\n') + 1));
        return true;
    });
    FProgram->ShowWindow = true;
    std::wstring entry = Entry(L"Elevated");
    FProgram->SetCommands(Double(L"work \"" + entry + L"\" 2500"), Double(L"work \"" + entry + L"\" 0"));
    for (TPossibleActions action : {paUninstallQuiet, paUninstall}) {
        void* top = nullptr;
        ASSERT_TRUE(FProgram->RunAction(action, top));
        ASSERT_TRUE(WaitUntil([&] { return !FProgram->IsActionRunning(); }, kLong));
        EXPECT_EQ(KeyExists(TRegRoot::CurrentUser, entry), action == paUninstallQuiet)
            << "the action ended before the uninstaller did its work";
    }
    EXPECT_EQ(log.Events(),
              (std::vector<std::wstring>{L"Error: 740 " + Double(L"work \"" + entry + L"\" 0"),
                                         L"elevated " + ThisModuleFolder() + L"relaunch_double.exe work \"" +
                                             entry + L"\" 2500"}));
}

// Through the root object as the front end uses it (its callbacks: the
// end-to-end action checks): its stop-all ends the wait for an uninstaller
// but not the uninstaller.
TEST_F(ActionTest, RootStopEndsTheWaitButLeavesTheUninstallerRunning) {
    auto root = MakeCom<TVelmora, IVelmora>();
    TItemProgram::Items().Add(FProgram); // the root's first cycle starts with an empty list
    auto product = MakeCom<TItemProductIntf, IProduct>(std::weak_ptr<TItemProduct>(FProgram));
    std::wstring entry = Entry(L"Stopped");
    FProgram->SetCommands(Double(L"work \"" + entry + L"\" 3000"));
    TPossibleActions action = paUninstall;
    HWND top = nullptr;
    ASSERT_TRUE(product->RunAction(&action, &top));
    ASSERT_TRUE(WaitUntil([&] { return !FindProcesses(L"relaunch_double.exe").empty(); }, kLong));
    root->Stop();
    EXPECT_FALSE(product->IsActionRunning());
    EXPECT_FALSE(FindProcesses(L"relaunch_double.exe").empty()) << "the stop ended the uninstaller";
    ASSERT_TRUE(WaitUntil([&] { return FindProcesses(L"relaunch_double.exe").empty(); }, kLong));
    EXPECT_FALSE(KeyExists(TRegRoot::CurrentUser, entry)) << "the uninstaller did not finish its work";
}

// C:\VelmoraSizeTree, laid out by size-tree.sh, holds a linked folder (a
// reparse point) that must add nothing; a stop request ends the walk.
TEST(FolderSizeUnderWindows, LinkedFolderIsAReparsePointThatAddsNothing) {
    const std::wstring root = L"C:\\VelmoraSizeTree", measured = root + L"\\measured";
    DWORD link = INVALID_FILE_ATTRIBUTES;
    for (const TFindData& entry : FindFiles(measured + L"\\*"))
        if (entry.Name() == L"folder-link")
            link = entry.dwFileAttributes;
    ASSERT_NE(link, INVALID_FILE_ATTRIBUTES) << "the tree is laid out by size-tree.sh (the test's fixture)";
    EXPECT_EQ(link & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    std::filesystem::create_directory(measured + L"\\sub");
    std::ofstream(std::filesystem::path(measured + L"\\a.bin"), std::ios::binary) << std::string(3000, 'x');
    std::ofstream(std::filesystem::path(measured + L"\\sub\\b.bin"), std::ios::binary)
        << std::string(4192, 'x');
    constexpr int64_t OwnSize = 3000 + 4192;
    // The link itself can be walked: it is skipped by rule, not by accident.
    EXPECT_EQ(MeasureFolderSize(measured + L"\\folder-link"), 50000);
    EXPECT_EQ(MeasureFolderSize(measured), OwnSize);
    EXPECT_EQ(MeasureFolderSize(root), OwnSize + 50000) << "the target counts once, where it lies";

    // A stop request ends the walk at the next entry.
    EXPECT_TRUE(testing::AbortsWhenStopped([] { MeasureFolderSize(L"C:\\VelmoraSizeTree"); }));
}

} // namespace
} // namespace velmora
