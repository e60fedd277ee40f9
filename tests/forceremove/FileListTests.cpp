#include "forceremove/FileList.h"
#include "forceremove/SharedDlls.h"

#include "FakeRegistry.h"

#include <gmock/gmock.h>

using namespace velmora;
using namespace velmora::testing;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

class FileListTest : public ::testing::Test {
protected:
    TFRSharedDlls FShared{std::make_unique<TSharedDllMap>()};
    TFRFileList FList{FShared};
};

} // namespace

TEST_F(FileListTest, APathListedTwiceInAnyCaseIsOneEntryCountedOnce) {
    TFRFile* first = FList.AddFile(L"C:\\App\\app.exe", 100);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(FList.AddFile(L"c:\\APP\\APP.EXE", 999), first);
    EXPECT_EQ(first->Size(), 100);
    first->Outcome().SetFailed(L"in use");
    first->Outcome().SetRemoved(); // a later attempt that succeeds clears the error
    EXPECT_EQ(first->Outcome().ErrorMessage(), L"");
    EXPECT_EQ(FList.AddDir(L"C:\\App\\App.exe"), first);

    TFRFile* folder = FList.AddDir(L"C:\\App\\");
    EXPECT_EQ(FList.AddDir(L"C:\\app\\"), folder);
    EXPECT_TRUE(folder->IsFolder());
    EXPECT_EQ(folder->Size(), 0);

    EXPECT_EQ(FList.Count(), 2u);
    EXPECT_EQ(FList.TotalFiles(), 1);
    EXPECT_EQ(FList.TotalSize(), 100);
    EXPECT_TRUE(FList.DirExists(L"C:\\APP\\"));
    EXPECT_TRUE(FList.DirExists(L"c:\\app\\app.exe"));
    EXPECT_FALSE(FList.DirExists(L"C:\\App"));
}

TEST_F(FileListTest, FilesAreFoundByNameTheFirstOfANameWinsAndFoldersAreNotFiles) {
    TFRFile* first = FList.AddFile(L"C:\\App\\tool.dll", 10);
    FList.AddFile(L"C:\\App\\Sub\\TOOL.DLL", 20);
    FList.AddDir(L"C:\\App\\Data\\");
    FList.AddDir(L"C:\\App\\Data");

    EXPECT_EQ(FList.FindFile(L"Tool.dll"), first);
    EXPECT_EQ(FList.FindFile(L"tool.dll", 10), first);
    // Only the first file of a name is looked at.
    EXPECT_EQ(FList.FindFile(L"tool.dll", 20), nullptr);
    EXPECT_EQ(FList.FindFile(L"Data"), nullptr);
    EXPECT_EQ(FList.FindFile(L"missing.dll"), nullptr);
    EXPECT_EQ(FList.TotalFiles(), 2);
    EXPECT_EQ(FList.TotalSize(), 30);
}

TEST(SharedDlls, ADllOthersHoldStaysAndEveryDllMetIsCountedDownAfterTheRemoval) {
    TFRSharedDlls shared(
        std::make_unique<TSharedDllMap>(TSharedDllMap::TCounts{{L"C:\\Common\\held.dll", 3},
                                                               {L"C:\\Common\\last.dll", 1},
                                                               {L"C:\\Common\\nocount.dll", std::nullopt},
                                                               {L"C:\\Common\\untouched.dll", 5}}));
    TFRFileList list(shared);

    EXPECT_EQ(list.AddFile(L"C:\\COMMON\\HELD.DLL", 1), nullptr);
    EXPECT_EQ(list.AddFile(L"C:\\Common\\held.dll", 1), nullptr);
    EXPECT_NE(list.AddFile(L"C:\\Common\\last.dll", 1), nullptr);
    EXPECT_NE(list.AddFile(L"C:\\Common\\nocount.dll", 1), nullptr);
    EXPECT_NE(list.AddFile(L"C:\\App\\own.dll", 1), nullptr);
    EXPECT_EQ(list.Count(), 3u);

    TChangeLines strategy;
    shared.Recalculate(strategy);
    // Met twice (named as first met), lowered once; the others are gone; what the scan did not meet stays.
    const std::wstring key =
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\";
    EXPECT_THAT(strategy.Lines, UnorderedElementsAre(L"write " + key + L"C:\\COMMON\\HELD.DLL=2",
                                                     L"value " + key + L"C:\\Common\\last.dll",
                                                     L"value " + key + L"C:\\Common\\nocount.dll"));
    // Reset forgets what was met.
    strategy.Lines.clear();
    shared.Reset();
    shared.Recalculate(strategy);
    EXPECT_THAT(strategy.Lines, IsEmpty());
}
