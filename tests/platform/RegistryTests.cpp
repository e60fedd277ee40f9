#include "platform/Registry.h"

#include "platform/OSError.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>

using namespace velmora;

namespace {

std::wstring UniqueName() {
    GUID guid;
    EXPECT_EQ(CoCreateGuid(&guid), S_OK);
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

const wchar_t TestRoot[] = L"Software\\VelmoraTests";

void DeleteTestRootWhenEmpty(TRegRoot root, TRegView view) {
    if (!TRegKey::Open(root, TestRoot, KEY_READ, view).HasSubKeys())
        DeleteKey(root, TestRoot, view);
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// A fresh key HKCU\Software\VelmoraTests\{guid}, deleted afterwards.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override {
        FPath = std::wstring(TestRoot) + L"\\" + UniqueName();
        FKey = TRegKey::Create(TRegRoot::CurrentUser, FPath);
        ASSERT_TRUE(FKey) << FKey.Status();
    }
    void TearDown() override {
        FKey = {};
        EXPECT_TRUE(DeleteKey(TRegRoot::CurrentUser, FPath));
        DeleteTestRootWhenEmpty(TRegRoot::CurrentUser, TRegView::Default);
    }
    void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExW(FKey.Handle(), name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    std::wstring FPath;
    TRegKey FKey;
};

} // namespace

TEST_F(RegistryTest, TypedReadersAnswerOnlyForTheirOwnTypeAlsoFromTheCache) {
    const BYTE bytes[] = {1, 2, 3};
    ASSERT_TRUE(FKey.WriteString(L"sz", L"plain"));
    ASSERT_TRUE(FKey.WriteExpandString(L"expand", L"%SystemRoot%\\x"));
    ASSERT_TRUE(FKey.WriteNumber(L"dword", 42));
    ASSERT_TRUE(FKey.WriteMultiString(L"multi", {L"", L"a", L"b"}));
    ASSERT_TRUE(FKey.WriteBinary(L"binary", bytes, sizeof bytes));
    WriteRaw(L"short", REG_DWORD, bytes, 2);

    TRegKey cached = TRegKey::Open(TRegRoot::CurrentUser, FPath, KEY_READ | KEY_WRITE);
    cached.CacheValues();
    for (const TRegKey* key : {&FKey, &cached}) {
        SCOPED_TRACE(key == &cached ? "cached" : "live");
        EXPECT_EQ(key->ReadString(L"SZ"), L"plain");
        EXPECT_EQ(key->ReadString(L"expand"), std::nullopt);
        EXPECT_EQ(key->ReadText(L"expand"), L"%SystemRoot%\\x"); // not expanded
        EXPECT_EQ(key->ReadText(L"multi"), std::nullopt);
        EXPECT_EQ(key->ReadNumber(L"dword"), 42u);
        EXPECT_EQ(key->ReadNumber(L"sz"), std::nullopt);
        EXPECT_EQ(key->ReadNumber(L"short"), std::nullopt);
        EXPECT_EQ(key->ReadMultiString(L"multi"), (std::vector<std::wstring>{L"a", L"b"}));
        EXPECT_EQ(key->ReadBinary(L"binary"), (std::vector<BYTE>{1, 2, 3}));
        EXPECT_EQ(key->ReadString(L"missing"), std::nullopt);
    }
    ASSERT_TRUE(cached.WriteString(L"sz", L"changed"));
    EXPECT_EQ(cached.ReadString(L"sz"), L"plain") << "the copy of the walk";
    EXPECT_EQ(FKey.ReadString(L"sz"), L"changed");

    EXPECT_TRUE(FKey.DeleteValue(L"sz"));
    EXPECT_FALSE(FKey.DeleteValue(L"sz"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryTest, StringsAreReadWhateverTheirTerminationAndLength) {
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    WriteRaw(L"noterm", REG_SZ, unterminated, sizeof unterminated);
    EXPECT_EQ(FKey.ReadString(L"noterm"), L"abc");
    const BYTE odd[] = {'a', 0, 'b', 0, 'c'};
    WriteRaw(L"odd", REG_SZ, odd, sizeof odd);
    EXPECT_EQ(FKey.ReadString(L"odd"), L"ab");
    std::wstring big(70000, L'x');
    ASSERT_TRUE(FKey.WriteString(L"big", big));
    EXPECT_EQ(FKey.ReadString(L"big"), big);
    const wchar_t multiStops[] = {L'a', 0, 0, L'b', 0, 0};
    WriteRaw(L"stops", REG_MULTI_SZ, multiStops, sizeof multiStops);
    EXPECT_EQ(FKey.ReadMultiString(L"stops"), (std::vector<std::wstring>{L"a"}));
}

TEST_F(RegistryTest, RangesSeeEveryNameAndDeleteRemovesAWholeTreeButNeverARoot) {
    std::vector<std::wstring> keys{L"alpha", L"keep", std::wstring(255, L'k')};
    for (const auto& k : keys)
        ASSERT_TRUE(FKey.CreateSubKey(k));
    ASSERT_TRUE(FKey.CreateSubKey(L"alpha\\b\\c"));
    std::vector<std::wstring> values{L"", L"one", std::wstring(300, L'v')};
    for (const auto& v : values)
        ASSERT_TRUE(FKey.WriteNumber(v, 1));
    EXPECT_EQ(Sorted(FKey.SubKeyNames().ToVector()), Sorted(keys));
    EXPECT_EQ(Sorted(FKey.ValueNames().ToVector()), Sorted(values));
    EXPECT_TRUE(TRegKey().SubKeyNames().ToVector().empty());

    EXPECT_TRUE(FKey.DeleteSubKey(L"alpha"));
    EXPECT_FALSE(KeyExists(TRegRoot::CurrentUser, FPath + L"\\alpha"));
    EXPECT_FALSE(DeleteKey(TRegRoot::CurrentUser, FPath + L"\\missing"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteKey(TRegRoot::CurrentUser, L""));
    EXPECT_FALSE(FKey.DeleteSubKey(L""));
    EXPECT_TRUE(KeyExists(TRegRoot::CurrentUser, FPath + L"\\keep"));
    EXPECT_TRUE(DeleteKey(TRegRoot::CurrentUser, L"\\" + FPath + L"\\keep\\"));
    EXPECT_FALSE(KeyExists(TRegRoot::CurrentUser, FPath + L"\\keep"));
}

TEST_F(RegistryTest, KeyTextNamesTheKeySoItCanBeOpenedAgain) {
    TRegKey sub = FKey.CreateSubKey(L"\\child\\");
    ASSERT_TRUE(sub.WriteString(L"marker", L"here"));
    EXPECT_EQ(sub.KeyText(), L"HKEY_CURRENT_USER\\" + FPath + L"\\child");
    TRegKey viewed = TRegKey::Open(HKEY_CURRENT_USER, FPath + L"\\child\\", KEY_READ, TRegView::x64);
    EXPECT_EQ(viewed.KeyText(), L"(x64)HKEY_CURRENT_USER\\" + FPath + L"\\child");

    TRegView view;
    TRegRoot root;
    std::wstring path;
    ASSERT_TRUE(ExtractKeyParams(viewed.KeyText(), view, root, path));
    EXPECT_EQ(TRegKey::Open(root, path, KEY_READ, view).ReadString(L"marker"), L"here");
}

TEST(Registry, AMissingKeyIsEmptyAndOnlyTheThrowingFormThrows) {
    std::wstring path = std::wstring(TestRoot) + L"\\" + UniqueName();
    TRegKey key = TRegKey::Open(TRegRoot::CurrentUser, path);
    EXPECT_FALSE(key);
    EXPECT_EQ(key.Status(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.ReadString(L"x"), std::nullopt);
    EXPECT_FALSE(key.WriteString(L"x", L"y"));
    try {
        TRegKey::OpenOrThrow(HKEY_CURRENT_USER, path);
        ADD_FAILURE() << "no error";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.Code(), DWORD(ERROR_FILE_NOT_FOUND));
        EXPECT_NE(std::string(e.what()).find("HKEY_CURRENT_USER\\Software\\VelmoraTests"), std::string::npos);
    }
    EXPECT_TRUE(TRegKey::CreateOrThrow(HKEY_CURRENT_USER, path));
    EXPECT_TRUE(DeleteKey(TRegRoot::CurrentUser, path));
}

TEST_F(RegistryTest, NotificationFiresOnValueChangesAndInSubkeys) {
    unique_event event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TRegKey sub = FKey.CreateSubKey(L"sub");
    TRegKey watched = TRegKey::Open(TRegRoot::CurrentUser, FPath, KEY_NOTIFY | KEY_READ);
    ASSERT_TRUE(watched.NotifyChange(event.get()));
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), DWORD(WAIT_TIMEOUT));
    ASSERT_TRUE(sub.WriteNumber(L"deep", 2));
    EXPECT_EQ(WaitForSingleObject(event.get(), 5000), DWORD(WAIT_OBJECT_0));

    // Without the subtree a change below is not reported. (Wine keeps the
    // filter of a handle's first notification when it is re-armed, so this
    // one gets a handle of its own.)
    ResetEvent(event.get());
    TRegKey shallow = TRegKey::Open(TRegRoot::CurrentUser, FPath, KEY_NOTIFY | KEY_READ);
    ASSERT_TRUE(shallow.NotifyChange(event.get(), false));
    ASSERT_TRUE(sub.WriteNumber(L"deep", 3));
    EXPECT_EQ(WaitForSingleObject(event.get(), 200), DWORD(WAIT_TIMEOUT));
    ASSERT_TRUE(FKey.WriteString(L"changed", L"1"));
    EXPECT_EQ(WaitForSingleObject(event.get(), 5000), DWORD(WAIT_OBJECT_0));
}

TEST(RegistryViews, LocalMachineSoftwareIsSeparatePerViewAndCurrentUserIsShared) {
    const std::wstring name = UniqueName();
    const std::wstring path = std::wstring(TestRoot) + L"\\" + name;
    for (TRegView view : {TRegView::x32, TRegView::x64})
        ASSERT_TRUE(TRegKey::Create(TRegRoot::LocalMachine, path, KEY_WRITE, view)
                        .WriteString(L"bits", view == TRegView::x32 ? L"32" : L"64"));
    EXPECT_EQ(TRegKey::Open(TRegRoot::LocalMachine, path, KEY_READ, TRegView::x32).ReadString(L"bits"),
              L"32");
    EXPECT_EQ(TRegKey::Open(TRegRoot::LocalMachine, path, KEY_READ, TRegView::x64).ReadString(L"bits"),
              L"64");
    // The 64-bit view shows the 32-bit one below Wow6432Node.
    EXPECT_EQ(TRegKey::Open(TRegRoot::LocalMachine, L"Software\\Wow6432Node\\VelmoraTests\\" + name, KEY_READ,
                            TRegView::x64)
                  .ReadString(L"bits"),
              L"32");
    // A subkey opened from a key stays in its view.
    ASSERT_TRUE(TRegKey::Open(TRegRoot::LocalMachine, path, KEY_WRITE, TRegView::x64).CreateSubKey(L"child"));
    EXPECT_FALSE(TRegKey::Open(TRegRoot::LocalMachine, path, KEY_READ, TRegView::x32).OpenSubKey(L"child"));
    EXPECT_TRUE(DeleteKey(TRegRoot::LocalMachine, path, TRegView::x32));
    EXPECT_TRUE(KeyExists(TRegRoot::LocalMachine, path + L"\\child", TRegView::x64));
    EXPECT_TRUE(DeleteKey(TRegRoot::LocalMachine, path, TRegView::x64));

    ASSERT_TRUE(
        TRegKey::Create(TRegRoot::CurrentUser, path, KEY_WRITE, TRegView::x32).WriteString(L"bits", L"32"));
    EXPECT_EQ(TRegKey::Open(TRegRoot::CurrentUser, path, KEY_READ, TRegView::x64).ReadString(L"bits"), L"32");
    EXPECT_TRUE(DeleteKey(TRegRoot::CurrentUser, path, TRegView::x64));
    DeleteTestRootWhenEmpty(TRegRoot::LocalMachine, TRegView::x32);
    DeleteTestRootWhenEmpty(TRegRoot::LocalMachine, TRegView::x64);
    DeleteTestRootWhenEmpty(TRegRoot::CurrentUser, TRegView::Default);
}
