#pragma once
// Installer failures. Every installer call's result goes through CheckMsi; the
// message names the step that failed and the installer's error number.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

// The steps whose failure the engine reports.
inline constexpr std::wstring_view SMsiOpenProduct = L"Unable to open product";
inline constexpr std::wstring_view SMsiCostFiles = L"Unable to cost files";
inline constexpr std::wstring_view SMsiOpenDatabase = L"Unable to open database";
inline constexpr std::wstring_view SMsiGetTargetPath = L"Unable to get target path";
inline constexpr std::wstring_view SMsiOpenView = L"Unable to open view";
inline constexpr std::wstring_view SMsiExecuteView = L"Unable to execute view";
inline constexpr std::wstring_view SMsiFetch = L"Fetching error";
inline constexpr std::wstring_view SMsiGetRecordString = L"Unable to get record string";
// A call made after the engine was freed: its handles are gone.
inline constexpr std::wstring_view SMsiEngineFreed = L"Installer engine freed";

inline constexpr uint32_t MSI_ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t MSI_ERROR_NO_MORE_ITEMS = 259;

// ERROR_SUCCESS and ERROR_NO_MORE_ITEMS: both end a call normally.
bool IsMsiSuccess(uint32_t code);
// The description of the few errors the engine names; empty for the others.
std::wstring MsiErrorDescription(uint32_t code);
// "<step>\r\n<description>: <code>".
std::wstring MsiErrorText(std::wstring_view step, uint32_t code);

class EMsiError : public std::runtime_error {
public:
    EMsiError(std::wstring_view step, uint32_t code);
    const std::wstring& Message() const { return FMessage; }
    uint32_t Code() const { return FCode; }

private:
    std::wstring FMessage;
    uint32_t FCode;
};

// Raises EMsiError for step unless code is a success.
void CheckMsi(uint32_t code, std::wstring_view step);

} // namespace velmora
