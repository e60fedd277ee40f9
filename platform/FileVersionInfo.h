#pragma once
// A file's version resource: the fixed version numbers and the string values
// ("FileVersion", "CompanyName", "ProductName", ...).
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct TFixedFileVersion {
    WORD Major = 0;
    WORD Minor = 0;
    WORD Release = 0;
    WORD Build = 0;
};

class TFileVersionInfo {
public:
    explicit TFileVersionInfo(std::wstring_view fileName);
    // The file has a version resource.
    explicit operator bool() const { return !FData.empty(); }
    std::optional<TFixedFileVersion> FixedFileVersion() const;
    // A string value of the first translation the file lists, falling back to
    // U.S. English in Unicode or Windows Latin-1; empty when absent.
    std::wstring GetValue(std::wstring_view name) const;
    // The language identifiers of the translations the file lists, in order.
    std::vector<uint32_t> Languages() const;

private:
    std::vector<BYTE> FData;
};

} // namespace velmora
