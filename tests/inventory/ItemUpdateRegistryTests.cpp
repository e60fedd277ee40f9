// Update items read from uninstall keys written by the test below its own key.
#include "InventoryTestKit.h"

#include "frame/IconImageList.h"
#include "platform/OSInfo.h"
#include "tests/platform/TestKey.h"

#include <windows.h>

namespace velmora {
namespace {

using testkit::TTestProgram;
using testkit::TTestUpdate;
using TRegKeyValues = std::initializer_list<std::pair<const wchar_t*, std::wstring>>;

class ItemUpdateRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        TItemProgram::Init();
        TItemUpdate::Init();
    }
    void TearDown() override {
        TItemUpdate::Done();
        TItemProgram::Done();
    }
    // Creates the key with the given texts.
    TRegistryKey Key(const std::wstring& name, TRegKeyValues values) {
        auto key = FKey.Create(name);
        for (const auto& [value, text] : values)
            key.WriteString(value, text);
        return FKey.Entry(name);
    }
    template <class T> std::shared_ptr<T> Read(std::shared_ptr<T> item) {
        T::Items().Add(item);
        item->ReadFastInfo();
        return item;
    }
    std::shared_ptr<TTestUpdate> Update(const std::wstring& keyName, std::wstring parent) {
        TTemporaryInfo info;
        info.FDisplayName = L"Native " + keyName;
        info.FRegistryKeys = {Key(keyName, {})};
        info.FParentDisplayName = std::move(parent);
        return Read(std::make_shared<TTestUpdate>(L"", nullptr, nullptr, info));
    }

    const testing::TUserTestKey FKey{L"U"};
};

TEST_F(ItemUpdateRegistry, NativeNameAndParentAreKeptAndTheParentDefaultsToWindows) {
    auto patch = Update(L"Patch", L"Editor");
    EXPECT_EQ(testkit::Text(*patch, piDisplayName), L"Native Patch") << "the native name, as for programs";
    EXPECT_EQ(patch->FParentDisplayName, L"Editor");
    // The test runs in a Windows 7 prefix and in one reporting Windows XP x64.
    EXPECT_EQ(Update(L"Orphan", L"")->FParentDisplayName,
              IsWindowsVistaOrLater() ? L"Windows 7" : L"Windows XP");
}

TEST_F(ItemUpdateRegistry, UpdateBorrowsTheIconOfTheProgramItBelongsTo) {
    auto* icons = TItemUpdate::IconList();
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    auto editor = Read(std::make_shared<TTestProgram>(
        std::vector{Key(L"Picture Editor", {{L"DisplayIcon", std::wstring(windows) + L"\\notepad.exe,0"}})},
        L"Picture Editor"));
    editor->ReadImages();
    ASSERT_GE(editor->IconIndex(), 4);

    auto patch = Update(L"EditorPatch", L"PICTURE editor");
    const int before = icons->Count();
    patch->ReadSlowInfo();
    EXPECT_GT(patch->IconIndex(), 0) << "parent names compare without regard to case";
    EXPECT_TRUE(icons->IsUsed(patch->IconIndex()));
    EXPECT_EQ(icons->Count(), before + 1);

    TItemUpdate::Items().Remove(patch.get());
    const int borrowed = patch->IconIndex();
    patch.reset();
    EXPECT_FALSE(icons->IsUsed(borrowed)) << "a destroyed update gives its icon back";
}

} // namespace
} // namespace velmora
