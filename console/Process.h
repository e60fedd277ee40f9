#pragma once
// The console command runner: runs one command line as a child process with
// the user's token, captures its console output, answers the yes/no prompts
// it prints and turns its error lines into a result code and an error text.
// The feature engines run the system packaging tools with it, the product
// actions the uninstallers.
#include <windows.h>

#include "console/ProcessOutput.h"
#include "platform/ChildProcess.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

class TThread;

class TProcess {
public:
    // The front end's handlers, wired by the library frame. A hook answers
    // "no handler" (std::nullopt, false) while the front end has none
    // registered; the runner then shows a system-modal message box.
    using TQuestionHook =
        std::function<std::optional<bool>(const std::wstring& question, const std::wstring& caption)>;
    using TErrorHook = std::function<bool(const std::wstring& text)>;
    static void SetQuestionHook(TQuestionHook hook);
    static void SetErrorHook(TErrorHook hook);

    // The calls that start a child: the system's (StartChildProcess,
    // StartElevatedChildProcess) unless replaced; an empty member stands for
    // the system's call. Tests replace them to make a start fail as Windows
    // does for a program that needs administrator rights, which Wine never does.
    struct TStarter {
        std::function<std::optional<TChildProcess>(const TChildStart& start)> Start;
        std::function<std::optional<TChildProcess>(const std::wstring& program, const std::wstring& arguments,
                                                   WORD showWindow)>
            StartElevated;
    };
    static void SetStarter(TStarter starter);

    // Environment variables in commandLine are expanded; showWindow is the
    // child's show-window value, 0 for a hidden child whose output is captured.
    TProcess(std::wstring_view commandLine, uint16_t showWindow);
    ~TProcess();
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;

    // Runs the command until it ends or thread is asked to terminate; the
    // result comes from the output ("Error: <n>" -> n, ": 0x" -> -1, else 0),
    // never from the exit code. Windows failures raise EOSError.
    int32_t DoExecute(TThread& thread);
    // Shows the error text for a result other than 0 and 183.
    void DoFinish(int32_t result);
    // The main window of the child while it runs, or nullptr.
    HWND GetTopWindow() const;

    const std::wstring& Cmd() const { return FCmd; }
    const TProcessOutput& Output() const { return FOutput; }
    const std::wstring& Errors() const { return FErrors; }
    // Tick count (ms) when the last run started.
    DWORD StartTick() const { return FStartTick; }
    // The id of the child of the last run (0 before, or when it did not
    // start), readable from any thread.
    DWORD ProcessID() const { return FProcessID.load(); }

    // Cleared by callers that must leave a child running when they are stopped.
    bool FTerminateProccessAtAbort = true;
    // Set by callers whose command the user asked for and may confirm: a
    // shown child that needs administrator rights is then started through
    // the shell, which asks the user's consent, and waited for as any other.
    // Otherwise, or when that start fails for another reason than the user's
    // refusal, the run's result is ERROR_ELEVATION_REQUIRED and its error
    // text "Error: <code>", the system's message and the command.
    bool FElevateThroughShell = false;

private:
    void ReadPipe(HANDLE pipe);
    void AnswerPrompt(const std::wstring& question);

    std::wstring FCmd;
    uint16_t FShowWindow;
    DWORD FStartTick = 0;
    TProcessOutput FOutput;
    std::wstring FErrors;
    std::atomic<DWORD> FProcessID{0};
};

} // namespace velmora
