// Product actions under Wine with a real uninstaller double (relaunch_double,
// see its source): one action at a time, remove-from-registry, the command
// an installer-managed product runs, the wait for a relaunched copy and a
// stop that leaves the uninstaller running. Each test writes its own
// "uninstall entry" under HKCU\Software\VelmoraTests\<unique>; the double
// deletes it when its work is done.
#include "features/Process.h"
#include "frame/Velmora.h"
#include "inventory/ActionThread.h"
#include "inventory/ItemProductIntf.h"
#include "inventory/ItemProgram.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/Paths.h"
#include "platform/ProcessList.h"
#include "platform/Registry.h"

#include "InventoryTestKit.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace velmora {
namespace {

using enum TPossibleActions;
using testkit::WaitUntil;

constexpr auto kLong = std::chrono::seconds(60);

std::wstring BinFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, n);
    return file.substr(0, file.rfind(L'\\') + 1);
}

std::wstring Double(const std::wstring& arguments) {
    return L"\"" + BinFolder() + L"relaunch_double.exe\" " + arguments;
}

std::wstring ConsoleTool(const std::wstring& mode) {
    return L"\"" + BinFolder() + L"console_double.exe\" " + mode;
}

std::wstring TestName(const wchar_t* prefix) {
    static int serial = 0;
    return prefix + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount()) + L"_" +
           std::to_wstring(++serial);
}

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A program whose commands the test sets; its actions run hidden, so their
// output is captured and no display is needed.
class TActionProgram : public TItemProgram {
public:
    TActionProgram() : TItemProgram(nullptr) { FDisplayNameNative = L"Action test program"; }
    bool ShowActionWindow() override { return false; }
    void Set(std::wstring uninstall, std::wstring quiet = {}, std::wstring repair = {}) {
        FCmdUninstall = std::move(uninstall);
        FCmdUninstallQuiet = std::move(quiet);
        FCmdRepair = std::move(repair);
    }
    void SetInstaller(std::wstring guid) {
        FGUID = std::move(guid);
        FIsWinInstaller = true;
    }
};

class ActionTest : public ::testing::Test {
protected:
    void SetUp() override {
        TItemProgram::Init();
        FBase = L"Software\\VelmoraTests\\" + TestName(L"A");
        // Errors go to the test, never to a message box.
        TProcess::SetErrorHook([this](const std::wstring& text) {
            std::lock_guard lock(FErrorLock);
            FErrors.push_back(text);
            return true;
        });
    }
    void TearDown() override {
        TProcess::SetErrorHook(nullptr);
        for (const auto& item : FItems)
            item->StopActionThread();
        FItems.clear();
        TItemProgram::Done();
        DeleteKey(TRegRoot::CurrentUser, FBase);
        // The copies' folders (a copy may still be ending: best effort).
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(TempFolder(), ignored))
            if (entry.path().filename().wstring().starts_with(L"velmora-relaunch-"))
                std::filesystem::remove_all(entry.path(), ignored);
    }

    // An "uninstall entry" that the double deletes; answers its path below HKCU.
    std::wstring Entry(const wchar_t* name) {
        std::wstring path = FBase + L"\\" + name;
        TRegKey::Create(TRegRoot::CurrentUser, path, KEY_ALL_ACCESS).WriteString(L"DisplayName", name);
        return path;
    }
    std::shared_ptr<TActionProgram> Program() {
        auto item = std::make_shared<TActionProgram>();
        TItemProgram::Items().Add(item);
        FItems.push_back(item);
        return item;
    }
    static bool Listed(const TItemProgram* item) {
        return TItemProgram::Items().Any([&](const TItemProgram& p) { return &p == item; });
    }

    std::wstring FBase;
    std::vector<std::shared_ptr<TActionProgram>> FItems;
    std::mutex FErrorLock;
    std::vector<std::wstring> FErrors;
};

