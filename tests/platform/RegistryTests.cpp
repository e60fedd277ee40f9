#include "platform/Registry.h"

#include "platform/OSError.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <cmath>

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
    if (TRegKey::Open(root, TestRoot, KEY_READ, view).HasSubKeys())
        return;
    DeleteKey(root, TestRoot, view);
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
        EXPECT_FALSE(KeyExists(TRegRoot::CurrentUser, FPath));
        DeleteTestRootWhenEmpty(TRegRoot::CurrentUser, TRegView::Default);
    }
    void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExW(FKey.Handle(), name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    std::wstring FPath;
    TRegKey FKey;
};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
    std::sort(v.begin(), v.end());
    return v;
}

double NowAsLocalOleDate() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME ft;
    SystemTimeToFileTime(&now, &ft);
    uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<double>(ticks) / 864000000000.0 - 109205.0;
}

} // namespace

TEST_F(RegistryTest, CachedValuesAnswerAsTheKeyDidAtTheWalk) {
    ASSERT_TRUE(FKey.WriteString(L"Name", L"Editor"));
    ASSERT_TRUE(FKey.WriteExpandString(L"Path", L"%ProgramFiles%\\Editor"));
    ASSERT_TRUE(FKey.WriteNumber(L"Size", 42));
    ASSERT_TRUE(FKey.WriteMultiString(L"Codes", {L"a", L"b"}));
    const std::wstring longText(3000, L'x'); // beyond the first read's buffer
    ASSERT_TRUE(FKey.WriteString(L"Long", longText));

    TRegKey cached = TRegKey::Open(TRegRoot::CurrentUser, FPath, KEY_READ | KEY_WRITE);
    cached.CacheValues();
    EXPECT_EQ(cached.ReadString(L"NAME"), L"Editor") << "names without regard to case";
    EXPECT_EQ(cached.ReadString(L"Path"), std::nullopt) << "REG_EXPAND_SZ is no plain string";
    EXPECT_EQ(cached.ReadText(L"Path"), L"%ProgramFiles%\\Editor");
    EXPECT_EQ(cached.ReadNumber(L"Size"), 42u);
    EXPECT_EQ(cached.ReadNumber(L"Name"), std::nullopt);
    EXPECT_EQ(cached.ReadMultiString(L"Codes"), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(cached.ReadString(L"Long"), longText);
    EXPECT_EQ(FKey.ReadString(L"Long"), longText);
    EXPECT_EQ(cached.ValueType(L"Missing"), std::nullopt);
    EXPECT_EQ(cached.KeyInfo()->ValueCount, 5u);

    ASSERT_TRUE(cached.WriteString(L"Name", L"Changed"));
    EXPECT_EQ(cached.ReadString(L"Name"), L"Editor") << "the copy of the walk";
    EXPECT_EQ(FKey.ReadString(L"Name"), L"Changed");

    std::vector<std::wstring> walked;
    EXPECT_TRUE(FKey.ForEachValue([&](const std::wstring& name, const TRegValue& value) {
        walked.push_back(name);
        if (name == L"Size") {
            EXPECT_EQ(value.Type, static_cast<DWORD>(REG_DWORD));
        }
    }));
    EXPECT_EQ(Sorted(walked), (std::vector<std::wstring>{L"Codes", L"Long", L"Name", L"Path", L"Size"}));
}

TEST_F(RegistryTest, TypedReadersAnswerOnlyForTheirOwnType) {
    const BYTE bytes[] = {1, 2, 3};
    ASSERT_TRUE(FKey.WriteString(L"sz", L"plain"));
    ASSERT_TRUE(FKey.WriteExpandString(L"expand", L"%SystemRoot%\\x"));
    ASSERT_TRUE(FKey.WriteNumber(L"dword", 42));
    ASSERT_TRUE(FKey.WriteQword(L"qword", 0x123456789ull));
    ASSERT_TRUE(FKey.WriteMultiString(L"multi", {L"a", L"b"}));
    ASSERT_TRUE(FKey.WriteBinary(L"binary", bytes, sizeof bytes));

    EXPECT_EQ(FKey.ReadString(L"sz"), L"plain");
    EXPECT_EQ(FKey.ReadString(L"expand"), std::nullopt);
    EXPECT_EQ(FKey.ReadString(L"dword"), std::nullopt);
    EXPECT_EQ(FKey.ReadString(L"multi"), std::nullopt);

    EXPECT_EQ(FKey.ReadText(L"sz"), L"plain");
    EXPECT_EQ(FKey.ReadText(L"expand"), L"%SystemRoot%\\x"); // not expanded
    EXPECT_EQ(FKey.ReadText(L"binary"), std::nullopt);
    EXPECT_EQ(FKey.ReadText(L"multi"), std::nullopt);

    EXPECT_EQ(FKey.ReadNumber(L"dword"), 42u);
    EXPECT_EQ(FKey.ReadNumber(L"qword"), std::nullopt);
    EXPECT_EQ(FKey.ReadNumber(L"sz"), std::nullopt);
    EXPECT_EQ(FKey.ReadNumber(L"binary"), std::nullopt);

    EXPECT_EQ(FKey.ReadQword(L"qword"), 0x123456789ull);
    EXPECT_EQ(FKey.ReadQword(L"dword"), std::nullopt);
    EXPECT_EQ(FKey.ReadMultiString(L"multi"), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(FKey.ReadMultiString(L"sz"), std::nullopt);
    EXPECT_EQ(FKey.ReadBinary(L"binary"), (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(FKey.ReadBinary(L"dword"), std::nullopt);

    EXPECT_EQ(FKey.ValueType(L"expand"), DWORD(REG_EXPAND_SZ));
    EXPECT_EQ(FKey.ValueType(L"missing"), std::nullopt);
    EXPECT_EQ(FKey.ReadString(L"missing"), std::nullopt);
    auto raw = FKey.ReadValue(L"binary");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->Type, DWORD(REG_BINARY));

    // A DWORD-typed value of the wrong size is no number.
    WriteRaw(L"short", REG_DWORD, bytes, 2);
    EXPECT_EQ(FKey.ReadNumber(L"short"), std::nullopt);

    // Copying a value keeps its type and data.
    ASSERT_TRUE(FKey.WriteValue(L"copy", *FKey.ReadValue(L"expand")));
    EXPECT_EQ(FKey.ValueType(L"copy"), DWORD(REG_EXPAND_SZ));
    EXPECT_EQ(FKey.ReadText(L"copy"), L"%SystemRoot%\\x");

    EXPECT_TRUE(FKey.DeleteValue(L"sz"));
    EXPECT_FALSE(FKey.ValueExists(L"sz"));
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

    const wchar_t embedded[] = L"ab\0cd";
    WriteRaw(L"embedded", REG_EXPAND_SZ, embedded, sizeof embedded);
    EXPECT_EQ(FKey.ReadText(L"embedded"), L"ab");

    WriteRaw(L"empty", REG_SZ, nullptr, 0);
    EXPECT_EQ(FKey.ReadString(L"empty"), L"");

    std::wstring big(70000, L'x');
    ASSERT_TRUE(FKey.WriteString(L"big", big));
    EXPECT_EQ(FKey.ReadString(L"big"), big);

    const wchar_t multiNoTerm[] = {L'a', 0, L'b', L'c'};
    WriteRaw(L"multi", REG_MULTI_SZ, multiNoTerm, sizeof multiNoTerm);
    EXPECT_EQ(FKey.ReadMultiString(L"multi"), (std::vector<std::wstring>{L"a", L"bc"}));
    const wchar_t multiStops[] = {L'a', 0, 0, L'b', 0, 0};
    WriteRaw(L"stops", REG_MULTI_SZ, multiStops, sizeof multiStops);
    EXPECT_EQ(FKey.ReadMultiString(L"stops"), (std::vector<std::wstring>{L"a"}));
}

TEST_F(RegistryTest, MultiStringWriterDropsEmptyEntries) {
    ASSERT_TRUE(FKey.WriteMultiString(L"m", {L"", L"one", L"", L"two"}));
    EXPECT_EQ(FKey.ReadMultiString(L"m"), (std::vector<std::wstring>{L"one", L"two"}));
    ASSERT_TRUE(FKey.WriteMultiString(L"none", {}));
    EXPECT_EQ(FKey.ReadMultiString(L"none"), std::vector<std::wstring>{});
}

TEST_F(RegistryTest, SubKeyAndValueRangesSeeEveryName) {
    const std::wstring longKey(255, L'k');
    const std::wstring longValue(300, L'v');
    std::vector<std::wstring> keys{L"alpha", L"Beta", L"gamma delta", longKey};
    for (const auto& k : keys)
        ASSERT_TRUE(FKey.CreateSubKey(k));
    ASSERT_TRUE(FKey.CreateSubKey(L"alpha\\nested"));
    std::vector<std::wstring> values{L"", L"one", L"Two", longValue};
    for (const auto& v : values)
        ASSERT_TRUE(FKey.WriteNumber(v, 1));

    std::vector<std::wstring> seen;
    for (const auto& name : FKey.SubKeyNames())
        seen.push_back(name);
    EXPECT_EQ(Sorted(seen), Sorted(keys));
    EXPECT_EQ(Sorted(FKey.ValueNames().ToVector()), Sorted(values));
    EXPECT_TRUE(FKey.HasSubKeys());

    TRegKey empty = FKey.OpenSubKey(L"Beta");
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty.HasSubKeys());
    EXPECT_TRUE(empty.SubKeyNames().ToVector().empty());
    EXPECT_EQ(empty.ValueNames().begin(), empty.ValueNames().end());

    TRegKey closed;
    EXPECT_TRUE(closed.SubKeyNames().ToVector().empty());
}

TEST_F(RegistryTest, DeleteRemovesAWholeTreeButNeverARoot) {
    ASSERT_TRUE(FKey.CreateSubKey(L"a\\b\\c"));
    ASSERT_TRUE(FKey.CreateSubKey(L"a\\b2").WriteString(L"v", L"x"));
    ASSERT_TRUE(FKey.CreateSubKey(L"keep"));
    EXPECT_TRUE(FKey.DeleteSubKey(L"a"));
    EXPECT_FALSE(KeyExists(TRegRoot::CurrentUser, FPath + L"\\a"));
    EXPECT_TRUE(KeyExists(TRegRoot::CurrentUser, FPath + L"\\keep"));

    EXPECT_FALSE(DeleteKey(TRegRoot::CurrentUser, FPath + L"\\missing"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    EXPECT_FALSE(DeleteKey(TRegRoot::CurrentUser, L""));
    EXPECT_FALSE(DeleteKey(HKEY_CURRENT_USER, L"\\"));
    EXPECT_FALSE(FKey.DeleteSubKey(L""));
    EXPECT_TRUE(KeyExists(TRegRoot::CurrentUser, FPath + L"\\keep"));

    // A path with stray separators names the same key.
    EXPECT_TRUE(DeleteKey(TRegRoot::CurrentUser, L"\\" + FPath + L"\\keep\\"));
    EXPECT_FALSE(KeyExists(TRegRoot::CurrentUser, FPath + L"\\keep"));
}

TEST_F(RegistryTest, RenameAndMoveKeepTypesDataAndSubkeys) {
    ASSERT_TRUE(FKey.WriteExpandString(L"old", L"%TEMP%"));
    ASSERT_TRUE(FKey.WriteNumber(L"taken", 1));
    EXPECT_FALSE(FKey.RenameValue(L"old", L"taken"));
    EXPECT_EQ(FKey.ReadNumber(L"taken"), 1u);
    EXPECT_TRUE(FKey.RenameValue(L"old", L"new"));
    EXPECT_FALSE(FKey.ValueExists(L"old"));
    EXPECT_EQ(FKey.ValueType(L"new"), DWORD(REG_EXPAND_SZ));
    EXPECT_EQ(FKey.ReadText(L"new"), L"%TEMP%");
    EXPECT_FALSE(FKey.RenameValue(L"missing", L"other"));

    TRegKey source = FKey.CreateSubKey(L"from");
    ASSERT_TRUE(source.WriteString(L"", L"default"));
    ASSERT_TRUE(source.CreateSubKey(L"a\\b").WriteMultiString(L"m", {L"x", L"y"}));
    ASSERT_TRUE(FKey.CreateSubKey(L"busy"));
    source = {};
    EXPECT_FALSE(FKey.MoveSubKey(L"from", L"busy"));
    EXPECT_FALSE(FKey.MoveSubKey(L"from", L"from\\inside"));
    EXPECT_FALSE(FKey.MoveSubKey(L"missing", L"elsewhere"));

    EXPECT_TRUE(FKey.MoveSubKey(L"from", L"copy", true));
    EXPECT_TRUE(FKey.MoveSubKey(L"from", L"to\\deeper"));
    EXPECT_FALSE(FKey.OpenSubKey(L"from"));
    for (const wchar_t* path : {L"copy", L"to\\deeper"}) {
        TRegKey moved = FKey.OpenSubKey(path);
        ASSERT_TRUE(moved);
        EXPECT_EQ(moved.ReadString(L""), L"default");
        EXPECT_EQ(moved.OpenSubKey(L"a\\b").ReadMultiString(L"m"), (std::vector<std::wstring>{L"x", L"y"}));
    }

    auto info = FKey.KeyInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->SubKeyCount, 3u); // busy, copy, to
    EXPECT_EQ(info->ValueCount, 2u);  // taken, new
    EXPECT_EQ(info->MaxValueNameLength, 5u);
    EXPECT_TRUE(FKey.Flush());
}

TEST_F(RegistryTest, KeyTextNamesTheKeySoItCanBeOpenedAgain) {
    EXPECT_EQ(FKey.KeyText(), L"HKEY_CURRENT_USER\\" + FPath);
    TRegKey sub = FKey.CreateSubKey(L"\\child\\");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub.KeyText(), L"HKEY_CURRENT_USER\\" + FPath + L"\\child");
    ASSERT_TRUE(sub.WriteString(L"marker", L"here"));

    TRegKey viewed = TRegKey::Open(HKEY_CURRENT_USER, FPath + L"\\child\\", KEY_READ, TRegView::x64);
    EXPECT_EQ(viewed.KeyText(), L"(x64)HKEY_CURRENT_USER\\" + FPath + L"\\child");

    TRegView view;
    TRegRoot root;
    std::wstring path;
    ASSERT_TRUE(ExtractKeyParams(sub.KeyText(), view, root, path));
    EXPECT_EQ(TRegKey::Open(root, path, KEY_READ, view).ReadString(L"marker"), L"here");
    EXPECT_EQ(RegistryKeyToStr(KEY_READ | KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, L"Software"),
              L"(x32)HKEY_LOCAL_MACHINE\\Software");

    // A key adopted from a handle that is not a root has no text.
    HKEY copy = nullptr;
    ASSERT_EQ(RegOpenKeyExW(sub.Handle(), L"", 0, KEY_READ, &copy), ERROR_SUCCESS);
    TRegKey adopted{unique_hkey(copy)};
    EXPECT_TRUE(adopted);
    EXPECT_EQ(adopted.KeyText(), L"");
    EXPECT_EQ(adopted.ReadString(L"marker"), L"here");
}

TEST(Registry, RootsMapToPredefinedKeysBothWays) {
    for (TRegRoot root : {TRegRoot::ClassesRoot, TRegRoot::CurrentUser, TRegRoot::LocalMachine,
                          TRegRoot::Users, TRegRoot::CurrentConfig})
        EXPECT_EQ(RootFromKey(RootKey(root)), root);
    EXPECT_EQ(RootKey(TRegRoot::LocalMachine), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(RootFromKey(HKEY_PERFORMANCE_DATA), std::nullopt);
    EXPECT_EQ(ViewAccess(TRegView::x32), REGSAM(KEY_WOW64_32KEY));
    EXPECT_EQ(ViewAccess(TRegView::x64), REGSAM(KEY_WOW64_64KEY));
}

TEST(Registry, AMissingKeyIsEmptyAndOnlyTheThrowingFormThrows) {
    std::wstring path = L"Software\\VelmoraTests\\" + UniqueName();
    TRegKey key = TRegKey::Open(TRegRoot::CurrentUser, path);
    EXPECT_FALSE(key);
    EXPECT_EQ(key.Status(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.ReadString(L"x"), std::nullopt);
    EXPECT_EQ(key.ReadNumber(L"x"), std::nullopt);
    EXPECT_FALSE(key.WriteString(L"x", L"y"));
    EXPECT_FALSE(key.OpenSubKey(L"y"));
    EXPECT_FALSE(key.LastWriteTime());
    EXPECT_FALSE(KeyExists(TRegRoot::CurrentUser, path));
    EXPECT_THROW(TRegKey::OpenOrThrow(HKEY_CURRENT_USER, path), EOSError);
    try {
        TRegKey::OpenOrThrow(HKEY_CURRENT_USER, path);
    } catch (const EOSError& e) {
        EXPECT_EQ(e.Code(), DWORD(ERROR_FILE_NOT_FOUND));
        EXPECT_NE(std::string(e.what()).find("HKEY_CURRENT_USER\\Software\\VelmoraTests"), std::string::npos);
    }
    TRegKey created = TRegKey::CreateOrThrow(HKEY_CURRENT_USER, path);
    EXPECT_TRUE(created);
    created = {};
    EXPECT_TRUE(DeleteKey(TRegRoot::CurrentUser, path));
}

TEST_F(RegistryTest, LastWriteTimeIsTheTimeOfTheLastChange) {
    ASSERT_TRUE(FKey.WriteNumber(L"touch", 1));
    TRegKey reopened = TRegKey::Open(TRegRoot::CurrentUser, FPath);
    auto date = reopened.LastWriteDate();
    ASSERT_TRUE(date);
    EXPECT_LT(std::fabs(*date - NowAsLocalOleDate()), 5.0 / (24 * 60)) << *date;
    auto time = reopened.LastWriteTime();
    ASSERT_TRUE(time);
    FILETIME nowUtc;
    GetSystemTimeAsFileTime(&nowUtc);
    EXPECT_LE(CompareFileTime(&*time, &nowUtc), 0);
}

TEST_F(RegistryTest, NotificationFiresOnValueChangesAndInSubkeys) {
    unique_event event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    TRegKey sub = FKey.CreateSubKey(L"sub");
    ASSERT_TRUE(sub);

    TRegKey watched = TRegKey::Open(TRegRoot::CurrentUser, FPath, KEY_NOTIFY | KEY_READ);
    ASSERT_TRUE(watched.NotifyChange(event.get()));
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), DWORD(WAIT_TIMEOUT));
    ASSERT_TRUE(FKey.WriteString(L"changed", L"1"));
    EXPECT_EQ(WaitForSingleObject(event.get(), 5000), DWORD(WAIT_OBJECT_0));

    ResetEvent(event.get());
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
    ASSERT_TRUE(FKey.DeleteValue(L"changed"));
    EXPECT_EQ(WaitForSingleObject(event.get(), 5000), DWORD(WAIT_OBJECT_0));
}

TEST_F(RegistryTest, DumpWritesKeysDepthFirstWithTheThreeValueKinds) {
    ASSERT_TRUE(FKey.WriteString(L"DisplayName", L"Sample"));
    ASSERT_TRUE(FKey.WriteNumber(L"EstimatedSize", 1234));
    ASSERT_TRUE(FKey.WriteMultiString(L"Files", {L"a.txt", L"b.txt"}));
    const BYTE bytes[] = {1};
    ASSERT_TRUE(FKey.WriteBinary(L"Blob", bytes, 1));
    ASSERT_TRUE(FKey.CreateSubKey(L"Child").WriteString(L"", L"default"));

    std::vector<std::wstring> lines;
    DumpRegistryKey(TRegRoot::CurrentUser, FPath, TRegView::Default,
                    [&](const std::wstring& line) { lines.push_back(line); });
    std::wstring root = L"HKEY_CURRENT_USER\\" + FPath;
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], root);
    std::vector<std::wstring> values(lines.begin() + 1, lines.begin() + 4);
    EXPECT_EQ(Sorted(values), (std::vector<std::wstring>{L"DisplayName (REG_SZ) = \"Sample\"",
                                                         L"EstimatedSize (REG_DWORD) = \"1234\"",
                                                         L"Files (REG_MULTISZ) = \"a.txt, b.txt\""}));
    EXPECT_EQ(lines[4], L"");
    EXPECT_EQ(lines[5], root + L"\\Child");
    EXPECT_EQ(lines[6], L" (REG_SZ) = \"default\"");
    EXPECT_EQ(lines[7], L"");

    lines.clear();
    DumpRegistryKey(TRegRoot::CurrentUser, FPath + L"\\missing", TRegView::Default,
                    [&](const std::wstring& line) { lines.push_back(line); });
    EXPECT_TRUE(lines.empty());
}

