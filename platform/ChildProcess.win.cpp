#include "platform/ChildProcess.h"

#include "platform/ComObject.h"
#include "platform/OSError.h"

#include <shellapi.h>

namespace velmora {

std::optional<TChildProcess> StartChildProcess(const TChildStart& start) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (start.ShowWindow) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = *start.ShowWindow;
    }
    if (start.StandardHandles) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = start.StandardHandles->Input;
        startup.hStdOutput = start.StandardHandles->Output;
        startup.hStdError = start.StandardHandles->Error;
    }
    const wchar_t* application = start.Application.empty() ? nullptr : start.Application.c_str();
    // The command line buffer must be writable.
    std::wstring commandLine = start.CommandLine;
    PROCESS_INFORMATION info{};
    const BOOL started =
        start.UserToken
            ? CreateProcessAsUserW(start.UserToken, application, commandLine.data(), nullptr, nullptr, TRUE,
                                   start.CreationFlags, nullptr, nullptr, &startup, &info)
            : CreateProcessW(application, commandLine.data(), nullptr, nullptr, TRUE, start.CreationFlags,
                             nullptr, nullptr, &startup, &info);
    if (!started)
        return std::nullopt;
    TChildProcess child;
    child.Process.reset(info.hProcess);
    child.Thread.reset(info.hThread);
    child.ProcessID = info.dwProcessId;
    return child;
}

std::optional<TChildProcess> StartElevatedChildProcess(const std::wstring& program,
                                                       const std::wstring& arguments, WORD showWindow) {
    std::optional<TChildProcess> child;
    DWORD error = ERROR_SUCCESS;
    {
        // The shell may hand the start to its extensions, which want COM.
        TComApartmentGuard com;
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        // No error box of the shell's own: the caller reports the failure. A
        // console program shares this process's console, as a child that
        // StartChildProcess starts does, instead of getting a new one.
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NO_CONSOLE;
        info.lpVerb = L"runas";
        info.lpFile = program.c_str();
        info.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
        info.nShow = showWindow;
        if (!ShellExecuteExW(&info)) {
            error = GetLastError();
        } else if (!info.hProcess) {
            // Handed to a running program: there is no process to wait for.
            error = ERROR_INVALID_HANDLE;
        } else {
            child.emplace();
            child->Process.reset(info.hProcess);
            child->ProcessID = GetProcessId(info.hProcess);
        }
    }
    if (!child)
        SetLastError(error);
    return child;
}

unique_handle DuplicateProcessToken() {
    unique_handle processToken, userToken;
    CheckOS(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, processToken.put()), L"OpenProcessToken");
    CheckOS(DuplicateTokenEx(processToken.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                             TokenPrimary, userToken.put()),
            L"DuplicateTokenEx");
    return userToken;
}

} // namespace velmora
