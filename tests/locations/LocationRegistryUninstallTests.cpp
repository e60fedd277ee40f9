// The registry uninstall location over real registry entries written under
// names unique to the test; the prefix holds other entries too, so every
// check looks only at the test's own items.
#include "locations/LocationRegistryUninstall.h"

#include "frame/DebugLog.h"
#include "inventory/ItemUpdate.h"
#include "msi/MsiRules.h"
#include "platform/Registry.h"
#include "platform/RegistrySnapshot.h"
#include "tests/TestThread.h"
#include "tests/inventory/InventoryTestKit.h"
#include "tests/platform/ScratchKit.h"
#include "tests/TestBase.h"

#include <objbase.h>
#include <windows.h>

#include <variant>

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

// A base key: root, view and path.
struct TPlace {
    TRegRoot Root;
    TRegView View;
    std::wstring Base;
};
using TValues = std::vector<std::pair<const wchar_t*, std::variant<std::wstring, DWORD, Texts>>>;

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

    // Creates base\name (and missing parents) with these values; teardown
    // deletes the first component of name with everything below it, never the
    // shared base.
    TRegKey Key(const TPlace& place, const std::wstring& name, const TValues& values = {}) {
        FCreated.push_back({place.Root, place.View, place.Base + L"\\" + name.substr(0, name.find(L'\\'))});
        TRegKey key = TRegKey::Create(place.Root, place.Base + L"\\" + name, KEY_ALL_ACCESS, place.View);
        for (const auto& [value, data] : values)
            if (auto* text = std::get_if<std::wstring>(&data))
                key.WriteString(value, *text);
            else if (auto* number = std::get_if<DWORD>(&data))
                key.WriteNumber(value, *number);
            else
                key.WriteMultiString(value, std::get<Texts>(data));
        return key;
    }
    std::wstring Name(const std::wstring& what) const { return what + FTag; }
    static std::wstring Text(const std::shared_ptr<TItemProgram>& item, TProductInfo index) {
        return item ? std::get<std::wstring>(item->GetInfo(index)) : L"(no item)";
    }

    TLocationRegistryUninstall& Location() {
        if (!FLocation)
            FLocation = std::make_unique<TLocationRegistryUninstall>();
        return *FLocation;
    }
    std::shared_ptr<TItemProgram> Program(const std::wstring& guid, const std::wstring& name) {
        return TItemProgram::ItemByGUIDName(guid, name, &Location());
    }
    // The test's own items (the prefix holds others), one line each: kind,
    // code, name and key texts, the test's tag and common key parts left out;
    // sorted.
    Texts Listing() {
        Texts lines;
        auto add = [&](const wchar_t* kind, TItemProduct& item) {
            const std::wstring code = item.GUID();
            std::wstring line = kind + (code.empty() ? L"" : L" " + code) + L" " + item.DisplayName() + L":";
            for (const auto& key : item.RegistryKeys())
                line += L" " + key.Text();
            if (item.Location() != FLocation.get() || line.find(FTag) == line.npos)
                return;
            for (auto [part, shown] : {std::pair{FTag, L""},
                                       {L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\", L"HKLM\\"},
                                       {L"HKEY_CURRENT_USER\\Software\\Microsoft\\", L"HKCU\\"},
                                       {L"Windows\\CurrentVersion\\", L""}})
                for (size_t at; (at = line.find(part)) != line.npos;)
                    line.replace(at, part.size(), shown);
            lines.push_back(line);
        };
        TItemProgram::Items().ForEachFromLast([&](TItemProgram& item) { add(L"program", item); });
        TItemUpdate::Items().ForEachFromLast([&](TItemUpdate& item) { add(L"update", item); });
        std::ranges::sort(lines);
        return lines;
    }

    const std::wstring FTag = testing::UniqueName(L"VlmK");
    std::vector<std::tuple<TRegRoot, TRegView, std::wstring>> FCreated;
    std::unique_ptr<TLocationRegistryUninstall> FLocation;
};

constexpr TRegRoot HKLM = TRegRoot::LocalMachine;
constexpr TRegRoot HKCU = TRegRoot::CurrentUser;
constexpr TRegView X64 = TRegView::x64;
constexpr TRegView X32 = TRegView::x32;
// The uninstall keys.
const TPlace M64{HKLM, X64, Uninstall}, M32{HKLM, X32, Uninstall}, U64{HKCU, X64, Uninstall};

