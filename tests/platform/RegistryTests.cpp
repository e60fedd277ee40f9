#include "platform/Registry.h"

#include "tests/TestThread.h"
#include "tests/platform/TestKey.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// A fresh key of the test; deleting it, with what the test wrote, succeeds.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FKey) << FKey.Status(); }
    void TearDown() override {
        FKey = {};
        EXPECT_TRUE(DeleteKey(TRegRoot::CurrentUser, FPath));
    }
    const velmora::testing::TUserTestKey FTestKey{L"Registry"};
    const std::wstring& FPath = FTestKey.Path;
    TRegKey FKey = TRegKey::Create(TRegRoot::CurrentUser, FPath);
};

} // namespace

TEST_F(RegistryTest, TypedReadersAnswerOnlyForTheirOwnTypeAlsoFromTheCache) {
    const BYTE bytes[] = {1, 2, 3};
    ASSERT_TRUE(FKey.WriteString(L"sz", L"plain"));
    ASSERT_TRUE(FKey.WriteExpandString(L"expand", L"%SystemRoot%\\x"));
    ASSERT_TRUE(FKey.WriteNumber(L"dword", 42));
    ASSERT_TRUE(FKey.WriteMultiString(L"multi", {L"", L"a", L"b"}));
    ASSERT_TRUE(FKey.WriteBinary(L"binary", bytes, sizeof bytes));
    ASSERT_TRUE(FKey.WriteString(L"big", std::wstring(70000, L'x')));

    TRegKey cached = TRegKey::Open(TRegRoot::CurrentUser, FPath, KEY_READ | KEY_WRITE);
    cached.CacheValues();
    for (const TRegKey* key : {&FKey, &cached}) {
        SCOPED_TRACE(key == &cached ? "cached" : "live");
        EXPECT_EQ(key->ReadString(L"SZ"), L"plain");
        EXPECT_EQ(key->ReadString(L"expand"), std::nullopt);
        EXPECT_EQ(key->ReadText(L"expand"), L"%SystemRoot%\\x");
        EXPECT_EQ(key->ReadNumber(L"dword"), 42u);
        EXPECT_EQ(key->ReadNumber(L"sz"), std::nullopt);
        EXPECT_EQ(key->ReadMultiString(L"multi"), (std::vector<std::wstring>{L"a", L"b"}));
        EXPECT_EQ(key->ReadBinary(L"binary"), (std::vector<BYTE>{1, 2, 3}));
        EXPECT_EQ(key->ReadString(L"big"), std::wstring(70000, L'x'));
        EXPECT_EQ(key->ReadString(L"missing"), std::nullopt);
    }
}

