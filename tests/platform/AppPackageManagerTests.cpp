// The runtime package manager on a package that is not installed: whether the
// system lacks the package manager (Wine) or refuses the package (Windows),
// the caller gets the failing HRESULT as an error, never a success, and the
// calling thread's apartment is left as it was.
#include "platform/AppPackageManager.h"
#include "platform/OSError.h"
#include "tests/TestBase.h"

#include <objbase.h>

using namespace velmora;

namespace {

const std::wstring Absent = L"Velmora.Absent_1.0.0.0_x64__8wekyb3d8bbwe";

template <class Operation> void ExpectRefused(Operation operation) {
    std::thread([&] {
        try {
            operation(Absent, nullptr);
            ADD_FAILURE() << "an absent package was not refused";
        } catch (const EOSError& e) {
            EXPECT_TRUE(FAILED(static_cast<HRESULT>(e.Code()))) << e.what();
        }
        // The thread is in no apartment again.
        HRESULT probe = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(probe, S_OK);
        if (SUCCEEDED(probe))
            CoUninitialize();
    }).join();
}

TEST(AppPackageManager, AbsentPackageIsRefusedWithItsError) {
    ExpectRefused(RemoveAppPackage);
    ExpectRefused(RegisterAppPackage);
}

} // namespace
