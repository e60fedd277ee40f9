#include "msi/MsiError.h"

#include "platform/Format.h"

namespace velmora {

bool IsMsiSuccess(uint32_t code) {
    return code == 0 || code == MSI_ERROR_NO_MORE_ITEMS;
}

std::wstring MsiErrorDescription(uint32_t code) {
    switch (code) {
    case MSI_ERROR_INVALID_HANDLE:
        return L"Error invalid handle";
    case 1615:
        return L"SQL query syntax invalid or unsupported";
    case 1618:
        return L"Another installation is in progress";
    default:
        return {};
    }
}

std::wstring MsiErrorText(std::wstring_view step, uint32_t code) {
    return Format(L"%s\r\n%s", step, MsiErrorDescription(code) + L": " + std::to_wstring(code));
}

EMsiError::EMsiError(std::wstring_view step, uint32_t code)
    : std::runtime_error(Narrow(MsiErrorText(step, code))), FMessage(MsiErrorText(step, code)), FCode(code) {}

void CheckMsi(uint32_t code, std::wstring_view step) {
    if (!IsMsiSuccess(code))
        throw EMsiError(step, code);
}

} // namespace velmora
