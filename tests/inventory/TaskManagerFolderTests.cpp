// Folder measurement under Windows: the tree C:\VelmoraSizeTree laid out by
// size-tree.sh holds a linked folder (a reparse point) that must add nothing;
// a stop request ends the walk.
#include "inventory/TaskManager.h"
#include "platform/Files.h"
#include "tests/TestThread.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace velmora {
namespace {

TEST(FolderSizeUnderWindows, LinkedFolderIsAReparsePointThatAddsNothing) {
    const std::wstring root = L"C:\\VelmoraSizeTree", measured = root + L"\\measured";
    DWORD link = INVALID_FILE_ATTRIBUTES;
    for (const TFindData& entry : FindFiles(measured + L"\\*"))
        if (entry.Name() == L"folder-link")
            link = entry.dwFileAttributes;
    ASSERT_NE(link, INVALID_FILE_ATTRIBUTES) << "the tree is laid out by size-tree.sh (the test's fixture)";
    EXPECT_EQ(link & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    std::filesystem::create_directory(measured + L"\\sub");
    std::ofstream(std::filesystem::path(measured + L"\\a.bin"), std::ios::binary) << std::string(3000, 'x');
    std::ofstream(std::filesystem::path(measured + L"\\sub\\b.bin"), std::ios::binary)
        << std::string(4192, 'x');
    constexpr int64_t OwnSize = 3000 + 4192;
    // The link itself can be walked: it is skipped by rule, not by accident.
    EXPECT_EQ(MeasureFolderSize(measured + L"\\folder-link"), 50000);
    EXPECT_EQ(MeasureFolderSize(measured), OwnSize);
    EXPECT_EQ(MeasureFolderSize(root), OwnSize + 50000) << "the target counts once, where it lies";

    // A stop request ends the walk at the next entry.
    EXPECT_TRUE(testing::AbortsWhenStopped([] { MeasureFolderSize(L"C:\\VelmoraSizeTree"); }));
}

} // namespace
} // namespace velmora
