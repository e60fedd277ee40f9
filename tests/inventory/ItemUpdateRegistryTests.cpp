// Update items under Windows: the details read from uninstall keys written by
// the test under HKCU\Software\VelmoraTests\<unique>, the running Windows as
// the parent of an orphan update, and the icon copied from the program the
// update belongs to.
#include "inventory/ItemProgram.h"
#include "inventory/ItemUpdate.h"
#include "platform/OSInfo.h"
#include "platform/Registry.h"

#include "InventoryTestKit.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace velmora {
namespace {

class TRegUpdate : public TItemUpdate {
public:
    using TItemUpdate::FParentDisplayName;
    using TItemUpdate::FReleaseType;
    using TItemUpdate::TItemUpdate;
};

class TRegProgram : public TItemProgram {
public:
    // The source gives the native name; the fast reading makes it the display name.
    TRegProgram(std::vector<std::wstring> keys, std::wstring name) : TItemProgram(nullptr) {
        FRegistryKeys = std::move(keys);
        FDisplayNameNative = std::move(name);
    }
};

std::wstring NotepadIcon() {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    return std::wstring(windows) + L"\\notepad.exe,0";
}

class ItemUpdateRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        TItemProgram::Init();
        TItemUpdate::Init();
        FBase = L"Software\\VelmoraTests\\" + testkit::UniqueName(L"U");
    }
    void TearDown() override {
        DeleteKey(TRegRoot::CurrentUser, FBase);
        TItemUpdate::Done();
        TItemProgram::Done();
    }
    TRegKey Key(const std::wstring& name) {
        return TRegKey::Create(TRegRoot::CurrentUser, FBase + L"\\" + name, KEY_ALL_ACCESS);
    }
    std::wstring KeyText(const std::wstring& name) {
        return RegistryKeyToStr(TRegView::Default, TRegRoot::CurrentUser, FBase + L"\\" + name);
    }
    std::shared_ptr<TRegUpdate> Update(const std::wstring& keyName, std::wstring parent = {}) {
        TUpdateRecord record;
        record.DisplayNameNative = L"Native " + keyName;
        record.RegistryKeys = {KeyText(keyName)};
        record.ParentDisplayName = std::move(parent);
        auto update = std::make_shared<TRegUpdate>(nullptr, record);
        TItemUpdate::Items().Add(update);
        update->ReadFastInfo();
        return update;
    }
    // A program with the icon given in its key, read to its images.
    std::shared_ptr<TRegProgram> Program(const std::wstring& keyName, const std::wstring& name,
                                         const std::wstring& icon) {
        auto key = Key(keyName);
        if (!icon.empty())
            key.WriteString(L"DisplayIcon", icon);
        auto program = std::make_shared<TRegProgram>(std::vector<std::wstring>{KeyText(keyName)}, name);
        TItemProgram::Items().Add(program);
        program->ReadFastInfo();
        program->ReadImages();
        return program;
    }

    std::wstring FBase;
};

TEST_F(ItemUpdateRegistry, DetailsComeFromTheKeysAndTheParentDefaultsToWindows) {
    auto key = Key(L"Patch");
    key.WriteString(L"Publisher", L"Editor Maker");
    key.WriteString(L"DisplayVersion", L"1.0.1");
    Key(L"Orphan");

    auto patch = Update(L"Patch", L"Editor");
    EXPECT_EQ(std::get<std::wstring>(patch->GetInfo(0)), L"Native Patch")
        << "the native name, as for programs";
    EXPECT_EQ(std::get<std::wstring>(patch->GetInfo(1)), L"1.0.1");
    EXPECT_EQ(std::get<std::wstring>(patch->GetInfo(2)), L"Editor Maker");
    EXPECT_EQ(patch->FReleaseType, TReleaseType::rtUpdate);
    EXPECT_EQ(patch->FParentDisplayName, L"Editor");

    auto orphan = Update(L"Orphan");
    // The test runs in a Windows 7 prefix and in one reporting Windows XP x64.
    EXPECT_EQ(orphan->FParentDisplayName, IsWindowsVistaOrLater() ? L"Windows 7" : L"Windows XP");
}

TEST_F(ItemUpdateRegistry, UpdateBorrowsTheIconOfTheProgramItBelongsTo) {
    auto* icons = TItemUpdate::IconList();
    ASSERT_NE(icons, nullptr);
    auto plainProgram = Program(L"PlainProgram", L"Plain Editor", L"");
    ASSERT_EQ(plainProgram->IconIndex(), 3) << "the program list's default icon";
    auto editor = Program(L"Editor", L"Picture Editor", NotepadIcon());
    ASSERT_GE(editor->IconIndex(), 4);

    Key(L"EditorPatch");
    auto patch = Update(L"EditorPatch", L"PICTURE editor");
    const int before = icons->Count();
    patch->ReadSlowInfo();
    EXPECT_GT(patch->IconIndex(), 0) << "parent names compare without regard to case";
    EXPECT_TRUE(icons->IsUsed(patch->IconIndex()));
    EXPECT_EQ(icons->Count(), before + 1);

    Key(L"PlainPatch");
    auto plainPatch = Update(L"PlainPatch", L"Plain Editor");
    plainPatch->ReadSlowInfo();
    EXPECT_EQ(plainPatch->IconIndex(), 0) << "the program's default icon is not copied";

    TItemUpdate::Items().Remove(patch.get());
    const int borrowed = patch->IconIndex();
    patch.reset();
    EXPECT_FALSE(icons->IsUsed(borrowed)) << "a destroyed update gives its icon back";
}

} // namespace
} // namespace velmora
