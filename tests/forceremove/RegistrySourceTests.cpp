// The system's registry source, which the registry scanners read through:
// value types and views as Windows keeps them. The scanners' rules are tested
// on a registry of the test's own (RegistryScannersTests.cpp), the removal's
// scanners in their order end to end.
#include "MachineKit.h"
#include "forceremove/RegistryReads.h"
#include "forceremove/RegistrySource.h"

#include <gmock/gmock.h>

using namespace velmora;
using namespace velmora::testing;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

TEST(RegistrySource, ReadsAKeyTextInItsViewAndWithoutAViewInThe64BitOneAndTellsAKeyBothViewsShare) {
    const TMachineTestKey key(L"Reads");
    const TRegistrySource& source = SystemRegistrySource();
    auto text = [&](std::wstring_view view, std::wstring_view subKey = {}) {
        return std::wstring(view) + L"HKLM\\" + key.Path + (subKey.empty() ? L"" : L"\\") +
               std::wstring(subKey);
    };
    const TRegKey key64 = key.Create(TRegView::x64);
    key64.WriteString(L"", L"App default");
    key64.WriteExpandString(L"Home", L"%ProgramFiles%\\App");
    key64.WriteNumber(L"Count", 1);
    key.Create(TRegView::x64, L"Values").WriteString(L"Name", L"x");
    key.Create(TRegView::x64, L"Number").WriteNumber(L"", 7);
    key.Create(TRegView::x32).WriteExpandString(L"", L"%ProgramFiles%\\App32");
    key.Create(TRegView::x32, L"Three");

    for (auto view : {L"", L"(x64)"}) {
        EXPECT_THAT(source.SubKeyNames(text(view)), UnorderedElementsAre(L"Values", L"Number"));
        EXPECT_THAT(source.ValueNames(text(view)), UnorderedElementsAre(L"", L"Home", L"Count"));
        EXPECT_EQ(ReadDefaultString(text(view)), L"App default");
    }
    EXPECT_THAT(source.SubKeyNames(text(L"(x32)")), UnorderedElementsAre(L"Three"));
    EXPECT_EQ(ReadDefaultString(text(L"(x32)")), L"%ProgramFiles%\\App32");
    // A plain string, or either text type unexpanded; nothing for another type.
    EXPECT_EQ(source.ReadString(text(L""), L""), L"App default");
    EXPECT_EQ(source.ReadString(text(L""), L"Home"), std::nullopt);
    EXPECT_EQ(source.ReadText(text(L""), L"Home"), L"%ProgramFiles%\\App");
    EXPECT_EQ(source.ReadText(text(L""), L"Count"), std::nullopt);
    EXPECT_EQ(ReadDefaultString(text(L"", L"Number")), L"");
    // A key that does not open yields nothing.
    EXPECT_THAT(source.SubKeyNames(text(L"", L"Missing")), IsEmpty());
    EXPECT_THAT(source.ValueNames(text(L"", L"Missing")), IsEmpty());
    EXPECT_EQ(ReadDefaultString(text(L"", L"Missing")), L"");
    EXPECT_THAT(source.ValueNames(L"not a key"), IsEmpty());
    // A key both views share, and keys each view has apart.
    EXPECT_TRUE(source.SharedByBothViews(L"HKEY_CURRENT_USER\\Software"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_CLASSES_ROOT\\CLSID\\"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_LOCAL_MACHINE\\Software\\Microsoft"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_CURRENT_USER\\Software\\Velmora missing key"));
}
