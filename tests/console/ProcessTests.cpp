// The console runner with a real child: the console tool double built next
// to this test, run hidden with its output captured.
#include "console/Process.h"

#include "frame/StringsLocalized.h"
#include "platform/ChildProcess.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/OSError.h"
#include "platform/Thread.h"
#include "tests/TestBase.h"

#include <exception>
#include <future>

using namespace velmora;
using velmora::testing::WaitUntil;

namespace {

std::wstring ToolCommand(const wchar_t* mode) {
    return L"\"" + ThisModuleFolder() + L"console_double.exe\" " + mode;
}

class TRunThread : public TThread {
public:
    explicit TRunThread(TProcess& process) : FProcess(process) {}
    ~TRunThread() override { TerminateAndWait(); }

    int32_t Result = -100;
    std::exception_ptr Error;

protected:
    void Execute() override { Result = FProcess.DoExecute(*this); }
    void HandleError(std::exception_ptr error) override { Error = error; }

private:
    TProcess& FProcess;
};

// Runs on a runtime thread, as the action threads do. A run that does not end
// within a minute fails the test instead of hanging it; the stop ends the child.
int32_t RunToEnd(TProcess& process) {
    TRunThread thread(process);
    thread.Start();
    if (!WaitUntil([&] { return thread.Finished(); }, std::chrono::minutes(1)))
        ADD_FAILURE() << "the run did not end: " << Narrow(process.Output().Text());
    thread.TerminateAndWait();
    if (thread.Error)
        std::rethrow_exception(thread.Error);
    return thread.Result;
}

// A question as the user sees it in a box.
struct TBox {
    std::wstring Caption, Text;
    bool operator==(const TBox&) const = default;
};

// Hooks set for one test, reset afterwards so that no test sees another's.
class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        TProcess::SetErrorHook([this](const std::wstring& text) {
            Errors.push_back(text);
            return true;
        });
        TProcess::SetQuestionHook([this](const std::wstring&, const std::wstring&) {
            ++Asked;
            return std::optional<bool>(true);
        });
    }
    void TearDown() override {
        TProcess::SetErrorHook(nullptr);
        TProcess::SetQuestionHook(nullptr);
        TProcess::SetStarter({});
    }

    std::vector<std::wstring> Errors;
    int Asked = 0; // questions, all answered yes
};

// Message boxes need a display: skipped without one, unless the run asks for
// one (the virtual-display run of these tests).
#define REQUIRE_DISPLAY()                                                                                    \
    if (HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) \
        DestroyWindow(window);                                                                               \
    else if (GetEnvironmentVariableW(L"VELMORA_REQUIRE_DISPLAY", nullptr, 0))                                \
        FAIL() << "no window can be created";                                                                \
    else                                                                                                     \
        GTEST_SKIP() << "no display"

HWND FindBox() {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"#32770", nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == GetCurrentProcessId() && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

// Plays the user: answers the next message boxes of this process with the
// buttons given; gives their captions and texts (the static control 0xFFFF).
std::future<std::vector<TBox>> AnswerBoxes(std::vector<int> buttons) {
    return std::async(std::launch::async, [buttons] {
        std::vector<TBox> boxes;
        for (int button : buttons) {
            HWND box = nullptr;
            if (!WaitUntil([&] { return (box = FindBox()) != nullptr; }, std::chrono::minutes(1)))
                break;
            boxes.push_back({TextOf(box), TextOf(GetDlgItem(box, 0xFFFF))});
            PostMessageW(box, WM_COMMAND, button, 0);
            WaitUntil([&] { return !IsWindow(box); });
        }
        return boxes;
    });
}

} // namespace

