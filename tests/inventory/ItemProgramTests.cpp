// Program and update lists and the program rules that need no operating system.
#include "InventoryTestKit.h"

#include "inventory/ExeRules.h"

namespace velmora {
namespace {

using namespace testkit;

// The lists of programs and updates; their re-read marks are the shared
// list's and item's, checked here on updates.
class ItemLists : public TItemListsTest {
protected:
    std::shared_ptr<TTestProgram> AddProgram(const wchar_t* name) {
        auto item = std::make_shared<TTestProgram>(name, &Log, &A);
        TItemProgram::Items().Add(item);
        return item;
    }
    // Publishes an update as a source does (the name is also the native name).
    TTestUpdate* AddUpdate(const std::wstring& name, TTypeUninstallLocation* location, std::wstring code) {
        TTemporaryInfo info{.FDisplayName = name, .FPackageCode = std::move(code)};
        auto update = std::make_shared<TTestUpdate>(name, &Log, location, info);
        TItemUpdate::Items().Add(update);
        return update.get();
    }
    TEventLog Log;
    TTypeUninstallLocation A, B;
};

TEST_F(ItemLists, SlowPassKeepsTheRarelyUsedListInStep) {
    auto old = AddProgram(L"Old"), older = AddProgram(L"Older"), recent = AddProgram(L"Recent");
    // The dates their slow passes find, as the usage sources would.
    const double now = NowOleDate();
    double oldUse = now - 183;
    old->OnSlow = [&] { old->FLastUsedDate = oldUse; };
    older->OnSlow = [&] { older->FLastUsedDate = now - 183; };
    recent->OnSlow = [&] { recent->FLastUsedDate = now - 10; };
    for (auto* item : {old.get(), older.get(), recent.get()})
        item->ReadSlowInfo();

    auto& unused = TItemProgram::UnusedItems();
    EXPECT_EQ(&unused.Lock(), &TItemProgram::Items().Lock()) << "one lock for both lists";
    EXPECT_EQ(unused.Count(), 2);
    EXPECT_FALSE(unused.Contains(recent.get()));

    // Used again: the next slow pass takes it off the list.
    oldUse = now - 1;
    old->FIsNeedReadSlowInfo = true;
    old->ReadSlowInfo();
    EXPECT_FALSE(unused.Contains(old.get()));
    // Destroying a program takes it off both lists.
    TItemProgram::Items().Remove(older.get());
    older.reset();
    EXPECT_EQ(unused.Count(), 0);
}

TEST(SizeJob, OnlyUnmeasuredFoldersOutsideTheSystemAndProgramsRoots) {
    const std::tuple<int64_t, const wchar_t*, bool> cases[] = {
        {0, L"C:\\Program Files\\App\\", true},       {-1, L"D:\\Games\\Game", true},
        {0, L"C:\\WindowsApps\\Tool\\", true}, // a sibling of the Windows folder
        {4096, L"C:\\Program Files\\App\\", false},   {0, L"D:\\", false},
        {0, L"c:\\windows\\System32\\Tool\\", false}, {0, L"C:\\PROGRAM FILES\\", false},
        {0, L"c:\\program files (x86)", false},
    };
    for (auto [size, folder, expected] : cases)
        EXPECT_EQ(
            NeedsSizeJob(size, folder, L"C:\\Windows", L"C:\\Program Files", L"C:\\Program Files (x86)\\"),
            expected)
            << Narrow(folder) << " " << size;
}

TEST(CommandMissing, OnlyAProgramWithAFolderThatIsNotThereIsMissing) {
    TCommandProbe probe;
    probe.FileExists = [](const std::wstring& path) {
        return path == L"C:\\App\\unins000.exe" || path == L"C:\\Program Files\\App\\remove.exe" ||
               path == L"C:\\Program Files\\Foo Bar\\uninst.exe";
    };
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"", false},
        {L"\"C:\\Program Files\\App\\remove.exe\" /S", false},
        {L"MsiExec.exe /X{12345678-1234-1234-1234-123456789012}", false},
        {L"C:\\Gone\\unins000.exe", true},
        {L"\"C:\\Program Files\\Gone\\remove.exe\" /S", true},
        {L"C:\\App\\other.exe /uninstall", true},
        // Unquoted with blanks: found as the actions find it.
        {L"C:\\Program Files\\Foo Bar\\uninst.exe /S", false},
        {L"C:\\Program Files\\Foo Bar\\gone.exe /S", true},
    };
    for (auto [command, missing] : cases)
        EXPECT_EQ(IsCommandMissing(command, probe), missing) << Narrow(command);
}

