#include "platform/OSInfo.h"

#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Registry.h"

#include <lmcons.h>
#include <sddl.h>

#include <vector>

namespace velmora {

namespace {

TOSVersionData ReadOSVersion() {
    RTL_OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    using TRtlGetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOEXW*);
    auto rtlGetVersion = ModuleFunction<TRtlGetVersion>(L"ntdll.dll", "RtlGetVersion");
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) {
        info = {};
        info.dwOSVersionInfoSize = sizeof info;
        GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
    }
    TOSVersionData data;
    data.Major = info.dwMajorVersion;
    data.Minor = info.dwMinorVersion;
    data.Build = info.dwBuildNumber;
    data.ServicePackMajor = info.wServicePackMajor;
    data.ServicePackMinor = info.wServicePackMinor;
    data.ProductType = info.wProductType;
    data.CSDVersion = info.szCSDVersion;
    return data;
}

std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size))
        return {};
    return buffer;
}

unique_handle ProcessToken(DWORD access) {
    unique_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), access, token.put()))
        token.reset();
    return token;
}

// The shell's token as a primary token, for starting a process as the
// interactive user.
unique_handle ShellUserToken() {
    HWND shell = GetShellWindow();
    DWORD processID = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &processID) || !processID)
        return {};
    unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processID));
    unique_handle token;
    if (!process || !OpenProcessToken(process.get(), TOKEN_DUPLICATE, token.put())) {
        token.reset();
        return {};
    }
    unique_handle primary;
    const DWORD access =
        TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID;
    if (!DuplicateTokenEx(token.get(), access, nullptr, SecurityImpersonation, TokenPrimary, primary.put()))
        primary.reset();
    return primary;
}

} // namespace

const TOSVersionData& OSVersion() {
    static const TOSVersionData data = ReadOSVersion();
    return data;
}

TWindowsVersion WindowsVersion() {
    return WindowsGeneration(OSVersion());
}
bool IsWindowsVistaOrLater() {
    return VersionAtLeast(OSVersion(), 6, 0);
}
bool IsWindows7OrLater() {
    return VersionAtLeast(OSVersion(), 6, 1);
}
bool IsWindows8OrLater() {
    return VersionAtLeast(OSVersion(), 6, 2);
}
bool IsWindows81OrLater() {
    return VersionAtLeast(OSVersion(), 6, 3);
}
bool IsWindows10OrLater() {
    return VersionAtLeast(OSVersion(), 10, 0);
}

std::wstring WindowsVersionText() {
    return std::wstring(WindowsVersionName(WindowsVersion()));
}

std::wstring ArchitectureText() {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return std::wstring(ArchitectureName(info.wProcessorArchitecture));
}

std::wstring ServicePackText() {
    return ServicePackName(OSVersion());
}

std::wstring EditionText() {
    // GetProductInfo came with Vista.
    using TGetProductInfo = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);
    auto getProductInfo = ModuleFunction<TGetProductInfo>(L"kernel32.dll", "GetProductInfo");
    std::optional<uint32_t> product;
    const TOSVersionData& v = OSVersion();
    DWORD value = 0;
    if (getProductInfo && getProductInfo(v.Major, v.Minor, v.ServicePackMajor, v.ServicePackMinor, &value))
        product = value;
    return EditionName(product, v.ProductType);
}

uint64_t MillisecondsSinceBoot() {
    using TGetTickCount64 = ULONGLONG(WINAPI*)();
    static const auto tickCount64 = ModuleFunction<TGetTickCount64>(L"kernel32.dll", "GetTickCount64");
    if (tickCount64)
        return tickCount64();
    struct TTimeOfDay {
        LARGE_INTEGER BootTime;
        LARGE_INTEGER CurrentTime;
        LARGE_INTEGER TimeZoneBias;
        ULONG TimeZoneId;
        ULONG Reserved;
        ULONGLONG BootTimeBias;
        ULONGLONG SleepTimeBias;
    };
    using TQuerySystemInformation =
        LONG(NTAPI*)(int informationClass, void* information, ULONG length, ULONG* returned);
    static const auto query =
        ModuleFunction<TQuerySystemInformation>(L"ntdll.dll", "NtQuerySystemInformation");
    constexpr int SystemTimeOfDayInformation = 3;
    TTimeOfDay timeOfDay{};
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    if (!query || query(SystemTimeOfDayInformation, &timeOfDay, sizeof timeOfDay, nullptr) < 0)
        return GetTickCount();
    const uint64_t current = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const auto boot = static_cast<uint64_t>(timeOfDay.BootTime.QuadPart);
    return current > boot ? (current - boot) / 10000 : 0;
}

bool IsWindowsPE() {
    return KeyExists(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT");
}

bool IsWow64Process() {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool Is64BitWindows() {
#ifdef _WIN64
    return true;
#else
    return IsWow64Process();
#endif
}

std::wstring UserName() {
    wchar_t name[UNLEN + 1];
    DWORD size = UNLEN + 1;
    return GetUserNameW(name, &size) ? std::wstring(name) : std::wstring();
}

std::wstring UserSID() {
    unique_handle token = ProcessToken(TOKEN_QUERY);
    if (!token)
        return {};
    std::vector<BYTE> buffer = TokenInformation(token.get(), TokenUser);
    if (buffer.empty())
        return {};
    unique_hlocal_string text;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, text.put()))
        return {};
    return text.get();
}

bool IsUserAdmin() {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
           CheckTokenMembership(nullptr, sid, &member) && member;
}

bool IsProcessElevated() {
    unique_handle token = ProcessToken(TOKEN_QUERY);
    if (!token)
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated;
}

bool Wow64FsRedirectionEnter(void*& oldValue) {
    oldValue = nullptr;
#ifdef _WIN64
    return false;
#else
    using TDisable = BOOL(WINAPI*)(PVOID*);
    auto disable = ModuleFunction<TDisable>(L"kernel32.dll", "Wow64DisableWow64FsRedirection");
    return disable && IsWow64Process() && disable(&oldValue);
#endif
}

void Wow64FsRedirectionLeave(void* oldValue) {
#ifdef _WIN64
    (void)oldValue;
#else
    using TRevert = BOOL(WINAPI*)(PVOID);
    if (auto revert = ModuleFunction<TRevert>(L"kernel32.dll", "Wow64RevertWow64FsRedirection"))
        revert(oldValue);
#endif
}

bool CreateProcessAsLUAUser(std::wstring_view program, std::wstring_view parameters, int showWindow,
                            unique_handle* process) {
    std::wstring commandLine = Format(L"\"%s\"", program);
    if (!parameters.empty())
        commandLine += Format(L" %s", parameters);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showWindow);
    PROCESS_INFORMATION info{};
    bool started = false;

    if (IsProcessElevated()) {
        // Windows Vista has it, but XP does not: resolved at run time.
        using TCreateWithToken = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                               LPSTARTUPINFOW, LPPROCESS_INFORMATION);
        auto createWithToken = ModuleFunction<TCreateWithToken>(L"advapi32.dll", "CreateProcessWithTokenW");
        unique_handle token = createWithToken ? ShellUserToken() : unique_handle();
        if (token)
            started = createWithToken(token.get(), 0, nullptr, commandLine.data(), 0, nullptr, nullptr,
                                      &startup, &info);
    }
    if (!started)
        started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &info);
    if (!started)
        return false;
    unique_handle processHandle(info.hProcess);
    unique_handle threadHandle(info.hThread);
    if (process)
        *process = std::move(processHandle);
    return true;
}

} // namespace velmora
