#pragma once
// Installing and removing test packages with the prefix's msiexec.
#include <windows.h>

#include <msi.h>
#include <process.h>

#include <cstdint>
#include <string>

namespace velmora::testing {

// msiexec with these arguments, waited for; its exit code. Named by its full
// path: under Wine a search of the path fails after the process has started
// a first program (-1, path not found).
inline intptr_t RunMsiexec(const wchar_t* action, const std::wstring& target) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring msiexec = std::wstring(system) + L"\\msiexec.exe";
    for (int attempt = 0;; ++attempt) {
        intptr_t code = _wspawnl(_P_WAIT, msiexec.c_str(), L"msiexec.exe", action,
                                 (L"\"" + target + L"\"").c_str(), L"/qn", nullptr);
        // Another test of this prefix installing at the same moment: its
        // transaction cannot be awaited from here, so try again shortly.
        if (code != ERROR_INSTALL_ALREADY_RUNNING || attempt == 240)
            return code;
        Sleep(500);
    }
}

inline void Uninstall(const wchar_t* code) {
    if (MsiQueryProductStateW(code) == INSTALLSTATE_DEFAULT)
        RunMsiexec(L"/x", code);
}

} // namespace velmora::testing
