// RekovaHelper.dll through its exports, for what the forced removal's backup
// tests do not show: times, handles, busy sets, failed restores, the store's
// limit. Files live in a temporary folder of their own, keys under HKCU
// Software\VelmoraTests\Rekova-<process>; all are removed afterwards, with
// every set a test made.
#include "tests/components/LoadedComponent.h"
#include "api/Interfaces.Procyra.h"
#include "api/Interfaces.Rekova.h"
#include "platform/RekovaSettings.h"

#include <map>

namespace velmora {
namespace {

namespace fs = std::filesystem;

const std::wstring TestKey =
    Format(L"Software\\VelmoraTests\\Rekova-%d", static_cast<int>(GetCurrentProcessId()));

// Attributes and the three times of each entry, as text.
std::map<std::wstring, std::wstring> ReadEntries(const std::vector<std::wstring>& paths) {
    auto time = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    std::map<std::wstring, std::wstring> entries;
    WIN32_FILE_ATTRIBUTE_DATA d;
    for (const std::wstring& path : paths)
        if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d))
            entries[path] = Format(L"attributes %d, created %d, accessed %d, written %d", d.dwFileAttributes,
                                   time(d.ftCreationTime), time(d.ftLastAccessTime), time(d.ftLastWriteTime));
    return entries;
}

// Reading sets the access time: read a file only once its times are taken.
std::string ReadContent(const std::wstring& path) {
    std::ifstream file(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Answers every call with its decision and counts the calls.
struct TFreeSpaceAnswer : TInterfacedObject<IRekovaFreeSpaceCallback> {
    explicit TFreeSpaceAnswer(bool skip) : Skip(skip) {}
    HRESULT STDMETHODCALLTYPE OnStoreFull(int32_t, bool* SkipBackup) override {
        ++Calls;
        *SkipBackup = Skip;
        return S_OK;
    }
    const bool Skip;
    int Calls = 0;
};

class Rekova : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FComponent.Module) << "RekovaHelper.dll not found beside the test";
        ASSERT_EQ(FComponent.GetInstance(__uuidof(IRekova), reinterpret_cast<void**>(FRekova.put())), S_OK);
        ASSERT_EQ(FRekova->GetFileAccess(FFiles.put()), S_OK);
        ASSERT_EQ(FRekova->GetRegistryAccess(FRegistry.put()), S_OK);
        fs::create_directories(FRoot);
    }
    void TearDown() override {
        if (FRekova->IsBackupSetOpen())
            FRekova->EndBackupSet(false);
        for (const std::wstring& id : FSets)
            EXPECT_EQ(FRekova->DeleteSet(id.c_str()), S_OK);
        std::error_code ignored;
        for (auto& entry : fs::recursive_directory_iterator(FRoot, ignored))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(FRoot, ignored);
        DeleteKey(HKEY_CURRENT_USER, TestKey);
        // Its access objects keep the component loaded.
        FRekova.reset();
        EXPECT_EQ(FComponent.CanUnloadNow(), S_FALSE);
        FFiles.reset();
        FRegistry.reset();
        EXPECT_EQ(FComponent.CanUnloadNow(), S_OK);
    }

    std::wstring Begin() {
        BSTR id = nullptr;
        EXPECT_EQ(FRekova->BeginBackupSet(L"test set", L"made by a test", 0, &id), S_OK);
        FSets.push_back(TakeText(id));
        return FSets.back();
    }
    HRESULT Restore(const std::wstring& id, std::wstring* report = nullptr) {
        BSTR text = nullptr;
        HRESULT result = FRekova->RestoreSet(id.c_str(), &text);
        std::wstring lines = TakeText(text);
        if (report)
            *report = lines;
        return result;
    }
    std::wstring Status(const std::wstring& id) {
        TComPtr<IRekovaSet> set;
        EXPECT_EQ(FRekova->FindSet(id.c_str(), set.put()), S_OK);
        BSTR status = nullptr;
        if (set)
            set->GetStatus(&status);
        return TakeText(status);
    }
    std::wstring LastError() {
        BSTR text = nullptr;
        FRekova->GetLastErrorText(&text);
        return TakeText(text);
    }
    std::wstring Path(const wchar_t* relative) const { return (FRoot / relative).wstring(); }
    void WriteFile(const std::wstring& path, const std::string& content) const {
        std::ofstream(fs::path(path), std::ios::binary) << content;
    }
    static void SetTimes(const std::wstring& path, uint64_t base) {
        unique_file entry(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        FILETIME created{static_cast<DWORD>(base + 1234567), 0x01D0A000};
        FILETIME accessed{static_cast<DWORD>(base + 2345671), 0x01D7B000};
        FILETIME written{static_cast<DWORD>(base + 3456712), 0x01D6C000};
        ASSERT_TRUE(SetFileTime(entry.get(), &created, &accessed, &written));
    }
    TLoadedComponent FComponent{L"RekovaHelper.dll"};
    TComPtr<IRekova> FRekova;
    TComPtr<IFileAccess> FFiles;
    TComPtr<IRegistryAccess> FRegistry;
    std::vector<std::wstring> FSets;
    fs::path FRoot = fs::path(TempFolder()) / Format(L"rekova-%d", static_cast<int>(GetCurrentProcessId()));
};

