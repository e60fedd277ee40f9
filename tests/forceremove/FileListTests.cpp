#include "forceremove/FileList.h"
#include "forceremove/RemoveStrategy.h"
#include "forceremove/SharedDlls.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <map>

using namespace velmora;

namespace {

// A shared-DLL list held in memory; names compare without regard to case,
// as registry value names do.
class TMemorySharedDlls : public TSharedDllCounts {
public:
    struct TTextLess {
        bool operator()(const std::wstring& a, const std::wstring& b) const { return CompareText(a, b) < 0; }
    };
    using TCounts = std::map<std::wstring, std::optional<int64_t>, TTextLess>;

    explicit TMemorySharedDlls(TCounts& counts) : FCounts(counts) {}
    std::vector<std::wstring> Paths() const override {
        std::vector<std::wstring> paths;
        for (const auto& entry : FCounts)
            paths.push_back(entry.first);
        return paths;
    }
    std::optional<int64_t> Count(const std::wstring& path) const override {
        auto found = FCounts.find(path);
        return found == FCounts.end() ? std::nullopt : found->second;
    }

private:
    TCounts& FCounts;
};

// Records the counter changes as the registry would end up with them.
class TCounterStrategy : public IRemoveStrategy {
public:
    explicit TCounterStrategy(TMemorySharedDlls::TCounts& counts) : FCounts(counts) {}
    void RemoveValue(TRegRoot root, const std::wstring& key, const std::wstring& name) override {
        CheckKey(root, key);
        FCounts.erase(name);
    }
    void WriteValue(TRegRoot root, const std::wstring& key, uint32_t value,
                    const std::wstring& name) override {
        CheckKey(root, key);
        FCounts[name] = value;
    }
    void RemoveDir(const std::wstring&) override { FAIL(); }
    void RemoveFile(const std::wstring&) override { FAIL(); }
    void RemoveKey(const TFRRegEntry&) override { FAIL(); }
    void RemoveService(const std::wstring&) override { FAIL(); }
    uint32_t FileGetAttr(const std::wstring&) override {
        ADD_FAILURE();
        return 0;
    }
    void FileSetAttr(const std::wstring&, uint32_t) override { FAIL(); }

private:
    static void CheckKey(TRegRoot root, const std::wstring& key) {
        EXPECT_EQ(root, TRegRoot::LocalMachine);
        EXPECT_EQ(key, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
    }
    TMemorySharedDlls::TCounts& FCounts;
};

class FileListTest : public testing::Test {
protected:
    TMemorySharedDlls::TCounts FCounts;
    TFRSharedDlls FShared{std::make_unique<TMemorySharedDlls>(FCounts)};
    TFRFileList FList{FShared};
};

} // namespace

TEST_F(FileListTest, APathListedTwiceInAnyCaseIsOneEntryCountedOnce) {
    TFRFile* first = FList.AddFile(L"C:\\App\\app.exe", 100);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(FList.AddFile(L"c:\\APP\\APP.EXE", 999), first);
    EXPECT_EQ(first->Size(), 100);
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

    FList.Clear();
    EXPECT_EQ(FList.Count(), 0u);
    EXPECT_EQ(FList.TotalFiles(), 0);
    EXPECT_EQ(FList.TotalSize(), 0);
    EXPECT_EQ(FList.FindFile(L"tool.dll"), nullptr);
    EXPECT_FALSE(FList.DirExists(L"C:\\App\\tool.dll"));
}

TEST(SharedDlls, ADllOthersHoldStaysAndEveryDllMetIsCountedDownAfterTheRemoval) {
    TMemorySharedDlls::TCounts counts{{L"C:\\Common\\held.dll", 3},
                                      {L"C:\\Common\\last.dll", 1},
                                      {L"C:\\Common\\nocount.dll", std::nullopt},
                                      {L"C:\\Common\\untouched.dll", 5}};
    TFRSharedDlls shared(std::make_unique<TMemorySharedDlls>(counts));
    TFRFileList list(shared);

    EXPECT_EQ(list.AddFile(L"C:\\COMMON\\HELD.DLL", 1), nullptr);
    EXPECT_EQ(list.AddFile(L"C:\\Common\\held.dll", 1), nullptr);
    EXPECT_NE(list.AddFile(L"C:\\Common\\last.dll", 1), nullptr);
    EXPECT_NE(list.AddFile(L"C:\\Common\\nocount.dll", 1), nullptr);
    EXPECT_NE(list.AddFile(L"C:\\App\\own.dll", 1), nullptr);
    EXPECT_EQ(list.Count(), 3u);

    TCounterStrategy strategy(counts);
    shared.Recalculate(strategy);
    // Met twice, lowered once; the others are gone; what the scan did not meet stays.
    EXPECT_EQ(counts,
              (TMemorySharedDlls::TCounts{{L"C:\\Common\\held.dll", 2}, {L"C:\\Common\\untouched.dll", 5}}));

    // Reset forgets what was met.
    shared.Reset();
    shared.Recalculate(strategy);
    EXPECT_EQ(counts[L"C:\\Common\\held.dll"], 2);
}
