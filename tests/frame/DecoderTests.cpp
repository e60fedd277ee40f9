// Decoders of uninstall data and the replaceable display texts.
#include "frame/Decoders.h"
#include "frame/StringsLocalized.h"

#include <gtest/gtest.h>

#include <map>

namespace velmora {
namespace {

TEST(DecodeReleaseType, MatchesTheTextsWithoutRegardToCase) {
    EXPECT_EQ(DecodeReleaseType(L"security update"), TReleaseType::rtSecurityUpdate);
    EXPECT_EQ(DecodeReleaseType(L"Software Update"), TReleaseType::rtSoftwareUpdate);
    EXPECT_EQ(DecodeReleaseType(L"UPDATE"), TReleaseType::rtUpdate);
    EXPECT_EQ(DecodeReleaseType(L"Update Rollup"), TReleaseType::rtUpdateRollup);
    EXPECT_EQ(DecodeReleaseType(L"service pack"), TReleaseType::rtServicePack);
    EXPECT_EQ(DecodeReleaseType(L"Critical Update"), TReleaseType::rtCriticalUpdate);
    EXPECT_EQ(DecodeReleaseType(L"hotfix"), TReleaseType::rtHotfix);
    EXPECT_EQ(DecodeReleaseType(L"None"), TReleaseType::rtNone);
}

TEST(DecodeReleaseType, AnyOtherTextIsNone) {
    for (const wchar_t* text : {L"", L"Security  Update", L"Security Update ", L"Feature Pack", L"Hotfixes"})
        EXPECT_EQ(DecodeReleaseType(text), TReleaseType::rtNone) << text;
}

TEST(DecodeReleaseType, EveryTextDecodesToItsOwnType) {
    for (int i = 0; i <= static_cast<int>(TReleaseType::rtHotfix); ++i) {
        auto type = static_cast<TReleaseType>(i);
        EXPECT_EQ(DecodeReleaseType(ReleaseTypeText(type)), type);
    }
    EXPECT_EQ(ReleaseTypeText(TReleaseType::rtUpdateRollup), L"Update Rollup");
    EXPECT_EQ(ReleaseTypeText(TReleaseType::rtNone), L"none");
}

TEST(DecodeDateTimeRegistry, ReadsYearMonthDayAsAnOleDate) {
    EXPECT_EQ(DecodeDateTimeRegistry(L"18991230"), 0.0);
    EXPECT_EQ(DecodeDateTimeRegistry(L"19000101"), 2.0);
    EXPECT_EQ(DecodeDateTimeRegistry(L"20240307"), 45358.0);
    EXPECT_EQ(DecodeDateTimeRegistry(L"20000229"), 36585.0);
    EXPECT_EQ(DecodeDateTimeRegistry(L"18991229"), -1.0);
    EXPECT_EQ(EncodeOleDate(2024, 3, 7), 45358.0);
}

TEST(DecodeDateTimeRegistry, AnythingButAValidEightDigitDayIsZero) {
    for (const wchar_t* text :
         {L"2024030", L"202403071", L"", L"20241307", L"20240007", L"20240230", L"20230229", L"19000229",
          L"20240431", L"20240300", L"00000101", L"2024-3-7", L"2024 307", L"+0240307", L"2024O307"})
        EXPECT_EQ(DecodeDateTimeRegistry(text), 0.0) << text;
    EXPECT_NE(DecodeDateTimeRegistry(L"20240229"), 0.0);
    EXPECT_NE(DecodeDateTimeRegistry(L"20241231"), 0.0);
}

TEST(TryDecodeGUIDFromStr, BracedTextIsKeptAsGiven) {
    std::wstring guid;
    EXPECT_TRUE(TryDecodeGUIDFromStr(L"{d4c3b2a1-f6e5-b8a7-c9d0-e1f2a3b4c5d6}", guid));
    EXPECT_EQ(guid, L"{d4c3b2a1-f6e5-b8a7-c9d0-e1f2a3b4c5d6}");
}

TEST(TryDecodeGUIDFromStr, BareTextGetsBraces) {
    std::wstring guid;
    EXPECT_TRUE(TryDecodeGUIDFromStr(L"D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6", guid));
    EXPECT_EQ(guid, L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}");
}

TEST(TryDecodeGUIDFromStr, PackedInstallerFormIsUnpacked) {
    std::wstring guid;
    EXPECT_TRUE(TryDecodeGUIDFromStr(L"1A2B3C4D5E6F7A8B9C0D1E2F3A4B5C6D", guid));
    EXPECT_EQ(guid, L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}");
    EXPECT_TRUE(TryDecodeGUIDFromStr(L"1a2b3c4d5e6f7a8b9c0d1e2f3a4b5c6d", guid));
    EXPECT_EQ(guid, L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}");
    EXPECT_TRUE(TryDecodeGUIDFromStr(L"00000000000000000000000000000001", guid));
    EXPECT_EQ(guid, L"{00000000-0000-0000-0000-000000000010}");
}

TEST(TryDecodeGUIDFromStr, GuidFollowedByUnderscoreKeepsTheWholeText) {
    std::wstring guid;
    EXPECT_TRUE(TryDecodeGUIDFromStr(L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}_is1", guid));
    EXPECT_EQ(guid, L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}_is1");
    EXPECT_TRUE(TryDecodeGUIDFromStr(L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}_a_b", guid));
    EXPECT_EQ(guid, L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}_a_b");
}

TEST(TryDecodeGUIDFromStr, OtherTextsGiveNothing) {
    std::wstring guid = L"stale";
    for (const wchar_t* text :
         {L"", L"7-Zip", L"1A2B3C4D5E6F7A8B9C0D1E2F3A4B5C6G", L"1A2B3C4D5E6F7A8B9C0D1E2F3A4B5C6", L"_is1",
          L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6_is1", L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5DZ}",
          L"D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5DZ", L"D4C3B2A1_F6E5-B8A7-C9D0-E1F2A3B4C5D6",
          L"{D4C3B2A1+F6E5-B8A7-C9D0-E1F2A3B4C5D6}", L"(D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6)"}) {
        EXPECT_FALSE(TryDecodeGUIDFromStr(text, guid)) << text;
        EXPECT_EQ(guid, L"") << text;
    }
}

TEST(IsValidGUIDText, AcceptsTheBracedFormOnly) {
    EXPECT_TRUE(IsValidGUIDText(L"{00000000-0000-0000-C000-000000000046}"));
    EXPECT_TRUE(IsValidGUIDText(L"{a90b8362-ceef-4902-a639-a0125edd0201}"));
    EXPECT_FALSE(IsValidGUIDText(L"00000000-0000-0000-C000-000000000046"));
    EXPECT_FALSE(IsValidGUIDText(L"{00000000-0000-0000-C000-00000000004}"));
    EXPECT_FALSE(IsValidGUIDText(L"{00000000-0000-0000-C000-0000000000467}"));
    EXPECT_FALSE(IsValidGUIDText(L"{00000000-0000-0000-C000000000000046-}"));
    EXPECT_FALSE(IsValidGUIDText(L""));
}

class LocalizedStrings : public ::testing::Test {
protected:
    void TearDown() override { DLLStringsLocalized::ResetDefaults(); }
};

TEST_F(LocalizedStrings, EnglishDefaultsUnderTheirKeys) {
    const std::map<std::wstring, std::wstring> expected{
        {L"S_SOFTWARE_UPDATE", L"Software Update for Microsoft Windows (%s)"},
        {L"S_UPDATE", L"Update for Microsoft Windows (%s)"},
        {L"S_UPDATE_ROLLUP", L"Update Rollup for Microsoft Windows (%s)"},
        {L"S_SERVICE_PACK", L"Service Pack for Microsoft Windows (%s)"},
        {L"S_CRITICAL_UPDATE", L"Critical Update for Microsoft Windows (%s)"},
        {L"S_SECURITY_UPDATE", L"Security Update for Microsoft Windows (%s)"},
        {L"S_HOTFIX", L"Hotfix for Microsoft Windows (%s)"},
        {L"S_SOFTWARE_PATCH", L"Update for %s"},
        {L"S_REKOVA_SESSION_NAME", L"Velmora: Deleting entry for \"%s\""},
        {L"S_OPERATION_COMPLETE", L"Operation comlete"},
        {L"S_METRO_APP", L"Universal Windows Platform App"},
    };
    std::map<std::wstring, std::wstring> actual;
    for (size_t i = 0; i < LocalizedTextCount; ++i) {
        auto id = static_cast<TLocalizedText>(i);
        actual.emplace(DLLStringsLocalized::KeyName(id), DLLStringsLocalized::Text(id));
    }
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(DLLStringsLocalized::OperationComplete(), L"Operation comlete");
    EXPECT_EQ(DLLStringsLocalized::SoftwarePatch(), L"Update for %s");
}

TEST_F(LocalizedStrings, NonEmptyValuesReplaceEmptyOrMissingOnesKeep) {
    // A front-end list of "Name=Value" lines, as the root object adapts it.
    const std::map<std::wstring, std::wstring> list{
        {L"S_UPDATE", L""},
        {L"S_HOTFIX", L"Hotfix f\u00FCr Microsoft Windows (%s)"},
        {L"S_METRO_APP", L"Universelle App"},
        {L"S_UNKNOWN", L"ignored"},
    };
    std::vector<std::wstring> asked;
    DLLStringsLocalized::SetStrings([&](const std::wstring& key) {
        asked.push_back(key);
        auto it = list.find(key);
        return it == list.end() ? std::wstring() : it->second;
    });
    EXPECT_EQ(DLLStringsLocalized::Update(), L"Update for Microsoft Windows (%s)");
    EXPECT_EQ(DLLStringsLocalized::Hotfix(), L"Hotfix f\u00FCr Microsoft Windows (%s)");
    EXPECT_EQ(DLLStringsLocalized::MetroApp(), L"Universelle App");
    EXPECT_EQ(DLLStringsLocalized::SecurityUpdate(), L"Security Update for Microsoft Windows (%s)");
    // Every key is looked up once, in the table's order.
    ASSERT_EQ(asked.size(), LocalizedTextCount);
    EXPECT_EQ(asked.front(), L"S_SOFTWARE_UPDATE");
    EXPECT_EQ(asked[1], L"S_UPDATE");
    EXPECT_EQ(asked.back(), L"S_METRO_APP");
}

TEST_F(LocalizedStrings, ANullListChangesNothing) {
    DLLStringsLocalized::SetStrings([](const std::wstring&) { return std::wstring(L"X"); });
    EXPECT_EQ(DLLStringsLocalized::ServicePack(), L"X");
    DLLStringsLocalized::SetStrings(nullptr);
    EXPECT_EQ(DLLStringsLocalized::ServicePack(), L"X");
    DLLStringsLocalized::ResetDefaults();
    EXPECT_EQ(DLLStringsLocalized::ServicePack(), L"Service Pack for Microsoft Windows (%s)");
}

} // namespace
} // namespace velmora
