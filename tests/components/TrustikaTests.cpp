// TrustikaHelper.dll through its exports, with local lists written under the
// user's and the machine's Trustika keys (entries unique to each run, removed
// afterwards) and files laid into a temporary folder of their own.
#include "components/trustika/Signature.h"
#include "components/trustika/TrustLists.h"
#include "components/trustika/TrustRules.h"
#include "frame/Interfaces.Trustika.h"
#include "frame/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <softpub.h>
#include <wintrust.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace velmora::trustika {
namespace {

using TDllGetInstance = HRESULT(WINAPI*)(REFIID, void**);
using TDllCanUnloadNow = HRESULT(WINAPI*)();

constexpr auto stTrustWorthy = TSoftwareRating::stTrustWorthy;
constexpr auto stUnknown = TSoftwareRating::stUnknown;
constexpr auto stRisky = TSoftwareRating::stRisky;

std::wstring ComponentPath() {
    return ThisModuleFolder() + L"TrustikaHelper.dll";
}

// The component loaded from the bin folder, as a front end's library does.
class TComponent {
public:
    TComponent() : FModule(LoadLibraryExW(ComponentPath().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {}
    explicit operator bool() const { return static_cast<bool>(FModule); }
    HRESULT GetInstance(REFIID iid, void** out) const {
        return Export<TDllGetInstance>("DllGetInstance")(iid, out);
    }
    HRESULT CanUnloadNow() const { return Export<TDllCanUnloadNow>("DllCanUnloadNow")(); }
    TComPtr<ITrustika> New() const {
        TComPtr<ITrustika> trustika;
        EXPECT_EQ(GetInstance(__uuidof(ITrustika), reinterpret_cast<void**>(trustika.put())), S_OK);
        return trustika;
    }

private:
    template <class Fn> Fn Export(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(FModule.get(), name)));
    }
    unique_hmodule FModule;
};

// Entries written into the lists during one test; removed again at the end,
// with the Trustika key itself when the test created it.
class TLists {
public:
    TLists() {
        FCreatedUserKey = !KeyExists(HKEY_CURRENT_USER, ListsKeyPath, TRegView::x64);
        FCreatedMachineKey = !KeyExists(HKEY_LOCAL_MACHINE, ListsKeyPath, TRegView::x64);
    }
    ~TLists() {
        for (auto& [root, list, entry] : FWritten)
            Key(root, list).DeleteValue(entry);
        if (FCreatedUserKey)
            DeleteKey(HKEY_CURRENT_USER, ListsKeyPath, TRegView::x64);
        if (FCreatedMachineKey)
            DeleteKey(HKEY_LOCAL_MACHINE, ListsKeyPath, TRegView::x64);
    }
    void Add(TList list, const std::wstring& entry, HKEY root = HKEY_CURRENT_USER) {
        ASSERT_TRUE(Key(root, list).WriteString(entry, L"added by a test"));
        FWritten.emplace_back(root, list, entry);
    }
    void Remove(TList list, const std::wstring& entry, HKEY root = HKEY_CURRENT_USER) {
        EXPECT_TRUE(Key(root, list).DeleteValue(entry));
    }

private:
    static TRegKey Key(HKEY root, TList list) {
        return TRegKey::Create(root, std::wstring(ListsKeyPath) + L"\\" + std::wstring(ListSubKeyName(list)),
                               KEY_READ | KEY_WRITE, TRegView::x64);
    }
    bool FCreatedUserKey = false;
    bool FCreatedMachineKey = false;
    std::vector<std::tuple<HKEY, TList, std::wstring>> FWritten;
};

class Trustika : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FComponent) << "TrustikaHelper.dll not found beside the test";
        FTrustika = FComponent.New();
        ASSERT_TRUE(FTrustika);
        FRoot = std::filesystem::path(TempFolder()) / Format(L"trustika-%d-%d",
                                                             static_cast<int>(GetCurrentProcessId()),
                                                             static_cast<int>(GetTickCount()));
        for (const wchar_t* folder : {L"Trusted", L"TrustedTwin", L"Risky", L"Plain"}) {
            std::filesystem::create_directories(FRoot / folder / L"Sub");
            std::filesystem::copy_file(ModuleFileName(nullptr), FRoot / folder / L"app.exe");
            std::filesystem::copy_file(ModuleFileName(nullptr), FRoot / folder / L"Sub" / L"tool.exe");
        }
        std::ofstream(FRoot / L"Plain" / L"readme.txt") << "not a program";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(FRoot, ignored);
    }
    std::wstring Path(const wchar_t* relative) const { return (FRoot / relative).wstring(); }
    std::wstring Folder(const wchar_t* relative) const { return Path(relative) + L"\\"; }
    TSoftwareRating File(const std::wstring& path) const { return FTrustika->GetFileRating(path.c_str()); }
    TSoftwareRating Company(const std::wstring& name) const {
        return FTrustika->GetCompanyRating(name.c_str());
    }
    // A company name no other run uses.
    std::wstring UniqueCompany(const wchar_t* name) const {
        return std::wstring(name) + L" " + FRoot.filename().wstring();
    }

    TComponent FComponent;
    TComPtr<ITrustika> FTrustika;
    TLists FLists;
    std::filesystem::path FRoot;
};