TEST_F(RegistryTest, RangesSeeEveryNameDeleteRemovesAWholeTreeAndAMissingKeyIsEmpty) {
    std::vector<std::wstring> keys{L"alpha", L"keep", std::wstring(255, L'k')};
    for (const auto& k : keys)
        ASSERT_TRUE(FKey.CreateSubKey(k));
    ASSERT_TRUE(FKey.CreateSubKey(L"alpha\\b\\c"));
    std::vector<std::wstring> values{L"", L"one", std::wstring(300, L'v')};
    for (const auto& v : values)
        ASSERT_TRUE(FKey.WriteNumber(v, 1));
    EXPECT_EQ(Sorted(FKey.SubKeyNames().ToVector()), Sorted(keys));
    EXPECT_EQ(Sorted(FKey.ValueNames().ToVector()), Sorted(values));

    EXPECT_TRUE(FKey.DeleteSubKey(L"alpha"));
    EXPECT_FALSE(KeyExists(TRegRoot::CurrentUser, FPath + L"\\alpha"));
    EXPECT_FALSE(DeleteKey(TRegRoot::CurrentUser, FPath + L"\\missing"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    TRegKey missing = TRegKey::Open(TRegRoot::CurrentUser, FPath + L"\\missing");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.Status(), ERROR_FILE_NOT_FOUND);
}

// Armed here, or for any thread on a thread that has ended since; the key
// armed again after it fired sees the next change.
TEST_F(RegistryTest, NotificationFiresOnChangesInSubkeys) {
    unique_event event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TRegKey sub = FKey.CreateSubKey(L"sub");
    TRegKey watched = TRegKey::Open(TRegRoot::CurrentUser, FPath, KEY_NOTIFY | KEY_READ);
    for (DWORD value : {2, 3}) {
        ResetEvent(event.get());
        bool armed = false;
        if (value == 2)
            armed = watched.NotifyChange(event.get());
        else
            std::thread([&] { armed = watched.NotifyChangeAnyThread(event.get()); }).join();
        ASSERT_TRUE(armed) << value;
        EXPECT_EQ(WaitForSingleObject(event.get(), 100), DWORD(WAIT_TIMEOUT)) << value;
        ASSERT_TRUE(sub.WriteNumber(L"deep", value));
        EXPECT_EQ(WaitForSingleObject(event.get(), 5000), DWORD(WAIT_OBJECT_0)) << value;
    }
}

TEST(RegistryViews, LocalMachineSoftwareIsSeparatePerView) {
    const std::wstring path = L"Software\\VelmoraTests\\" + velmora::testing::UniqueName(L"Views");
    auto bits = [&](TRegRoot root, TRegView view, std::wstring_view keyPath) {
        return TRegKey::Open(root, keyPath, KEY_READ, view).ReadString(L"bits").value_or(L"none");
    };
    for (TRegView view : {TRegView::x32, TRegView::x64})
        ASSERT_TRUE(TRegKey::Create(TRegRoot::LocalMachine, path, KEY_WRITE, view)
                        .WriteString(L"bits", view == TRegView::x32 ? L"32" : L"64"));
    EXPECT_EQ(bits(TRegRoot::LocalMachine, TRegView::x32, path), L"32");
    EXPECT_EQ(bits(TRegRoot::LocalMachine, TRegView::x64, path), L"64");
    EXPECT_EQ(bits(TRegRoot::LocalMachine, TRegView::x64, L"Software\\Wow6432Node" + path.substr(8)), L"32");
    // A subkey opened from a key stays in its view.
    EXPECT_EQ(TRegKey::Open(TRegRoot::LocalMachine, path, KEY_WRITE, TRegView::x64)
                  .CreateSubKey(L"child")
                  .KeyText(),
              L"(x64)HKEY_LOCAL_MACHINE\\" + path + L"\\child");
    EXPECT_FALSE(TRegKey::Open(TRegRoot::LocalMachine, path, KEY_READ, TRegView::x32).OpenSubKey(L"child"));
    // A typed key opens in its view; a trailing separator of its path names the same key.
    EXPECT_EQ(
        TRegKey::Open(TRegistryKey{TRegView::x32, TRegRoot::LocalMachine, path + L"\\"}).ReadString(L"bits"),
        L"32");
    for (TRegView view : {TRegView::x32, TRegView::x64})
        EXPECT_TRUE(DeleteKey(TRegRoot::LocalMachine, path, view));
}

// A walk reads each key's values and subkeys once; keys made from it answer
// from what it read, also after the registry has changed.
TEST_F(RegistryTest, KeysReadByAWalkAnswerFromTheWalkAndAWalkStopsWhenAsked) {
    ASSERT_TRUE(FKey.WriteString(L"DisplayName", L"Walked"));
    ASSERT_TRUE(FKey.WriteNumber(L"EstimatedSize", 7));
    ASSERT_TRUE(FKey.CreateSubKey(L"InstallProperties").WriteString(L"Publisher", L"Inner"));
    ASSERT_TRUE(FKey.CreateSubKey(L"Features\\Deep").WriteString(L"Skipped", L"x"));
    const TRegistryKey name{TRegView::Default, TRegRoot::CurrentUser, FPath};
    auto snapshot = WalkRegistryKey(
        name, [](size_t depth, std::wstring_view subKey) { return depth == 1 && subKey != L"Features"; });
    ASSERT_NE(snapshot, nullptr);
    EXPECT_TRUE(snapshot->ValuesRead && snapshot->SubKeysRead);
    const FILETIME written = *TRegKey::Open(name).LastWriteTime();
    EXPECT_EQ((static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime,
              snapshot->LastWriteTime);
    auto features = snapshot->FindSubKey(L"Features");
    ASSERT_NE(features, nullptr);
    EXPECT_FALSE(features->ValuesRead || features->SubKeysRead);
    EXPECT_NE(features->LastWriteTime, 0u);

    ASSERT_TRUE(FKey.WriteString(L"DisplayName", L"Changed since"));
    ASSERT_TRUE(FKey.DeleteValue(L"EstimatedSize"));
    ASSERT_TRUE(TRegKey::Open(TRegRoot::CurrentUser, FPath + L"\\InstallProperties", KEY_WRITE)
                    .WriteString(L"Publisher", L"Changed since"));
    ASSERT_TRUE(FKey.CreateSubKey(L"Added"));

    TRegKey walked = TRegKey::FromSnapshot(snapshot, name);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked.KeyText(), L"HKEY_CURRENT_USER\\" + FPath);
    EXPECT_EQ(walked.ReadString(L"displayname"), L"Walked");
    EXPECT_EQ(walked.ReadNumber(L"EstimatedSize"), 7u);
    EXPECT_EQ(walked.KeyInfo()->ValueCount, 2u);
    EXPECT_EQ(Sorted(walked.SubKeyNames().ToVector()), Sorted({L"Features", L"InstallProperties"}));
    EXPECT_EQ(Sorted(walked.ValueNames().ToVector()), Sorted({L"DisplayName", L"EstimatedSize"}));
    EXPECT_EQ(walked.OpenSubKey(L"InstallProperties").ReadString(L"Publisher"), L"Inner");
    // Missing as the walk saw it; a subkey it did not go into is read from the registry.
    EXPECT_FALSE(walked.OpenSubKey(L"Added"));
    EXPECT_EQ(walked.OpenSubKey(L"Features\\Deep").ReadString(L"Skipped"), L"x");
    // Not written through: a walked key has no handle.
    EXPECT_FALSE(walked.WriteString(L"DisplayName", L"x"));
    EXPECT_EQ(TRegKey::FromSnapshot(nullptr, name).Status(), ERROR_FILE_NOT_FOUND);

    // A walk ends between keys when its thread is asked to stop.
    EXPECT_TRUE(velmora::testing::AbortsWhenStopped([&] { WalkRegistryKey(name); }));
    EXPECT_NE(WalkRegistryKey(name), nullptr) << "not stopped on a plain thread";
}