TEST(RelaunchRule, NewProcessesNamedLikeACopyOrStartedByTheUninstallerFromTemp) {
    EXPECT_TRUE(IsRelaunchCopyName(L"Au_.exe"));
    EXPECT_TRUE(IsRelaunchCopyName(L"Bu_.exe"));
    EXPECT_FALSE(IsRelaunchCopyName(L"AU_.EXE")); // case-sensitive
    EXPECT_FALSE(IsRelaunchCopyName(L"Xau_.exe"));
    EXPECT_FALSE(IsRelaunchCopyName(L"u_.exe"));
    EXPECT_FALSE(IsRelaunchCopyName(L"Un.exe"));

    std::vector<TProcessListItem> before{{10, 0, L"explorer.exe"}, {11, 0, L"Au_.exe"}};
    TRelaunchProbe probe;
    probe.UninstallerID = 20;
    probe.TempFolders = {L"C:\\users\\ME~1\\Temp", L"C:\\users\\me.long\\Temp"};
    probe.ParentOf = [](DWORD id) -> DWORD { return id == 31 || id == 32 || id == 33 ? 20 : 1; };
    probe.ImagePathOf = [](DWORD id) -> std::wstring {
        switch (id) {
        case 31:
            return L"C:\\Users\\Me.Long\\TEMP\\~nsuA.tmp\\Un.exe";
        case 32:
            return L"C:\\Program Files\\App\\helper.exe";
        case 33:
            return L"C:\\users\\me.long\\TempOther\\Un.exe";
        default:
            return L"C:\\users\\me.long\\Temp\\x\\Un.exe";
        }
    };
    // Already running before the start: never waited for.
    EXPECT_EQ(FindRelaunchedUninstaller(before, before, probe), 0u);
    // Named like a copy: whoever started it.
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{10, 0, L"explorer.exe"}, {40, 0, L"Au_.exe"}}, probe), 40u);
    // The uninstaller's own child from the temporary folder (either form).
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{31, 0, L"Un.exe"}}, probe), 31u);
    // Its child from elsewhere, or from a folder that only starts alike.
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{32, 0, L"helper.exe"}, {33, 0, L"Un.exe"}}, probe), 0u);
    // Someone else's program in the temporary folder.
    EXPECT_EQ(FindRelaunchedUninstaller(before, {{50, 0, L"Un.exe"}}, probe), 0u);
    // No first snapshot: nothing counts as new.
    EXPECT_EQ(FindRelaunchedUninstaller({}, {{40, 0, L"Au_.exe"}, {31, 0, L"Un.exe"}}, probe), 0u);
}

TEST_F(ActionTest, RunningActionAnswersFalseWithItsActionAndStartsNothing) {
    std::wstring entry = Entry(L"Slow");
    std::wstring other = Entry(L"Untouched");
    auto program = Program();
    program->Set({}, Double(L"work \"" + entry + L"\" 2500"), Double(L"work \"" + other + L"\" 0"));

    TPossibleActions action = paUninstallQuiet;
    HWND top = reinterpret_cast<HWND>(1);
    ASSERT_TRUE(program->RunAction(action, top));
    EXPECT_EQ(top, nullptr);
    EXPECT_TRUE(program->IsActionRunning());

    action = paRepair;
    top = reinterpret_cast<HWND>(1);
    EXPECT_FALSE(program->RunAction(action, top));
    EXPECT_EQ(action, paUninstallQuiet);
    EXPECT_EQ(top, nullptr); // a hidden uninstaller shows no window
    // Neither can a remove-from-registry drop the program meanwhile.
    action = paRemoveFromRegistry;
    EXPECT_FALSE(program->RunAction(action, top));
    EXPECT_EQ(action, paUninstallQuiet);
    EXPECT_TRUE(Listed(program.get()));

    ASSERT_TRUE(WaitUntil([&] { return !program->IsActionRunning(); }, kLong));
    EXPECT_FALSE(KeyExists(entry)) << "the quiet uninstaller did its work";
    EXPECT_TRUE(KeyExists(other)) << "the repair command must not have run";

    // Once the action has ended the next one starts.
    action = paRepair;
    ASSERT_TRUE(program->RunAction(action, top));
    ASSERT_TRUE(WaitUntil([&] { return !program->IsActionRunning(); }, kLong));
    EXPECT_FALSE(KeyExists(other));
}

TEST_F(ActionTest, RemoveFromRegistryStartsNoThreadAndDropsTheProgramOnly) {
    std::wstring entry = Entry(L"Kept");
    auto program = Program();
    program->Set(Double(L"work \"" + entry + L"\" 0"));
    auto other = Program();
    std::weak_ptr<TItemProgram> watched = program;
    auto adapter = MakeCom<TItemProductIntf, IProduct>(std::weak_ptr<TItemProduct>(program));
    int count = TItemProgram::Items().Count();

    TPossibleActions action = paRemoveFromRegistry;
    HWND top = reinterpret_cast<HWND>(1);
    EXPECT_TRUE(adapter->RunAction(&action, &top));
    EXPECT_EQ(top, nullptr);
    EXPECT_FALSE(program->IsActionRunning());
    EXPECT_FALSE(Listed(program.get()));
    EXPECT_TRUE(Listed(other.get()));
    EXPECT_EQ(TItemProgram::Items().Count(), count - 1);
    EXPECT_TRUE(KeyExists(entry)) << "the uninstall entry is left to a forced removal";

    // Once the last holder lets go the item is gone and the adapter answers
    // as for a missing product: true, nothing started.
    FItems.erase(FItems.begin());
    program.reset();
    EXPECT_TRUE(watched.expired());
    action = paUninstall;
    EXPECT_TRUE(adapter->RunAction(&action, &top));
    EXPECT_FALSE(adapter->IsActionRunning());
    EXPECT_EQ(action, paUninstall);
}

