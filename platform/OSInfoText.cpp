#include "platform/OSInfoText.h"

#include "platform/Format.h"

#include <array>
#include <utility>

namespace velmora {

namespace {

constexpr uint8_t WorkstationType = 1;

struct TEdition {
    uint32_t Product;
    std::wstring_view Name;
};

// GetProductInfo values (PRODUCT_*) of the editions met in practice.
constexpr std::array<TEdition, 48> Editions{{
    {0x01, L"Ultimate"},
    {0x02, L"Home Basic"},
    {0x03, L"Home Premium"},
    {0x04, L"Enterprise"},
    {0x05, L"Home Basic N"},
    {0x06, L"Business"},
    {0x07, L"Server Standard"},
    {0x08, L"Server Datacenter"},
    {0x09, L"Small Business Server"},
    {0x0A, L"Server Enterprise"},
    {0x0B, L"Starter"},
    {0x0C, L"Server Datacenter (core installation)"},
    {0x0D, L"Server Standard (core installation)"},
    {0x0E, L"Server Enterprise (core installation)"},
    {0x0F, L"Server Enterprise for Itanium-based Systems"},
    {0x10, L"Business N"},
    {0x11, L"Web Server"},
    {0x12, L"HPC Edition"},
    {0x13, L"Home Server"},
    {0x14, L"Storage Server Express"},
    {0x15, L"Storage Server Standard"},
    {0x16, L"Storage Server Workgroup"},
    {0x17, L"Storage Server Enterprise"},
    {0x18, L"Server for Small Business"},
    {0x19, L"Small Business Server Premium"},
    {0x1A, L"Home Premium N"},
    {0x1B, L"Enterprise N"},
    {0x1C, L"Ultimate N"},
    {0x1D, L"Web Server (core installation)"},
    {0x21, L"Server Foundation"},
    {0x2A, L"Hyper-V Server"},
    {0x2F, L"Starter N"},
    {0x30, L"Professional"},
    {0x31, L"Professional N"},
    {0x45, L"Professional E"},
    {0x46, L"Enterprise E"},
    {0x47, L"Ultimate E"},
    {0x48, L"Enterprise Evaluation"},
    {0x4F, L"Server Standard Evaluation"},
    {0x50, L"Server Datacenter Evaluation"},
    {0x62, L"Home N"},
    {0x63, L"Home China"},
    {0x64, L"Home Single Language"},
    {0x65, L"Home"},
    {0x67, L"Professional with Media Center"},
    {0x79, L"Education"},
    {0x7A, L"Education N"},
    {0x7D, L"Enterprise LTSB"},
}};

} // namespace

bool VersionAtLeast(const TOSVersionData& data, uint32_t major, uint32_t minor) {
    return std::pair(data.Major, data.Minor) >= std::pair(major, minor);
}

TWindowsVersion WindowsGeneration(const TOSVersionData& data) {
    bool workstation = data.ProductType == WorkstationType;
    switch (data.Major) {
    case 5:
        if (data.Minor == 0)
            return TWindowsVersion::wv2000;
        if (data.Minor == 1)
            return TWindowsVersion::wvXP;
        // 5.2 is Server 2003, and the x64 edition of XP on a workstation.
        return workstation ? TWindowsVersion::wvXP : TWindowsVersion::wvServer2003;
    case 6:
        switch (data.Minor) {
        case 0:
            return workstation ? TWindowsVersion::wvVista : TWindowsVersion::wvServer2008;
        case 1:
            return workstation ? TWindowsVersion::wv7 : TWindowsVersion::wvServer2008R2;
        case 2:
            return workstation ? TWindowsVersion::wv8 : TWindowsVersion::wvServer2012;
        default:
            return workstation ? TWindowsVersion::wv81 : TWindowsVersion::wvServer2012R2;
        }
    case 10:
        if (workstation)
            return data.Build >= 22000 ? TWindowsVersion::wv11 : TWindowsVersion::wv10;
        if (data.Build >= 26100)
            return TWindowsVersion::wvServer2025;
        if (data.Build >= 20348)
            return TWindowsVersion::wvServer2022;
        if (data.Build >= 17763)
            return TWindowsVersion::wvServer2019;
        return TWindowsVersion::wvServer2016;
    default:
        // A newer major version still counts as the newest generation we know.
        if (data.Major > 10)
            return workstation ? TWindowsVersion::wv11 : TWindowsVersion::wvServer2025;
        return TWindowsVersion::wvUnknown;
    }
}

std::wstring_view WindowsVersionName(TWindowsVersion version) {
    switch (version) {
    case TWindowsVersion::wv2000:
        return L"Windows 2000";
    case TWindowsVersion::wvXP:
        return L"Windows XP";
    case TWindowsVersion::wvServer2003:
        return L"Windows Server 2003";
    case TWindowsVersion::wvVista:
        return L"Windows Vista";
    case TWindowsVersion::wvServer2008:
        return L"Windows Server 2008";
    case TWindowsVersion::wv7:
        return L"Windows 7";
    case TWindowsVersion::wvServer2008R2:
        return L"Windows Server 2008 R2";
    case TWindowsVersion::wv8:
        return L"Windows 8";
    case TWindowsVersion::wvServer2012:
        return L"Windows Server 2012";
    case TWindowsVersion::wv81:
        return L"Windows 8.1";
    case TWindowsVersion::wvServer2012R2:
        return L"Windows Server 2012 R2";
    case TWindowsVersion::wv10:
        return L"Windows 10";
    case TWindowsVersion::wvServer2016:
        return L"Windows Server 2016";
    case TWindowsVersion::wvServer2019:
        return L"Windows Server 2019";
    case TWindowsVersion::wvServer2022:
        return L"Windows Server 2022";
    case TWindowsVersion::wv11:
        return L"Windows 11";
    case TWindowsVersion::wvServer2025:
        return L"Windows Server 2025";
    default:
        return L"Unknown";
    }
}

std::wstring ServicePackName(const TOSVersionData& data) {
    if (!data.CSDVersion.empty())
        return data.CSDVersion;
    if (data.ServicePackMajor == 0)
        return {};
    if (data.ServicePackMinor == 0)
        return Format(L"Service Pack %d", data.ServicePackMajor);
    return Format(L"Service Pack %d.%d", data.ServicePackMajor, data.ServicePackMinor);
}

std::wstring_view ArchitectureName(uint16_t processorArchitecture) {
    switch (processorArchitecture) {
    case 0:
        return L"x86";
    case 5:
        return L"ARM";
    case 6:
        return L"IA64";
    case 9:
        return L"x64";
    case 12:
        return L"ARM64";
    default:
        return L"Unknown";
    }
}

std::wstring_view ProductEditionName(uint32_t productInfo) {
    for (const auto& e : Editions)
        if (e.Product == productInfo)
            return e.Name;
    return {};
}

std::wstring_view ProductTypeName(uint8_t productType) {
    switch (productType) {
    case 1:
        return L"Workstation";
    case 2:
        return L"Domain Controller";
    case 3:
        return L"Server";
    default:
        return {};
    }
}

std::wstring EditionName(std::optional<uint32_t> productInfo, uint8_t productType) {
    if (productInfo) {
        std::wstring_view name = ProductEditionName(*productInfo);
        if (!name.empty())
            return std::wstring(name);
    }
    return std::wstring(ProductTypeName(productType));
}

} // namespace velmora
