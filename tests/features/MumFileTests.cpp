// Servicing rules: manifest names and versions, the newest manifest, the
// packaging tool's feature table and the recorded update states.
#include "features/MumFile.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

// "package|token|architecture|locale|version|key" of a manifest's name,
// "skipped" for a file that is not read.
std::wstring Identity(const std::wstring& path) {
    const std::optional<TMumFile> f = TMumFile::FromPath(path);
    return f ? Format(L"%s|%s|%s|%s|%d.%d.%d.%d|%s", f->FPackage, f->FHash, f->FArchitecture, f->FLocale,
                      f->FVersion.Major, f->FVersion.Minor, f->FVersion.Build, f->FVersion.Revision,
                      f->KeyName())
             : L"skipped";
}

} // namespace

// A name of other than five parts is kept with an empty identity that no
// lookup matches; a wrong major, minor or build skips the file.
TEST(MumFile, NamesGiveTheIdentityAndVersionsReadTheBracketedRevision) {
    for (auto [path, identity] : std::initializer_list<std::pair<const wchar_t*, const wchar_t*>>{
             {L"C:\\Windows\\servicing\\Packages\\Microsoft-Windows-Foundation-Package~31bf3856ad364e35~"
              L"amd64~en-US~6.1.7601.17514.mum",
              L"Microsoft-Windows-Foundation-Package|31bf3856ad364e35|amd64|en-US|6.1.7601.17514|"
              L"Microsoft-Windows-Foundation-Package~31bf3856ad364e35~amd64~en-US~6.1.7601.17514"},
             {L"C:\\P\\A~b~c~6.1.7601.17514.mum", L"||||0.0.0.0|A~b~c~6.1.7601.17514"},
             {L"C:\\P\\A~b~c~d~e~6.1.7601.17514.mum", L"||||0.0.0.0|A~b~c~d~e~6.1.7601.17514"},
             {L"A~t~x86~~6.0.6001.0(18000).mum", L"A|t|x86||6.0.6001.18000|A~t~x86~~6.0.6001.0(18000)"},
             {L"A~t~x86~~6.0.6001.beta.mum", L"A|t|x86||6.0.6001.0|A~t~x86~~6.0.6001.beta"},
             {L"A~t~x86~~6.0.mum", L"A|t|x86||0.0.0.0|A~t~x86~~6.0"},
             {L"A~t~x86~~6.x.6001.1.mum", L"skipped"}})
        EXPECT_EQ(Identity(path), identity);
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
