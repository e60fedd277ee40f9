// ProcyraHelper.dll and its agent through their exports, against the
// system's real process list: this test process, and children started from a
// temporary folder of their own (copies of the console double, which waits
// forever when it has no console).
#include "api/Interfaces.Procyra.h"
#include "api/Interfaces.Trustika.h"
#include "platform/ChildProcess.h"
#include "tests/components/LoadedComponent.h"
#include "tests/platform/ScratchKit.h"

#include <deque>
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

// Waiting programs started from a temporary folder (with a blank in its
// name); the ones still running are ended and the folder removed at the end.
class TChildren {
public:
    ~TChildren() {
        for (auto& child : FChildren) {
            TerminateProcess(child.Process.get(), 0);
            WaitForSingleObject(child.Process.get(), 5000);
        }
    }
    // The full path of a new copy of the waiting double in the folder.
    std::wstring Program(const wchar_t* name) {
        std::filesystem::path program = FFolder.Path / name;
        std::filesystem::copy_file(ThisModuleFolder() + L"console_double.exe", program);
        return program.wstring();
    }
    const TChildProcess* Start(const std::wstring& program) {
        TChildStart start;
        start.Application = program;
        start.CommandLine = L"\"" + program + L"\" wait";
        start.CreationFlags = DETACHED_PROCESS;
        std::optional<TChildProcess> child = StartChildProcess(start);
        if (!child)
            return nullptr;
        FChildren.push_back(std::move(*child));
        return &FChildren.back();
    }

private:
    const testing::TTempFolder FFolder{L"procyra Waiters"};
    std::deque<TChildProcess> FChildren; // stays where Start put it
};

class ProcyraProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FComponent.Module) << "ProcyraHelper.dll not found beside the test";
        ASSERT_EQ(FComponent.GetInstance(__uuidof(IPYManager), reinterpret_cast<void**>(FManager.put())),
                  S_OK);
        EXPECT_FALSE(FManager->IsLoaded());
        FManager->GetProcessList(FList.put());
        ASSERT_TRUE(FList);
        EXPECT_TRUE(FManager->IsLoaded());
    }
    void TearDown() override {
        FList.reset();
        FManager.reset();
        EXPECT_EQ(FComponent.CanUnloadNow(), S_OK);
    }
    // Index of the process started from program; -1 when the list lacks it.
    int32_t Find(const std::wstring& program) { return FList->IndexOfText(program.c_str(), 0); }

    TLoadedComponent FComponent{L"ProcyraHelper.dll"};
    TComPtr<IPYManager> FManager;
    TComPtr<IPYProcessList> FList;
    TChildren FChildren;
};