// The restored content, attributes and registry values of a whole program are
// the forced removal's backup test (ForceRemoveBackup); here the times, the
// handles the interface is given and the set's lock while it is open.
TEST_F(Rekova, DeletedFolderTimesAndChangedValuesComeBackExactly) {
    // Nested folders holding a read-only file, all with set times; the
    // innermost folder alone is the first change in its parent.
    std::vector<std::wstring> folders = {Path(L"Tree"), Path(L"Tree\\Sub"), Path(L"Tree\\Sub\\Empty")};
    const std::wstring file = Path(L"Tree\\read-only.txt");
    fs::create_directories(fs::path(folders.back()));
    WriteFile(file, "read-only text\r\n");
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    SetTimes(file, 0);
    for (size_t i = folders.size(); i-- > 0;)
        SetTimes(folders[i], 100 + i * 10);
    std::vector<std::wstring> entries = folders;
    entries.push_back(file);
    auto filesBefore = ReadEntries(entries);

    // A value changed and an empty key deleted (values and keys with values
    // deleted are the forced removal's; it adds none).
    TRegKey key = TRegKey::Create(HKEY_CURRENT_USER, TestKey);
    key.CreateSubKey(L"Empty");
    key.WriteNumber(L"Changed", 1);
    const DWORD two = 2;
    auto change = [&](HKEY handle) {
        return FRegistry->RegSetValueExW(handle, L"Changed", 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&two), sizeof(two));
    };
    EXPECT_EQ(change(key.Handle()), ERROR_INVALID_STATE) << "no set is open";

    std::wstring id = Begin();
    ASSERT_EQ(FFiles->SetAttributes(file.c_str(), FILE_ATTRIBUTE_NORMAL), S_OK);
    ASSERT_EQ(FFiles->RemoveFile(file.c_str()), S_OK);
    for (size_t i = folders.size(); i-- > 0;) // the innermost named with a trailing "\"
        ASSERT_EQ(FFiles->RemoveFolder((folders[i] + (i == 2 ? L"\\" : L"")).c_str()), S_OK);
    // A handle the interface did not open is named by the kernel; one that
    // nobody can name is refused, not changed unrecorded.
    ASSERT_EQ(change(key.Handle()), ERROR_SUCCESS);
    EXPECT_EQ(change(reinterpret_cast<HKEY>(0x7ff0)), ERROR_INVALID_HANDLE);
    ASSERT_EQ(FRegistry->RegDeleteKeyW(HKEY_CURRENT_USER, (TestKey + L"\\Empty").c_str()), ERROR_SUCCESS);
    // Open, the set is in use for another root object as for another process.
    TComPtr<IRekova> other;
    ASSERT_EQ(FComponent.GetInstance(__uuidof(IRekova), reinterpret_cast<void**>(other.put())), S_OK);
    BSTR refused = nullptr;
    EXPECT_EQ(other->RestoreSet(id.c_str(), &refused), HRESULT_FROM_WIN32(ERROR_BUSY));
    SysFreeString(refused);
    EXPECT_EQ(other->DeleteSet(id.c_str()), HRESULT_FROM_WIN32(ERROR_BUSY));
    ASSERT_EQ(FRekova->EndBackupSet(true), S_OK);
    ASSERT_FALSE(fs::exists(FRoot / L"Tree"));
    EXPECT_EQ(Status(id), L"successful");

    std::wstring report;
    ASSERT_EQ(Restore(id, &report), S_OK) << LastError();
    EXPECT_NE(report.find(file), std::wstring::npos) << report;
    EXPECT_EQ(ReadEntries(entries), filesBefore);
    EXPECT_EQ(ReadContent(file), "read-only text\r\n");
    EXPECT_EQ(key.ReadNumber(L"Changed"), 1u);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TestKey + L"\\Empty"));
    EXPECT_EQ(Status(id), L"restored");

    // Below HKEY_CLASSES_ROOT the user's class key goes and comes back, the machine's stays.
    const std::wstring className = Format(L"VelmoraTests.Rekova-%d", static_cast<int>(GetCurrentProcessId()));
    const std::wstring classKey = L"Software\\Classes\\" + className;
    TRegKey::Create(HKEY_CURRENT_USER, classKey).WriteString(L"", L"user's");
    TRegKey::Create(HKEY_LOCAL_MACHINE, classKey).WriteString(L"", L"machine's");
    const std::wstring classSet = Begin();
    EXPECT_EQ(FRegistry->RegDeleteKeyW(HKEY_CLASSES_ROOT, className.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(FRekova->EndBackupSet(true), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, classKey));
    EXPECT_EQ(TRegKey::Open(HKEY_LOCAL_MACHINE, classKey).ReadString(L""), L"machine's");
    EXPECT_EQ(Restore(classSet), S_OK) << LastError();
    EXPECT_EQ(TRegKey::Open(HKEY_CURRENT_USER, classKey).ReadString(L""), L"user's");
    DeleteKey(HKEY_CURRENT_USER, classKey);
    DeleteKey(HKEY_LOCAL_MACHINE, classKey);
}

