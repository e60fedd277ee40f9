#include "forceremove/FileList.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/SimpleRemoveStrategy.h"
#include "WindowsTestKit.h"

#include "platform/Registry.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

// Values of the system's shared-DLL list that only this test uses (the key
// is made when a fresh system lacks it); the other values stay untouched.
class SystemSharedDllsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FKey) << FKey.Status(); }
    void TearDown() override {
        for (const auto& path : {FHeld, FLast})
            FKey.DeleteValue(path);
    }
    std::optional<DWORD> CountOf(const std::wstring& path) const {
        return TRegKey::Open(TRegRoot::LocalMachine, TFRSharedDlls::KeyPath, KEY_READ, TRegView::x64)
            .ReadNumber(path);
    }

    const TRegKey FKey =
        TRegKey::Create(TRegRoot::LocalMachine, TFRSharedDlls::KeyPath, KEY_READ | KEY_WRITE, TRegView::x64);
    const std::wstring FFolder = L"C:\\" + UniqueTestKey(L"Shared") + L"\\";
    const std::wstring FHeld = FFolder + L"held.dll";
    const std::wstring FLast = FFolder + L"last.dll";
};

} // namespace

TEST_F(SystemSharedDllsTest, ADllOthersHoldStaysListedOnlyTheLastHolderRemovesIt) {
    ASSERT_TRUE(FKey.WriteNumber(FHeld, 3));
    ASSERT_TRUE(FKey.WriteNumber(FLast, 1));
    TFRSharedDlls shared(SystemSharedDllCounts());
    TFRFileList files(shared);

    EXPECT_EQ(files.AddFile(FHeld, 10), nullptr);
    EXPECT_NE(files.AddFile(FLast, 10), nullptr);
    EXPECT_NE(files.AddFile(FFolder + L"own.dll", 10), nullptr);

    TSimpleRemoveStrategy strategy;
    shared.Recalculate(strategy);
    EXPECT_EQ(CountOf(FHeld), 2u);
    EXPECT_EQ(CountOf(FLast), std::nullopt);
}
