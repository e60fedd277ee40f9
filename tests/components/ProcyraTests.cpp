// ProcyraHelper.dll through its exports, against the
// system's real process list: this test process, and a child started from a
// temporary folder of its own (a copy of the console double, which waits
// forever when it has no console).
#include "api/Interfaces.Procyra.h"
#include "api/Interfaces.Trustika.h"
#include "platform/ChildProcess.h"
#include "tests/components/LoadedComponent.h"
#include "tests/platform/ScratchKit.h"

#include <optional>

namespace velmora {
namespace {

std::wstring PathOf(IPYProcess* process) {
    unique_bstr text;
    process->GetPath(text.put());
    return text ? std::wstring(text.get()) : std::wstring();
}

TComPtr<IPYProcess> Item(IPYProcessList* list, int32_t index) {
    TComPtr<IPYProcess> process;
    list->GetItem(index, process.put());
    return process;
}

// A copy of the waiting double in a temporary folder (with a blank in its
// name), started; ended and removed at the end.
struct TWaiter {
    ~TWaiter() {
        if (Child) {
            TerminateProcess(Child->Process.get(), 0);
            WaitForSingleObject(Child->Process.get(), 5000);
        }
    }
    void Start() {
        std::filesystem::copy_file(ThisModuleFolder() + L"console_double.exe", Program);
        TChildStart start;
        start.Application = Program;
        start.CommandLine = L"\"" + Program + L"\" wait";
        start.CreationFlags = DETACHED_PROCESS;
        Child = StartChildProcess(start);
    }
    const testing::TTempFolder Folder{L"procyra Waiters"};
    const std::wstring Program = (Folder.Path / L"late.exe").wstring();
    std::optional<TChildProcess> Child;
};

// What the library's process unlocker (FileUnlocker) relies on beyond its
// own test, which ends a program's processes by their paths: this process
// is refused, a process that has ended is a defined failure and goes at a
// refresh, the list stays still during a walk, one list per manager.
TEST(ProcyraProcesses, TheListEndsOthersNotItsCallerAndStaysStillDuringAWalk) {
    const TLoadedComponent component{L"ProcyraHelper.dll"};
    ASSERT_TRUE(component.Module) << "ProcyraHelper.dll not found beside the test";
    TComPtr<IPYManager> manager;
    ASSERT_EQ(component.GetInstance(__uuidof(IPYManager), reinterpret_cast<void**>(manager.put())), S_OK);
    TComPtr<IPYProcessList> list;
    manager->GetProcessList(list.put());
    ASSERT_TRUE(list);
    auto find = [&](const std::wstring& program) { return list->IndexOfText(program.c_str(), 0); };

    const std::wstring self = ModuleFileName(nullptr);
    TComPtr<IPYProcess> process = Item(list.get(), find(self));
    ASSERT_TRUE(process);
    EXPECT_TRUE(SameText(PathOf(process.get()), self)) << Narrow(PathOf(process.get()));
    // Ending the caller would take it down mid-call: refused.
    EXPECT_EQ(process->Terminate(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));

    // Changes asked for during a walk, nested too, wait for its end; the last one counts.
    TWaiter waiter;
    const std::wstring& program = waiter.Program;
    const int32_t count = list->GetCount();
    list->BeginWalk();
    waiter.Start();
    ASSERT_TRUE(waiter.Child) << GetLastError();
    EXPECT_EQ(list->Refresh(), S_FALSE);
    list->BeginWalk();
    EXPECT_EQ(list->Clear(), S_FALSE);
    EXPECT_EQ(list->Refresh(), S_FALSE);
    list->EndWalk();
    EXPECT_EQ(list->GetCount(), count);
    EXPECT_EQ(find(program), -1);
    list->EndWalk();
    TComPtr<IPYProcess> late = Item(list.get(), find(program));
    ASSERT_TRUE(late);

    // Ended from outside between the refresh and the call.
    ASSERT_TRUE(TerminateProcess(waiter.Child->Process.get(), 3));
    ASSERT_EQ(WaitForSingleObject(waiter.Child->Process.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(late->Terminate(), PY_E_PROCESS_ENDED);
    // An end without a walk changes nothing; a change outside a walk is made at once.
    list->EndWalk();
    EXPECT_EQ(list->Refresh(), S_OK);
    EXPECT_EQ(find(program), -1);
    EXPECT_GE(find(self), 0);
    list->BeginWalk();
    EXPECT_EQ(list->Refresh(), S_FALSE);
    EXPECT_EQ(list->Clear(), S_FALSE);
    list->EndWalk();
    EXPECT_EQ(list->GetCount(), 0);

    // One list per manager; the list, also as the common list, and a process
    // each keep the component loaded.
    TComPtr<IPYProcessList> again;
    manager->GetProcessList(again.put());
    EXPECT_EQ(again.get(), list.get());
    TComPtr<ICommonList> common;
    ASSERT_EQ(list->QueryInterface(__uuidof(ICommonList), reinterpret_cast<void**>(common.put())), S_OK);
    manager.reset();
    list.reset();
    again.reset();
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    process.reset();
    late.reset();
    EXPECT_EQ(component.CanUnloadNow(), S_FALSE);
    common.reset();
    EXPECT_EQ(component.CanUnloadNow(), S_OK);
}

} // namespace
} // namespace velmora
