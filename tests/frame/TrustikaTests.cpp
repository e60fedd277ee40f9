// GetTrustika with the reputation component next to the program and, built a
// second time into a folder of its own, without it.
#include "frame/DebugLog.h"
#include "frame/Globals.h"
#include "platform/Module.h"
#include "tests/TestBase.h"

#include <barrier>

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
    // The lock was released: another thread can take it.
    std::thread([] {
        DLLGlobals::Lock();
        DLLGlobals::Unlock();
    }).join();
    DLLGlobals::FinalizeInterfaces();
}

#else

// Whether the component has no object left.
HRESULT CanUnloadNow() {
    auto canUnloadNow = ModuleFunction<HRESULT(WINAPI*)()>(L"TrustikaHelper.dll", "DllCanUnloadNow");
    return canUnloadNow ? canUnloadNow() : E_FAIL;
}

// Concurrent first calls load the component once and get the one cached
// interface, no other object left; finalizing releases it and the next call
// loads again.
TEST(GetTrustika, LoadedOnceCachedUntilFinalized) {
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
    EXPECT_EQ(CanUnloadNow(), S_FALSE);

    DLLGlobals::FinalizeInterfaces();
    EXPECT_EQ(CanUnloadNow(), S_OK);
    EXPECT_TRUE(DLLGlobals::GetTrustika());
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    DLLGlobals::FinalizeInterfaces();
    EXPECT_EQ(CanUnloadNow(), S_OK);
}
#endif

} // namespace
} // namespace velmora
