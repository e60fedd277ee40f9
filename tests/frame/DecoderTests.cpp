// Decoders of uninstall data.
#include "frame/Decoders.h"
#include "tests/TestBase.h"

namespace velmora {
namespace {

TEST(Decoders, ReleaseTypesInAnyCaseAndEightDigitDaysAsOleDatesAnythingElseNothing) {
    for (auto& [text, type] : std::initializer_list<std::pair<const wchar_t*, TReleaseType>>{
             {L"security update", TReleaseType::rtSecurityUpdate},
             {L"UPDATE", TReleaseType::rtUpdate},
             {L"Hotfix ", TReleaseType::rtNone}})
        EXPECT_EQ(DecodeReleaseType(text), type) << text;
    for (auto& [text, date] : std::initializer_list<std::pair<const wchar_t*, double>>{{L"20240307", 45358.0},
                                                                                       {L"18991229", -1.0},
                                                                                       {L"202403071", 0.0},
                                                                                       {L"20241307", 0.0},
                                                                                       {L"20230229", 0.0},
                                                                                       {L"2024-3-7", 0.0}})
        EXPECT_EQ(DecodeDateTimeRegistry(text), date) << text;
}

TEST(Decoders, BracedBarePackedAndSuffixedGuidsOnlyTheBracedOneIsValidText) {
    const std::wstring guid = L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}";
    for (auto& [text, expected] : std::initializer_list<std::pair<const wchar_t*, std::wstring>>{
             {L"D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6", guid},
             {L"1a2b3c4d5e6f7a8b9c0d1e2f3a4b5c6d", guid},
             {L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}_is1", guid + L"_is1"},
             {L"1A2B3C4D5E6F7A8B9C0D1E2F3A4B5C6G", L""},
             {L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6_is1", L""}}) {
        std::wstring out = L"stale";
        EXPECT_EQ(TryDecodeGUIDFromStr(text, out), !expected.empty()) << text;
        EXPECT_EQ(out, expected) << text;
    }
    EXPECT_TRUE(IsValidGUIDText(guid));
    EXPECT_FALSE(IsValidGUIDText(L"D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6"));
}

} // namespace
} // namespace velmora
