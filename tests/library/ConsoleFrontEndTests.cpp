// velmora.exe driven as a person or a script would: exit codes and output.
#include "tests/library/LibraryHarness.h"

#include "platform/Format.h"

#include <string>

using namespace velmora;
using namespace velmora::testing;

namespace {

struct TRun {
    DWORD ExitCode = 0;
    std::string Out;
    std::string Err;
};

std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD n;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
        text.append(buffer, n);
    return text;
}

// Runs a program with redirected output and waits for it.
TRun RunProgram(const std::wstring& exe, const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    CreatePipe(&outRead, &outWrite, &inherit, 0);
    CreatePipe(&errRead, &errWrite, &inherit, 0);
    unique_handle outR(outRead), outW(outWrite), errR(errRead), errW(errWrite);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION pi{};
    TRun run;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi)) {
        run.ExitCode = static_cast<DWORD>(-1);
        return run;
    }
    unique_handle process(pi.hProcess), thread(pi.hThread);
    outW.reset();
    errW.reset();
    std::string err;
    std::thread errReader([&] { err = ReadAll(errRead); });
    run.Out = ReadAll(outRead);
    errReader.join();
    run.Err = err;
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &run.ExitCode);
    return run;
}

std::wstring Velmora() {
    return ThisModuleFolder() + L"velmora.exe";
}

} // namespace

TEST(ConsoleFrontEnd, ListWaitsForTheReadAndPrintsJson) {
    TRun run = RunProgram(Velmora(), L"list --json --timeout 60");
    EXPECT_EQ(run.ExitCode, 0u) << run.Err;
    EXPECT_NE(run.Err.find("Read state: rsLoaded"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out.front(), '[');
    EXPECT_EQ(run.Out.substr(run.Out.size() - 2), "]\n");
}

TEST(ConsoleFrontEnd, VersionNamesTheLibraryAndItsVersion) {
    TRun run = RunProgram(Velmora(), L"version");
    EXPECT_EQ(run.ExitCode, 0u) << run.Err;
    EXPECT_EQ(run.Out.rfind("VelmoraHelper.dll 5.0.0.0", 0), 0u) << run.Out;
}

TEST(ConsoleFrontEnd, UsageErrorsExitWithTwoAndExplain) {
    TRun run = RunProgram(Velmora(), L"list --bogus");
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_NE(run.Err.find("Unknown option \"--bogus\" for \"list\"."), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("Usage: velmora"), std::string::npos);
}

TEST(ConsoleFrontEnd, MissingLibraryExitsWithThree) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = Format(L"%svelmora-nolib-%d\\", temp, static_cast<int>(GetCurrentProcessId()));
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring copy = folder + L"velmora.exe";
    ASSERT_TRUE(CopyFileW(Velmora().c_str(), copy.c_str(), FALSE));
    TRun run = RunProgram(copy, L"list");
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(run.ExitCode, 3u);
    EXPECT_NE(run.Err.find("Cannot load"), std::string::npos) << run.Err;
}

TEST(ConsoleFrontEnd, ShowingAnUnknownProductFailsWithASentence) {
    TRun run = RunProgram(Velmora(), L"show \"No Such Program 7f3a\" --timeout 60");
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_NE(run.Err.find("No installed program or update is named \"No Such Program 7f3a\"."),
              std::string::npos)
        << run.Err;
}