TEST_F(ActionTest, InstallerManagedProductRunsMsiexecWithItsProductCode) {
    // Not installed: msiexec fails at once, which is all this test needs.
    const std::wstring guid = L"{6B1E3C52-0D4A-4F1B-9C77-3A5E0B7C9D21}";
    auto program = Program();
    program->Set(L"own-uninstaller.exe /remove", {}, L"own-repair.exe");
    program->SetInstaller(guid);

    for (auto [action, command] : {std::pair{paRepair, L"msiexec.exe /fa " + guid},
                                   std::pair{paModifyRemove, L"msiexec.exe /i " + guid},
                                   std::pair{paUninstall, L"msiexec.exe /x " + guid}}) {
        testkit::TStatisticsLogReader log;
        HWND top = nullptr;
        TPossibleActions run = action;
        ASSERT_TRUE(program->RunAction(run, top));
        ASSERT_TRUE(WaitUntil([&] { return !program->IsActionRunning(); }, kLong));
        EXPECT_TRUE(log.Contains(L"Run command: \"" + command + L"\".")) << command;
    }
}

// The double exits at once after starting its copy, which deletes the entry
// after 3 s: the action runs until the copy has ended.
class RelaunchTest : public ActionTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(RelaunchTest, ActionRunsUntilTheRelaunchedCopyEnds) {
    std::wstring entry = Entry(L"Relaunching");
    auto program = Program();
    program->Set(Double(std::wstring(L"relaunch ") + GetParam() + L" \"" + entry + L"\" 3000"));
    testkit::TStatisticsLogReader log;

    TPossibleActions action = paUninstall;
    HWND top = nullptr;
    ASSERT_TRUE(program->RunAction(action, top));
    // The original is gone long before the copy has done its work.
    ASSERT_TRUE(WaitUntil([&] { return !FindProcesses(GetParam()).empty(); }, kLong));
    ASSERT_TRUE(WaitUntil([&] { return FindProcesses(L"relaunch_double.exe").empty(); }, kLong));
    EXPECT_TRUE(program->IsActionRunning());
    EXPECT_TRUE(KeyExists(entry));

    ASSERT_TRUE(WaitUntil([&] { return !program->IsActionRunning(); }, kLong));
    EXPECT_FALSE(KeyExists(entry)) << "the action ended before the copy did its work";
    EXPECT_TRUE(FindProcesses(GetParam()).empty());
    EXPECT_TRUE(log.Contains(L"Waiting for the relaunched uninstaller"));
    EXPECT_TRUE(log.Contains(L"The relaunched uninstaller has ended"));
}

// "Au_.exe" by its name, "Un.exe" as the uninstaller's own child from %TEMP%.
INSTANTIATE_TEST_SUITE_P(Copies, RelaunchTest, ::testing::Values(L"Au_.exe", L"Un.exe"));

TEST_F(ActionTest, CopyNotStartedByTheUninstallerIsNotWaitedFor) {
    std::wstring entry = Entry(L"Quick");
    std::wstring foreign = Entry(L"Foreign");
    auto program = Program();
    program->Set(Double(L"work \"" + entry + L"\" 1500"));

    TPossibleActions action = paUninstall;
    HWND top = nullptr;
    ASSERT_TRUE(program->RunAction(action, top));
    // While the uninstaller works, the test itself relaunches a copy as
    // "Un.exe" in %TEMP%: a new process there, but not the uninstaller's.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command = Double(L"relaunch Un.exe \"" + foreign + L"\" 8000");
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, &process));
    unique_handle processHandle(process.hProcess), threadHandle(process.hThread);
    ASSERT_TRUE(WaitUntil([&] { return !FindProcesses(L"Un.exe").empty(); }, kLong));

    ASSERT_TRUE(WaitUntil([&] { return !program->IsActionRunning(); }, kLong));
    EXPECT_FALSE(KeyExists(entry));
    EXPECT_FALSE(FindProcesses(L"Un.exe").empty()) << "the action waited for a process it did not start";
    ASSERT_TRUE(WaitUntil([&] { return FindProcesses(L"Un.exe").empty(); }, kLong));
}

