#include "console/Process.h"

#include "frame/DebugLog.h"
#include "frame/StringsLocalized.h"
#include "platform/ChildProcess.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/OSError.h"
#include "platform/OSInfo.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/Pipes.h"
#include "platform/ProcessList.h"
#include "platform/Thread.h"

#include <cwctype>
#include <mutex>
#include <string>
#include <utility>

namespace velmora {

namespace {

constexpr DWORD ExpansionBufferSize = 8191;
constexpr DWORD PipeBufferSize = 65535;
constexpr DWORD PollInterval = 100;
constexpr int32_t ResultAlreadyExists = 183; // the servicing tool's "ask again", not an error

std::mutex HookLock;
TProcess::TQuestionHook QuestionHook;
TProcess::TErrorHook ErrorHook;
TProcess::TStarter Starter;

// Attaching to another console is process-wide: one answer at a time.
std::mutex ConsoleLock;

std::wstring ExpandCommand(std::wstring_view commandLine) {
    std::wstring command(commandLine);
    std::wstring expanded(ExpansionBufferSize, L'\0');
    DWORD n = ExpandEnvironmentStringsW(command.c_str(), expanded.data(), ExpansionBufferSize);
    // Too long for the buffer: the command is run as given.
    if (n == 0 || n > ExpansionBufferSize)
        return command;
    expanded.resize(n - 1);
    return expanded;
}

// Console output is in the OEM code page; the rest of the system speaks ANSI.
std::wstring OemToText(std::string& bytes) {
    CheckOS(OemToCharBuffA(bytes.data(), bytes.data(), static_cast<DWORD>(bytes.size())), L"OemToCharBuff");
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

void TypeIntoConsole(DWORD processID, wchar_t c) {
    std::lock_guard lock(ConsoleLock);
    CheckOS(AttachConsole(processID), L"AttachConsole");
    struct TDetach {
        ~TDetach() { FreeConsole(); }
    } detach;
    unique_file input(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    CheckOS(static_cast<bool>(input), L"CONIN$");

    char oem = 0;
    CheckOS(CharToOemBuffW(&c, &oem, 1), L"CharToOemBuff");
    SHORT key = VkKeyScanW(c);
    INPUT_RECORD records[2]{};
    for (int i = 0; i < 2; ++i) {
        auto& event = records[i].Event.KeyEvent;
        records[i].EventType = KEY_EVENT;
        event.bKeyDown = i == 0;
        event.wRepeatCount = 1;
        // Without a keyboard layout (no display) the letter is its own key code.
        event.wVirtualKeyCode =
            key == -1 ? static_cast<WORD>(std::towupper(c)) : static_cast<WORD>(LOBYTE(key));
        event.wVirtualScanCode = LOWORD(OemKeyScan(static_cast<BYTE>(oem)));
        event.uChar.UnicodeChar = c;
        event.dwControlKeyState = 0;
    }
    DWORD written = 0;
    CheckOS(WriteConsoleInputW(input.get(), records, 2, &written), L"WriteConsoleInput");
}

} // namespace

void TProcess::SetQuestionHook(TQuestionHook hook) {
    std::lock_guard lock(HookLock);
    QuestionHook = std::move(hook);
}

void TProcess::SetErrorHook(TErrorHook hook) {
    std::lock_guard lock(HookLock);
    ErrorHook = std::move(hook);
}

void TProcess::SetStarter(TStarter starter) {
    std::lock_guard lock(HookLock);
    Starter = std::move(starter);
}

TProcess::TProcess(std::wstring_view commandLine, uint16_t showWindow)
    : FCmd(ExpandCommand(commandLine)), FShowWindow(showWindow) {}

TProcess::~TProcess() = default;

int32_t TProcess::DoExecute(TThread& thread) {
    StatisticsLog::Add(L"Run command: \"%s\".", FCmd);
    FStartTick = GetTickCount();
    FOutput.Clear();

    std::optional<TChildPipe> output = PipeFromChild(PipeBufferSize);
    CheckOS(output.has_value(), L"CreatePipe");

    unique_handle userToken = DuplicateProcessToken();

    TChildStart start;
    start.CommandLine = FCmd;
    start.ShowWindow = FShowWindow;
    start.CreationFlags = CREATE_UNICODE_ENVIRONMENT;
    start.UserToken = userToken.get();
    if (FShowWindow == 0) {
        start.StandardHandles =
            TStandardHandles{GetStdHandle(STD_INPUT_HANDLE), output->Child.get(), output->Child.get()};
        start.CreationFlags |= CREATE_NO_WINDOW;
    }

    TStarter starter;
    {
        std::lock_guard lock(HookLock);
        starter = Starter;
    }
    if (!starter.Start)
        starter.Start = StartChildProcess;
    if (!starter.StartElevated)
        starter.StartElevated = StartElevatedChildProcess;

    std::optional<TChildProcess> child;
    DWORD startError = 0;
    {
        TWow64FsRedirectionGuard redirectionOff;
        child = starter.Start(start);
        startError = child ? 0 : GetLastError();
    }
    // A program that needs administrator rights: with the user's consent,
    // asked by the shell, it runs elevated.
    bool needsRights = startError == ERROR_ELEVATION_REQUIRED;
    if (needsRights && FElevateThroughShell && FShowWindow != 0) {
        StatisticsLog::Add(L"The command needs administrator rights: starting it through the shell.");
        TCommandParts parts =
            SplitCommandLine(FCmd, [](const std::wstring& path) { return FileExists(path); });
        child = starter.StartElevated(parts.Program, parts.Arguments, FShowWindow);
        startError = child ? 0 : GetLastError();
        // The user's own refusal is no error to show them.
        if (startError == ERROR_CANCELLED)
            needsRights = false;
    }
    // Any other command that cannot start is not reported here: its empty
    // output gives result 0.
    const bool started = child.has_value();
    HANDLE process = started ? child->Process.get() : nullptr;
    HANDLE mainThread = started ? child->Thread.get() : nullptr;
    FProcessID = started ? child->ProcessID : 0;
    if (!started)
        DebugLog().WriteLogF(TLogLevel::llWarning, L"Command not started: %s",
                             SystemErrorMessage(startError));

    FErrors.clear();
    size_t lineIndex = 0;
    bool running = started;
    auto endChildIfRunning = [&] {
        if (!started || !FTerminateProccessAtAbort)
            return;
        DWORD exitCode = 0;
        if (!GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE) {
            // A child the shell started comes without its thread's handle.
            if (mainThread)
                TerminateThread(mainThread, 0);
            TerminateProcess(process, 0);
        }
    };
    try {
        do {
            if (started)
                running = WaitForSingleObject(process, PollInterval) == WAIT_TIMEOUT;
            ReadPipe(output->Ours.get());
            auto question = FindPrompt(FOutput.Lines(), lineIndex, [](const std::wstring& line) {
                DebugLog().WriteLogF(TLogLevel::llInfo, L"Console: \"%s\"", line);
            });
            if (question)
                AnswerPrompt(*question);
        } while (!thread.Terminated() && running);
    } catch (...) {
        // A hidden child left waiting for an answer that never comes would
        // wait forever: a failed run is stopped like an aborted one.
        endChildIfRunning();
        throw;
    }
    endChildIfRunning();

    if (!started && needsRights) {
        // As a tool writes its errors; not every system has a text for every code.
        FErrors = Format(L"Error: %d", static_cast<int>(startError));
        if (std::wstring message = SystemErrorMessage(startError); !message.empty())
            FErrors += L"\r\n" + message;
        FErrors += L"\r\n" + FCmd;
        return ERROR_ELEVATION_REQUIRED;
    }
    auto result = ResultFromOutput(FOutput.Lines());
    FErrors = std::move(result.Errors);
    return result.Result;
}

void TProcess::ReadPipe(HANDLE pipe) {
    std::string bytes;
    CheckOS(AppendAvailable(pipe, bytes), L"Reading the console output");
    if (!bytes.empty())
        FOutput.Append(OemToText(bytes));
}

void TProcess::AnswerPrompt(const std::wstring& question) {
    const std::wstring caption = DLLStringsLocalized::OperationComplete();
    TQuestionHook hook;
    {
        std::lock_guard lock(HookLock);
        hook = QuestionHook;
    }
    std::optional<bool> yes;
    if (hook)
        yes = hook(question, caption);
    if (!yes)
        yes = MessageBoxW(nullptr, question.c_str(), caption.c_str(),
                          MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) == IDYES;
    TypeIntoConsole(FProcessID.load(), *yes ? L'Y' : L'N');
}

void TProcess::DoFinish(int32_t result) {
    if (result == 0 || result == ResultAlreadyExists)
        return;
    TErrorHook hook;
    {
        std::lock_guard lock(HookLock);
        hook = ErrorHook;
    }
    if (hook && hook(FErrors))
        return;
    MessageBoxW(nullptr, FErrors.c_str(), L"", MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
}

HWND TProcess::GetTopWindow() const {
    DWORD processID = FProcessID.load();
    return processID ? FindTopWindow(processID) : nullptr;
}

} // namespace velmora
