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

// The library asks about the full paths of programs' executables, and about
// companies by their whole name.
TEST(Trustika, EntriesRateWhatIsBelowThemAndCompaniesByWholeNameRiskyWinsTheRestIsUnknown) {
    TLoadedComponent component{L"TrustikaHelper.dll"};
    ASSERT_TRUE(component.Module) << "TrustikaHelper.dll not found beside the test";
    TComPtr<ITrustika> trustika;
    ASSERT_EQ(component.GetInstance(__uuidof(ITrustika), reinterpret_cast<void**>(trustika.put())), S_OK);
    TLists lists;
    const testing::TTempFolder scratch{L"trustika"};
    for (const wchar_t* folder : {L"Trusted", L"TrustedTwin", L"Risky", L"Plain"}) {
        std::filesystem::create_directories(scratch.Path / folder / L"Sub");
        std::filesystem::copy_file(ModuleFileName(nullptr), scratch.Path / folder / L"app.exe");
        std::filesystem::copy_file(ModuleFileName(nullptr), scratch.Path / folder / L"Sub" / L"tool.exe");
    }
    auto path = [&](const wchar_t* relative) { return (scratch.Path / relative).wstring(); };
    lists.Add(TList::TrustedFiles, path(L"Trusted\\"));
    lists.Add(TList::RiskyFiles, LowerCase(path(L"Risky\\app.exe")));
    lists.Add(TList::TrustedFiles, path(L"Risky\\Sub\\tool.exe"), HKEY_LOCAL_MACHINE);
    lists.Add(TList::RiskyFiles, path(L"Risky\\Sub\\tool.exe"));
    lists.Add(TList::RiskyFiles, path(L"Plain")); // no trailing "\": a file, not a folder
    const std::pair<std::wstring, TSoftwareRating> files[] = {
        {path(L"Trusted\\Sub\\tool.exe"), stTrustWorthy}, {UpperCase(path(L"Risky\\app.exe")), stRisky},
        {path(L"Risky\\Sub\\tool.exe"), stRisky},         {path(L"Plain\\app.exe"), stUnknown},
        {path(L"TrustedTwin\\app.exe"), stUnknown}, // a folder whose name merely begins like the listed one
    };
    for (const auto& [file, rating] : files)
        EXPECT_EQ(trustika->GetFileRating(file.c_str()), rating) << Narrow(file);
    EXPECT_EQ(trustika->GetFileRating(nullptr), stUnknown);

    const std::wstring unique = L" " + scratch.Path.filename().wstring();
    const std::wstring trusted = L"Good Software Ltd" + unique, risky = L"Adware Makers" + unique,
                       both = L"Mixed Signals Inc" + unique;
    lists.Add(TList::TrustedCompanies, trusted);
    lists.Add(TList::RiskyCompanies, risky);
    lists.Add(TList::TrustedCompanies, both);
    lists.Add(TList::RiskyCompanies, both, HKEY_LOCAL_MACHINE);
    const std::pair<std::wstring, TSoftwareRating> companies[] = {
        {trusted, stTrustWorthy},
        {both, stRisky},
        {L"  " + LowerCase(risky) + L"\t", stRisky},
        {L"Good Software Ltd", stUnknown},
    };
    for (const auto& [company, rating] : companies)
        EXPECT_EQ(trustika->GetCompanyRating(company.c_str()), rating) << Narrow(company);
    EXPECT_EQ(trustika->GetCompanyRating(nullptr), stUnknown);
}

} // namespace
} // namespace velmora::trustika
