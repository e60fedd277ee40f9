// Which recorded servicing package states are listed as installed updates,
// and which of those can be uninstalled.
#include "locations/ServicingPackageRules.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ServicingPackageRules, InstalledStatesAreListedAndOnlyTheChangeableOnesUninstallable) {
    for (uint32_t state : {0x60u, 0x70u, 0x160u, 6u, 7u})
        for (uint32_t owner : {0x60u, 0x70u, UnownedPackageState})
            EXPECT_EQ(InstalledPackageUninstallable(state, owner), true) << state << " " << owner;
    // Staged and superseded packages, or such owners, stay listed but fixed.
    EXPECT_EQ(InstalledPackageUninstallable(0x40, 0x70), false);
    EXPECT_EQ(InstalledPackageUninstallable(0x80, 0x70), false);
    EXPECT_EQ(InstalledPackageUninstallable(0x70, 0x40), false);
    EXPECT_EQ(InstalledPackageUninstallable(0x60, 0x80), false);
}

TEST(ServicingPackageRules, OtherStatesAndUnshiftedValuesAreNotListed) {
    for (uint32_t state : {0x00u, 0x05u, 0x20u, 0x50u, 0x65u, 0x67u, 0x90u, 0xFFFFFFF0u})
        EXPECT_EQ(InstalledPackageUninstallable(state, UnownedPackageState), std::nullopt) << state;
    EXPECT_EQ(InstalledPackageUninstallable(0x70, 0x65), std::nullopt);
    EXPECT_EQ(InstalledPackageUninstallable(0x70, 0), std::nullopt);
}

TEST(ServicingPackageRules, PermanenceIsMatchedWithoutCase) {
    EXPECT_TRUE(IsPermanentPackage(L"permanent"));
    EXPECT_TRUE(IsPermanentPackage(L"Permanent"));
    EXPECT_FALSE(IsPermanentPackage(L"removable"));
    EXPECT_FALSE(IsPermanentPackage(L""));
}

} // namespace
} // namespace velmora
