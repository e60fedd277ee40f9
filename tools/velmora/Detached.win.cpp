#include "tools/velmora/Detached.h"

#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/Pipes.h"
#include "tools/velmora/Console.h"

#include <windows.h>

#include <string>
#include <thread>

namespace velmora::cli {

namespace {

constexpr wchar_t kCopyMarker[] = L"VELMORA_CLI_DETACHED";

// The length of the part of bytes that ends on a whole UTF-8 character.
size_t WholeCharacters(const std::string& bytes) {
    size_t end = bytes.size();
    for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (length > back)
            end = bytes.size() - back;
        break;
    }
    return end;
}

// Copies the copy's output (UTF-8 through a pipe) to this process's output
// until the copy has ended and its output is read. Not until the pipe ends:
// an uninstaller that outlives the copy may hold it.
void Relay(HANDLE pipe, HANDLE copy, void (*write)(std::wstring_view)) {
    std::string pending;
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(copy, 50) == WAIT_OBJECT_0;
        AppendAvailable(pipe, pending);
        size_t whole = WholeCharacters(pending);
        if (whole > 0)
            write(Widen(std::string_view(pending).substr(0, whole)));
        pending.erase(0, whole);
    }
}

} // namespace

std::optional<int> RunInDetachedCopy() {
    if (GetEnvironmentVariableW(kCopyMarker, nullptr, 0) > 0)
        return std::nullopt;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite, inRead, inWrite;
    if (!CreatePipe(&outRead, &outWrite, &inheritable, 0))
        return std::nullopt;
    unique_handle outReadOwner(outRead), outWriteOwner(outWrite);
    if (!CreatePipe(&errRead, &errWrite, &inheritable, 0))
        return std::nullopt;
    unique_handle errReadOwner(errRead), errWriteOwner(errWrite);
    if (!CreatePipe(&inRead, &inWrite, &inheritable, 0))
        return std::nullopt;
    unique_handle inReadOwner(inRead), inWriteOwner(inWrite);
    // This process's ends stay here.
    for (HANDLE own : {outRead, errRead, inWrite})
        SetHandleInformation(own, HANDLE_FLAG_INHERIT, 0);

    wchar_t self[MAX_PATH];
    if (!GetModuleFileNameW(nullptr, self, MAX_PATH))
        return std::nullopt;
    std::wstring commandLine = GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    SetEnvironmentVariableW(kCopyMarker, L"1");
    BOOL started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                                  nullptr, &startup, &process);
    SetEnvironmentVariableW(kCopyMarker, nullptr);
    if (!started)
        return std::nullopt;
    unique_handle processOwner(process.hProcess), threadOwner(process.hThread);
    // Only the copy (and what it starts) holds the other ends now.
    outWriteOwner.reset();
    errWriteOwner.reset();
    inReadOwner.reset();

    // The input relay blocks on this process's input: it is left to end with
    // the process and keeps its end of the pipe.
    std::thread([inWrite] {
        while (std::optional<std::wstring> line = ReadLine()) {
            std::string bytes = Narrow(*line) + "\n";
            DWORD written = 0;
            if (!WriteFile(inWrite, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
                break;
        }
    }).detach();
    inWriteOwner.release();
    std::thread errors(Relay, errRead, process.hProcess, &WriteErr);
    Relay(outRead, process.hProcess, &WriteOut);
    errors.join();
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    return static_cast<int>(exitCode);
}

} // namespace velmora::cli