TEST_F(ProcyraProcesses, TheListHoldsThisProcessWithItsExecutable) {
    const std::wstring self = ModuleFileName(nullptr);
    int32_t index = Find(self);
    ASSERT_GE(index, 0);
    TComPtr<IPYProcess> process = Item(FList.get(), index);
    ASSERT_TRUE(process);
    EXPECT_TRUE(SameText(PathOf(process.get()), self)) << Narrow(PathOf(process.get()));
    EXPECT_EQ(process->GetId(), static_cast<int32_t>(GetCurrentProcessId()));
    // Ending the caller would take it down mid-call: refused.
    EXPECT_EQ(process->Terminate(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Item(FList.get(), FList->GetCount()).get(), nullptr);
    EXPECT_EQ(Item(FList.get(), -1).get(), nullptr);

    // One list per manager; the list, also as the common list, and a process
    // each keep the component loaded.
    TComPtr<IPYProcessList> again;
    FManager->GetProcessList(again.put());
    EXPECT_EQ(again.get(), FList.get());
    TComPtr<ICommonList> common;
    ASSERT_EQ(FList->QueryInterface(__uuidof(ICommonList), reinterpret_cast<void**>(common.put())), S_OK);
    FManager.reset();
    FList.reset();
    again.reset();
    EXPECT_EQ(FComponent.CanUnloadNow(), S_FALSE);
    process.reset();
    EXPECT_EQ(FComponent.CanUnloadNow(), S_FALSE);
    common.reset();
}

// Ending a program's processes by their path is the process unlocker's test;
// here what the list and its processes tell afterwards.
TEST_F(ProcyraProcesses, ARefreshNoLongerListsEndedProcessesAndEndingThemAgainIsADefinedFailure) {
    const std::wstring waiter = FChildren.Program(L"waiter.exe");
    const TChildProcess* ended = FChildren.Start(waiter);
    const TChildProcess* other = FChildren.Start(FChildren.Program(L"bystander.exe"));
    ASSERT_TRUE(ended && other) << GetLastError();
    ASSERT_EQ(FList->Refresh(), S_OK);
    TComPtr<IPYProcess> child = Item(FList.get(), Find(waiter));
    TComPtr<IPYProcess> bystander =
        Item(FList.get(), FList->IndexOfId(static_cast<int32_t>(other->ProcessID)));
    ASSERT_TRUE(child && bystander);
    EXPECT_EQ(child->GetId(), static_cast<int32_t>(ended->ProcessID));
    EXPECT_EQ(child->Terminate(), S_OK);
    EXPECT_EQ(WaitForSingleObject(ended->Process.get(), 5000), WAIT_OBJECT_0);

    ASSERT_EQ(FList->Refresh(), S_OK);
    EXPECT_EQ(Find(waiter), -1);
    EXPECT_GE(FList->IndexOfId(static_cast<int32_t>(other->ProcessID)), 0);
    EXPECT_FALSE(child->IsRunning());
    EXPECT_EQ(child->Terminate(), PY_E_PROCESS_ENDED);
    // One that ended on its own, with its exit code.
    ASSERT_TRUE(TerminateProcess(other->Process.get(), 3));
    ASSERT_EQ(WaitForSingleObject(other->Process.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(bystander->Terminate(), PY_E_PROCESS_ENDED);
    EXPECT_EQ(bystander->GetExitCode(), 3);
}

TEST_F(ProcyraProcesses, DuringAWalkTheListStaysAsItIsAndTheLastChangeAskedForFollowsItsEnd) {
    const std::wstring program = FChildren.Program(L"late.exe");
    const int32_t count = FList->GetCount();
    EXPECT_EQ(FList->GetRefreshError(), 0);

    FList->BeginWalk();
    ASSERT_TRUE(FChildren.Start(program));
    EXPECT_EQ(FList->Refresh(), S_FALSE);
    FList->BeginWalk();
    EXPECT_EQ(FList->Clear(), S_FALSE);
    EXPECT_EQ(FList->Refresh(), S_FALSE);
    FList->EndWalk();
    EXPECT_EQ(FList->GetCount(), count);
    EXPECT_EQ(Find(program), -1);
    FList->EndWalk();
    EXPECT_GE(Find(program), 0);

    FList->BeginWalk();
    EXPECT_EQ(FList->Refresh(), S_FALSE);
    EXPECT_EQ(FList->Clear(), S_FALSE);
    FList->EndWalk();
    EXPECT_EQ(FList->GetCount(), 0);

    // An end without a walk changes nothing; a change outside a walk is made at once.
    FList->EndWalk();
    EXPECT_EQ(FList->Refresh(), S_OK);
    EXPECT_GE(Find(program), 0);
}

// The agent's class as COM finds it, and the machine's class registrations
// before and after: whether the class key exists, and the number of classes.
class ProcyraAgent : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FAgent.Module) << "ProcyraHelper.Agent.x64.dll not found beside the test";
        ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, FClassKey)) << "left by an earlier run";
        FBefore = Registrations();
    }
    void TearDown() override { DeleteKey(HKEY_LOCAL_MACHINE, FClassKey); }
    std::wstring Registrations() const {
        auto classes = TRegKey::Open(HKEY_LOCAL_MACHINE, ClassesKey).KeyInfo();
        return Format(L"%s, %d classes",
                      KeyExists(HKEY_LOCAL_MACHINE, FClassKey) ? L"class key" : L"no class key",
                      classes ? static_cast<int>(classes->SubKeyCount) : -1);
    }
    static std::wstring ClassKey() {
        wchar_t clsid[40];
        StringFromGUID2(CLSID_PYAgentManager, clsid, 40);
        return std::wstring(ClassesKey) + L"\\" + clsid;
    }
    HRESULT Call(const char* name) const { return FAgent.Function<HRESULT(WINAPI*)()>(name)(); }
    HRESULT Create(TComPtr<IPYManager>& manager) const {
        return CoCreateInstance(CLSID_PYAgentManager, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IPYManager),
                                reinterpret_cast<void**>(manager.put()));
    }

    static constexpr const wchar_t* ClassesKey = L"Software\\Classes\\CLSID";
    TComApartmentGuard FApartment;
    TLoadedComponent FAgent{L"ProcyraHelper.Agent.x64.dll"};
    const std::wstring FClassKey = ClassKey();
    std::wstring FBefore;
};

TEST_F(ProcyraAgent,
       RegistrationServesTheManagerThroughComAndUnregistrationLeavesTheRegistryAsBeforeAndOthersAlone) {
    ASSERT_EQ(Call("DllRegisterServer"), S_OK);
    EXPECT_EQ(TRegKey::Open(HKEY_LOCAL_MACHINE, FClassKey + L"\\InprocServer32").ReadString(L""),
              ThisModuleFolder() + L"ProcyraHelper.Agent.x64.dll");
    {
        TComPtr<IPYManager> manager;
        ASSERT_EQ(Create(manager), S_OK);
        TComPtr<IPYProcessList> list;
        manager->GetProcessList(list.put());
        ASSERT_TRUE(list);
        EXPECT_GE(list->IndexOfId(static_cast<int32_t>(GetCurrentProcessId())), 0);
        EXPECT_EQ(Call("DllCanUnloadNow"), S_FALSE);
    }
    EXPECT_EQ(Call("DllCanUnloadNow"), S_OK);

    ASSERT_EQ(Call("DllUnregisterServer"), S_OK);
    EXPECT_EQ(Registrations(), FBefore);
    TComPtr<IPYManager> manager;
    EXPECT_EQ(Create(manager), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(Call("DllUnregisterServer"), S_OK); // nothing left to remove

    // Another file's registration of the class is left alone.
    const std::wstring otherFile = L"C:\\Elsewhere\\ProcyraHelper.Agent.x64.dll";
    ASSERT_TRUE(
        TRegKey::Create(HKEY_LOCAL_MACHINE, FClassKey + L"\\InprocServer32").WriteString(L"", otherFile));
    EXPECT_EQ(Call("DllUnregisterServer"), S_OK);
    EXPECT_EQ(TRegKey::Open(HKEY_LOCAL_MACHINE, FClassKey + L"\\InprocServer32").ReadString(L""), otherFile);
}

} // namespace
} // namespace velmora
