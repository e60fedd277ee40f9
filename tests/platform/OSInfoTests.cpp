// Run in prefixes that report different Windows versions; the expected one
// comes in VELMORA_WINE_VERSION, which also picks the prefix.
#include "platform/OSInfo.h"

#include "tests/TestBase.h"

using namespace velmora;

TEST(OSInfo, GenerationAndPredicatesMatchTheReportedVersion) {
    // Rank: how many of Vista, 7, 8, 8.1 and 10 the version is at least.
    const struct {
        std::wstring_view WinecfgName;
        TWindowsVersion Generation;
        std::wstring_view Name;
        int Rank;
    } expectations[] = {
        {L"winxp64", TWindowsVersion::wvXP, L"Windows XP", 0},
        {L"win7", TWindowsVersion::wv7, L"Windows 7", 2},
        {L"win10", TWindowsVersion::wv10, L"Windows 10", 5},
    };
    const wchar_t* expected = _wgetenv(L"VELMORA_WINE_VERSION");
    if (!expected)
        GTEST_SKIP() << "no VELMORA_WINE_VERSION given";
    auto e = std::find_if(std::begin(expectations), std::end(expectations),
                          [&](const auto& candidate) { return SameText(candidate.WinecfgName, expected); });
    ASSERT_NE(e, std::end(expectations)) << "unknown version " << Narrow(expected);

    // Under win10 this also shows the version is not capped at 6.2, as
    // GetVersionExW is for an executable without a manifest.
    const TOSVersionData& v = OSVersion();
    EXPECT_EQ(WindowsVersion(), e->Generation) << v.Major << "." << v.Minor << "." << v.Build;
    EXPECT_EQ(WindowsVersionText(), e->Name);
    const bool predicates[] = {IsWindowsVistaOrLater(), IsWindows7OrLater(), IsWindows8OrLater(),
                               IsWindows81OrLater(), IsWindows10OrLater()};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(predicates[i], i < e->Rank) << "predicate " << i;
}
