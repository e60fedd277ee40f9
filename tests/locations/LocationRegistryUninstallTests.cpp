// The registry uninstall location read from real registry entries: uninstall
// keys of HKLM (both views) and HKCU, installer product registrations with
// InstallProperties and patches, and legacy update keys, all written under
// names unique to the test and deleted afterwards. The prefix holds other
// entries too, so every check looks only at the test's own items.
#include "locations/LocationRegistryUninstall.h"

#include "frame/DebugLog.h"
#include "inventory/ItemUpdate.h"
#include "msi/MsiRules.h"
#include "platform/Registry.h"
#include "platform/RegistrySnapshot.h"
#include "platform/Text.h"
#include "tests/TestThread.h"
#include "tests/inventory/InventoryTestKit.h"
#include "tests/platform/ScratchKit.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>
#include <tuple>

namespace velmora {
namespace {

using testing::TFunctionThread;
using testkit::WaitUntil;
using Texts = std::vector<std::wstring>;

constexpr wchar_t Uninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t UserProducts[] = L"Software\\Microsoft\\Installer\\Products";
constexpr wchar_t SystemUserData[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products";
constexpr wchar_t Updates[] = L"Software\\Microsoft\\Updates";
constexpr wchar_t HotFix[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\HotFix";

std::wstring NewGUID() {
    GUID guid;
    EXPECT_EQ(CoCreateGuid(&guid), S_OK);
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

class LocationRegistryUninstall : public ::testing::Test {
protected:
    void SetUp() override {
        TItemProgram::Init();
        TItemUpdate::Init();
    }
    void TearDown() override {
        FLocation.reset();
        TItemUpdate::Done();
        TItemProgram::Done();
        for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it)
            DeleteKey(std::get<0>(*it), std::get<2>(*it), std::get<1>(*it));
    }

    // Creates base\name (and missing parents); teardown deletes the first
    // component of name with everything below it, never the shared base.
    TRegKey Key(TRegRoot root, TRegView view, const std::wstring& base, const std::wstring& name) {
        FCreated.push_back({root, view, base + L"\\" + name.substr(0, name.find(L'\\'))});
        return TRegKey::Create(root, base + L"\\" + name, KEY_ALL_ACCESS, view);
    }
    TRegKey Entry(TRegRoot root, TRegView view, const std::wstring& keyName,
                  const std::wstring& displayName) {
        TRegKey key = Key(root, view, Uninstall, keyName);
        key.WriteString(L"DisplayName", displayName);
        return key;
    }
    static std::wstring EntryText(TRegRoot root, TRegView view, const std::wstring& keyName) {
        return RegistryKeyToStr(view, root, std::wstring(Uninstall) + L"\\" + keyName);
    }
    std::wstring Name(const std::wstring& what) const { return what + L" " + FTag; }
    static std::wstring Text(const std::shared_ptr<TItemProgram>& item, TProductInfo index) {
        return item ? std::get<std::wstring>(item->GetInfo(index)) : L"(no item)";
    }

    TLocationRegistryUninstall& Location() {
        if (!FLocation)
            FLocation = std::make_unique<TLocationRegistryUninstall>();
        return *FLocation;
    }
    void ReadAll() {
        Location().ReadPrograms();
        Location().ReadUpdates();
    }

    std::shared_ptr<TItemProgram> Program(const std::wstring& guid, const std::wstring& name) {
        return TItemProgram::ItemByGUIDName(guid, name, &Location());
    }
    std::shared_ptr<TItemUpdate> Update(const std::wstring& guid, const std::wstring& name) {
        return TItemUpdate::ItemByGUIDName(guid, name, &Location());
    }
    // The key texts of an item, as the front end gets them.
    template <class T> static std::vector<std::wstring> Keys(const std::shared_ptr<T>& item) {
        return item ? KeyTexts(*item) : Texts{L"(no item)"};
    }
    template <class T> static std::vector<std::wstring> KeyTexts(T& item) {
        Texts texts;
        for (const auto& key : item.RegistryKeys())
            texts.push_back(key.Text());
        return texts;
    }
    template <class T> static std::wstring KeyAt(const std::shared_ptr<T>& item, size_t i) {
        auto keys = Keys(item);
        return i < keys.size() ? keys[i] : L"(no key)";
    }
    // Where the x32 view of a key is the same key (HKCU, shared installer
    // keys), the 32-bit pass adds its text as well: look for one text.
    template <class T> static bool HasKey(const std::shared_ptr<T>& item, const std::wstring& keyText) {
        return std::ranges::count(Keys(item), keyText) > 0;
    }
    // The test's own programs or updates: a key text or the display name names the tag.
    template <class T> int OwnCount() {
        int count = 0;
        T::Items().ForEachFromLast([&](T& item) {
            auto texts = KeyTexts(item);
            TInfoValue name = item.GetInfo(piDisplayName);
            if (auto* text = std::get_if<std::wstring>(&name))
                texts.push_back(*text);
            count += item.Location() == FLocation.get() &&
                     std::ranges::any_of(texts, [&](const std::wstring& k) { return ContainsText(k, FTag); });
        });
        return count;
    }

    const std::wstring FTag = testing::UniqueName(L"VlmK");
    std::vector<std::tuple<TRegRoot, TRegView, std::wstring>> FCreated;
    std::unique_ptr<TLocationRegistryUninstall> FLocation;
};

constexpr TRegRoot HKLM = TRegRoot::LocalMachine;
constexpr TRegRoot HKCU = TRegRoot::CurrentUser;
constexpr TRegView X64 = TRegView::x64;
constexpr TRegView X32 = TRegView::x32;

TEST_F(LocationRegistryUninstall, EntriesOfBothViewsAndRootsAreListedOnceFirstReadWins) {
    Entry(HKLM, X64, L"A" + FTag, Name(L"Machine64"));
    Entry(HKLM, X32, L"B" + FTag, Name(L"Machine32"));
    Entry(HKCU, X64, L"C" + FTag, Name(L"User"));
    // Read order: HKLM 64-bit, HKCU 64-bit, then the 32-bit view.
    Entry(HKCU, X64, L"D" + FTag, Name(L"Twice"));
    Entry(HKLM, X32, L"E" + FTag, Name(L"twice"));
    const std::wstring code = NewGUID();
    Entry(HKLM, X64, L"F" + FTag, Name(L"Coded")).WriteString(L"ProductID", code);
    Entry(HKLM, X32, code, Name(L"Coded under another name"));
    Location().ReadPrograms();
    EXPECT_EQ(Keys(Program(L"", Name(L"Machine64"))), Texts{EntryText(HKLM, X64, L"A" + FTag)});
    EXPECT_EQ(KeyAt(Program(L"", Name(L"Machine32")), 0), EntryText(HKLM, X32, L"B" + FTag));
    EXPECT_EQ(KeyAt(Program(L"", Name(L"User")), 0), EntryText(HKCU, X64, L"C" + FTag));
    EXPECT_EQ(Keys(Program(L"", Name(L"Twice"))), Texts{EntryText(HKCU, X64, L"D" + FTag)});
    EXPECT_EQ(Keys(Program(code, Name(L"Coded"))), Texts{EntryText(HKLM, X64, L"F" + FTag)});
    EXPECT_EQ(OwnCount<TItemProgram>(), 5);
}

TEST_F(LocationRegistryUninstall, SystemComponentsJoinTheirProgramOrHideTheInstallerProduct) {
    const std::wstring code = NewGUID(), hidden = NewGUID();
    Entry(HKCU, X64, L"Main" + FTag, Name(L"Main"));
    auto joined = Entry(HKCU, X64, L"Part" + FTag, Name(L"Main"));
    joined.WriteNumber(L"SystemComponent", 1);
    joined.WriteString(L"ProductID", code);
    // A system component matching nothing keeps the installer product of its code out.
    Entry(HKLM, X64, hidden, Name(L"Hidden")).WriteNumber(L"SystemComponent", 1);
    Key(HKCU, X64, UserProducts, PackedUpgradeCode(hidden))
        .WriteString(L"ProductName", Name(L"Hidden product"));

    ReadAll();
    auto main = Program(code, Name(L"Main"));
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(KeyAt(main, 0), EntryText(HKCU, X64, L"Main" + FTag));
    EXPECT_EQ(KeyAt(main, 1), EntryText(HKCU, X64, L"Part" + FTag));
    EXPECT_EQ(Program(hidden, Name(L"Hidden")), nullptr);
    EXPECT_EQ(Program(hidden, Name(L"Hidden product")), nullptr);
    EXPECT_EQ(OwnCount<TItemProgram>(), 1);
    // A re-read keeps the items still there; the hidden code outlives the component's entry.
    DeleteKey(HKLM, std::wstring(Uninstall) + L"\\" + hidden, X64);
    Location().Read();
    EXPECT_EQ(Program(code, Name(L"Main")), main);
    EXPECT_EQ(Program(hidden, Name(L"Hidden product")), nullptr);
}

TEST_F(LocationRegistryUninstall, InstallerProductsTakeInstallPropertiesAndJoinEntriesThatListThem) {
    const std::wstring alone = NewGUID(), part = NewGUID(), suite = NewGUID();
    const std::wstring alonePath = std::wstring(SystemUserData) + L"\\" + PackedUpgradeCode(alone);
    Key(HKLM, X64, SystemUserData, PackedUpgradeCode(alone) + L"\\InstallProperties")
        .WriteString(L"DisplayName", Name(L"Properties"));
    // An uninstall entry whose "ProductCodes" lists a product absorbs it.
    auto suiteKey = Entry(HKLM, X64, L"Suite" + FTag, Name(L"Suite"));
    suiteKey.WriteString(L"ProductID", suite);
    suiteKey.WriteMultiString(L"ProductCodes", {L"not a code", part});
    Key(HKCU, X64, UserProducts, PackedUpgradeCode(part)).WriteString(L"ProductName", Name(L"Suite part"));

    ReadAll();
    auto properties = Program(alone, Name(L"Properties"));
    EXPECT_EQ(KeyAt(properties, 0), RegistryKeyToStr(X64, HKLM, alonePath + L"\\InstallProperties\\"));
    EXPECT_EQ(KeyAt(properties, 1), RegistryKeyToStr(X64, HKLM, alonePath + L"\\"));
    auto suiteItem = Program(suite, Name(L"Suite"));
    EXPECT_EQ(KeyAt(suiteItem, 0), EntryText(HKLM, X64, L"Suite" + FTag));
    EXPECT_EQ(
        KeyAt(suiteItem, 1),
        RegistryKeyToStr(X64, HKCU, std::wstring(UserProducts) + L"\\" + PackedUpgradeCode(part) + L"\\"));
    EXPECT_EQ(Program(part, Name(L"Suite part")), nullptr);
}

TEST_F(LocationRegistryUninstall, ReleaseTypesDecideBetweenProgramsAndUpdates) {
    const struct {
        const wchar_t *What, *Value, *Text;
        int PatchType;
        bool IsUpdate;
    } cases[] = {
        {L"Typed", L"ReleaseType", L"security update", -1, true},
        {L"UpdateThenOne", L"ReleaseType", L"Update", 1, false},
        {L"Patch3", nullptr, nullptr, 3, true},
        {L"ParentKey", L"ParentKeyName", L"SomeProduct", -1, true},
        {L"Unknown", L"ReleaseType", L"Nonsense", -1, false},
    };
    for (const auto& c : cases) {
        auto key = Entry(HKLM, X64, c.What + FTag, Name(c.What));
        if (c.Value)
            key.WriteString(c.Value, c.Text);
        if (c.PatchType >= 0)
            key.WriteNumber(L"PatchType", c.PatchType);
    }
    ReadAll();
    for (const auto& c : cases) {
        EXPECT_EQ(Update(L"", Name(c.What)) != nullptr, c.IsUpdate) << c.What;
        EXPECT_EQ(Program(L"", Name(c.What)) != nullptr, !c.IsUpdate) << c.What;
    }
}

TEST_F(LocationRegistryUninstall, PatchesOfInstallerProductsBecomeUpdatesWhenApplied) {
    const std::wstring product = NewGUID(), applied = NewGUID(), pending = NewGUID();
    const std::wstring patches =
        std::wstring(UserProducts) + L"\\" + PackedUpgradeCode(product) + L"\\Patches";
    Key(HKCU, X64, UserProducts, PackedUpgradeCode(product)).WriteString(L"ProductName", Name(L"Patched"));
    Key(HKCU, X64, patches, PackedUpgradeCode(applied)).WriteString(L"DisplayName", Name(L"Applied"));
    auto pendingKey = Key(HKCU, X64, patches, PackedUpgradeCode(pending));
    pendingKey.WriteString(L"DisplayName", Name(L"Pending"));
    pendingKey.WriteNumber(L"State", 2);

    ReadAll();
    EXPECT_NE(Program(product, Name(L"Patched")), nullptr);
    EXPECT_EQ(KeyAt(Update(applied, Name(L"Applied")), 0),
              RegistryKeyToStr(X64, HKCU, patches + L"\\" + PackedUpgradeCode(applied) + L"\\"));
    EXPECT_EQ(Update(pending, Name(L"Pending")), nullptr);
    EXPECT_EQ(OwnCount<TItemUpdate>(), 1);
}

TEST_F(LocationRegistryUninstall, UpdateKeysClaimEntriesByLinkOrKnowledgeBaseNumber) {
    const std::wstring kb =
        std::to_wstring(10'000'000 + (GetTickCount() ^ GetCurrentProcessId()) % 89'999'999);
    Entry(HKLM, X64, L"Linked" + FTag, Name(L"Linked"));
    Entry(HKLM, X64, L"Numbered" + FTag, Name(L"Hotfix (KB" + kb + L")"));
    const std::wstring group = L"Group" + FTag;
    // The link is matched as a suffix of the entry's key text.
    Key(HKLM, X64, Updates, group + L"\\Linked")
        .WriteString(L"ARPLink", std::wstring(L"CurrentVersion\\Uninstall\\Linked") + FTag);
    Key(HKLM, X64, HotFix, L"KB" + kb + L"-v2");

    Location().Read();
    auto linked = Update(L"", Name(L"Linked"));
    EXPECT_EQ(KeyAt(linked, 0), EntryText(HKLM, X64, L"Linked" + FTag));
    EXPECT_TRUE(
        HasKey(linked, RegistryKeyToStr(X64, HKLM, std::wstring(Updates) + L"\\" + group + L"\\Linked")));
    EXPECT_TRUE(HasKey(Update(L"", Name(L"Hotfix (KB" + kb + L")")),
                       RegistryKeyToStr(X64, HKLM, std::wstring(HotFix) + L"\\KB" + kb + L"-v2")));
    // Entries claimed by an update key in a full read stay programs as well.
    EXPECT_NE(Program(L"", Name(L"Linked")), nullptr);
}

// A front-end read and the reading thread share the location's temporary
// records: a second read waits until the running one has ended, and a stop
// request ends its wait.
TEST_F(LocationRegistryUninstall, ReadsOfOneLocationTakeTurns) {
    Entry(HKLM, X64, L"App" + FTag, Name(L"App"));
    auto& location = Location();
    std::atomic<bool> secondDone{false};
    std::unique_lock updates(TItemUpdate::Items().Lock());
    std::thread first([&] { location.Read(); });
    // Its programs are published: the first read now waits for the update list.
    EXPECT_TRUE(WaitUntil([&] { return Program(L"", Name(L"App")) != nullptr; }));
    TFunctionThread stopped([&] { location.ReadPrograms(); });
    stopped.Start();
    stopped.Terminate();
    const bool stoppedWhileWaiting = WaitUntil([&] { return stopped.Finished(); });
    std::thread second([&] {
        location.ReadPrograms();
        secondDone = true;
    });
    // A second read that did not wait would end well within this bound.
    EXPECT_FALSE(WaitUntil([&] { return secondDone.load(); }, std::chrono::milliseconds(500)));
    updates.unlock();
    first.join();
    second.join();
    EXPECT_TRUE(secondDone);
    EXPECT_TRUE(stoppedWhileWaiting);
    EXPECT_TRUE(stopped.Aborted);
}

// The reads end at a stop request of their thread and pass it on, and so
// does the wait that lets the writer of a change finish.
TEST_F(LocationRegistryUninstall, AStopRequestPassesThroughTheReadsAndTheSettleWait) {
    Entry(HKLM, X64, L"App" + FTag, Name(L"App"));
    auto& location = Location();
    for (auto read : {&TLocationRegistryUninstall::ReadPrograms, &TLocationRegistryUninstall::ReadUpdates,
                      &TLocationRegistryUninstall::Read}) {
        TFunctionThread thread([&] { (location.*read)(); });
        thread.Terminate();
        thread.Start();
        thread.WaitFor();
        EXPECT_TRUE(thread.Aborted);
    }
    EXPECT_EQ(Program(L"", Name(L"App")), nullptr);

    std::atomic<bool> changed{false};
    TFunctionThread watching([&] {
        for (int polls = 0; polls < 3000 && !changed; ++polls) {
            changed = location.IsChanged();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    watching.Terminate();
    watching.Start();
    Key(HKLM, X64, Uninstall, L"New" + FTag);
    watching.WaitFor();
    EXPECT_TRUE(watching.Aborted);
    EXPECT_FALSE(changed);
}

// An upgrade in place writes new values into the product's keys: the item
// found again is read from its keys afresh, the first key with a value
// winning as on the first read; a product whose keys did not change keeps
// what the later stages added.
TEST_F(LocationRegistryUninstall, AProductWhoseKeysChangedIsReadAfresh) {
    const std::wstring code = NewGUID();
    auto entry = Entry(HKLM, X64, code, Name(L"Editor"));
    entry.WriteString(L"DisplayVersion", L"1.0");
    entry.WriteString(L"Publisher", L"Old Maker");
    entry.WriteString(L"UninstallString", L"C:\\Old\\uninstall.exe");
    entry.WriteString(L"Comments", L"Before the upgrade");
    auto properties = Key(HKLM, X64, SystemUserData, PackedUpgradeCode(code) + L"\\InstallProperties");
    properties.WriteString(L"DisplayName", Name(L"Editor"));
    properties.WriteString(L"DisplayVersion", L"0.9");
    properties.WriteString(L"HelpLink", L"https://old.example/");
    Entry(HKLM, X64, L"Stable" + FTag, Name(L"Stable")).WriteString(L"InstallLocation", L"C:\\Stable");

    ReadAll();
    auto editor = Program(code, Name(L"Editor"));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(KeyAt(editor, 0), EntryText(HKLM, X64, code));
    EXPECT_EQ(Text(editor, piDisplayVersion), L"1.0");
    EXPECT_EQ(Text(editor, piURLHelpLink), L"https://old.example/");
    auto stable = Program(L"", Name(L"Stable"));
    ASSERT_NE(stable, nullptr);
    stable->ReadExtendedInfo();
    ASSERT_EQ(Text(stable, piInstallLocation), L"C:\\Stable\\");

    entry.WriteString(L"DisplayVersion", L"2.0");
    entry.WriteString(L"Publisher", L"New Maker");
    entry.WriteString(L"UninstallString", L"C:\\New\\uninstall.exe");
    entry.DeleteValue(L"Comments");
    properties.WriteString(L"DisplayVersion", L"1.9");
    properties.WriteString(L"HelpLink", L"https://new.example/");
    Location().Read();
    EXPECT_EQ(Program(code, Name(L"Editor")), editor);
    EXPECT_EQ(Text(editor, piDisplayVersion), L"2.0");
    EXPECT_EQ(Text(editor, piPublisher), L"New Maker");
    EXPECT_EQ(Text(editor, piComments), L"");
    EXPECT_EQ(Text(editor, piURLHelpLink), L"https://new.example/");
    EXPECT_EQ(editor->GetActionCommand(TPossibleActions::paUninstall), L"C:\\New\\uninstall.exe");
    EXPECT_EQ(Program(L"", Name(L"Stable")), stable);
    EXPECT_EQ(Text(stable, piInstallLocation), L"C:\\Stable\\");
}

// The run header, the location's records and its items read the registry
// through one walk of the reading run: each place is walked once, and an
// item shows what the walk read of its keys without reading them again.
TEST_F(LocationRegistryUninstall, TheRunHeaderTheRecordsAndTheItemsShareOneWalk) {
    const std::wstring path = std::wstring(Uninstall) + L"\\App" + FTag;
    Entry(HKLM, X64, L"App" + FTag, Name(L"App")).WriteString(L"DisplayVersion", L"1.0");
    std::vector<std::wstring> walked;
    {
        TRegistrySnapshot::TScope scope(
            std::make_shared<TRegistrySnapshot>([&](const TRegistryKey& key, const TRegDescend& descend) {
                walked.push_back(UpperCase(key.Text()));
                return WalkRegistryKey(key, descend);
            }));
        StatisticsLog::Reset();
        ASSERT_FALSE(walked.empty());
        TRegKey::Open(HKLM, path, KEY_WRITE, X64).WriteString(L"DisplayVersion", L"2.0");
        Location().ReadPrograms();
    }
    EXPECT_EQ(std::set<std::wstring>(walked.begin(), walked.end()).size(), walked.size());
    auto app = Program(L"", Name(L"App"));
    EXPECT_EQ(Text(app, piDisplayVersion), L"1.0");
    // A later read walks anew and finds the key written since.
    Location().Read();
    EXPECT_EQ(Program(L"", Name(L"App")), app);
    EXPECT_EQ(Text(app, piDisplayVersion), L"2.0");
}

TEST_F(LocationRegistryUninstall, ChangesToWatchedKeysAreReported) {
    // Both views are watched; the 32-bit uninstall key must exist to be armed.
    Entry(HKLM, X32, L"Anchor" + FTag, Name(L"Anchor"));
    Entry(HKCU, X64, L"Anchor" + FTag, Name(L"Anchor"));
    auto& location = Location();
    EXPECT_FALSE(location.IsChanged());

    for (auto [root, view] : {std::pair{HKLM, X64}, std::pair{HKLM, X32}, std::pair{HKCU, X64}}) {
        Key(root, view, Uninstall, L"New" + FTag); // one write: a value would be a second change
        EXPECT_TRUE(WaitUntil([&] { return location.IsChanged(); }, std::chrono::seconds(5)));
        // Re-armed: quiet again until the next write.
        EXPECT_FALSE(location.IsChanged());
    }
    Key(HKLM, X64, HotFix, L"KB1" + FTag);
    EXPECT_TRUE(WaitUntil([&] { return location.IsChanged(); }, std::chrono::seconds(5)));
    // Reading changes nothing that is watched.
    location.Read();
    EXPECT_FALSE(location.IsChanged());
}

} // namespace
} // namespace velmora
