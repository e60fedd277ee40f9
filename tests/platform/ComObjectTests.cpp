// The apartment guard, probed by trying to enter an apartment: S_OK means the
// thread was in none, S_FALSE in one of that kind, RPC_E_CHANGED_MODE in the
// other kind.
#include "platform/ComObject.h"
#include "tests/TestBase.h"

#include <objbase.h>

using namespace velmora;

namespace {

HRESULT Probe(DWORD kind) {
    HRESULT hr = CoInitializeEx(nullptr, kind);
    if (SUCCEEDED(hr))
        CoUninitialize();
    return hr;
}

// A thread of its own, which starts outside any apartment.
template <class Fn> void OnNewThread(Fn step) {
    std::thread(step).join();
}

} // namespace

// Outside any apartment the guard enters a single-threaded one for its
// lifetime; inside one, nested guards leave the thread in it.
TEST(ComApartmentGuard, EntersASingleThreadedApartmentOrLeavesTheThreadInTheOneItWasIn) {
    OnNewThread([] {
        {
            TComApartmentGuard com;
            EXPECT_EQ(Probe(COINIT_APARTMENTTHREADED), S_FALSE);
            EXPECT_EQ(Probe(COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        }
        EXPECT_EQ(Probe(COINIT_APARTMENTTHREADED), S_OK);
    });
    for (DWORD kind : {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED}) {
        SCOPED_TRACE(kind == COINIT_MULTITHREADED ? "multi-threaded" : "single-threaded");
        OnNewThread([kind] {
            ASSERT_EQ(CoInitializeEx(nullptr, kind), S_OK);
            {
                TComApartmentGuard com;
                TComApartmentGuard nested;
            }
            EXPECT_EQ(Probe(kind), S_FALSE);
            CoUninitialize();
            // The thread's own entry was the last one.
            EXPECT_EQ(Probe(kind), S_OK);
        });
    }
}