TEST(RegistryViews, LocalMachineSoftwareIsSeparatePerView) {
    const std::wstring name = UniqueName();
    const std::wstring path = std::wstring(TestRoot) + L"\\" + name;
    {
        TRegKey k32 = TRegKey::Create(TRegRoot::LocalMachine, path, KEY_READ | KEY_WRITE, TRegView::x32);
        ASSERT_TRUE(k32) << k32.Status();
        ASSERT_TRUE(k32.WriteString(L"bits", L"32"));
        EXPECT_FALSE(KeyExists(TRegRoot::LocalMachine, path, TRegView::x64));
        // The 64-bit view shows the 32-bit one below Wow6432Node.
        EXPECT_EQ(TRegKey::Open(TRegRoot::LocalMachine, L"Software\\Wow6432Node\\VelmoraTests\\" + name,
                                KEY_READ, TRegView::x64)
                      .ReadString(L"bits"),
                  L"32");

        TRegKey k64 = TRegKey::Create(TRegRoot::LocalMachine, path, KEY_READ | KEY_WRITE, TRegView::x64);
        ASSERT_TRUE(k64);
        ASSERT_TRUE(k64.WriteString(L"bits", L"64"));
        ASSERT_TRUE(k64.CreateSubKey(L"child"));
        EXPECT_EQ(TRegKey::Open(TRegRoot::LocalMachine, path, KEY_READ, TRegView::x32).ReadString(L"bits"),
                  L"32");
        EXPECT_EQ(TRegKey::Open(TRegRoot::LocalMachine, path, KEY_READ, TRegView::x64).ReadString(L"bits"),
                  L"64");
        // A subkey opened from a key stays in its view.
        EXPECT_FALSE(k32.OpenSubKey(L"child"));
        EXPECT_TRUE(k64.OpenSubKey(L"child"));
    }
    EXPECT_TRUE(DeleteKey(TRegRoot::LocalMachine, path, TRegView::x32));
    EXPECT_FALSE(KeyExists(TRegRoot::LocalMachine, path, TRegView::x32));
    EXPECT_TRUE(KeyExists(TRegRoot::LocalMachine, path + L"\\child", TRegView::x64));
    EXPECT_TRUE(DeleteKey(TRegRoot::LocalMachine, path, TRegView::x64));
    EXPECT_FALSE(KeyExists(TRegRoot::LocalMachine, path, TRegView::x64));
    DeleteTestRootWhenEmpty(TRegRoot::LocalMachine, TRegView::x32);
    DeleteTestRootWhenEmpty(TRegRoot::LocalMachine, TRegView::x64);
}

TEST(RegistryViews, CurrentUserSoftwareIsSharedByBothViews) {
    const std::wstring path = std::wstring(TestRoot) + L"\\" + UniqueName();
    {
        TRegKey k32 = TRegKey::Create(TRegRoot::CurrentUser, path, KEY_READ | KEY_WRITE, TRegView::x32);
        ASSERT_TRUE(k32);
        ASSERT_TRUE(k32.WriteString(L"bits", L"32"));
        EXPECT_EQ(TRegKey::Open(TRegRoot::CurrentUser, path, KEY_READ, TRegView::x64).ReadString(L"bits"),
                  L"32");
    }
    EXPECT_TRUE(DeleteKey(TRegRoot::CurrentUser, path, TRegView::x64));
    EXPECT_FALSE(KeyExists(TRegRoot::CurrentUser, path, TRegView::x32));
    DeleteTestRootWhenEmpty(TRegRoot::CurrentUser, TRegView::Default);
}
