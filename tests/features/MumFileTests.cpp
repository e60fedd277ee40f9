// Servicing rules: manifest names and versions, the newest manifest, the
// packaging tool's feature table and the recorded update states.
#include "features/MumFile.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(MumFile, ANameOfFivePartsGivesTheIdentityAndOtherShapesGiveNone) {
    auto file = TMumFile::FromPath(L"C:\\Windows\\servicing\\Packages\\Microsoft-Windows-Foundation-Package~"
                                   L"31bf3856ad364e35~amd64~en-US~"
                                   L"6.1.7601.17514.mum");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->FPackage, L"Microsoft-Windows-Foundation-Package");
    EXPECT_EQ(file->FHash, L"31bf3856ad364e35");
    EXPECT_EQ(file->FArchitecture, L"amd64");
    EXPECT_EQ(file->FLocale, L"en-US");
    EXPECT_EQ(file->FVersion, (TMumVersion{6, 1, 7601, 17514}));
    EXPECT_EQ(file->KeyName(),
              L"Microsoft-Windows-Foundation-Package~31bf3856ad364e35~amd64~en-US~6.1.7601.17514");

    for (const wchar_t* odd : {L"C:\\P\\A~b~c~6.1.7601.17514.mum", L"C:\\P\\A~b~c~d~e~6.1.7601.17514.mum"}) {
        auto empty = TMumFile::FromPath(odd);
        ASSERT_TRUE(empty) << "kept, with an empty identity that no lookup matches";
        EXPECT_EQ(empty->FPackage, L"");
        EXPECT_EQ(empty->FLocale, L"");
        EXPECT_EQ(empty->FVersion, TMumVersion{});
    }
}

TEST(MumFile, VersionsReadTheBracketedRevisionAndSkipAFileWithAWrongNumber) {
    EXPECT_EQ(TMumFile::FromPath(L"A~t~x86~~6.0.6001.0(18000).mum")->FVersion,
              (TMumVersion{6, 0, 6001, 18000}));
    EXPECT_EQ(TMumFile::FromPath(L"A~t~x86~~6.0.6001.beta.mum")->FVersion, (TMumVersion{6, 0, 6001, 0}));
    EXPECT_EQ(TMumFile::FromPath(L"A~t~x86~~6.0.mum")->FVersion, TMumVersion{}) << "two parts stay 0.0.0.0";
    EXPECT_FALSE(TMumFile::FromPath(L"A~t~x86~~6.x.6001.1.mum"))
        << "a wrong major, minor or build skips the file";
}

TEST(MumFile, OnlyTheNewestManifestOfAnIdentityIsKept) {
    std::vector<TMumFile> files;
    for (const wchar_t* name : {L"P~t~amd64~~6.1.7600.16385.mum", L"P~T~AMD64~~6.1.7601.17514.mum",
                                L"P~t~amd64~de-DE~6.1.7600.16385.mum", L"Q~t~amd64~~6.1.7600.16385.mum"})
        files.push_back(*TMumFile::FromPath(name));
    std::vector<std::wstring> kept;
    for (const TMumFile& file : KeepNewest(files))
        kept.push_back(file.KeyName());
    EXPECT_EQ(kept,
              (std::vector<std::wstring>{L"P~T~AMD64~~6.1.7601.17514", L"P~t~amd64~de-DE~6.1.7600.16385",
                                         L"Q~t~amd64~~6.1.7600.16385"}));
}

TEST(MumFile, TheFeatureTableGivesOneEntryPerFeatureLineAndNoneForHeaders) {
    auto table = ParseFeatureTable(L"Deployment Image Servicing and Management tool\r\n"
                                   L"Features listing for package : Foundation\r\n"
                                   L"\r\n"
                                   L"------------- | --------\r\n"
                                   L"Feature Name | State\r\n"
                                   L"------------- | --------\r\n"
                                   L"TelnetClient | Enabled\r\n"
                                   L"Games        | Disabled\r\n"
                                   L"NetFx3       | Enable Pending\r\n"
                                   L"TFTP         | Disable Pending\r\n"
                                   L"| Enabled\r\n"
                                   L"The operation completed successfully.\r\n");
    EXPECT_EQ(table, (std::map<std::wstring, bool>{
                         {L"TelnetClient", true}, {L"Games", false}, {L"NetFx3", false}, {L"TFTP", false}}));
}

TEST(MumFile, AnUnknownStateFollowsTheDefaultAndTheParent) {
    auto parentOn = [] { return true; };
    auto parentOff = [] { return false; };
    EXPECT_TRUE(UpdateEnabled(1, false, parentOff));
    EXPECT_TRUE(UpdateEnabled(6, false, parentOff));
    EXPECT_FALSE(UpdateEnabled(0, true, parentOn));
    EXPECT_FALSE(UpdateEnabled(std::nullopt, true, parentOn)) << "no entry: disabled";
    for (int32_t unknown : {-16, 255}) {
        EXPECT_TRUE(UpdateEnabled(unknown, true, parentOn));
        EXPECT_FALSE(UpdateEnabled(unknown, true, parentOff));
        EXPECT_FALSE(UpdateEnabled(unknown, false, parentOn));
    }
}