TEST_F(ActionTest, StopLeavesTheUninstallerRunning) {
    std::wstring entry = Entry(L"Stopped");
    auto program = Program();
    program->Set(Double(L"work \"" + entry + L"\" 3000"));

    TPossibleActions action = paUninstall;
    HWND top = nullptr;
    ASSERT_TRUE(program->RunAction(action, top));
    ASSERT_TRUE(WaitUntil([&] { return !FindProcesses(L"relaunch_double.exe").empty(); }, kLong));

    program->StopActionThread();
    EXPECT_FALSE(program->IsActionRunning());
    EXPECT_FALSE(FindProcesses(L"relaunch_double.exe").empty()) << "the stop ended the uninstaller";
    EXPECT_TRUE(KeyExists(entry));
    // It goes on and finishes its work on its own.
    ASSERT_TRUE(WaitUntil([&] { return FindProcesses(L"relaunch_double.exe").empty(); }, kLong));
    EXPECT_FALSE(KeyExists(entry));

    // The item takes a new action afterwards.
    action = paUninstall;
    EXPECT_TRUE(program->RunAction(action, top));
    ASSERT_TRUE(WaitUntil([&] { return !program->IsActionRunning(); }, kLong));
}

// The front end's callbacks as the root object holds them.
class TRecordingCallbacks : public TInterfacedObject<IQuestionCallback, IErrorCallback> {
public:
    bool STDMETHODCALLTYPE AskYesNo(LPCWSTR Text, LPCWSTR) override {
        std::lock_guard lock(FLock);
        Questions.push_back(Text);
        return Questions.size() == 1;
    }
    void STDMETHODCALLTYPE ShowError(LPCWSTR Text) override {
        std::lock_guard lock(FLock);
        Errors.push_back(Text);
    }
    std::vector<std::wstring> TakeQuestions() {
        std::lock_guard lock(FLock);
        return Questions;
    }
    std::vector<std::wstring> TakeErrors() {
        std::lock_guard lock(FLock);
        return Errors;
    }

private:
    std::mutex FLock;
    std::vector<std::wstring> Questions, Errors;
};

// Through the root object as the front end uses it: the action's questions
// and errors reach the callbacks set on it, and its stop-all ends the wait
// for an uninstaller but not the uninstaller.
TEST(RootActions, QuestionsAndErrorsReachTheRootsCallbacksAndStopLeavesTheUninstallerRunning) {
    // Answers are typed into the uninstaller's console, which needs this
    // process to have none, as the windowed front end has none.
    FreeConsole();
    auto root = MakeCom<TVelmora, IVelmora>();
    auto callbacks = MakeCom<TRecordingCallbacks, IQuestionCallback>();
    auto* recorder = static_cast<TRecordingCallbacks*>(callbacks.get());
    root->SetQuestionCallback(callbacks.get());
    root->SetErrorCallback(recorder);

    auto program = std::make_shared<TActionProgram>();
    TItemProgram::Items().Add(program);
    auto product = MakeCom<TItemProductIntf, IProduct>(std::weak_ptr<TItemProduct>(program));
    auto run = [&](const std::wstring& command) {
        program->Set(command);
        TPossibleActions action = paUninstall;
        HWND top = nullptr;
        ASSERT_TRUE(product->RunAction(&action, &top));
        ASSERT_TRUE(WaitUntil([&] { return !product->IsActionRunning(); }, kLong));
    };

    run(ConsoleTool(L"error87"));
    ASSERT_EQ(recorder->TakeErrors().size(), 1u);
    EXPECT_TRUE(recorder->TakeErrors()[0].starts_with(L"Error: 87")) << Narrow(recorder->TakeErrors()[0]);

    run(ConsoleTool(L"ask"));
    EXPECT_EQ(recorder->TakeQuestions(),
              (std::vector<std::wstring>{L"Removing the sample.\r\nContinue?", L"Restart now?"}));
    EXPECT_EQ(recorder->TakeErrors().size(), 1u) << "the answered tool reported no error";

    std::wstring entry = L"Software\\VelmoraTests\\" + TestName(L"R");
    TRegKey::Create(TRegRoot::CurrentUser, entry, KEY_ALL_ACCESS).WriteString(L"DisplayName", L"R");
    program->Set(Double(L"work \"" + entry + L"\" 3000"));
    TPossibleActions action = paUninstall;
    HWND top = nullptr;
    ASSERT_TRUE(product->RunAction(&action, &top));
    ASSERT_TRUE(WaitUntil([&] { return !FindProcesses(L"relaunch_double.exe").empty(); }, kLong));
    root->Stop();
    EXPECT_FALSE(product->IsActionRunning());
    EXPECT_FALSE(FindProcesses(L"relaunch_double.exe").empty()) << "the stop ended the uninstaller";
    ASSERT_TRUE(WaitUntil([&] { return FindProcesses(L"relaunch_double.exe").empty(); }, kLong));
    EXPECT_FALSE(KeyExists(entry)) << "the uninstaller did not finish its work";

    root->SetQuestionCallback(nullptr);
    root->SetErrorCallback(nullptr);
    TItemProgram::Items().Remove(program.get());
}

} // namespace
} // namespace velmora
