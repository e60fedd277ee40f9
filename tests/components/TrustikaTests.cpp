// TrustikaHelper.dll through its exports, with local lists written under the
// user's and the machine's Trustika keys (entries unique to each run, removed
// afterwards) and files laid into a temporary folder of their own.
#include "components/trustika/TrustLists.h"
#include "tests/components/LoadedComponent.h"
#include "tests/platform/ScratchKit.h"
#include "api/Interfaces.Trustika.h"

namespace velmora::trustika {
namespace {

constexpr auto stTrustWorthy = TSoftwareRating::stTrustWorthy;
constexpr auto stUnknown = TSoftwareRating::stUnknown;
constexpr auto stRisky = TSoftwareRating::stRisky;

// Entries written into the lists during one test; removed again at the end,
// with the Trustika key itself when the test created it.
class TLists {
public:
    ~TLists() {
        for (auto& [root, list, entry] : FWritten)
            Key(root, list).DeleteValue(entry);
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            if (FCreated[root == HKEY_LOCAL_MACHINE])
                DeleteKey(root, ListsKeyPath, TRegView::x64);
    }
    void Add(TList list, const std::wstring& entry, HKEY root = HKEY_CURRENT_USER) {
        ASSERT_TRUE(Key(root, list).WriteString(entry, L"added by a test"));
        FWritten.emplace_back(root, list, entry);
    }
    static TRegKey Key(HKEY root, TList list) {
        return TRegKey::Create(root, std::wstring(ListsKeyPath) + L"\\" + std::wstring(ListSubKeyName(list)),
                               KEY_READ | KEY_WRITE, TRegView::x64);
    }

private:
    bool FCreated[2] = {!KeyExists(HKEY_CURRENT_USER, ListsKeyPath, TRegView::x64),
                        !KeyExists(HKEY_LOCAL_MACHINE, ListsKeyPath, TRegView::x64)};
    std::vector<std::tuple<HKEY, TList, std::wstring>> FWritten;
};

class Trustika : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FComponent.Module) << "TrustikaHelper.dll not found beside the test";
        ASSERT_EQ(FComponent.GetInstance(__uuidof(ITrustika), reinterpret_cast<void**>(FTrustika.put())),
                  S_OK);
        for (const wchar_t* folder : {L"Trusted", L"TrustedTwin", L"Risky", L"Plain"}) {
            std::filesystem::create_directories(FRoot / folder / L"Sub");
            std::filesystem::copy_file(ModuleFileName(nullptr), FRoot / folder / L"app.exe");
            std::filesystem::copy_file(ModuleFileName(nullptr), FRoot / folder / L"Sub" / L"tool.exe");
        }
    }
    std::wstring Path(const wchar_t* relative) const { return (FRoot / relative).wstring(); }
    TSoftwareRating Company(const std::wstring& name) const {
        return FTrustika->GetCompanyRating(name.c_str());
    }

    TLoadedComponent FComponent{L"TrustikaHelper.dll"};
    TComPtr<ITrustika> FTrustika;
    TLists FLists;
    const testing::TTempFolder FScratch{L"trustika"};
    const std::filesystem::path& FRoot = FScratch.Path;
};

// The library asks about the full paths of programs' executables.
TEST_F(Trustika, FileAndFolderEntriesRateWhatIsBelowThemRiskyWinsTheRestIsUnknown) {
    FLists.Add(TList::TrustedFiles, Path(L"Trusted\\"));
    FLists.Add(TList::RiskyFiles, LowerCase(Path(L"Risky\\app.exe")));
    FLists.Add(TList::TrustedFiles, Path(L"Risky\\Sub\\tool.exe"), HKEY_LOCAL_MACHINE);
    FLists.Add(TList::RiskyFiles, Path(L"Risky\\Sub\\tool.exe"));
    FLists.Add(TList::RiskyFiles, Path(L"Plain")); // no trailing "\": a file, not a folder
    const std::pair<std::wstring, TSoftwareRating> cases[] = {
        {Path(L"Trusted\\Sub\\tool.exe"), stTrustWorthy}, {UpperCase(Path(L"Risky\\app.exe")), stRisky},
        {Path(L"Risky\\Sub\\tool.exe"), stRisky},         {Path(L"Plain\\app.exe"), stUnknown},
        {Path(L"TrustedTwin\\app.exe"), stUnknown}, // a folder whose name merely begins like the listed one
    };
    for (const auto& [path, rating] : cases)
        EXPECT_EQ(FTrustika->GetFileRating(path.c_str()), rating) << Narrow(path);
    EXPECT_EQ(FTrustika->GetFileRating(nullptr), stUnknown);
}

TEST_F(Trustika, CompaniesAreRatedFromTheirListsByWholeName) {
    std::wstring unique = L" " + FRoot.filename().wstring();
    std::wstring trusted = L"Good Software Ltd" + unique, risky = L"Adware Makers" + unique,
                 both = L"Mixed Signals Inc" + unique;
    FLists.Add(TList::TrustedCompanies, trusted);
    FLists.Add(TList::RiskyCompanies, risky);
    FLists.Add(TList::TrustedCompanies, both);
    FLists.Add(TList::RiskyCompanies, both, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(Company(trusted), stTrustWorthy);
    EXPECT_EQ(Company(both), stRisky);
    EXPECT_EQ(Company(L"  " + LowerCase(risky) + L"\t"), stRisky);
    EXPECT_EQ(Company(L"Good Software Ltd"), stUnknown);
    EXPECT_EQ(FTrustika->GetCompanyRating(nullptr), stUnknown);
}

} // namespace
} // namespace velmora::trustika
