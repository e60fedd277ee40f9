#include "platform/LibraryLoader.h"

#include "platform/ComObject.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "tests/platform/InstanceTestInterface.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

// Built next to the test executable by this folder's CMakeLists.
const wchar_t InstanceLibrary[] = L"VelmoraTestInstance.dll";
const wchar_t NoExportLibrary[] = L"VelmoraTestNoExport.dll";

void* const Garbage = reinterpret_cast<void*>(0x1234);

} // namespace

TEST(LibraryLoader, HandsOutTheInterfaceOfALibraryNextToThisModule) {
    void* out = Garbage;
    ASSERT_TRUE(DllRoutines::GetInstance(InstanceLibrary, __uuidof(ITestGreeting), &out));
    auto greeting = TComPtr<ITestGreeting>::Attach(static_cast<ITestGreeting*>(out));
    EXPECT_EQ(greeting->Answer(), 42);
    EXPECT_EQ(greeting->LiveCount(), 1);

    // Loaded once, from this module's folder, and kept loaded after the
    // last interface is gone.
    HMODULE module = DllRoutines::Load(L"velmoratestinstance.DLL");
    EXPECT_EQ(ModuleFileName(module), ThisModuleFolder() + InstanceLibrary);
    greeting.reset();
    EXPECT_EQ(GetModuleHandleW(InstanceLibrary), module);
    EXPECT_EQ(DllRoutines::Load(InstanceLibrary), module);
}

TEST(LibraryLoader, AnswersFalseAndNullWhenSomethingIsMissing) {
    const std::pair<const wchar_t*, IID> cases[] = {
        {InstanceLibrary, __uuidof(IClassFactory)},
        {NoExportLibrary, __uuidof(ITestGreeting)},
        {L"VelmoraNoSuchLibrary.dll", __uuidof(ITestGreeting)},
    };
    for (const auto& [library, iid] : cases) {
        void* out = Garbage;
        EXPECT_FALSE(DllRoutines::GetInstance(library, iid, &out)) << Narrow(library);
        EXPECT_EQ(out, nullptr) << Narrow(library);
    }
    EXPECT_EQ(DllRoutines::Load(L"VelmoraNoSuchLibrary.dll"), nullptr);
    // Only this module's folder counts, not the system search path.
    EXPECT_EQ(DllRoutines::Load(L"kernel32.dll"), nullptr);
    EXPECT_FALSE(DllRoutines::GetInstance(InstanceLibrary, __uuidof(ITestGreeting), nullptr));
}
