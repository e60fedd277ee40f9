// The floor of an inventory read: opens every key below the registry places
// the uninstall location reads (both views where the registry has two) and
// reads every value once, nothing else. Prints "name value" lines for
// bench/run-bench.py. With --startup it only starts and ends, which times the
// start of a process in the prefix.
#include "platform/Handles.h"

#include <sddl.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using velmora::unique_hkey;
using Clock = std::chrono::steady_clock;

namespace {

struct TWalk {
    long Keys = 0;
    long Values = 0;
    std::vector<wchar_t> Name = std::vector<wchar_t>(16384);
    std::vector<BYTE> Data = std::vector<BYTE>(1 << 20);

    void Key(HKEY root, const std::wstring& path, REGSAM view) {
        unique_hkey key;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
            return;
        ++Keys;
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = static_cast<DWORD>(Name.size()), dataSize = static_cast<DWORD>(Data.size()),
                  type;
            LSTATUS status =
                RegEnumValueW(key.get(), i, Name.data(), &nameSize, nullptr, &type, Data.data(), &dataSize);
            if (status == ERROR_NO_MORE_ITEMS)
                break;
            if (status == ERROR_SUCCESS)
                ++Values;
        }
        std::vector<std::wstring> subkeys;
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = static_cast<DWORD>(Name.size());
            LSTATUS status =
                RegEnumKeyExW(key.get(), i, Name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS)
                break;
            if (status == ERROR_SUCCESS)
                subkeys.emplace_back(Name.data(), nameSize);
        }
        key.reset();
        for (const std::wstring& name : subkeys)
            Key(root, path + L"\\" + name, view);
    }
};

std::wstring UserSid() {
    velmora::unique_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return {};
    BYTE buffer[256];
    DWORD size = sizeof buffer;
    if (!GetTokenInformation(token.get(), TokenUser, buffer, size, &size))
        return {};
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text))
        return {};
    std::wstring sid = text;
    LocalFree(text);
    return sid;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wstring(argv[1]) == L"--startup")
        return 0;
    const std::wstring sid = UserSid();
    const std::wstring installer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\";
    const std::vector<std::wstring> places = {
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
        installer + L"Managed\\" + sid + L"\\Installer\\Products",
        installer + L"Managed\\S-1-5-18\\Installer\\Products",
        installer + L"Products",
        installer + L"UserData\\" + sid + L"\\Products",
        installer + L"UserData\\S-1-5-18\\Products",
        L"Software\\Microsoft\\Installer\\Products",
        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\HotFix",
        L"Software\\Microsoft\\Updates",
    };

    TWalk walk;
    Clock::time_point start = Clock::now();
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const std::wstring& place : places)
                walk.Key(root, place, view);
        walk.Key(HKEY_CLASSES_ROOT, L"Installer\\Products", view);
    }
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("walk %.1f\nkeys %ld\nvalues %ld\n", ms, walk.Keys, walk.Values);
    return 0;
}
