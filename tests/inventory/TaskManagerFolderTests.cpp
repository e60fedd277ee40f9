// Folder measurement under Windows: the tree C:\VelmoraSizeTree laid out by
// size-tree.sh holds a linked folder (a reparse point) that must add nothing,
// and a measured size goes back to the item's uninstall key.
#include "inventory/ItemProduct.h"
#include "inventory/TaskManager.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <thread>

namespace velmora {
namespace {

const std::wstring TreeRoot = L"C:\\VelmoraSizeTree";
const std::wstring Measured = TreeRoot + L"\\measured";

class TSizedItem : public TItemProduct {
public:
    TSizedItem(std::wstring folder, std::wstring keyText) : TItemProduct(nullptr) {
        FInstallLocation = std::move(folder);
        FRegistryKeys = {std::move(keyText)};
    }
    int64_t Size() { return std::get<int64_t>(GetInfo(14)); }

protected:
    void ReadFastData() override {}
};

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

class FolderSizeUnderWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(AttributesInListing(Measured, L"folder-link"), INVALID_FILE_ATTRIBUTES)
            << "the tree is laid out by size-tree.sh (the test's fixture)";
        CreateDirectoryW((Measured + L"\\sub").c_str(), nullptr);
        WriteFile(Measured + L"\\a.bin", 3000);
        WriteFile(Measured + L"\\sub\\b.bin", 4192);
    }
    static constexpr int64_t OwnSize = 3000 + 4192;
};

TEST_F(FolderSizeUnderWindows, LinkedFolderIsAReparsePointThatAddsNothing) {
    const DWORD link = AttributesInListing(Measured, L"folder-link");
    EXPECT_EQ(link & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    // The link itself can be walked: it is skipped by rule, not by accident.
    EXPECT_EQ(MeasureFolderSize(Measured + L"\\folder-link"), 50000);
    EXPECT_EQ(MeasureFolderSize(Measured), OwnSize);
    EXPECT_EQ(MeasureFolderSize(Measured + L"\\"), OwnSize);
    EXPECT_EQ(MeasureFolderSize(TreeRoot), OwnSize + 50000) << "the target counts once, where it lies";
}

// A directory link made by Windows code is not followed. (Wine 8 answers
// success but makes no link: nothing to show there.)
TEST_F(FolderSizeUnderWindows, SymbolicLinkMadeByWindowsAddsNothing) {
    const std::wstring link = Measured + L"\\windows-link";
    CreateSymbolicLinkW(link.c_str(), (TreeRoot + L"\\outside").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the system made no symbolic link";
    EXPECT_EQ(MeasureFolderSize(Measured), OwnSize);
    RemoveDirectoryW(link.c_str());
}

TEST_F(FolderSizeUnderWindows, MeasuredSizeIsWrittenToTheUninstallKey) {
    const std::wstring path = L"Software\\VelmoraTests\\TaskSize" + std::to_wstring(GetCurrentProcessId());
    TRegKey::Create(TRegRoot::CurrentUser, path, KEY_ALL_ACCESS);
    TSizedItem item(Measured, RegistryKeyToStr(TRegView::Default, TRegRoot::CurrentUser, path));
    {
        TTaskManager queue;
        queue.Queue(&item);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (queue.ActiveThreads() > 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        queue.WaitQueue(&item);
    }
    EXPECT_EQ(item.Size(), OwnSize);
    EXPECT_TRUE(item.TakeChanged());
    TRegKey key = TRegKey::Open(TRegRoot::CurrentUser, path, KEY_READ);
    ASSERT_TRUE(key);
    EXPECT_EQ(key.ReadNumber(L"EstimatedSize"), std::optional<DWORD>(OwnSize / 1024));
    DeleteKey(TRegRoot::CurrentUser, path);
}

} // namespace
} // namespace velmora