// A command that cannot start (here: its folder, from a variable, is missing)
// gives 0 and reports nothing.
TEST_F(ProcessTest, ResultAndOutputComeFromTheChildAndItsErrorTextGoesToTheErrorHook) {
    SetEnvironmentVariableW(L"VELMORA_TOOL_FOLDER", L"C:\\velmora-no-such-folder");
    const std::wstring missing = L"\"%VELMORA_TOOL_FOLDER%\\tool.exe\" error87";
    EXPECT_EQ(TProcess(missing, 0).Cmd(), L"\"C:\\velmora-no-such-folder\\tool.exe\" error87");
    const std::wstring error87 = L"Error: 87\r\nThe parameter is incorrect.\r\nSee the log file for details.";
    wchar_t oem[16];
    const int oemLength = MultiByteToWideChar(CP_OEMCP, 0, "Gr\x81\xE1\x65", 5, oem, 16);
    const struct {
        std::wstring Command;
        int32_t Result;
        std::wstring Errors;
        bool Starts;
        std::vector<std::wstring> Lines; // when given
    } cases[] = {
        {ToolCommand(L"error87"), 87, error87, true, {}},
        {ToolCommand(L"silent"), 0, L"", true, {}}, // exits with 5, which does not count
        {ToolCommand(L"oem"), 0, L"", true, {std::wstring(oem, oemLength)}}, // from the OEM code page
        {missing, 0, L"", false, {}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(Narrow(c.Command));
        Errors.clear();
        TProcess process(c.Command, 0);
        EXPECT_EQ(RunToEnd(process), c.Result);
        EXPECT_EQ(process.ProcessID() != 0, c.Starts);
        EXPECT_EQ(process.Errors(), c.Errors);
        if (!c.Lines.empty()) {
            EXPECT_EQ(process.Output().Lines(), c.Lines);
        }
        process.DoFinish(0);
        process.DoFinish(183);
        EXPECT_TRUE(Errors.empty());
        process.DoFinish(c.Result);
        EXPECT_EQ(Errors, c.Result ? std::vector<std::wstring>{c.Errors} : std::vector<std::wstring>{});
    }
}

// A process with a console of its own cannot attach to the child's: the
// answer cannot be typed, the run fails with the system error and the child,
// which would wait for its answer forever, is ended.
TEST_F(ProcessTest, AnswerThatCannotBeTypedRaisesAndEndsTheChild) {
    AllocConsole();
    // Wine's console host now and then refuses a start right after the console
    // was made ("internal error"): such a run starts nothing and is tried again.
    DWORD child = 0;
    for (int attempt = 0; attempt < 3 && child == 0; ++attempt) {
        TProcess process(ToolCommand(L"ask"), 0);
        try {
            RunToEnd(process);
            if (process.ProcessID() != 0)
                ADD_FAILURE() << "typing into the child's console did not fail";
        } catch (const EOSError& e) {
            EXPECT_EQ(e.Code(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        }
        child = process.ProcessID();
    }
    EXPECT_EQ(Asked, 1);
    ASSERT_NE(child, 0u);
    unique_handle process(OpenProcess(SYNCHRONIZE, FALSE, child));
    EXPECT_TRUE(!process || WaitForSingleObject(process.get(), 20000) == WAIT_OBJECT_0);
}

// Typing into the child's console needs this process detached from any
// console, as the windowed front end is. Without a question handler the user
// answers message boxes; the second prompt arrives in two pieces and is found
// once complete. (Prompts through the front end's handler: the end-to-end
// action checks.)
TEST_F(ProcessTest, WithoutAQuestionHandlerPromptsAreAskedInBoxesAndTheAnswersTypedIntoTheChild) {
    FreeConsole();
    REQUIRE_DISPLAY();
    TProcess::SetQuestionHook(nullptr);
    auto user = AnswerBoxes({IDYES, IDNO});
    TProcess process(ToolCommand(L"ask"), 0);
    EXPECT_EQ(RunToEnd(process), 0);
    // The ask mode of the double writes the keys it got.
    for (const wchar_t* line : {L"Got: Y (key 89)", L"Got: N (key 78)"})
        EXPECT_TRUE(std::ranges::count(process.Output().Lines(), line)) << Narrow(process.Output().Text());
    EXPECT_EQ(user.get(), (std::vector<TBox>{{DLLStringsLocalized::OperationComplete(),
                                              L"Removing the sample.\r\nContinue?"},
                                             {DLLStringsLocalized::OperationComplete(), L"Restart now?"}}));
}

TEST_F(ProcessTest, StoppingTheThreadKillsTheChildOnlyWhenAskedTo) {
    for (bool terminate : {true, false}) {
        TProcess process(ToolCommand(L"wait"), 0);
        process.FTerminateProccessAtAbort = terminate;
        TRunThread thread(process);
        thread.Start();
        ASSERT_TRUE(WaitUntil([&] { return process.ProcessID() != 0; }));
        unique_handle child(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process.ProcessID()));
        ASSERT_TRUE(child);
        thread.TerminateAndWait();
        EXPECT_FALSE(thread.Error);
        EXPECT_EQ(WaitForSingleObject(child.get(), terminate ? 10000 : 500),
                  static_cast<DWORD>(terminate ? WAIT_OBJECT_0 : WAIT_TIMEOUT))
            << "terminate " << terminate;
        TerminateProcess(child.get(), 9);
    }
}

// Without a handler registered by the front end an error box shows the error
// text; a shown child's window is the top window.
TEST_F(ProcessTest, WithoutAnErrorHandlerABoxShowsTheErrorAndAShownChildsWindowIsTheTopWindow) {
    REQUIRE_DISPLAY();
    int hookCalls = 0;
    TProcess::SetErrorHook([&](const std::wstring&) { return ++hookCalls, false; });
    TProcess process(ToolCommand(L"error87"), 0);
    ASSERT_EQ(RunToEnd(process), 87);
    auto user = AnswerBoxes({IDOK});
    process.DoFinish(87);
    auto boxes = user.get();
    EXPECT_EQ(hookCalls, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, L"");
    EXPECT_EQ(boxes[0].Text, process.Errors());

    TProcess shown(ToolCommand(L"window"), SW_SHOWNORMAL);
    EXPECT_EQ(shown.GetTopWindow(), nullptr);
    TRunThread thread(shown);
    thread.Start();
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (window = shown.GetTopWindow()) != nullptr; }));
    EXPECT_EQ(TextOf(window), L"Console tool");
    thread.TerminateAndWait(); // ends the child, as the stop test shows
}

