#pragma once
// Starting a child process with its standard handles redirected where asked.
// A child given standard handles inherits only those (from Vista on; before,
// every inheritable handle of this process); one without inherits every
// inheritable handle.
#include "platform/Handles.h"

#include <windows.h>

#include <optional>
#include <string>

// Windows' answer to a start that needs administrator rights; not in every
// SDK's headers.
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

namespace velmora {

struct TStandardHandles {
    HANDLE Input = nullptr;
    HANDLE Output = nullptr;
    HANDLE Error = nullptr;
};

struct TChildStart {
    // The program file; empty when the command line names it first.
    std::wstring Application;
    std::wstring CommandLine;
    // The child's standard handles (STARTF_USESTDHANDLES); without them it
    // gets the system's default ones.
    std::optional<TStandardHandles> StandardHandles;
    // SW_ value of the child's first window (STARTF_USESHOWWINDOW).
    std::optional<WORD> ShowWindow;
    DWORD CreationFlags = 0;
    // A primary token to start the child with (CreateProcessAsUserW);
    // without one it runs with a copy of this process's token.
    HANDLE UserToken = nullptr;
};

struct TChildProcess {
    unique_handle Process;
    unique_handle Thread;
    DWORD ProcessID = 0;
};

// Nothing when the child cannot be started (GetLastError tells why; a
// program that needs administrator rights, started from a process that does
// not have them, fails with ERROR_ELEVATION_REQUIRED).
std::optional<TChildProcess> StartChildProcess(const TChildStart& start);

// Starts a program through the shell with the "runas" verb, so that Windows
// asks the user's consent to run it with administrator rights. The child
// inherits no handles but this process's console, and has no thread handle
// here. Nothing when it did not
// start (GetLastError tells why; ERROR_CANCELLED when the user declined).
std::optional<TChildProcess> StartElevatedChildProcess(const std::wstring& program,
                                                       const std::wstring& arguments, WORD showWindow);

// A primary token of this process's user, duplicated from the process's own;
// throws EOSError naming the call that failed.
unique_handle DuplicateProcessToken();

} // namespace velmora