TEST_F(Trustika, FileAndFolderEntriesRateWhatIsBelowThemAndRiskyWins) {
    FLists.Add(TList::TrustedFiles, Folder(L"Trusted"));
    FLists.Add(TList::RiskyFiles, LowerCase(Path(L"Risky\\app.exe")));
    FLists.Add(TList::TrustedFiles, Path(L"Risky\\Sub\\tool.exe"), HKEY_LOCAL_MACHINE);
    FLists.Add(TList::RiskyFiles, Path(L"Risky\\Sub\\tool.exe"));
    FLists.Add(TList::RiskyFiles, Path(L"Plain")); // no trailing "\": a file, not a folder
    std::wstring slashed = Path(L"Risky\\app.exe");
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    const std::pair<std::wstring, TSoftwareRating> cases[] = {
        {Path(L"Trusted\\Sub\\tool.exe"), stTrustWorthy},
        {UpperCase(Path(L"Risky\\app.exe")), stRisky},
        {Path(L"Risky\\Sub\\tool.exe"), stRisky},
        {Path(L"Plain\\app.exe"), stUnknown},
        // A folder whose name merely begins like the listed one.
        {Path(L"TrustedTwin\\app.exe"), stUnknown},
        // ".." leads out of the listed folder before the comparison.
        {Path(L"Trusted\\..\\Plain\\app.exe"), stUnknown},
        {Path(L"Plain\\..\\Trusted\\app.exe"), stTrustWorthy},
        // Quotes, blanks, forward slashes and doubled separators as found in commands.
        {L"  \"" + slashed + L"\" ", stRisky},
        {Path(L"Trusted\\\\Sub\\tool.exe"), stTrustWorthy},
    };
    for (const auto& [path, rating] : cases)
        EXPECT_EQ(File(path), rating) << Narrow(path);
    // An edit counts at once.
    FLists.Add(TList::RiskyFiles, Path(L"Trusted\\app.exe"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(File(Path(L"Trusted\\app.exe")), stRisky);
    FLists.Remove(TList::RiskyFiles, Path(L"Trusted\\app.exe"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(File(Path(L"Trusted\\app.exe")), stTrustWorthy);
}

TEST_F(Trustika, EnvironmentVariablesAreExpandedInEntriesAndQuestions) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"TRUSTIKA_TEST_ROOT", FRoot.wstring().c_str()));
    FLists.Add(TList::RiskyFiles, L"%TRUSTIKA_TEST_ROOT%\\Risky\\");
    EXPECT_EQ(File(Path(L"Risky\\app.exe")), stRisky);
    EXPECT_EQ(File(L"%TRUSTIKA_TEST_ROOT%\\Risky\\Sub\\tool.exe"), stRisky);
    SetEnvironmentVariableW(L"TRUSTIKA_TEST_ROOT", nullptr);
}

TEST_F(Trustika, UnlistedUnsignedMissingAndEmptyAreUnknown) {
    FLists.Add(TList::TrustedFiles, Path(L"Trusted\\gone.exe"));
    FLists.Add(TList::RiskyFiles, Folder(L"Risky"));
    // A share is never touched: it could keep the caller waiting.
    FLists.Add(TList::RiskyFiles, L"\\\\nosuchserver\\share\\");
    for (const std::wstring& path :
         {Path(L"Plain\\readme.txt"), ComponentPath(), Path(L"Trusted\\gone.exe"), Path(L"Risky\\gone.exe"),
          Path(L"Risky\\Sub"), std::wstring(L"\"\""), std::wstring(L"\\\\nosuchserver\\share\\tool.exe")})
        EXPECT_EQ(File(path), stUnknown) << Narrow(path);
    EXPECT_EQ(FTrustika->GetFileRating(nullptr), stUnknown);
}

TEST_F(Trustika, CompaniesAreRatedFromTheirLists) {
    std::wstring trusted = UniqueCompany(L"Good Software Ltd");
    std::wstring risky = UniqueCompany(L"Adware Makers");
    std::wstring both = UniqueCompany(L"Mixed Signals Inc");
    FLists.Add(TList::TrustedCompanies, trusted);
    FLists.Add(TList::RiskyCompanies, risky);
    FLists.Add(TList::TrustedCompanies, both);
    FLists.Add(TList::RiskyCompanies, both, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(Company(trusted), stTrustWorthy);
    EXPECT_EQ(Company(risky), stRisky);
    EXPECT_EQ(Company(both), stRisky);
    EXPECT_EQ(Company(L"  " + LowerCase(risky) + L"\t"), stRisky);
    // Whole names only.
    EXPECT_EQ(Company(L"Good Software Ltd"), stUnknown);
    EXPECT_EQ(Company(trusted + L" Europe"), stUnknown);
    EXPECT_EQ(FTrustika->GetCompanyRating(nullptr), stUnknown);
    // Companies and files are separate lists.
    EXPECT_EQ(File(trusted), stUnknown);
}

TEST_F(Trustika, OneObjectAnswersManyThreadsAlike) {
    FLists.Add(TList::TrustedFiles, Folder(L"Trusted"));
    FLists.Add(TList::RiskyFiles, Folder(L"Risky"));
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                if (File(Path(L"Trusted\\Sub\\tool.exe")) != stTrustWorthy)
                    ++wrong;
                if (File(Path(L"Risky\\app.exe")) != stRisky)
                    ++wrong;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(TrustikaExports, HandOutOnlyTheReputationInterfaceAndCountItsObjects) {
    TComponent component;
    ASSERT_TRUE(component);
    EXPECT_EQ(component.CanUnloadNow(), S_OK);

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(component.GetInstance(__uuidof(IVelmora), &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(component.GetInstance(__uuidof(ITrustika), nullptr), E_POINTER);

    TComPtr<IUnknown> unknown;
    ASSERT_EQ(component.GetInstance(__uuidof(IUnknown), reinterpret_cast<void**>(unknown.put())), S_OK);
    TComPtr<ITrustika> viaUnknown;
    EXPECT_EQ(unknown->QueryInterface(__uuidof(ITrustika), reinterpret_cast<void**>(viaUnknown.put())), S_OK);
    unknown.reset();
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    viaUnknown.reset();
    EXPECT_EQ(component.CanUnloadNow(), S_OK);
}

// Wine has no signed system files, so a verified signature cannot be shown;
// the order of evidence around it is checked on the rules instead.
TEST(TrustikaSignatures, UnsignedFilesDoNotVerify) {
    std::wstring program = ModuleFileName(nullptr);
    EXPECT_EQ(VerifyEmbeddedSignature(program), static_cast<LONG>(TRUST_E_NOSIGNATURE));
    EXPECT_NE(VerifyCatalogSignature(SystemFolder() + L"\\kernel32.dll"), ERROR_SUCCESS);
    EXPECT_FALSE(SignatureVerifies(program));
    EXPECT_FALSE(SignatureVerifies(SystemFolder())); // a folder
}

TEST(TrustikaRules, RiskyListingBeatsAVerifiedSignatureWhichIsAskedLast) {
    int asked = 0;
    auto signed_ = [&] {
        ++asked;
        return true;
    };
    EXPECT_EQ(DecideFileRating({.ListedRisky = true, .ListedTrusted = true, .SignatureVerifies = signed_}),
              stRisky);
    EXPECT_EQ(DecideFileRating({.ListedTrusted = true, .SignatureVerifies = signed_}), stTrustWorthy);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(DecideFileRating({.SignatureVerifies = signed_}), stTrustWorthy);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(DecideFileRating({.SignatureVerifies = [] { return false; }}), stUnknown);
}

} // namespace
} // namespace velmora::trustika
