#include "platform/ChildProcess.h"

#include "platform/ComObject.h"
#include "platform/Module.h"
#include "platform/OSError.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace velmora {

namespace {

// The attribute list that limits what a child inherits to its standard
// handles. Without it a child inherits every inheritable handle of this
// process, among them the caller's own output; a helper of the child's that
// outlives it (a console host) could then keep that output open. Looked up,
// as Windows before Vista has no attribute lists: there the child inherits
// everything as before.
class TInheritedHandles {
public:
    explicit TInheritedHandles(const TStandardHandles& handles) {
        for (HANDLE h : {handles.Input, handles.Output, handles.Error}) {
            DWORD flags = 0;
            if (h && h != INVALID_HANDLE_VALUE && GetHandleInformation(h, &flags) &&
                (flags & HANDLE_FLAG_INHERIT) &&
                std::find(FHandles.begin(), FHandles.end(), h) == FHandles.end())
                FHandles.push_back(h);
        }
        using TInitialize = BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD, PSIZE_T);
        using TUpdate =
            BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, DWORD, DWORD_PTR, PVOID, SIZE_T, PVOID, PSIZE_T);
        auto initialize = ModuleFunction<TInitialize>(L"kernel32.dll", "InitializeProcThreadAttributeList");
        auto update = ModuleFunction<TUpdate>(L"kernel32.dll", "UpdateProcThreadAttribute");
        FDelete = ModuleFunction<decltype(FDelete)>(L"kernel32.dll", "DeleteProcThreadAttributeList");
        if (FHandles.empty() || !initialize || !update || !FDelete)
            return;
        SIZE_T size = 0;
        initialize(nullptr, 1, 0, &size);
        FBuffer = std::make_unique<char[]>(size);
        auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(FBuffer.get());
        if (!initialize(list, 1, 0, &size)) {
            FBuffer.reset();
            return;
        }
        FList = list;
        if (!update(FList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, FHandles.data(),
                    FHandles.size() * sizeof(HANDLE), nullptr, nullptr)) {
            FDelete(FList);
            FList = nullptr;
        }
    }
    ~TInheritedHandles() {
        if (FList)
            FDelete(FList);
    }
    TInheritedHandles(const TInheritedHandles&) = delete;
    TInheritedHandles& operator=(const TInheritedHandles&) = delete;

    // Null when the child inherits everything inheritable.
    LPPROC_THREAD_ATTRIBUTE_LIST List() const { return FList; }

private:
    std::vector<HANDLE> FHandles;
    std::unique_ptr<char[]> FBuffer;
    LPPROC_THREAD_ATTRIBUTE_LIST FList = nullptr;
    void(WINAPI* FDelete)(LPPROC_THREAD_ATTRIBUTE_LIST) = nullptr;
};

} // namespace

std::optional<TChildProcess> StartChildProcess(const TChildStart& start) {
    STARTUPINFOEXW startupEx{};
    STARTUPINFOW& startup = startupEx.StartupInfo;
    startup.cb = sizeof startup;
    if (start.ShowWindow) {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = *start.ShowWindow;
    }
    if (start.StandardHandles) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = start.StandardHandles->Input;
        startup.hStdOutput = start.StandardHandles->Output;
        startup.hStdError = start.StandardHandles->Error;
    }
    std::optional<TInheritedHandles> inherited;
    DWORD flags = start.CreationFlags;
    if (start.StandardHandles) {
        inherited.emplace(*start.StandardHandles);
        if (inherited->List()) {
            startupEx.lpAttributeList = inherited->List();
            startup.cb = sizeof startupEx;
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        }
    }
    const wchar_t* application = start.Application.empty() ? nullptr : start.Application.c_str();
    // The command line buffer must be writable.
    std::wstring commandLine = start.CommandLine;
    PROCESS_INFORMATION info{};
    const BOOL started = start.UserToken
                             ? CreateProcessAsUserW(start.UserToken, application, commandLine.data(), nullptr,
                                                    nullptr, TRUE, flags, nullptr, nullptr, &startup, &info)
                             : CreateProcessW(application, commandLine.data(), nullptr, nullptr, TRUE, flags,
                                              nullptr, nullptr, &startup, &info);
    if (!started)
        return std::nullopt;
    TChildProcess child;
    child.Process.reset(info.hProcess);
    child.Thread.reset(info.hThread);
    child.ProcessID = info.dwProcessId;
    return child;
}

std::optional<TChildProcess> StartElevatedChildProcess(const std::wstring& program,
                                                       const std::wstring& arguments, WORD showWindow) {
    std::optional<TChildProcess> child;
    DWORD error = ERROR_SUCCESS;
    {
        // The shell may hand the start to its extensions, which want COM.
        TComApartmentGuard com;
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        // No error box of the shell's own: the caller reports the failure. A
        // console program shares this process's console, as a child that
        // StartChildProcess starts does, instead of getting a new one.
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NO_CONSOLE;
        info.lpVerb = L"runas";
        info.lpFile = program.c_str();
        info.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
        info.nShow = showWindow;
        if (!ShellExecuteExW(&info)) {
            error = GetLastError();
        } else if (!info.hProcess) {
            // Handed to a running program: there is no process to wait for.
            error = ERROR_INVALID_HANDLE;
        } else {
            child.emplace();
            child->Process.reset(info.hProcess);
            child->ProcessID = GetProcessId(info.hProcess);
        }
    }
    if (!child)
        SetLastError(error);
    return child;
}

unique_handle DuplicateProcessToken() {
    unique_handle processToken, userToken;
    CheckOS(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, processToken.put()), L"OpenProcessToken");
    CheckOS(DuplicateTokenEx(processToken.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                             TokenPrimary, userToken.put()),
            L"DuplicateTokenEx");
    return userToken;
}

} // namespace velmora