TEST_F(Rekova, RestoreGoesOnPastWhatItCannotGiveBackAndADeletedSetLeavesNothing) {
    std::wstring folder = Path(L"Made"), file = Path(L"kept.txt");
    WriteFile(file, "kept");
    std::wstring id = Begin();
    ASSERT_EQ(FFiles->RemoveFile(file.c_str()), S_OK);
    ASSERT_EQ(FFiles->CreateFolder(folder.c_str()), S_OK);
    ASSERT_EQ(FFiles->CopyEntry(file.c_str(), (folder + L"\\copy.txt").c_str(), true),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(FFiles->CreateFolder((folder + L"\\Inner").c_str()), S_OK);
    // The failed copy left no record: the file and its folder, the new
    // folder, then the new folder's state and the folder made in it.
    EXPECT_EQ(FRekova->GetOpenSetRecordCount(), 5);
    ASSERT_EQ(FRekova->EndBackupSet(true), S_OK);
    // Something the set did not make keeps the new folder from being removed.
    WriteFile(folder + L"\\foreign.txt", "foreign");

    EXPECT_EQ(Restore(id), HRESULT_FROM_WIN32(ERROR_PARTIAL_COPY));
    EXPECT_NE(LastError().find(L"new-folder " + folder), std::wstring::npos) << LastError();
    EXPECT_EQ(ReadContent(file), "kept");
    EXPECT_EQ(Status(id), L"successful") << "may be restored again";

    // Deleting the set leaves nothing in the store.
    BSTR store = nullptr;
    FRekova->GetStoreFolder(&store);
    fs::path setFolder = fs::path(TakeText(store)) / id;
    ASSERT_TRUE(fs::exists(setFolder));
    ASSERT_EQ(FRekova->DeleteSet(id.c_str()), S_OK);
    FSets.clear();
    TComPtr<IRekovaSet> gone;
    EXPECT_EQ(FRekova->FindSet(id.c_str(), gone.put()), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    EXPECT_FALSE(fs::exists(setFolder));

    // A folder recorded as a junction comes back as one, never as a plain
    // folder; Wine makes no junction, so its record is written as Windows gives it.
    const std::wstring link = Path(L"Link"), target = Path(L"Target");
    fs::create_directories(link);
    fs::create_directories(target);
    const std::wstring linkSet = Begin();
    ASSERT_EQ(FFiles->RemoveFolder(link.c_str()), S_OK);
    ASSERT_EQ(FRekova->EndBackupSet(true), S_OK);
    const std::wstring manifestPath = (setFolder.parent_path() / linkSet / L"manifest.txt").wstring();
    std::string manifest = ReadContent(manifestPath);
    const size_t line = manifest.find(Narrow(L"\tfolder\t" + link + L"\t"));
    ASSERT_NE(line, std::string::npos) << manifest;
    manifest.insert(manifest.find("\r\n", line), Narrow(L"\tlink=\\??\\" + target + L"\tlinkkind=junction"));
    WriteFile(manifestPath, manifest);
    std::wstring report;
    const HRESULT restored = Restore(linkSet, &report);
    const DWORD attributes = GetFileAttributesW(link.c_str());
    EXPECT_TRUE(restored == S_OK
                    ? attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    : LastError().find(L"cannot make it the link") != std::wstring::npos)
        << report << LastError();
    RemoveDirectoryW(link.c_str());
}

// A full store answered by the library's callback is the forced removal's
// backup test (ForceRemoveBackup) and the console's (ConsoleFrontEnd): the
// removal going on without backup, its set incomplete, or ended. Here the
// limit's lower bound, and that a set asks once: a kept backup refuses every
// change that does not fit, a skipped one leaves every later change unrecorded.
// Limit 1 MiB, a file of 2 MiB: it never fits.
TEST_F(Rekova, AFullStoreAsksOncePerSetAndRefusesOrRecordsNothingMore) {
    // The limit the suite had before, written back however the test ends.
    struct TPreviousLimit {
        const int64_t Limit = RekovaSettings::StoreLimit();
        ~TPreviousLimit() { RekovaSettings::SetStoreLimit(Limit); }
    } previous;
    ASSERT_EQ(FRekova->SetStoreLimit(1024 * 1024 - 1), E_INVALIDARG);
    ASSERT_EQ(FRekova->SetStoreLimit(1024 * 1024), S_OK);
    const std::wstring big = Path(L"big.bin"), small = Path(L"small.txt");
    WriteFile(big, std::string(2 * 1024 * 1024, 'x'));
    WriteFile(small, "small");
    for (bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "skipped" : "kept");
        auto answer = MakeCom<TFreeSpaceAnswer, IRekovaFreeSpaceCallback>(skip);
        FRekova->SetFreeSpaceCallback(answer.get());
        const std::wstring id = Begin();
        const HRESULT expected = skip ? S_OK : RK_E_STORE_FULL;
        EXPECT_EQ(FFiles->RemoveFile(big.c_str()), expected);
        EXPECT_EQ(FFiles->RemoveFile((skip ? small : big).c_str()), expected);
        EXPECT_EQ(fs::exists(fs::path(big)), !skip);
        EXPECT_EQ(FRekova->GetOpenSetRecordCount(), 0);
        EXPECT_EQ(Status(id), skip ? L"incomplete" : L"open");
        EXPECT_EQ(FRekova->EndBackupSet(true), S_OK);
        EXPECT_EQ(static_cast<TFreeSpaceAnswer*>(answer.get())->Calls, 1);
    }
    FRekova->SetFreeSpaceCallback(nullptr);
}

} // namespace
} // namespace velmora
