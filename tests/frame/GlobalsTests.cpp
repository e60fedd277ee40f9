// Language names through Windows, and the default log folder. Run in the
// default prefix (Windows 7) and, with --expect-version=winxp64, in one that
// reports Windows XP, where named locales have no language name.
#include "LogTestKit.h"

#include "frame/DebugLog.h"
#include "frame/Decoders.h"
#include "frame/Globals.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <vector>

namespace velmora::testing {
namespace {

bool ExpectWindowsXP() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool xp = false;
    for (int i = 1; i < argc; ++i)
        xp = xp || SameText(argv[i], L"--expect-version=winxp64");
    LocalFree(argv);
    return xp;
}

TEST(LocaleNames, LanguageNameOfALocaleID) {
    EXPECT_TRUE(ContainsText(DLLGlobals::LocaleIDToString(1033u), L"English"))
        << Narrow(DLLGlobals::LocaleIDToString(1033u));
    EXPECT_TRUE(ContainsText(DLLGlobals::LocaleIDToString(0x0407u), L"German"));
    std::wstring out = L"stale";
    DLLGlobals::LocaleIDToString(0x0ABCDEFu, out);
    EXPECT_EQ(out, L"");
}

TEST(LocaleNames, ListInOrderJoinedWithCommas) {
    std::vector<uint32_t> lcids{0x0407, 1033};
    EXPECT_EQ(DLLGlobals::LocaleIDListToString(lcids),
              DLLGlobals::LocaleIDToString(0x0407u) + L", " + DLLGlobals::LocaleIDToString(1033u));
    std::vector<uint32_t> withUnknown{1033, 0x0ABCDEF};
    EXPECT_EQ(DLLGlobals::LocaleIDListToString(withUnknown), DLLGlobals::LocaleIDToString(1033u));
    EXPECT_EQ(DLLGlobals::LocaleIDListToString({}), L"");
}

TEST(LocaleNames, NamedLocaleFromVistaOnTheNameItselfBefore) {
    std::wstring german = DLLGlobals::LocaleIDToString(std::wstring_view(L"de-DE"));
    if (ExpectWindowsXP())
        EXPECT_EQ(german, L"de-DE");
    else
        EXPECT_TRUE(ContainsText(german, L"German")) << Narrow(german);
    // A name Windows does not know stays as it is.
    EXPECT_EQ(DLLGlobals::LocaleIDToString(std::wstring_view(L"zz-Unknown-Locale")), L"zz-Unknown-Locale");
    EXPECT_EQ(DLLGlobals::LocaleIDToString(std::wstring_view(L"")), L"");
}

TEST(GuidTexts, ValidityIsWhatCLSIDFromStringAccepts) {
    // The system parser is stricter than a look at the length: it checks
    // every digit and dash.
    std::wstring guid;
    EXPECT_TRUE(DLLGlobals::TryDecodeGUIDFromStr(L"{A90B8362-CEEF-4902-A639-A0125EDD0201}_x", guid));
    EXPECT_FALSE(IsValidGUIDText(L"{A90B8362-CEEF-4902-A639-A0125EDD020G}"));
    EXPECT_FALSE(IsValidGUIDText(L""));
    EXPECT_TRUE(IsValidGUIDText(L"{a90b8362-ceef-4902-a639-a0125edd0201}"));
}

TEST(LogFolder, LogsGoToLocalAppDataVelmoraLogs) {
    wchar_t localAppData[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", localAppData, MAX_PATH), 0u);
    std::wstring expected = std::wstring(localAppData) + L"\\Velmora\\Logs";
    EXPECT_TRUE(SameText(DefaultLogDirectory(), expected)) << Narrow(DefaultLogDirectory());

    SetLogDirectory(L"");
    std::wstring name = UniqueName(L"VelmoraFolderTest");
    fs::path file = fs::path(expected) / fs::path(name + L".log");
    {
        TDebugLog log(name, 0, L"p");
        log.WriteLog(TLogLevel::llInfo, L"in the default folder");
        EXPECT_TRUE(SameText(log.FileName(), file.wstring()));
    }
    EXPECT_EQ(ReadLines(file).size(), 1u);
    std::error_code ignored;
    fs::remove(file, ignored);
}

} // namespace
} // namespace velmora::testing
