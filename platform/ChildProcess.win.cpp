#include "platform/ChildProcess.h"

#include "platform/OSError.h"

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

unique_handle DuplicateProcessToken() {
    unique_handle processToken, userToken;
    CheckOS(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, processToken.put()), L"OpenProcessToken");
    CheckOS(DuplicateTokenEx(processToken.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                             TokenPrimary, userToken.put()),
            L"DuplicateTokenEx");
    return userToken;
}

} // namespace velmora
