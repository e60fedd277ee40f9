#pragma once
// Loads VelmoraHelper.dll from the test's own folder, as a front end does.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Pipes.h"
#include "tests/Polling.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>

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
        auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(FModule.get(), name)));
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
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE read, write;
    if (!CreatePipe(&read, &write, &inheritable, 0))
        return {-1, ""};
    unique_handle readOwner(read), writeOwner(write);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return {-1, ""};
    unique_handle processOwner(process.hProcess), threadOwner(process.hThread);
    writeOwner.reset();
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0;
        AppendAvailable(read, output);
        if (!ended && std::chrono::steady_clock::now() > deadline) {
            TerminateProcess(process.hProcess, 1);
            return {StillRunningCode, output};
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return {static_cast<int>(code), output};
}

} // namespace velmora::testing
