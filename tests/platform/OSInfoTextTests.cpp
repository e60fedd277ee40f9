#include "platform/OSInfoText.h"
#include "tests/TestBase.h"

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
    const struct {
        TOSVersionData Data;
        TWindowsVersion Expected;
    } cases[] = {
        {Version(5, 2, 3790), TWindowsVersion::wvXP}, // XP x64
        {Version(5, 2, 3790, 3), TWindowsVersion::wvServer2003},
        {Version(10, 0, 19045), TWindowsVersion::wv10},
        {Version(10, 0, 22631), TWindowsVersion::wv11},
        {Version(10, 0, 20348, 2), TWindowsVersion::wvServer2022},
        {Version(4, 0, 1381), TWindowsVersion::wvUnknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WindowsGeneration(c.Data), c.Expected)
            << c.Data.Major << "." << c.Data.Minor << "." << c.Data.Build << " type "
            << int(c.Data.ProductType);
    EXPECT_EQ(EditionName(std::nullopt, 3), L"Server") << "no product information before Vista";
}
