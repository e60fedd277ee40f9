// GetTrustika with the reputation component next to the program (a stand-in
// built by this folder) and, built a second time into a folder of its own,
// without it.
#include "frame/DebugLog.h"
#include "frame/Globals.h"

#include <gtest/gtest.h>

#include <barrier>
#include <stdexcept>
#include <thread>
#include <vector>

namespace velmora {
namespace {

#ifdef VELMORA_TRUSTIKA_MISSING

TEST(GetTrustika, FailsCleanlyWhenTheLibraryIsMissing) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            DLLGlobals::GetTrustika();
            FAIL() << "an interface without its library";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Unable to get trustika");
        }
    }
    TComPtr<ITrustika> out;
    EXPECT_THROW(DLLGlobals::GetTrustika(out), std::runtime_error);
    EXPECT_FALSE(out);
    EXPECT_EQ(GetModuleHandleW(L"TrustikaHelper.dll"), nullptr);
    // The lock was released: another thread can take it.
    std::thread([] {
        DLLGlobals::Lock();
        DLLGlobals::Unlock();
    }).join();
    DLLGlobals::FinalizeInterfaces();
}

#else

using TCount = int(WINAPI*)();

int StubCount(const char* name) {
    HMODULE stub = GetModuleHandleW(L"TrustikaHelper.dll");
    if (!stub)
        return -1;
    auto count = reinterpret_cast<TCount>(reinterpret_cast<void*>(GetProcAddress(stub, name)));
    return count ? count() : -1;
}

class GetTrustika : public ::testing::Test {
protected:
    void TearDown() override { DLLGlobals::FinalizeInterfaces(); }
};

TEST_F(GetTrustika, InterfaceIdentifierIsTheContractsOne) {
    wchar_t text[40] = {};
    ASSERT_GT(StringFromGUID2(__uuidof(ITrustika), text, 40), 0);
    EXPECT_STREQ(text, L"{A90B8362-CEEF-4902-A639-A0125EDD0201}");
}

TEST_F(GetTrustika, ConcurrentFirstCallsLoadTheComponentOnce) {
    DLLGlobals::FinalizeInterfaces();
    int before = StubCount("StubCreatedCount");
    constexpr int threads = 8;
    std::barrier start(threads);
    std::vector<ITrustika*> seen(threads);
    std::vector<std::thread> callers;
    for (int t = 0; t < threads; ++t)
        callers.emplace_back([&, t] {
            start.arrive_and_wait();
            seen[t] = DLLGlobals::GetTrustika().get();
        });
    for (auto& c : callers)
        c.join();
    ASSERT_NE(seen[0], nullptr);
    for (ITrustika* s : seen)
        EXPECT_EQ(s, seen[0]);
    EXPECT_EQ(StubCount("StubCreatedCount"), (before < 0 ? 0 : before) + 1);
}

TEST_F(GetTrustika, MethodsAnswerInTheirContractSlots) {
    TComPtr<ITrustika> trustika;
    DLLGlobals::GetTrustika(trustika);
    ASSERT_TRUE(trustika);
    EXPECT_EQ(trustika->GetFileRating(L"C:\\risky\\tool.exe"), TSoftwareRating::stRisky);
    EXPECT_EQ(trustika->GetFileRating(L"C:\\Program Files\\Velmora\\app.exe"), TSoftwareRating::stUnknown);
    EXPECT_EQ(trustika->GetCompanyRating(L"Velmora"), TSoftwareRating::stTrustWorthy);
    EXPECT_EQ(trustika->GetCompanyRating(L"C:\\risky\\tool.exe"), TSoftwareRating::stUnknown);
}

TEST_F(GetTrustika, FinalizeReleasesTheCachedInterfaceAndTheNextCallLoadsAgain) {
    {
        TComPtr<ITrustika> first = DLLGlobals::GetTrustika();
        EXPECT_EQ(DLLGlobals::GetTrustika().get(), first.get());
    }
    int created = StubCount("StubCreatedCount");
    EXPECT_EQ(StubCount("StubLiveCount"), 1);
    DLLGlobals::FinalizeInterfaces();
    EXPECT_EQ(StubCount("StubLiveCount"), 0);
    DLLGlobals::FinalizeInterfaces(); // nothing cached: harmless
    TComPtr<ITrustika> again = DLLGlobals::GetTrustika();
    EXPECT_TRUE(again);
    EXPECT_EQ(StubCount("StubCreatedCount"), created + 1);
}

#endif

} // namespace
} // namespace velmora
