#include "features/SysOCIniFile.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

std::vector<std::wstring> Keys(const TSysOCIniFile& ini, std::wstring_view section) {
    std::vector<std::wstring> keys;
    ini.ReadSection(section, keys);
    return keys;
}

using Strings = std::vector<std::wstring>;

} // namespace

TEST(SysOCIniFile, KeysAndValuesFollowTheSplitAndCommentRules) {
    TSysOCIniFile ini(L"[Comp]\r\n"
                      L"  plain = value  \r\n"
                      L"two=equals=signs ; comment\r\n"
                      L"  bare key  \r\n"
                      L"\r\n"
                      L"   ; only a comment\r\n"
                      L"quoted = \"a;b\"\r\n"
                      L"empty=\r\n");
    EXPECT_EQ(Keys(ini, L"comp"), (Strings{L"plain", L"two=equals=signs", L"bare key", L"quoted", L"empty"}));
    EXPECT_EQ(ini.ReadString(L"Comp", L"PLAIN", L"-"), L"value");
    EXPECT_EQ(ini.ReadString(L"Comp", L"two=equals=signs", L"-"), L"");
    EXPECT_EQ(ini.ReadString(L"Comp", L"two", L"-"), L"-");
    EXPECT_EQ(ini.ReadString(L"Comp", L"quoted", L"-"), L"\"a");
    EXPECT_EQ(ini.ReadString(L"Comp", L"empty", L"-"), L"");
    EXPECT_EQ(ini.ReadString(L"Comp", L"missing", L"-"), L"-");
}

TEST(SysOCIniFile, RepeatedSectionsContributeInFileOrderAndFirstValueWins) {
    TSysOCIniFile ini(L"[A]\na=1\n[B]\nb=2\n[a] ; again\na=3\nc=4\n[]\nd=5\n[C]\n");
    EXPECT_EQ(Keys(ini, L"A"), (Strings{L"a", L"a", L"c"}));
    EXPECT_EQ(ini.ReadString(L"A", L"a", L""), L"1");
    EXPECT_EQ(ini.ReadString(L"A", L"C", L""), L"4");
    EXPECT_TRUE(ini.SectionExists(L"b"));
    EXPECT_FALSE(ini.SectionExists(L"C"));
    EXPECT_FALSE(ini.SectionExists(L"Missing"));
    EXPECT_FALSE(TSysOCIniFile().SectionExists(L"A"));
}

TEST(SysOCIniFile, BytesAreDecodedByTheirByteOrderMark) {
    const std::string utf16("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0", 18);
    EXPECT_EQ(TSysOCIniFile::FromBytes(utf16).ReadString(L"s", L"k", L""), L"\u00E9");
    EXPECT_EQ(TSysOCIniFile::FromBytes("\xEF\xBB\xBF[S]\nk=\xC3\xA9").ReadString(L"S", L"k", L""), L"\u00E9");
    EXPECT_EQ(TSysOCIniFile::FromBytes("[S]\nk=plain").ReadString(L"S", L"k", L""), L"plain");
}
