#include "forceremove/RegList.h"
#include "forceremove/RegistryReads.h"
#include "WindowsTestKit.h"

#include "platform/Registry.h"

#include <gmock/gmock.h>

using namespace velmora;
using namespace velmora::testing;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

class RegistryReadsTest : public ::testing::Test {
protected:
    TRegKey Create(TRegView view, std::wstring_view subKey = {}) const { return FKey.Create(view, subKey); }
    std::wstring Text(std::wstring_view viewPrefix, std::wstring_view subKey = {}) const {
        std::wstring text = std::wstring(viewPrefix) + L"HKLM\\" + FKey.Path;
        return subKey.empty() ? text : text + L"\\" + std::wstring(subKey);
    }

    const TMachineTestKey FKey{L"Reads"};
};

} // namespace

TEST_F(RegistryReadsTest, AKeyTextWithoutAViewIsReadInThe64BitOne) {
    TRegKey key64 = Create(TRegView::x64);
    key64.WriteString(L"", L"App default");
    key64.WriteNumber(L"Count", 1);
    Create(TRegView::x64, L"One");
    Create(TRegView::x64, L"Two");
    TRegKey key32 = Create(TRegView::x32);
    key32.WriteExpandString(L"", L"%ProgramFiles%\\App32");
    Create(TRegView::x32, L"Three");

    for (auto prefix : {L"", L"(x64)"}) {
        EXPECT_THAT(ReadSubKeyNames(Text(prefix)), UnorderedElementsAre(L"One", L"Two"));
        EXPECT_THAT(ReadValueNames(Text(prefix)), UnorderedElementsAre(L"", L"Count"));
        EXPECT_EQ(ReadDefaultString(Text(prefix)), L"App default");
    }
    EXPECT_THAT(ReadSubKeyNames(Text(L"(x32)")), UnorderedElementsAre(L"Three"));
    EXPECT_EQ(ReadDefaultString(Text(L"(x32)")), L"%ProgramFiles%\\App32");
}

TEST_F(RegistryReadsTest, AKeyThatDoesNotOpenYieldsNothing) {
    Create(TRegView::x64).WriteNumber(L"", 7);
    EXPECT_EQ(ReadDefaultString(Text(L"")), L"");
    EXPECT_THAT(ReadSubKeyNames(Text(L"", L"Missing")), IsEmpty());
    EXPECT_THAT(ReadValueNames(Text(L"", L"Missing")), IsEmpty());
    EXPECT_EQ(ReadDefaultString(Text(L"", L"Missing")), L"");
    EXPECT_THAT(ReadValueNames(L"not a key"), IsEmpty());
}

TEST_F(RegistryReadsTest, AKeyIsEmptyWithoutSubkeysWhateverItsValues) {
    Create(TRegView::x64, L"Values").WriteString(L"Name", L"x");
    Create(TRegView::x64, L"Parent\\Child");
    EXPECT_TRUE(TFRRegList::IsKeyEmpty(Text(L"", L"Values")));
    EXPECT_FALSE(TFRRegList::IsKeyEmpty(Text(L"(x64)", L"Parent\\")));
    EXPECT_TRUE(TFRRegList::IsKeyEmpty(Text(L"", L"Missing")));
}
