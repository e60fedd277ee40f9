// velmora.exe driven as a script would: exit codes and error output.
#include "tests/library/LibraryHarness.h"

#include "platform/Format.h"
#include "platform/Paths.h"

#include <string>

using namespace velmora;
using namespace velmora::testing;

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
