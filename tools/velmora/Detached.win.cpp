#include "tools/velmora/Detached.h"

#include "platform/ChildProcess.h"
#include "platform/Format.h"
#include "platform/Module.h"
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
    std::optional<TChildPipe> output = PipeFromChild();
    if (!output)
        return std::nullopt;
    std::optional<TChildPipe> errors = PipeFromChild();
    if (!errors)
        return std::nullopt;
    std::optional<TChildPipe> input = PipeToChild();
    if (!input)
        return std::nullopt;

    TChildStart start;
    start.Application = HostExecutableFileName();
    if (start.Application.empty())
        return std::nullopt;
    start.CommandLine = GetCommandLineW();
    start.StandardHandles = TStandardHandles{input->Child.get(), output->Child.get(), errors->Child.get()};
    start.CreationFlags = DETACHED_PROCESS;
    SetEnvironmentVariableW(kCopyMarker, L"1");
    std::optional<TChildProcess> copy = StartChildProcess(start);
    SetEnvironmentVariableW(kCopyMarker, nullptr);
    if (!copy)
        return std::nullopt;
    // Only the copy (and what it starts) holds the other ends now.
    output->Child.reset();
    errors->Child.reset();
    input->Child.reset();

    // The input relay blocks on this process's input: it is left to end with
    // the process and keeps its end of the pipe.
    HANDLE inWrite = input->Ours.get();
    std::thread([inWrite] {
        while (std::optional<std::wstring> line = ReadLine()) {
            std::string bytes = Narrow(*line) + "\n";
            DWORD written = 0;
            if (!WriteFile(inWrite, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
                break;
        }
    }).detach();
    input->Ours.release();
    std::thread errorRelay(Relay, errors->Ours.get(), copy->Process.get(), &WriteErr);
    Relay(output->Ours.get(), copy->Process.get(), &WriteOut);
    errorRelay.join();
    DWORD exitCode = 1;
    GetExitCodeProcess(copy->Process.get(), &exitCode);
    return static_cast<int>(exitCode);
}

} // namespace velmora::cli
