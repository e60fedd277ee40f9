// Language names through Windows. With --expect-version=winxp64 the prefix
// reports Windows XP, where named locales have no language name. (The default
// log folder: the end-to-end action checks read the logs there.)
#include "frame/Globals.h"
#include "tests/TestBase.h"

namespace velmora::testing {
namespace {

TEST(LocaleNames, LanguageNamesOfIDsListsAndNamedLocalesUnknownOnesLeftOut) {
    std::wstring english = DLLGlobals::LocaleIDToString(1033u);
    EXPECT_TRUE(ContainsText(english, L"English")) << Narrow(english);
    EXPECT_EQ(DLLGlobals::LocaleIDListToString(std::vector<uint32_t>{0x0407, 0x0ABCDEF, 1033}),
              DLLGlobals::LocaleIDToString(0x0407u) + L", " + english);

    std::wstring german = DLLGlobals::LocaleIDToString(std::wstring_view(L"de-DE"));
    if (ContainsText(GetCommandLineW(), L"--expect-version=winxp64"))
        EXPECT_EQ(german, L"de-DE");
    else
        EXPECT_TRUE(ContainsText(german, L"German")) << Narrow(german);
    EXPECT_EQ(DLLGlobals::LocaleIDToString(std::wstring_view(L"zz-Unknown-Locale")), L"zz-Unknown-Locale");
}

} // namespace
} // namespace velmora::testing
