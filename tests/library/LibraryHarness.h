#pragma once
// Loads VelmoraHelper.dll from the test's own folder, as a front end does.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/ChildProcess.h"
#include "platform/Pipes.h"
#include "tests/TestBase.h"

namespace velmora::testing {

class TLoadedLibrary {
public:
    TLoadedLibrary() = default;
    // As a front end unloads it: once it answers that it can be unloaded (a
    // test that leaves objects behind waits a while, then unloads anyway).
    ~TLoadedLibrary() {
        if (FModule)
            WaitUntil([&] { return Export<TDllCanUnloadNow>("DllCanUnloadNow")() == S_OK; });
    }
    TLoadedLibrary(const TLoadedLibrary&) = delete;
    TLoadedLibrary& operator=(const TLoadedLibrary&) = delete;

    HMODULE Module() const { return FModule.get(); }
    template <class Fn> Fn Export(const char* name) const {
        auto fn = ModuleFunction<Fn>(FModule.get(), name);
        return fn ? fn : throw std::runtime_error(std::string("missing export ") + name);
    }
    HRESULT GetInstance(REFIID iid, void** out) const {
        return Export<TDllGetInstance>("DllGetInstance")(iid, out);
    }
    TComPtr<IVelmora> NewRoot() const {
        TComPtr<IVelmora> root;
        EXPECT_EQ(GetInstance(__uuidof(IVelmora), reinterpret_cast<void**>(root.put())), S_OK);
        return root;
    }

private:
    unique_hmodule FModule{LoadLibraryExW((ThisModuleFolder() + L"VelmoraHelper.dll").c_str(), nullptr,
                                          LOAD_WITH_ALTERED_SEARCH_PATH)};
};

// Runs a program with both outputs on one pipe; its exit code and what it
// wrote. Reading stops when the program ends, not at the end of the pipe: a
// process it starts (under Wine, the desktop's explorer) may inherit the pipe
// and outlive it. A program still running after limit is ended; its code is
// then StillRunningCode.
constexpr int StillRunningCode = -2;
inline std::pair<int, std::string> RunProgram(const std::wstring& exe, const std::wstring& arguments,
                                              std::chrono::milliseconds limit = std::chrono::minutes(4)) {
    std::optional<TChildPipe> pipe = PipeFromChild();
    if (!pipe)
        return {-1, ""};
    TChildStart start;
    start.Application = exe;
    start.CommandLine = L"\"" + exe + L"\" " + arguments;
    start.StandardHandles = TStandardHandles{nullptr, pipe->Child.get(), pipe->Child.get()};
    start.CreationFlags = CREATE_NO_WINDOW;
    std::optional<TChildProcess> child = StartChildProcess(start);
    if (!child)
        return {-1, ""};
    pipe->Child.reset();
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(child->Process.get(), 50) == WAIT_OBJECT_0;
        AppendAvailable(pipe->Ours.get(), output);
        if (!ended && std::chrono::steady_clock::now() > deadline) {
            TerminateProcess(child->Process.get(), 1);
            return {StillRunningCode, output};
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(child->Process.get(), &code);
    return {static_cast<int>(code), output};
}

} // namespace velmora::testing
