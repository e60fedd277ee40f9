#include "usage/UserAssistRules.h"

#include "platform/Text.h"
#include "usage/UsageItems.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace velmora {
namespace {

template <class T> void Put(std::vector<uint8_t>& data, size_t offset, T value) {
    std::memcpy(data.data() + offset, &value, sizeof value);
}

TEST(UserAssistRulesTest, ValueDataIsReadOnlyAtTheSizeOfItsLayout) {
    std::vector<uint8_t> xp(UserAssistSizeXP, 0xEE);
    Put<int32_t>(xp, 4, 12);
    Put<uint64_t>(xp, 8, 0x01D9000011112222ULL);
    const auto old = DecodeUserAssistXP(xp.data(), xp.size());
    ASSERT_TRUE(old);
    EXPECT_EQ(old->Counter, 12);
    EXPECT_EQ(old->LastRun, 0x01D9000011112222ULL);
    EXPECT_EQ(old->FocusCounter, 0);

    std::vector<uint8_t> win7(UserAssistSizeWin7, 0xEE);
    Put<int32_t>(win7, 4, 7);
    Put<int32_t>(win7, 8, 3);
    Put<int32_t>(win7, 12, 65000);
    Put<uint64_t>(win7, 60, 0x01DA123456789ABCULL);
    const auto recent = DecodeUserAssistWin7(win7.data(), win7.size());
    ASSERT_TRUE(recent);
    EXPECT_EQ(recent->Counter, 7);
    EXPECT_EQ(recent->FocusCounter, 3);
    EXPECT_EQ(recent->FocusTime, 65000);
    EXPECT_EQ(recent->LastRun, 0x01DA123456789ABCULL);

    EXPECT_FALSE(DecodeUserAssistXP(win7.data(), win7.size()));
    EXPECT_FALSE(DecodeUserAssistWin7(xp.data(), xp.size()));
    EXPECT_FALSE(DecodeUserAssistWin7(win7.data(), win7.size() - 1));
}

TEST(UserAssistRulesTest, OlderNamesGivePathsOfRunRecordsAndOfTheCommonProgramsFolder) {
    const std::wstring desktop = L"C:\\Users\\Ann\\Desktop", programs = L"C:\\ProgramData\\Programs";
    // The prefix in capitals, ROT13 encoded as the shell stores it.
    EXPECT_EQ(UserAssistPathXP(Rot13(L"HRZR_EHACNGU:P:\\Nccf\\Rqvg.rkr"), desktop, programs),
              L"C:\\Apps\\Edit.exe");
    EXPECT_EQ(UserAssistPathXP(L"ueme_runpath:Edit.LNK", desktop, programs), desktop + L"\\Edit.LNK");
    EXPECT_EQ(UserAssistPathXP(L"UEME_RUNPATH:Tools\\Edit.lnk", desktop, programs), L"Tools\\Edit.lnk");
    EXPECT_EQ(UserAssistPathXP(L"UEME_RUNPIDL:%csidl23%\\Edit\\Edit.lnk", desktop, programs),
              programs + L"\\Edit\\Edit.lnk");
    EXPECT_EQ(UserAssistPathXP(L"UEME_RUNPIDL:%csidl2%\\Edit.lnk", desktop, programs), L"");
    EXPECT_EQ(UserAssistPathXP(L"UEME_CTLSESSION", desktop, programs), L"");
}

TEST(UserAssistRulesTest, NewerNamesHaveKnownFolderIdentifiersReplacedByTheirPaths) {
    const TKnownFolder folders = [](std::wstring_view id) -> std::wstring {
        if (SameText(id, L"{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}"))
            return L"C:\\Windows\\system32";
        if (SameText(id, L"{6D809377-6AF0-444B-8957-A3773F02200E}"))
            return L"C:\\Program Files";
        return L"";
    };
    EXPECT_EQ(UserAssistPathWin7(L"{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}\\notepad.exe", folders),
              L"C:\\Windows\\system32\\notepad.exe");
    EXPECT_EQ(UserAssistPathWin7(L"{6D809377-6AF0-444B-8957-A3773F02200E}\\Edit\\{1AC14E77-02E7-4E5D-B744-"
                                 L"2EB1AE5198B7}.exe",
                                 folders),
              L"C:\\Program Files\\Edit\\C:\\Windows\\system32.exe");
    EXPECT_EQ(UserAssistPathWin7(L"{00000000-0000-0000-0000-000000000000}\\Edit.exe", folders),
              L"\\Edit.exe");
    // Braces that hold no identifier end the replacement.
    EXPECT_EQ(UserAssistPathWin7(L"C:\\Tools\\{short}\\{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}", folders),
              L"C:\\Tools\\{short}\\{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}");
    EXPECT_EQ(UserAssistPathWin7(L"Microsoft.Windows.Explorer", folders), L"Microsoft.Windows.Explorer");
}

TEST(UserAssistRulesTest, FileTimesBecomeDatesByTheBaseBias) {
    // 2024-01-02 03:00 UTC.
    const uint64_t time = 133486380000000000ULL;
    EXPECT_NEAR(UsageDate(time, 0), 45293.125, 1e-9);
    // Central Europe: UTC-(-60) minutes.
    EXPECT_NEAR(UsageDate(time, -60), 45293.125 + 1.0 / 24, 1e-9);
    EXPECT_EQ(UsageDate(0, -60), 0);
}

} // namespace
} // namespace velmora