// One machine of uninstall entries, installer products and update keys, read
// as the reading thread reads (programs, then updates) and again as a re-read
// does. The 32-bit view, per-user entries, a system component joining its
// program, "ProductCodes", install properties and patches are the end-to-end
// inventory check's.
TEST_F(LocationRegistryUninstall, EntriesProductsAndUpdateKeysBecomeProgramsAndUpdates) {
    const std::wstring coded = NewGUID(), hidden = NewGUID();
    const std::wstring kb =
        std::to_wstring(10'000'000 + (GetTickCount() ^ GetCurrentProcessId()) % 89'999'999);
    const struct {
        TPlace Place;
        std::wstring Key;
        TValues Values;
    } machine[] = {
        // Read order: HKLM 64-bit, HKCU 64-bit, then the 32-bit view; the first read wins.
        {M64, L"A" + FTag, {{L"DisplayName", Name(L"Machine64")}}},
        {U64, L"D" + FTag, {{L"DisplayName", Name(L"Twice")}}},
        {M32, L"E" + FTag, {{L"DisplayName", Name(L"twice")}}},
        {M64, L"F" + FTag, {{L"DisplayName", Name(L"Coded")}, {L"ProductID", coded}}},
        {M32, coded, {{L"DisplayName", Name(L"Coded under another name")}}},
        // A system component matching no program keeps the installer product of its code out.
        {M64, hidden, {{L"DisplayName", Name(L"Hidden")}, {L"SystemComponent", 1u}}},
        {{HKCU, X64, UserProducts}, PackedUpgradeCode(hidden), {{L"ProductName", Name(L"Hidden product")}}},
        // Release types decide between programs and updates.
        {M64, L"Typed" + FTag, {{L"DisplayName", Name(L"Typed")}, {L"ReleaseType", L"security update"}}},
        {M64,
         L"UpdateThenOne" + FTag,
         {{L"DisplayName", Name(L"UpdateThenOne")}, {L"ReleaseType", L"Update"}, {L"PatchType", 1u}}},
        {M64, L"Patch3" + FTag, {{L"DisplayName", Name(L"Patch3")}, {L"PatchType", 3u}}},
        {M64,
         L"ParentKey" + FTag,
         {{L"DisplayName", Name(L"ParentKey")}, {L"ParentKeyName", L"SomeProduct"}}},
        {M64, L"Unknown" + FTag, {{L"DisplayName", Name(L"Unknown")}, {L"ReleaseType", L"Nonsense"}}},
        // Update keys claim entries in a re-read, by a link matched as a
        // suffix of the entry's key text, or by a knowledge-base number.
        {M64, L"Linked" + FTag, {{L"DisplayName", Name(L"Linked")}}},
        {M64, L"Numbered" + FTag, {{L"DisplayName", Name(L"Hotfix (KB" + kb + L")")}}},
        {{HKLM, X64, Updates},
         L"Group" + FTag + L"\\Linked",
         {{L"ARPLink", L"CurrentVersion\\Uninstall\\Linked" + FTag}}},
        {{HKLM, X64, HotFix}, L"KB" + kb + L"-v2"},
    };
    for (const auto& row : machine)
        Key(row.Place, row.Key, row.Values);

    Texts expected = {
        L"program Machine64: (x64)HKLM\\Uninstall\\A",
        L"program Twice: (x64)HKCU\\Uninstall\\D",
        L"program " + coded + L" Coded: (x64)HKLM\\Uninstall\\F",
        L"program UpdateThenOne: (x64)HKLM\\Uninstall\\UpdateThenOne",
        L"program Unknown: (x64)HKLM\\Uninstall\\Unknown",
        L"update Typed: (x64)HKLM\\Uninstall\\Typed",
        L"update Patch3: (x64)HKLM\\Uninstall\\Patch3",
        L"update ParentKey: (x64)HKLM\\Uninstall\\ParentKey",
        L"program Linked: (x64)HKLM\\Uninstall\\Linked",
        L"program Hotfix (KB" + kb + L"): (x64)HKLM\\Uninstall\\Numbered",
    };
    std::ranges::sort(expected);
    Location().ReadPrograms();
    Location().ReadUpdates();
    EXPECT_EQ(Listing(), expected);
    auto codedItem = Program(coded, Name(L"Coded"));

    // Entries claimed by an update key in a full read stay programs as well.
    expected.push_back(L"update Linked: (x64)HKLM\\Uninstall\\Linked (x64)HKLM\\Updates\\Group\\Linked");
    expected.push_back(L"update Hotfix (KB" + kb + L"): (x64)HKLM\\Uninstall\\Numbered (x64)HKLM\\Windows " +
                       L"NT\\CurrentVersion\\HotFix\\KB" + kb + L"-v2");
    std::ranges::sort(expected);
    Location().Read();
    EXPECT_EQ(Listing(), expected);
    // A re-read keeps the items still there; the hidden code outlives the component's entry.
    DeleteKey(HKLM, std::wstring(Uninstall) + L"\\" + hidden, X64);
    Location().Read();
    EXPECT_EQ(Listing(), expected);
    EXPECT_EQ(Program(coded, Name(L"Coded")), codedItem);
}