TEST_F(ItemLists, SweepDeletesTheUnseenItemsOfItsLocationFromTheLastOne) {
    TTestUpdate* b1 = AddUpdate(L"B1", &B, L"CodeB1");
    AddUpdate(L"A1", &A, L"CodeA1");
    TTestUpdate* a2 = AddUpdate(L"A2", &A, L"CodeA2");
    AddUpdate(L"A3", &A, L"CodeA3");
    b1->SetMarked(true);

    TItemUpdate::MarkAllItems(&A);
    a2->SetMarked(false); // seen again
    TItemUpdate::CheckDeleteMarked(&A);

    EXPECT_EQ(TItemUpdate::Items().Count(), 2);
    EXPECT_EQ(TItemUpdate::ItemByCode(L"CodeB1", &B).get(), b1) << "another location's marked item stays";
    EXPECT_FALSE(Log.Has(L"A2.Destroyed"));
    ASSERT_TRUE(Log.Has(L"A1.Destroyed"));
    EXPECT_LT(Log.IndexOf(L"A3.Destroyed"), Log.IndexOf(L"A1.Destroyed"));
}

struct TEntry {
    std::wstring ExecutedFile, LinkFile, LinkName;
};

std::optional<size_t> Choose(std::wstring_view displayName, std::wstring_view location,
                             const std::vector<TEntry>& entries) {
    return ChooseExecutable(displayName, location, entries.size(), [&](size_t i) {
        return TExeRecord{entries[i].ExecutedFile, entries[i].LinkFile, entries[i].LinkName};
    });
}

TEST(ExeRules, UsageRecordsNameExecutables) {
    const std::wstring desktop = L"C:\\Users\\me\\Desktop";
    const std::wstring encoded = Rot13(L"UEME_RUNPATH:C:\\App\\app.exe");
    EXPECT_EQ(UsageRecordFile(encoded, true, desktop), L"C:\\App\\app.exe");
    EXPECT_FALSE(UsageRecordFile(encoded, false, desktop));
    EXPECT_FALSE(UsageRecordFile(L"UEME_RUNPATH:C:\\App\\app.exe", true, desktop));
    // A bare shortcut name lives on the desktop.
    EXPECT_EQ(UsageRecordFile(L"UEME_RUNPATH:Game.LNK", false, desktop), L"C:\\Users\\me\\Desktop\\Game.LNK");
    EXPECT_FALSE(UsageRecordFile(L"UEME_RUNPATH:C:\\Tools\\run.bat", false, desktop));
}

// A shortcut name inside the display name needs the install folder as well;
// by folder, uninstallers are skipped and the best extension wins.
TEST(ExeRules, ChoiceByShortcutNameOrFolderSkipsUninstallersAndPrefersTheBestExtension) {
    const std::wstring tool = L"C:\\Apps\\Tool\\";
    const std::vector<TEntry>
        byName = {{L"C:\\Other\\other.exe", L"C:\\Menu\\Other.lnk", L"Other"},
                  {L"C:\\Apps\\Suite\\Bin\\editor.exe", L"C:\\Menu\\Editor.lnk", L"Editor"},
                  {L"D:\\Apps\\W\\widget.exe", L"C:\\Menu\\Widget Pro.lnk", L"Widget Pro"}},
        inFolder = {{tool + L"unins000.exe", L"", L"Tool"}, {tool + L"readme.txt", L"", L"Tool"},
                    {tool + L"tool.dll", L"", L""},         {tool + L"noext", L"", L""},
                    {tool + L"start.bat", L"", L""},        {tool + L"tool.exe", L"", L""},
                    {tool + L"second.exe", L"", L""}};
    // Display name, install folder, the first entries of a list, the choice.
    const std::tuple<const wchar_t*, std::wstring, const std::vector<TEntry>*, size_t, std::optional<size_t>>
        cases[] = {
            {L"WIDGET PRO 2.5.1 (x64 edition)", L"", &byName, 3, 2},
            {L"Suite Editor 4", L"C:\\Apps\\Suite", &byName, 3, 1},
            {L"Suite Editor 4", L"C:\\Apps\\Other", &byName, 3, std::nullopt},
            {L"Tool", tool, &inFolder, 7, 5},
            {L"Tool", tool, &inFolder, 5, 4},
            {L"Tool", tool, &inFolder, 4, std::nullopt},
        };
    for (const auto& [name, folder, entries, count, chosen] : cases)
        EXPECT_EQ(Choose(name, folder, {entries->begin(), entries->begin() + count}), chosen)
            << Narrow(name) << " " << count;
}

} // namespace
} // namespace velmora
