// velmora.exe driven as a script would: exit codes and error output.
#include "tests/library/LibraryHarness.h"

#include "platform/Format.h"
#include "platform/Paths.h"

#include <cstdio>
#include <string>

using namespace velmora;
using namespace velmora::testing;

namespace {

// Runs a program through the command interpreter; its exit code and what it
// writes to both outputs.
std::pair<int, std::string> RunProgram(const std::wstring& exe, const std::wstring& arguments) {
    FILE* pipe = _wpopen((L"\"\"" + exe + L"\" " + arguments + L" 2>&1\"").c_str(), L"rb");
    if (!pipe)
        return {-1, ""};
    std::string output;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    return {_pclose(pipe), output};
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
