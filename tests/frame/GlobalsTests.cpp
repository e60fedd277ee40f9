// Language names through Windows, and the default log folder. With
// --expect-version=winxp64 the prefix reports Windows XP, where named locales
// have no language name.
#include "LogTestKit.h"

#include "frame/Globals.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <vector>

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

TEST(LogFolder, LogsGoToLocalAppDataVelmoraLogs) {
    wchar_t localAppData[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", localAppData, MAX_PATH), 0u);
    fs::path file = fs::path(std::wstring(localAppData) + L"\\Velmora\\Logs") /
                    fs::path(UniqueName(L"VelmoraFolderTest") + L".log");
    SetLogDirectory(L"");
    {
        TDebugLog log(file.stem().wstring(), 0, L"p");
        log.WriteLog(TLogLevel::llInfo, L"in the default folder");
        EXPECT_TRUE(SameText(log.FileName(), file.wstring())) << Narrow(log.FileName());
    }
    EXPECT_EQ(ReadLines(file).size(), 1u);
    std::error_code ignored;
    fs::remove(file, ignored);
}

} // namespace
} // namespace velmora::testing
