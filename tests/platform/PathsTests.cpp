#include "platform/Paths.h"

#include "platform/FileVersionInfo.h"
#include "platform/Module.h"
#include "tests/TestBase.h"

using namespace velmora;

TEST(FileVersionInfo, StringsComeFromTheFirstTranslationThenTheFallbacks) {
    TFileVersionInfo first(ThisModuleFolder() + L"VelmoraTestInstance.dll");
    ASSERT_TRUE(first && first.FixedFileVersion());
    auto fixed = first.FixedFileVersion();
    EXPECT_EQ(Format(L"%d.%d.%d.%d", fixed->Major, fixed->Minor, fixed->Release, fixed->Build), L"1.2.3.4");
    EXPECT_EQ(first.GetValue(L"CompanyName"), L"Velmora Test GmbH");
    EXPECT_EQ(first.GetValue(L"NoSuchValue"), L"");
    EXPECT_EQ(TFileVersionInfo(ThisModuleFolder() + L"VelmoraTestNoExport.dll").GetValue(L"CompanyName"),
              L"Velmora Latin");
    EXPECT_FALSE(TFileVersionInfo(SystemFolderWithBackslash() + L"drivers\\etc\\hosts"));
}
