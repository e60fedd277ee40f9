// The library through its exports, as a front end loads, holds and unloads it.
#include "tests/library/LibraryHarness.h"
#include "tests/library/UnsizedProgram.h"
#include "tests/components/LoadedComponent.h"

#include "api/Interfaces.Procyra.h"
#include "api/Interfaces.Rekova.h"
#include "api/Interfaces.Trustika.h"

#include "platform/Registry.h"

#include <shlwapi.h>
#include <tlhelp32.h>

#include <set>
#include <vector>

using namespace velmora;
using namespace velmora::testing;

// Each library hands out only its root (a component's also as IUnknown) and
// can be unloaded once no object it handed out lives.
TEST(LibraryExports, EachHandsOutOnlyItsRootAndCanUnloadOnlyWhenNoObjectLives) {
    const struct {
        const wchar_t* File;
        IID Root, Foreign;
        HRESULT Refusal; // of the foreign interface, and of IUnknown by the library
    } libraries[] = {
        {L"VelmoraHelper.dll", __uuidof(IVelmora), __uuidof(IProduct), CLASS_E_CLASSNOTAVAILABLE},
        {L"TrustikaHelper.dll", __uuidof(ITrustika), __uuidof(IVelmora), E_NOINTERFACE},
        {L"ProcyraHelper.dll", __uuidof(IPYManager), __uuidof(ITrustika), E_NOINTERFACE},
        {L"RekovaHelper.dll", __uuidof(IRekova), __uuidof(IRekovaSet), E_NOINTERFACE},
    };
    for (const auto& c : libraries) {
        SCOPED_TRACE(Narrow(c.File));
        const bool isLibrary = c.Refusal == CLASS_E_CLASSNOTAVAILABLE;
        TLoadedComponent library{c.File};
        ASSERT_TRUE(library.Module);
        EXPECT_EQ(library.CanUnloadNow(), S_OK);
        for (REFIID iid : {c.Foreign, isLibrary ? IID_IUnknown : c.Foreign}) {
            void* object = reinterpret_cast<void*>(1);
            EXPECT_EQ(library.GetInstance(iid, &object), c.Refusal);
            EXPECT_EQ(object, nullptr);
        }
        EXPECT_EQ(library.GetInstance(c.Root, nullptr), E_POINTER);
        EXPECT_EQ(library.CanUnloadNow(), S_OK);

        TComPtr<IUnknown> root, asRoot;
        ASSERT_EQ(
            library.GetInstance(isLibrary ? c.Root : IID_IUnknown, reinterpret_cast<void**>(root.put())),
            S_OK);
        ASSERT_EQ(root->QueryInterface(c.Root, reinterpret_cast<void**>(asRoot.put())), S_OK);
        // What keeps it loaded once the root is gone: the library's collection
        // and its feature manager, a component's root under its own interface.
        std::vector<TComPtr<IUnknown>> held;
        if (isLibrary) {
            auto* velmora = static_cast<IVelmora*>(asRoot.get());
            velmora->GetPrograms(reinterpret_cast<IProductCollection**>(held.emplace_back().put()));
            velmora->GetFeatures(reinterpret_cast<IFeatures**>(held.emplace_back().put()));
            asRoot.reset();
        } else {
            held.push_back(std::move(asRoot));
        }
        root.reset();
        for (TComPtr<IUnknown>& object : held) {
            ASSERT_TRUE(object);
            EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
            object.reset();
        }
        EXPECT_EQ(library.CanUnloadNow(), S_OK);
    }
    TLoadedLibrary library;
    auto getVersion = library.Export<HRESULT(WINAPI*)(DLLVERSIONINFO2*)>("DllGetVersion");
    DLLVERSIONINFO2 info{};
    info.info1.cbSize = sizeof info;
    ASSERT_EQ(getVersion(&info), S_OK);
    EXPECT_EQ(info.ullVersion, MAKEDLLVERULL(5, 0, 0, 0)) << "from the version resource";
}

namespace {

// Uninstall entries of the current user that make the read use the installer
// engine (a product code of this test without an install folder) and the job
// queue (a folder without a recorded size); removed again with the object.
struct TEnginesAtWork {
    static constexpr wchar_t ProductKey[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{7C41E5B2-0D9A-4F63-8E1B-52A6C3D9F0E4}";
    TEnginesAtWork() {
        auto product = TRegKey::Create(HKEY_CURRENT_USER, ProductKey, KEY_ALL_ACCESS);
        product.WriteString(L"DisplayName", L"Velmora Unload Product");
        product.WriteString(L"UninstallString", L"C:\\Windows\\notepad.exe");
    }
    ~TEnginesAtWork() { DeleteKey(HKEY_CURRENT_USER, ProductKey); }
    TUnsizedProgram Sized{L"Velmora Unload Sized " + std::to_wstring(GetCurrentProcessId()), 3};
};

// The ids of the threads of this process.
std::set<DWORD> ProcessThreads() {
    std::set<DWORD> threads;
    unique_file snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            threads.insert(entry.th32ThreadID);
    }
    return threads;
}

} // namespace

// The installer engine's thread, the job queue's workers (which free their
// own objects) and the reading thread are all gone, not only ended, once the
// library answers that it can be unloaded.
TEST(Unload, NoThreadOfTheLibraryRemainsOnceItCanBeUnloaded) {
    TEnginesAtWork work;
    const std::set<DWORD> before = ProcessThreads();
    {
        TLoadedLibrary library;
        ASSERT_NE(library.Module(), nullptr);
        auto canUnloadNow = library.Export<TDllCanUnloadNow>("DllCanUnloadNow");
        {
            auto root = library.NewRoot();
            TComPtr<IProductCollection> programs;
            root->GetPrograms(programs.put());
            root->Refresh();
            ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }));
            ASSERT_TRUE(WaitUntil([&] { return work.Sized.Measured(); }));
        }
        ASSERT_TRUE(WaitUntil([&] { return canUnloadNow() == S_OK; }));
        std::vector<DWORD> remaining;
        for (DWORD thread : ProcessThreads())
            if (!before.contains(thread))
                remaining.push_back(thread);
        EXPECT_TRUE(remaining.empty()) << remaining.size() << " threads started since the load still run";
    }
}

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
