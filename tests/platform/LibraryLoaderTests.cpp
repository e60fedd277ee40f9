#include "platform/LibraryLoader.h"

#include "platform/ComObject.h"
#include "platform/Module.h"
#include "tests/platform/InstanceTestInterface.h"
#include "tests/TestBase.h"

using namespace velmora;

// Both libraries are built next to the test executable by this folder's CMakeLists.
TEST(LibraryLoader, HandsOutTheInterfaceOfALibraryNextToThisModuleElseFalseAndNull) {
    void* out = nullptr;
    ASSERT_TRUE(DllRoutines::GetInstance(L"VelmoraTestInstance.dll", __uuidof(ITestGreeting), &out));
    auto greeting = TComPtr<ITestGreeting>::Attach(static_cast<ITestGreeting*>(out));
    EXPECT_EQ(greeting->Answer(), 42);
    EXPECT_EQ(greeting->LiveCount(), 1);

    // Loaded once, from this module's folder, and kept loaded after the
    // last interface is gone.
    HMODULE module = DllRoutines::Load(L"velmoratestinstance.DLL");
    EXPECT_EQ(ModuleFileName(module), ThisModuleFolder() + L"VelmoraTestInstance.dll");
    greeting.reset();
    EXPECT_EQ(GetModuleHandleW(L"VelmoraTestInstance.dll"), module);

    // False and null when the interface, the export or the library is missing.
    const std::pair<const wchar_t*, IID> cases[] = {
        {L"VelmoraTestInstance.dll", __uuidof(IClassFactory)},
        {L"VelmoraTestNoExport.dll", __uuidof(ITestGreeting)},
        {L"VelmoraNoSuchLibrary.dll", __uuidof(ITestGreeting)},
    };
    for (const auto& [library, iid] : cases) {
        void* out = reinterpret_cast<void*>(0x1234);
        EXPECT_FALSE(DllRoutines::GetInstance(library, iid, &out)) << Narrow(library);
        EXPECT_EQ(out, nullptr) << Narrow(library);
    }
    // Only this module's folder counts, not the system search path.
    EXPECT_EQ(DllRoutines::Load(L"kernel32.dll"), nullptr);
}
