#pragma once
// The running Windows, the process and its user.
#include "platform/Handles.h"
#include "platform/OSInfoText.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace velmora {

// Read once with RtlGetVersion, which, unlike GetVersionExW, is not capped by
// the executable's manifest.
const TOSVersionData& OSVersion();
TWindowsVersion WindowsVersion();
bool IsWindowsVistaOrLater();
bool IsWindows7OrLater();
bool IsWindows8OrLater();
bool IsWindows81OrLater();
bool IsWindows10OrLater();

// The statistics header's values: "Windows 7", "x64", "Service Pack 1", "Ultimate".
std::wstring WindowsVersionText();
std::wstring ArchitectureText();
std::wstring ServicePackText();
std::wstring EditionText();

// Running in Windows PE (HKLM\SYSTEM\CurrentControlSet\Control\MiniNT exists).
bool IsWindowsPE();
// This process is a 32-bit process under WOW64.
bool IsWow64Process();
// The one predicate for choosing registry views and the 64-bit system folder:
// true in the x64 build, and for an x86 build under WOW64.
bool Is64BitWindows();

// Milliseconds since the system started: the 64-bit tick count where the
// system has it, else the system time minus the boot time it reports.
uint64_t MillisecondsSinceBoot();

std::wstring UserName();
// The process user's security identifier as text ("S-1-5-21-..."); empty on failure.
std::wstring UserSID();
// The process token is a member of the Administrators group (an elevated one under UAC).
bool IsUserAdmin();
// The process token is elevated (Vista and later; false before).
bool IsProcessElevated();

// Switches off file-system redirection for the calling thread; a no-op
// outside WOW64 (always in the x64 build). Leave only after a successful Enter.
bool Wow64FsRedirectionEnter(void*& oldValue);
void Wow64FsRedirectionLeave(void* oldValue);

class TWow64FsRedirectionGuard {
public:
    TWow64FsRedirectionGuard() { FActive = Wow64FsRedirectionEnter(FOldValue); }
    ~TWow64FsRedirectionGuard() {
        if (FActive)
            Wow64FsRedirectionLeave(FOldValue);
    }
    TWow64FsRedirectionGuard(const TWow64FsRedirectionGuard&) = delete;
    TWow64FsRedirectionGuard& operator=(const TWow64FsRedirectionGuard&) = delete;

private:
    void* FOldValue = nullptr;
    bool FActive = false;
};

// Starts program with parameters as the non-elevated interactive user: from
// an elevated process with the token of the shell's process, otherwise (or
// when there is no shell) as this process's user. Does not wait. The process
// handle goes to *process when asked for.
bool CreateProcessAsLUAUser(std::wstring_view program, std::wstring_view parameters, int showWindow,
                            unique_handle* process = nullptr);

} // namespace velmora
