#pragma once
// Windows generations and the display names of the statistics header, derived
// from the raw version data. Portable: platform/OSInfo.h reads the data.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Ordered by release; servers sit next to their client generation.
enum class TWindowsVersion : uint8_t {
    wvUnknown,
    wv2000,
    wvXP,
    wvServer2003,
    wvVista,
    wvServer2008,
    wv7,
    wvServer2008R2,
    wv8,
    wvServer2012,
    wv81,
    wvServer2012R2,
    wv10,
    wvServer2016,
    wvServer2019,
    wvServer2022,
    wv11,
    wvServer2025,
};

// What RtlGetVersion and GetNativeSystemInfo report.
struct TOSVersionData {
    uint32_t Major = 0;
    uint32_t Minor = 0;
    uint32_t Build = 0;
    uint16_t ServicePackMajor = 0;
    uint16_t ServicePackMinor = 0;
    uint8_t ProductType = 1; // VER_NT_WORKSTATION 1, DOMAIN_CONTROLLER 2, SERVER 3
    std::wstring CSDVersion; // "Service Pack 1", empty without one
};

bool VersionAtLeast(const TOSVersionData& data, uint32_t major, uint32_t minor);
TWindowsVersion WindowsGeneration(const TOSVersionData& data);
// "Windows 7", "Windows Server 2008 R2", ...; "Unknown" for wvUnknown.
std::wstring_view WindowsVersionName(TWindowsVersion version);
// "Service Pack 1": the system's text, else built from the number; empty
// without a service pack.
std::wstring ServicePackName(const TOSVersionData& data);
// PROCESSOR_ARCHITECTURE_* to "x86", "x64", "ARM", "ARM64", "IA64"; "Unknown" otherwise.
std::wstring_view ArchitectureName(uint16_t processorArchitecture);
// GetProductInfo's PRODUCT_* value to "Ultimate", "Professional", ...; empty when unknown.
std::wstring_view ProductEditionName(uint32_t productInfo);
// "Workstation", "Domain Controller", "Server"; empty when unknown.
std::wstring_view ProductTypeName(uint8_t productType);
// The edition name, or the product-type name when the product is unknown or
// GetProductInfo is missing (before Vista).
std::wstring EditionName(std::optional<uint32_t> productInfo, uint8_t productType);

} // namespace velmora