// The reads end at a stop request of their thread and pass it on, and so
// do the wait that lets the writer of a change finish and the wait of a
// second read: a front-end read and the reading thread share the location's
// temporary records, so a second read waits until the running one has ended.
TEST_F(LocationRegistryUninstall, ReadsTakeTurnsAndAStopRequestPassesThroughTheReadsAndTheWaits) {
    Key(M64, L"App" + FTag, {{L"DisplayName", Name(L"App")}});
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
    Key(M64, L"New" + FTag);
    watching.WaitFor();
    EXPECT_TRUE(watching.Aborted);
    EXPECT_FALSE(changed);

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

// The run header, the location's records and its items read the registry
// through one walk of the reading run: each place is walked once, and an item
// shows what the walk read of its keys, the first key with a value winning.
// A later read walks anew: after an upgrade in place the item found again is
// read from its keys afresh; a product whose keys did not change keeps what
// the later stages added.
TEST_F(LocationRegistryUninstall, AReadWalksOnceAndAProductWhoseKeysChangedIsReadAfresh) {
    const std::wstring code = NewGUID();
    TRegKey entry = Key(M64, code,
                        {{L"DisplayName", Name(L"Editor")},
                         {L"DisplayVersion", L"1.0"},
                         {L"Publisher", L"Old Maker"},
                         {L"UninstallString", L"C:\\Old\\uninstall.exe"},
                         {L"Comments", L"Before the upgrade"}});
    TRegKey properties = Key({HKLM, X64, SystemUserData}, PackedUpgradeCode(code) + L"\\InstallProperties",
                             {{L"DisplayName", Name(L"Editor")},
                              {L"DisplayVersion", L"0.9"},
                              {L"HelpLink", L"https://old.example/"}});
    Key(M64, L"Stable" + FTag, {{L"DisplayName", Name(L"Stable")}, {L"InstallLocation", L"C:\\Stable"}});
    std::vector<std::wstring> walked;
    {
        TRegistrySnapshot::TScope scope(
            std::make_shared<TRegistrySnapshot>([&](const TRegistryKey& key, const TRegDescend& descend) {
                walked.push_back(UpperCase(key.Text()));
                return WalkRegistryKey(key, descend);
            }));
        StatisticsLog::Reset();
        ASSERT_FALSE(walked.empty());
        entry.WriteString(L"DisplayVersion", L"2.0");
        Location().ReadPrograms();
        Location().ReadUpdates();
    }
    EXPECT_EQ(std::set<std::wstring>(walked.begin(), walked.end()).size(), walked.size());
    auto editor = Program(code, Name(L"Editor"));
    ASSERT_NE(editor, nullptr);
    auto shown = [&] {
        return Texts{
            editor->RegistryKeys().at(0).Text(), Text(editor, piDisplayVersion),
            Text(editor, piPublisher),           Text(editor, piComments),
            Text(editor, piURLHelpLink),         editor->GetActionCommand(TPossibleActions::paUninstall)};
    };
    const std::wstring main = RegistryKeyToStr(X64, HKLM, std::wstring(Uninstall) + L"\\" + code);
    EXPECT_EQ(shown(), (Texts{main, L"1.0", L"Old Maker", L"Before the upgrade", L"https://old.example/",
                              L"C:\\Old\\uninstall.exe"}));
    auto stable = Program(L"", Name(L"Stable"));
    ASSERT_NE(stable, nullptr);
    stable->ReadExtendedInfo();
    ASSERT_EQ(Text(stable, piInstallLocation), L"C:\\Stable\\");

    entry.WriteString(L"Publisher", L"New Maker");
    entry.WriteString(L"UninstallString", L"C:\\New\\uninstall.exe");
    entry.DeleteValue(L"Comments");
    properties.WriteString(L"DisplayVersion", L"1.9");
    properties.WriteString(L"HelpLink", L"https://new.example/");
    Location().Read();
    EXPECT_EQ(Program(code, Name(L"Editor")), editor);
    EXPECT_EQ(shown(),
              (Texts{main, L"2.0", L"New Maker", L"", L"https://new.example/", L"C:\\New\\uninstall.exe"}));
    EXPECT_EQ(Program(L"", Name(L"Stable")), stable);
    EXPECT_EQ(Text(stable, piInstallLocation), L"C:\\Stable\\");
}

TEST_F(LocationRegistryUninstall, ChangesToWatchedKeysAreReported) {
    // Both views are watched; the 32-bit uninstall key must exist to be armed.
    Key(M32, L"Anchor" + FTag);
    Key(U64, L"Anchor" + FTag);
    auto& location = Location();
    EXPECT_FALSE(location.IsChanged());

    for (auto [root, view] : {std::pair{HKLM, X64}, std::pair{HKLM, X32}, std::pair{HKCU, X64}}) {
        Key({root, view, Uninstall}, L"New" + FTag); // one write: a value would be a second change
        EXPECT_TRUE(WaitUntil([&] { return location.IsChanged(); }, std::chrono::seconds(5)));
        // Re-armed: quiet again until the next write.
        EXPECT_FALSE(location.IsChanged());
    }
    Key({HKLM, X64, HotFix}, L"KB1" + FTag);
    EXPECT_TRUE(WaitUntil([&] { return location.IsChanged(); }, std::chrono::seconds(5)));
    // Reading changes nothing that is watched.
    location.Read();
    EXPECT_FALSE(location.IsChanged());
}

} // namespace
} // namespace velmora
