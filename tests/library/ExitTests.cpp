// A front end that ends its process while it still holds the library's objects.
#include "tests/library/LibraryHarness.h"
#include "tests/library/UnsizedProgram.h"

#include "platform/Text.h"

using namespace velmora;
using namespace velmora::testing;

// The process ends with the library's threads and items alive: its threads
// are stopped wherever they stood (in a sleep, holding a lock), and nothing of
// the library may wait for them or be used after its teardown, whatever order
// that takes. A wrong teardown hangs or fails on some runs, not all.
TEST(FrontEndExit, EndsCleanlyWhileHoldingTheRootACollectionAndAProduct) {
    TUnsizedProgram program(Format(L"Velmora Exit Holder %d", static_cast<int>(GetCurrentProcessId())), 50);
    for (int run = 0; run < 6; ++run) {
        auto [code, output] = RunProgram(ThisModuleFolder() + L"ExitHolder.exe",
                                         L"\"" + program.Name() + L"\"", std::chrono::seconds(30));
        ASSERT_EQ(code, 0) << "run " << run << (code == StillRunningCode ? ": still running after 30 s" : "")
                           << "\n"
                           << output;
    }
}
