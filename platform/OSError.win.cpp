#include "platform/OSError.h"

#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/Text.h"

namespace velmora {

std::wstring SystemErrorMessage(DWORD code) {
    unique_hlocal_string buffer;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<LPWSTR>(buffer.put()), 0, nullptr);
    return n ? std::wstring(Trim(std::wstring_view(buffer.get(), n))) : std::wstring();
}

static std::string Describe(std::wstring_view context, DWORD code) {
    wchar_t hex[16];
    wsprintfW(hex, L"0x%08X", code);
    std::wstring message = SystemErrorMessage(code);
    if (message.empty())
        message = L"Error";
    return Narrow(Format(L"%s: %s (%s)", context, message, hex));
}

EOSError::EOSError(std::wstring_view context, DWORD code)
    : std::runtime_error(Describe(context, code)), FCode(code) {}

EOSError EOSError::FromHResult(std::wstring_view context, HRESULT hr) {
    return EOSError(context, static_cast<DWORD>(hr));
}

void CheckOS(bool ok, std::wstring_view context) {
    if (!ok)
        throw EOSError(context, GetLastError());
}

void CheckHResult(HRESULT hr, std::wstring_view context) {
    if (FAILED(hr))
        throw EOSError::FromHResult(context, hr);
}

} // namespace velmora
