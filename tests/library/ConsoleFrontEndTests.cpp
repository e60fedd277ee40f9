// velmora.exe driven as a script would: exit codes and error output.
#include "tests/library/LibraryHarness.h"

#include "platform/Format.h"

#include <string>

using namespace velmora;
using namespace velmora::testing;

namespace {

struct TRun {
    DWORD ExitCode = static_cast<DWORD>(-1);
    std::string Err; // and standard output
};

// Runs a program, reading back what it writes.
TRun RunProgram(const std::wstring& exe, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE errRead, errWrite;
    CreatePipe(&errRead, &errWrite, &inherit, 0);
    unique_handle errR(errRead), errW(errWrite);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = errWrite;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION pi{};
    TRun run;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi))
        return run;
    unique_handle process(pi.hProcess), thread(pi.hThread);
    errW.reset();
    char buffer[4096];
    DWORD n;
    while (ReadFile(errRead, buffer, sizeof buffer, &n, nullptr) && n > 0)
        run.Err.append(buffer, n);
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &run.ExitCode);
    return run;
}

std::wstring Velmora() {
    return ThisModuleFolder() + L"velmora.exe";
}

} // namespace

TEST(ConsoleFrontEnd, UsageErrorsAndAMissingLibraryExitWithTheirCodesAndExplain) {
    TRun run = RunProgram(Velmora(), L"list --bogus");
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_NE(run.Err.find("Unknown option \"--bogus\" for \"list\"."), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("Usage: velmora"), std::string::npos);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = Format(L"%svelmora-nolib-%d\\", temp, static_cast<int>(GetCurrentProcessId()));
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring copy = folder + L"velmora.exe";
    ASSERT_TRUE(CopyFileW(Velmora().c_str(), copy.c_str(), FALSE));
    run = RunProgram(copy, L"list");
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(run.ExitCode, 3u);
    EXPECT_NE(run.Err.find("Cannot load"), std::string::npos) << run.Err;
}
