// velmora.exe driven as a script would: exit codes and error output.
#include "tests/library/LibraryHarness.h"

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
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0;
        AppendAvailable(read, output);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
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
