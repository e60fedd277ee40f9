// Decoders of uninstall data and the replaceable display texts.
#include "frame/Decoders.h"
#include "frame/StringsLocalized.h"

#include <gtest/gtest.h>

#include <map>

namespace velmora {
namespace {

TEST(DecodeReleaseType, TheTextsInAnyCaseAndNothingElse) {
    const std::pair<const wchar_t*, TReleaseType> cases[] = {
        {L"security update", TReleaseType::rtSecurityUpdate},
        {L"UPDATE", TReleaseType::rtUpdate},
        {L"Update Rollup", TReleaseType::rtUpdateRollup},
        {L"hotfix", TReleaseType::rtHotfix},
        {L"", TReleaseType::rtNone},
        {L"Security Update ", TReleaseType::rtNone},
        {L"Hotfixes", TReleaseType::rtNone},
    };
    for (auto& [text, type] : cases)
        EXPECT_EQ(DecodeReleaseType(text), type) << text;
    for (int i = 0; i <= static_cast<int>(TReleaseType::rtHotfix); ++i) {
        auto type = static_cast<TReleaseType>(i);
        EXPECT_EQ(DecodeReleaseType(ReleaseTypeText(type)), type) << i;
    }
}

TEST(DecodeDateTimeRegistry, EightDigitDaysAsOleDatesAnythingElseZero) {
    const std::pair<const wchar_t*, double> cases[] = {
        {L"18991230", 0.0},  {L"19000101", 2.0}, {L"20240307", 45358.0}, {L"20000229", 36585.0},
        {L"18991229", -1.0}, {L"2024030", 0.0},  {L"202403071", 0.0},    {L"20241307", 0.0},
        {L"20240230", 0.0},  {L"20230229", 0.0}, {L"19000229", 0.0},     {L"20240431", 0.0},
        {L"20240300", 0.0},  {L"2024-3-7", 0.0}, {L"+0240307", 0.0},     {L"", 0.0},
    };
    for (auto& [text, date] : cases)
        EXPECT_EQ(DecodeDateTimeRegistry(text), date) << text;
}

TEST(TryDecodeGUIDFromStr, BracedBarePackedAndSuffixedForms) {
    const std::wstring guid = L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}";
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"{d4c3b2a1-f6e5-b8a7-c9d0-e1f2a3b4c5d6}", L"{d4c3b2a1-f6e5-b8a7-c9d0-e1f2a3b4c5d6}"},
        {L"D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6", guid},
        {L"1a2b3c4d5e6f7a8b9c0d1e2f3a4b5c6d", guid},
        {L"00000000000000000000000000000001", L"{00000000-0000-0000-0000-000000000010}"},
        {L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}_is1", guid + L"_is1"},
    };
    for (auto& [text, expected] : cases) {
        std::wstring out;
        EXPECT_TRUE(TryDecodeGUIDFromStr(text, out)) << text;
        EXPECT_EQ(out, expected) << text;
    }
    for (const wchar_t* text :
         {L"", L"7-Zip", L"1A2B3C4D5E6F7A8B9C0D1E2F3A4B5C6G", L"1A2B3C4D5E6F7A8B9C0D1E2F3A4B5C6", L"_is1",
          L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6_is1", L"D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5DZ",
          L"{D4C3B2A1+F6E5-B8A7-C9D0-E1F2A3B4C5D6}"}) {
        std::wstring out = L"stale";
        EXPECT_FALSE(TryDecodeGUIDFromStr(text, out)) << text;
        EXPECT_EQ(out, L"") << text;
    }
}

TEST(IsValidGUIDText, AcceptsTheBracedFormOnly) {
    EXPECT_TRUE(IsValidGUIDText(L"{a90b8362-ceef-4902-a639-a0125edd0201}"));
    for (const wchar_t* text :
         {L"00000000-0000-0000-C000-000000000046", L"{00000000-0000-0000-C000-00000000004}",
          L"{00000000-0000-0000-C000000000000046-}", L""})
        EXPECT_FALSE(IsValidGUIDText(text)) << text;
}

TEST(LocalizedStrings, NonEmptyValuesReplaceEmptyOrMissingOnesKeepANullListChangesNothing) {
    const std::map<std::wstring, std::wstring> list{
        {L"S_UPDATE", L""}, {L"S_HOTFIX", L"Hotfix f\u00FCr Windows (%s)"}, {L"S_UNKNOWN", L"ignored"}};
    size_t asked = 0;
    DLLStringsLocalized::SetStrings([&](const std::wstring& key) {
        ++asked;
        auto it = list.find(key);
        return it == list.end() ? std::wstring() : it->second;
    });
    EXPECT_EQ(asked, LocalizedTextCount);
    EXPECT_EQ(DLLStringsLocalized::Update(), L"Update for Microsoft Windows (%s)");
    EXPECT_EQ(DLLStringsLocalized::Hotfix(), L"Hotfix f\u00FCr Windows (%s)");
    DLLStringsLocalized::SetStrings(nullptr);
    EXPECT_EQ(DLLStringsLocalized::Hotfix(), L"Hotfix f\u00FCr Windows (%s)");
    DLLStringsLocalized::ResetDefaults();
    EXPECT_EQ(DLLStringsLocalized::Hotfix(), L"Hotfix for Microsoft Windows (%s)");
}

} // namespace
} // namespace velmora
