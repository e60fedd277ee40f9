// Watching a folder and fingerprinting files, in a fresh scratch folder.
#include "platform/Files.h"

#include "platform/Module.h"
#include "platform/Sha256.h"
#include "tests/platform/ScratchKit.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

constexpr DWORD NameChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;
constexpr DWORD ChangeLimitMs = 10000;

} // namespace

TEST(FolderWatch, SignalsEachChangeOnceReArmedButNotForAMissingFolder) {
    const velmora::testing::TTempFolder scratch{L"VelmoraWatch"};
    const std::wstring folder = scratch.Path.wstring();
    unique_change_notification watch = FolderChangeNotification(folder, true, NameChanges);
    ASSERT_TRUE(watch) << GetLastError();
    EXPECT_EQ(WaitForSingleObject(watch.get(), 0), WAIT_TIMEOUT);

    scratch.File(L"first.txt");
    ASSERT_EQ(WaitForSingleObject(watch.get(), ChangeLimitMs), WAIT_OBJECT_0);
    ASSERT_TRUE(NextFolderChange(watch.get()));
    EXPECT_EQ(WaitForSingleObject(watch.get(), 0), WAIT_TIMEOUT);

    ASSERT_TRUE(CreateDirectoryW((folder + L"\\second").c_str(), nullptr));
    EXPECT_EQ(WaitForSingleObject(watch.get(), ChangeLimitMs), WAIT_OBJECT_0);

    // A missing folder cannot be watched.
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(FolderChangeNotification(folder + L"\\missing", true, NameChanges));
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(FileFingerprint, FingerprintsTellCopiesFromFilesOfTheSameSize) {
    const velmora::testing::TTempFolder scratch{L"VelmoraPrint"};
    auto write = [&](const wchar_t* name, const std::string& content) { return scratch.File(name, content); };
    const std::string content(100'000, 'a');
    auto original = FileFingerprint(write(L"original.exe", content));
    ASSERT_TRUE(original);
    EXPECT_EQ(original->Size, content.size());
    EXPECT_EQ(FileFingerprint(write(L"copy.exe", content)), original);
    std::string changed = content;
    changed[70'000] = 'b'; // past the first chunk read
    EXPECT_NE(FileFingerprint(write(L"other.exe", changed)), original);
    EXPECT_NE(FileFingerprint(write(L"longer.exe", content + "a")), original);
    // The digest is the file's SHA-256 (the package publisher ids check known digests).
    EXPECT_EQ(FileFingerprint(write(L"empty.exe", ""))->Digest, Sha256(""));
    EXPECT_FALSE(FileFingerprint(scratch.Path.wstring() + L"\\missing.exe"));
    // A running program's file can be read.
    EXPECT_TRUE(FileFingerprint(HostExecutableFileName()));
}
