// Decoders of uninstall data and the replaceable display texts.
#include "frame/Decoders.h"
#include "frame/StringsLocalized.h"

#include <gtest/gtest.h>

#include <map>

namespace velmora {
namespace {

TEST(DecodeReleaseType, TheTextsInAnyCaseAndNothingElse) {
    const std::pair<const wchar_t*, TReleaseType> cases[] = {
        {L"security update", TReleaseType::rtSecurityUpdate}, {L"UPDATE", TReleaseType::rtUpdate},
        {L"Update Rollup", TReleaseType::rtUpdateRollup},     {L"hotfix", TReleaseType::rtHotfix},
        {L"Security Update ", TReleaseType::rtNone},          {L"Hotfixes", TReleaseType::rtNone},
    };
    for (auto& [text, type] : cases)
        EXPECT_EQ(DecodeReleaseType(text), type) << text;
}

TEST(DecodeDateTimeRegistry, EightDigitDaysAsOleDatesAnythingElseZero) {
    const std::pair<const wchar_t*, double> cases[] = {
        {L"18991230", 0.0},
        {L"20240307", 45358.0},
        {L"20000229", 36585.0},
        {L"18991229", -1.0},
        {L"202403071", 0.0},
        {L"20241307", 0.0},
        {L"20230229", 0.0},
        {L"19000229", 0.0},
        {L"20240300", 0.0},
        {L"2024-3-7", 0.0},
        {L"", 0.0},
    };
    for (auto& [text, date] : cases)
        EXPECT_EQ(DecodeDateTimeRegistry(text), date) << text;
}

TEST(TryDecodeGUIDFromStr, BracedBarePackedAndSuffixedFormsOnlyTheBracedOneIsValidText) {
    const std::wstring guid = L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}";
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"{d4c3b2a1-f6e5-b8a7-c9d0-e1f2a3b4c5d6}", L"{d4c3b2a1-f6e5-b8a7-c9d0-e1f2a3b4c5d6}"},
        {L"D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6", guid},
        {L"1a2b3c4d5e6f7a8b9c0d1e2f3a4b5c6d", guid},
        {L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}_is1", guid + L"_is1"},
        {L"", L""},
        {L"1A2B3C4D5E6F7A8B9C0D1E2F3A4B5C6G", L""},
        {L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6_is1", L""},
        {L"{D4C3B2A1+F6E5-B8A7-C9D0-E1F2A3B4C5D6}", L""},
    };
    for (auto& [text, expected] : cases) {
        std::wstring out = L"stale";
        EXPECT_EQ(TryDecodeGUIDFromStr(text, out), !expected.empty()) << text;
        EXPECT_EQ(out, expected) << text;
    }
    EXPECT_TRUE(IsValidGUIDText(L"{a90b8362-ceef-4902-a639-a0125edd0201}"));
    EXPECT_FALSE(IsValidGUIDText(L"00000000-0000-0000-C000-000000000046"));
    EXPECT_FALSE(IsValidGUIDText(L"{00000000-0000-0000-C000-00000000004}"));
}

TEST(LocalizedStrings, NonEmptyValuesReplaceEmptyOrMissingOnesKeepANullListChangesNothing) {
    const std::map<std::wstring, std::wstring> list{{L"S_UPDATE", L""},
                                                    {L"S_HOTFIX", L"Hotfix f\u00FCr Windows (%s)"}};
    DLLStringsLocalized::SetStrings([&](const std::wstring& key) {
        auto it = list.find(key);
        return it == list.end() ? std::wstring() : it->second;
    });
    EXPECT_EQ(DLLStringsLocalized::Update(), L"Update for Microsoft Windows (%s)");
    EXPECT_EQ(DLLStringsLocalized::Hotfix(), L"Hotfix f\u00FCr Windows (%s)");
    DLLStringsLocalized::SetStrings(nullptr);
    EXPECT_EQ(DLLStringsLocalized::Hotfix(), L"Hotfix f\u00FCr Windows (%s)");
    DLLStringsLocalized::ResetDefaults();
    EXPECT_EQ(DLLStringsLocalized::Hotfix(), L"Hotfix for Microsoft Windows (%s)");
}

} // namespace
} // namespace velmora
