#pragma once
// Errors reported by Windows, carried as exceptions with the system's text.
#include <windows.h>

#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

class EOSError : public std::runtime_error {
public:
    // what(): "<context>: <system message> (<code>)", UTF-8.
    EOSError(std::wstring_view context, DWORD code);
    static EOSError FromHResult(std::wstring_view context, HRESULT hr);
    DWORD Code() const { return FCode; }

private:
    DWORD FCode;
};

// The system's message for an error code, without the trailing line break.
std::wstring SystemErrorMessage(DWORD code);

// Throws EOSError with GetLastError() when ok is false.
void CheckOS(bool ok, std::wstring_view context);
void CheckHResult(HRESULT hr, std::wstring_view context);

} // namespace velmora
