// Program items: the library-wide program list and its re-read marks, the
// rarely used list, the size job and missing commands.
#include "InventoryTestKit.h"

namespace velmora {
namespace {

using testkit::TTestProgram;

class ProgramList : public ::testing::Test {
protected:
    void SetUp() override { TItemProgram::Init(); }
    void TearDown() override { TItemProgram::Done(); }

    std::shared_ptr<TTestProgram> Add(TTypeUninstallLocation* location, const wchar_t* guid,
                                      const wchar_t* name) {
        auto item = std::make_shared<TTestProgram>(name, &Log, location);
        item->FGUID = guid;
        item->FDisplayNameNative = name;
        TItemProgram::Items().Add(item);
        return item;
    }
    testkit::TEventLog Log;
    TTypeUninstallLocation First, Second;
};

TEST_F(ProgramList, LookupAndReReadKeepToTheirLocation) {
    auto kept = Add(&First, L"{ab-cd}", L"Alpha Tool");
    auto other = Add(&Second, L"{ab-cd}", L"Alpha Tool");
    std::weak_ptr<TTestProgram> gone = Add(&First, L"{G}", L"Gone Program");
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{AB-CD}", L"ALPHA tool", &First), kept);
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{ab-cd}", L"Alpha Tool", &Second), other);
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{ab-cd}", L"Alpha Tool 2", &First), nullptr);

    // A re-read removes the programs of its location that it did not find again.
    other->SetMarked(true); // another location's marks are not touched
    TItemProgram::MarkAllFrom(&First);
    kept->SetMarked(false);
    TItemProgram::RemoveMarked(&First);
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(TItemProgram::Items().Count(), 2);
}

TEST_F(ProgramList, SlowPassKeepsTheRarelyUsedListInStep) {
    auto old = Add(&First, L"{O}", L"Old");
    auto older = Add(&First, L"{O2}", L"Older");
    auto recent = Add(&First, L"{R}", L"Recent");
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

TEST(RarelyUsed, OnlyMoreThan182WholeDaysAgo) {
    const double now = 46000.75;
    EXPECT_FALSE(IsRarelyUsed(now - 182, now));
    EXPECT_FALSE(IsRarelyUsed(now - 182.75, now)) << "182 whole days and some hours";
    EXPECT_TRUE(IsRarelyUsed(now - 183, now));
    EXPECT_FALSE(IsRarelyUsed(0, now)) << "never used";
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

} // namespace
} // namespace velmora
