// Folder measurement under Windows: the tree C:\VelmoraSizeTree laid out by
// size-tree.sh holds a linked folder (a reparse point) that must add nothing.
#include "inventory/TaskManager.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace velmora {
namespace {

const std::wstring TreeRoot = L"C:\\VelmoraSizeTree";
const std::wstring Measured = TreeRoot + L"\\measured";

void WriteFile(const std::wstring& path, DWORD bytes) {
    unique_handle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << "cannot create " << Narrow(path);
    std::string data(bytes, 'x');
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), data.data(), bytes, &written, nullptr));
}

DWORD AttributesInListing(const std::wstring& folder, std::wstring_view name) {
    for (const TFindData& entry : FindFiles(folder + L"\\*")) {
        if (entry.Name() == name)
            return entry.dwFileAttributes;
    }
    return INVALID_FILE_ATTRIBUTES;
}

TEST(FolderSizeUnderWindows, LinkedFolderIsAReparsePointThatAddsNothing) {
    const DWORD link = AttributesInListing(Measured, L"folder-link");
    ASSERT_NE(link, INVALID_FILE_ATTRIBUTES) << "the tree is laid out by size-tree.sh (the test's fixture)";
    CreateDirectoryW((Measured + L"\\sub").c_str(), nullptr);
    WriteFile(Measured + L"\\a.bin", 3000);
    WriteFile(Measured + L"\\sub\\b.bin", 4192);
    constexpr int64_t OwnSize = 3000 + 4192;

    EXPECT_EQ(link & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    // The link itself can be walked: it is skipped by rule, not by accident.
    EXPECT_EQ(MeasureFolderSize(Measured + L"\\folder-link"), 50000);
    EXPECT_EQ(MeasureFolderSize(Measured), OwnSize);
    EXPECT_EQ(MeasureFolderSize(TreeRoot), OwnSize + 50000) << "the target counts once, where it lies";
}

} // namespace
} // namespace velmora
