#pragma once
// Installing and removing test packages with the prefix's msiexec.
#include <windows.h>

#include <msi.h>
#include <process.h>

#include <cstdint>
#include <string>

namespace velmora::testing {

// msiexec with these arguments, waited for; its exit code.
inline intptr_t RunMsiexec(const wchar_t* action, const std::wstring& target) {
    for (int attempt = 0;; ++attempt) {
        intptr_t code = _wspawnlp(_P_WAIT, L"msiexec.exe", L"msiexec.exe", action,
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
