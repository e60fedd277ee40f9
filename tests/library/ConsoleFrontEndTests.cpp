// velmora.exe driven as a script would: exit codes and error output.
#include "tests/library/LibraryHarness.h"

#include "platform/ChildProcess.h"
#include "platform/Format.h"
#include "platform/Paths.h"
#include "platform/Pipes.h"

#include <string>

using namespace velmora;
using namespace velmora::testing;

namespace {

// Runs a program with both outputs on one pipe; its exit code and what it
// wrote. Reading stops when the program ends, not at the end of the pipe: a
// process it starts (under Wine, the desktop's explorer) may inherit the pipe
// and outlive it.
std::pair<int, std::string> RunProgram(const std::wstring& exe, const std::wstring& arguments) {
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
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(child->Process.get(), 50) == WAIT_OBJECT_0;
        AppendAvailable(pipe->Ours.get(), output);
    }
    DWORD code = 0;
    GetExitCodeProcess(child->Process.get(), &code);
    return {static_cast<int>(code), output};
}

} // namespace

TEST(ConsoleFrontEnd, UsageErrorsAndAMissingLibraryExitWithTheirCodesAndExplain) {
    const std::wstring exe = ThisModuleFolder() + L"velmora.exe";
    auto [code, output] = RunProgram(exe, L"list --bogus");
    EXPECT_EQ(code, 2);
    EXPECT_NE(output.find("Unknown option \"--bogus\" for \"list\"."), std::string::npos) << output;
    EXPECT_NE(output.find("Usage: velmora"), std::string::npos);

    std::wstring folder =
        Format(L"%s\\velmora-nolib-%d", TempFolder(), static_cast<int>(GetCurrentProcessId()));
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(exe.c_str(), (folder + L"\\velmora.exe").c_str(), FALSE));
    std::tie(code, output) = RunProgram(folder + L"\\velmora.exe", L"list");
    DeleteFileW((folder + L"\\velmora.exe").c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(code, 3);
    EXPECT_NE(output.find("Cannot load"), std::string::npos) << output;
}