// Windows refuses to start a program that needs administrator rights from a
// process without them; Wine never does, so here the start fails that way. A
// shown run that may ask asks the shell (its start and the wait for the
// program, and a quiet run's report: the action tests); otherwise the failure
// is reported, as is a failure of the shell other than the user declining.
TEST_F(ProcessTest, ACommandNeedingAdministratorRightsRunsThroughTheShellOnlyWhenShownAndAllowed) {
    std::vector<std::wstring> elevated;
    DWORD refusal = ERROR_SUCCESS; // the shell's answer
    TProcess::SetStarter({[](const TChildStart&) -> std::optional<TChildProcess> {
                              SetLastError(ERROR_ELEVATION_REQUIRED);
                              return std::nullopt;
                          },
                          [&](const std::wstring& program, const std::wstring& arguments, WORD) {
                              elevated.push_back(program + L"|" + arguments);
                              SetLastError(refusal);
                              return std::optional<TChildProcess>();
                          }});
    // The error as a tool writes it: the code, the system's text (Wine has none), the command.
    auto errorText = [](DWORD code, const std::wstring& command) {
        std::wstring message = SystemErrorMessage(code);
        return L"Error: " + std::to_wstring(code) + L"\r\n" + (message.empty() ? L"" : message + L"\r\n") +
               command;
    };
    // Not allowed to ask (the shell's answer unused), declined, another failure.
    for (DWORD answer : {DWORD(ERROR_SUCCESS), DWORD(ERROR_CANCELLED), DWORD(ERROR_FILE_NOT_FOUND)}) {
        Errors.clear();
        refusal = answer;
        TProcess process(ToolCommand(L"silent"), SW_SHOWNORMAL);
        process.FElevateThroughShell = answer != ERROR_SUCCESS;
        const bool declined = answer == ERROR_CANCELLED;
        const std::wstring reported =
            declined ? L"" : errorText(answer ? answer : ERROR_ELEVATION_REQUIRED, process.Cmd());
        const int32_t result = RunToEnd(process);
        EXPECT_EQ(result, declined ? 0 : ERROR_ELEVATION_REQUIRED) << answer;
        EXPECT_EQ(process.ProcessID(), 0u) << answer;
        EXPECT_EQ(process.Errors(), reported) << answer;
        process.DoFinish(result);
        EXPECT_EQ(Errors, declined ? std::vector<std::wstring>{} : std::vector<std::wstring>{reported})
            << answer;
    }
    EXPECT_EQ(elevated, std::vector<std::wstring>(2, ThisModuleFolder() + L"console_double.exe|silent"));
}
