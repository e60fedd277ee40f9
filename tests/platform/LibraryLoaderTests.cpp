#include "platform/LibraryLoader.h"

#include "platform/ComObject.h"
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
    ASSERT_NE(out, nullptr);
    auto greeting = TComPtr<ITestGreeting>::Attach(static_cast<ITestGreeting*>(out));
    EXPECT_EQ(greeting->Answer(), 42);
    EXPECT_EQ(greeting->LiveCount(), 1);

    // Loaded once, from this module's folder, and kept loaded after the
    // last interface is gone.
    HMODULE module = DllRoutines::Load(L"velmoratestinstance.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module, DllRoutines::Load(InstanceLibrary));
    EXPECT_EQ(ModuleFileName(module), ThisModuleFolder() + InstanceLibrary);
    greeting.reset();
    EXPECT_EQ(GetModuleHandleW(InstanceLibrary), module);

    void* second = nullptr;
    ASSERT_TRUE(DllRoutines::GetInstance(InstanceLibrary, __uuidof(ITestGreeting), &second));
    auto again = TComPtr<ITestGreeting>::Attach(static_cast<ITestGreeting*>(second));
    EXPECT_EQ(again->LiveCount(), 1);
}

TEST(LibraryLoader, AnswersFalseAndNullWhenSomethingIsMissing) {
    void* out = Garbage;
    EXPECT_FALSE(DllRoutines::GetInstance(InstanceLibrary, __uuidof(IClassFactory), &out));
    EXPECT_EQ(out, nullptr);

    out = Garbage;
    EXPECT_FALSE(DllRoutines::GetInstance(NoExportLibrary, __uuidof(ITestGreeting), &out));
    EXPECT_EQ(out, nullptr);
    EXPECT_NE(DllRoutines::Load(NoExportLibrary), nullptr);

    out = Garbage;
    EXPECT_FALSE(DllRoutines::GetInstance(L"VelmoraNoSuchLibrary.dll", __uuidof(ITestGreeting), &out));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DllRoutines::Load(L"VelmoraNoSuchLibrary.dll"), nullptr);

    // Only this module's folder counts, not the system search path.
    EXPECT_EQ(DllRoutines::Load(L"kernel32.dll"), nullptr);

    EXPECT_FALSE(DllRoutines::GetInstance(InstanceLibrary, __uuidof(ITestGreeting), nullptr));
}
