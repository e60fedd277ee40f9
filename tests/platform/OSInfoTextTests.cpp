#include "platform/OSInfoText.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

TOSVersionData Version(uint32_t major, uint32_t minor, uint32_t build, uint8_t productType = 1) {
    TOSVersionData d;
    d.Major = major;
    d.Minor = minor;
    d.Build = build;
    d.ProductType = productType;
    return d;
}

} // namespace

TEST(OSInfoText, GenerationFollowsVersionProductTypeAndBuild) {
    EXPECT_EQ(WindowsGeneration(Version(5, 1, 2600)), TWindowsVersion::wvXP);
    EXPECT_EQ(WindowsGeneration(Version(5, 2, 3790)), TWindowsVersion::wvXP); // XP x64
    EXPECT_EQ(WindowsGeneration(Version(5, 2, 3790, 3)), TWindowsVersion::wvServer2003);
    EXPECT_EQ(WindowsGeneration(Version(6, 0, 6002)), TWindowsVersion::wvVista);
    EXPECT_EQ(WindowsGeneration(Version(6, 0, 6002, 2)), TWindowsVersion::wvServer2008);
    EXPECT_EQ(WindowsGeneration(Version(6, 1, 7601)), TWindowsVersion::wv7);
    EXPECT_EQ(WindowsGeneration(Version(6, 1, 7601, 3)), TWindowsVersion::wvServer2008R2);
    EXPECT_EQ(WindowsGeneration(Version(6, 2, 9200)), TWindowsVersion::wv8);
    EXPECT_EQ(WindowsGeneration(Version(6, 3, 9600)), TWindowsVersion::wv81);
    EXPECT_EQ(WindowsGeneration(Version(6, 3, 9600, 3)), TWindowsVersion::wvServer2012R2);
    EXPECT_EQ(WindowsGeneration(Version(10, 0, 19045)), TWindowsVersion::wv10);
    EXPECT_EQ(WindowsGeneration(Version(10, 0, 22631)), TWindowsVersion::wv11);
    EXPECT_EQ(WindowsGeneration(Version(10, 0, 14393, 3)), TWindowsVersion::wvServer2016);
    EXPECT_EQ(WindowsGeneration(Version(10, 0, 17763, 3)), TWindowsVersion::wvServer2019);
    EXPECT_EQ(WindowsGeneration(Version(10, 0, 20348, 2)), TWindowsVersion::wvServer2022);
    EXPECT_EQ(WindowsGeneration(Version(4, 0, 1381)), TWindowsVersion::wvUnknown);
    EXPECT_EQ(WindowsGeneration(Version(11, 0, 1)), TWindowsVersion::wv11);
}

TEST(OSInfoText, VersionComparisonUsesMajorThenMinor) {
    EXPECT_TRUE(VersionAtLeast(Version(6, 1, 0), 6, 0));
    EXPECT_TRUE(VersionAtLeast(Version(6, 2, 0), 6, 2));
    EXPECT_FALSE(VersionAtLeast(Version(6, 1, 0), 6, 2));
    EXPECT_TRUE(VersionAtLeast(Version(10, 0, 0), 6, 3));
    EXPECT_FALSE(VersionAtLeast(Version(5, 2, 0), 6, 0));
}

TEST(OSInfoText, HeaderNames) {
    EXPECT_EQ(WindowsVersionName(TWindowsVersion::wv7), L"Windows 7");
    EXPECT_EQ(WindowsVersionName(TWindowsVersion::wv81), L"Windows 8.1");
    EXPECT_EQ(WindowsVersionName(TWindowsVersion::wvServer2008R2), L"Windows Server 2008 R2");
    EXPECT_EQ(WindowsVersionName(TWindowsVersion::wvUnknown), L"Unknown");
    EXPECT_EQ(ArchitectureName(9), L"x64");
    EXPECT_EQ(ArchitectureName(0), L"x86");
    EXPECT_EQ(ArchitectureName(12), L"ARM64");
    EXPECT_EQ(ArchitectureName(0xFFFF), L"Unknown");
}

TEST(OSInfoText, ServicePackPrefersTheSystemText) {
    TOSVersionData d = Version(6, 1, 7601);
    EXPECT_EQ(ServicePackName(d), L"");
    d.ServicePackMajor = 1;
    EXPECT_EQ(ServicePackName(d), L"Service Pack 1");
    d.ServicePackMinor = 2;
    EXPECT_EQ(ServicePackName(d), L"Service Pack 1.2");
    d.CSDVersion = L"Service Pack 1, v.1130";
    EXPECT_EQ(ServicePackName(d), L"Service Pack 1, v.1130");
}

TEST(OSInfoText, EditionFallsBackToTheProductType) {
    EXPECT_EQ(EditionName(0x01, 1), L"Ultimate");
    EXPECT_EQ(EditionName(0x30, 1), L"Professional");
    EXPECT_EQ(EditionName(0x65, 1), L"Home");
    EXPECT_EQ(EditionName(0x07, 3), L"Server Standard");
    // Before Vista there is no product information.
    EXPECT_EQ(EditionName(std::nullopt, 1), L"Workstation");
    EXPECT_EQ(EditionName(std::nullopt, 3), L"Server");
    // PRODUCT_UNDEFINED and values we do not know.
    EXPECT_EQ(EditionName(0, 2), L"Domain Controller");
    EXPECT_EQ(EditionName(0xABCDABCD, 1), L"Workstation");
    EXPECT_EQ(EditionName(0xABCDABCD, 9), L"");
}
