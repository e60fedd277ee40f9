// The controller and its worker over a system of the test's own: what it
// scans, deletes, asks and when it stops.
#include "FakeRegistry.h"
#include "forceremove/AppFolders.h"
#include "forceremove/ForceRemove.h"
#include "forceremove/RemoveStrategy.h"
#include "forceremove/SharedFolders.h"
#include "tests/Polling.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace velmora;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using velmora::testing::TChangeLines;
using velmora::testing::TSharedDllMap;
using velmora::testing::WaitUntil;

namespace {

// What the removal did to the test's system, and what the test holds back.
struct TMachine {
    std::mutex Lock;
    std::vector<std::wstring> Changes; // in order: "file C:\x", "dir ...", "key ...", "service ..."
    std::set<std::wstring> Locked;     // files that do not open exclusively
    std::set<std::wstring> ReadOnly;
    std::set<std::wstring> Failing; // deletions that fail
    std::wstring HoldAt;            // a change that waits until released
    std::atomic<bool> Holding{false};
    std::atomic<bool> Release{false};
    std::vector<std::wstring> AppFolders; // as the unlocker saw them
    bool ScanFails = false;
    int64_t FileSize = 10;
    bool BackupOn = false;
    bool StoreFull = false; // the backup store has no room for any change
    // What the scan finds.
    std::vector<std::wstring> Files = {L"C:\\App\\app.exe", L"C:\\App\\data\\one.dat", L"C:\\App\\data\\",
                                       L"C:\\App\\"};
    std::vector<std::wstring> Services = {L"AppService"};

    void Change(const std::wstring& change) {
        if (change == HoldAt) {
            Holding = true;
            while (!Release)
                std::this_thread::yield();
        }
        std::lock_guard lock(Lock);
        if (Failing.count(change))
            throw std::runtime_error("cannot remove");
        Changes.push_back(change);
    }
    std::vector<std::wstring> ChangesMade() {
        std::lock_guard lock(Lock);
        return Changes;
    }
};

// Records each change on the machine; a backed-up one marks its changes
// "backed-up" and, when the store is full, asks at each change whether to go
// on without backup. Read-only files are the machine's.
class TRecordingStrategy : public TChangeLines {
public:
    explicit TRecordingStrategy(TMachine& machine, std::function<bool()> storeFull = nullptr)
        : FMachine(machine), FStoreFull(std::move(storeFull)) {}
    uint32_t FileGetAttr(const std::wstring& path) override {
        std::lock_guard lock(FMachine.Lock);
        return FMachine.ReadOnly.count(path) ? 0x21 : 0x20;
    }
    void FileSetAttr(const std::wstring& path, uint32_t attributes) override {
        std::lock_guard lock(FMachine.Lock);
        if ((attributes & 1) == 0 && FMachine.ReadOnly.erase(path))
            FMachine.Locked.erase(path); // read-only was all that kept it from opening
    }

private:
    void Change(const std::wstring& change) override {
        if (!FStoreFull)
            return FMachine.Change(change);
        bool skipBackup = false;
        try {
            skipBackup = FMachine.StoreFull && FStoreFull();
        } catch (...) { // as the component does: a question that ends by termination refuses the change
        }
        if (FMachine.StoreFull && !skipBackup)
            throw std::runtime_error("store full");
        FMachine.Change((skipBackup ? L"" : L"backed-up ") + change);
    }

    TMachine& FMachine;
    std::function<bool()> FStoreFull; // empty: not backed up
};

// Lists what the test says is there, checking the pause at each entry.
class TListingScanner : public TFRTask {
public:
    TListingScanner(TMachine& machine, const TFRScanLists& lists, TWorkflowCheck check)
        : FMachine(machine), FLists(lists), FCheck(std::move(check)) {}

    void Run() override {
        if (FMachine.ScanFails)
            throw std::runtime_error("scan failed");
        for (const auto& path : FMachine.Files) {
            FCheck();
            TFRFile* entry = path.ends_with(L'\\') ? FLists.FileList.AddDir(path)
                                                   : FLists.FileList.AddFile(path, FMachine.FileSize);
            FLists.DataFileList.push_back(entry);
        }
        for (const auto& name : FMachine.Services)
            FLists.SvcList.push_back(std::make_unique<TFRService>(name, L"C:\\App\\svc.exe", name));
        FLists.RegList.Add(L"HKEY_LOCAL_MACHINE\\Software\\App\\Settings", L"");
    }

private:
    TMachine& FMachine;
    TFRScanLists FLists;
    TWorkflowCheck FCheck;
};

class TTestSystem : public TRemovalSystem {
public:
    explicit TTestSystem(TMachine& machine) : FMachine(machine) {}

    bool Is64BitWindows() override { return false; }
    std::wstring WindowsFolder() override { return L"C:\\Windows"; }
    const TSharedFolders& SharedFolders() override { return FShared; }
    std::unique_ptr<TSharedDllCounts> SharedDllCounts() override { return std::make_unique<TSharedDllMap>(); }
    std::wstring PreparePath(const std::wstring& path) override { return path; }
    std::vector<std::unique_ptr<IFRTask>> Scanners(const TFRProduct&, const TFRScanLists& lists,
                                                   TWorkflowCheck check) override {
        std::vector<std::unique_ptr<IFRTask>> scanners;
        scanners.push_back(std::make_unique<TListingScanner>(FMachine, lists, check));
        return scanners;
    }
    std::unique_ptr<IRemoveStrategy> Strategy() override {
        return std::make_unique<TRecordingStrategy>(FMachine);
    }
    bool BackupEnabled() override { return FMachine.BackupOn; }
    std::unique_ptr<IRemoveStrategy> BackedUpStrategy(const std::wstring& productName,
                                                      std::function<bool()> storeFull) override {
        FMachine.Change(L"backup set " + productName);
        return std::make_unique<TRecordingStrategy>(FMachine, std::move(storeFull));
    }
    void UnlockFiles(const TAppFolders& folders) override {
        std::lock_guard lock(FMachine.Lock);
        for (size_t i = 0; i < folders.Count(); ++i)
            FMachine.AppFolders.push_back(folders.GetItem(i));
        FMachine.Changes.push_back(L"unlock");
    }
    bool OpensExclusively(const std::wstring& path) override {
        std::lock_guard lock(FMachine.Lock);
        return !FMachine.Locked.count(path);
    }

private:
    TMachine& FMachine;
    const TSharedFolders FShared{{L"C:\\", L"C:\\Program Files"}, {}};
};

// The changes of a whole removal of what the scan finds, in order: services,
// the unlock, files, folders after their content, registry from the last entry.
const std::vector<std::wstring> WholeRemoval = {
    L"service AppService",
    L"unlock",
    L"file C:\\App\\app.exe",
    L"file C:\\App\\data\\one.dat",
    L"dir C:\\App\\data\\",
    L"dir C:\\App\\",
    L"key HKEY_LOCAL_MACHINE\\Software\\App\\Settings\\",
    L"key HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App\\"};

class ForceRemoveTest : public ::testing::Test {
protected:
    std::unique_ptr<TForceRemove> Make() {
        TFRProduct product{L"App",
                           L"App",
                           L"C:\\App",
                           {TRegistryKey{TRegView::Default, TRegRoot::LocalMachine,
                                         L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App"}}};
        return std::make_unique<TForceRemove>(std::move(product), std::make_unique<TTestSystem>(Machine));
    }

    static bool Scanned(TForceRemove& fr) {
        return WaitUntil([&] { return fr.CalcFinished() && fr.State() == TFRState::frsPaused; });
    }
    static void ScanThenRemove(TForceRemove& fr) {
        fr.StartCalculate();
        ASSERT_TRUE(Scanned(fr));
        fr.StartRemove();
    }
    static bool Finished(TForceRemove& fr) {
        return WaitUntil([&] { return fr.State() == TFRState::frsFinished; });
    }

    TMachine Machine;
};

TEST_F(ForceRemoveTest, ScansThenWaitsThenRemovesFilesFirstAndRegistryFromTheLastEntry) {
    auto fr = Make();
    EXPECT_EQ(fr->State(), TFRState::frsInitial);
    EXPECT_EQ(fr->RegEntryCount(), 1u); // the product's own key, from the start
    fr->StartCalculate();
    ASSERT_TRUE(Scanned(*fr));

    EXPECT_EQ(fr->DataFileCount(), 4u);
    EXPECT_EQ(fr->TotalFiles(), 2);
    EXPECT_EQ(fr->TotalSize(), 20);
    EXPECT_EQ(fr->ServiceCount(), 1u);
    EXPECT_EQ(fr->RegEntryCount(), 2u);
    EXPECT_THAT(Machine.ChangesMade(), IsEmpty());
    fr->StartCalculate(); // the scan has ended: nothing happens
    fr->Resume();         // only StartRemove starts the deletion
    EXPECT_FALSE(WaitUntil([&] { return !Machine.ChangesMade().empty(); }, std::chrono::milliseconds(300)));
    EXPECT_EQ(fr->State(), TFRState::frsPaused);

    fr->StartRemove();
    ASSERT_TRUE(Finished(*fr));
    EXPECT_EQ(Machine.ChangesMade(), WholeRemoval);
    // The totals, outcomes and progress at the end are checked end to end.
    EXPECT_THAT(Machine.AppFolders, ElementsAre(L"C:\\App\\"));
    EXPECT_TRUE(fr->RegEntry(0).Removed());
    fr->Resume(); // a finished removal stays finished
    EXPECT_EQ(fr->State(), TFRState::frsFinished);
}

// A termination before the start or after a failed scan: nothing of the
// system is touched (a removal started before the scan, and one of a program
// recorded at a shared folder, are checked end to end).
TEST_F(ForceRemoveTest, NothingIsChangedBeforeTheScanOrAfterAFailedOne) {
    auto early = Make();
    early->Terminate(); // before the start: only the flag, which the start clears
    EXPECT_TRUE(early->Terminated());
    early->StartCalculate();
    ASSERT_TRUE(Scanned(*early));
    EXPECT_FALSE(early->Terminated());
    early.reset();
    for (int i = 0; i < 5; ++i) { // right after the start: the worker ends and the flag stays
        auto racing = Make();
        racing->StartCalculate();
        racing->Terminate();
        ASSERT_TRUE(Finished(*racing));
        EXPECT_TRUE(racing->Terminated());
    }

    Machine.ScanFails = true;
    auto failed = Make();
    failed->StartCalculate();
    ASSERT_TRUE(Finished(*failed));
    EXPECT_FALSE(failed->CalcFinished());
    EXPECT_EQ(failed->RemoveProgress(), 100);
    failed->StartRemove();
    EXPECT_THAT(Machine.ChangesMade(), IsEmpty());
}

TEST_F(ForceRemoveTest, ADecisionGivenBeforeTheStartHoldsAndReadOnlyFilesLoseTheirBit) {
    Machine.Locked = {L"C:\\App\\app.exe", L"C:\\App\\data\\one.dat"};
    Machine.ReadOnly = {L"C:\\App\\data\\one.dat"};
    auto fr = Make();
    fr->SetBlockedFilesDecision(TFRBlockedFilesDecision::bfdContinue);
    fr->SetRKUsageDecision(TFRRKUsage::rkuUseRK);
    fr->StartCalculate();
    ASSERT_TRUE(Scanned(*fr));
    EXPECT_EQ(fr->RKUsageDecision(), TFRRKUsage::rkuNone); // cleared by the start
    fr->StartRemove();
    ASSERT_TRUE(Finished(*fr));
    fr->Lock();
    EXPECT_THAT(fr->BlockedFiles(), ElementsAre(L"C:\\App\\app.exe"));
    fr->Unlock();
    EXPECT_TRUE(fr->DataFile(1).CanRemove());
    EXPECT_EQ(fr->FilesProcessed(), 2);
}

// A failed entry keeps its error and the others go; a termination is seen at
// the next check and keeps what was deleted. The question about a file held
// open is checked end to end.
TEST_F(ForceRemoveTest, AFailedEntryKeepsItsErrorAndTerminateStopsAtTheNextCheck) {
    Machine.Failing = {L"file C:\\App\\app.exe"};
    Machine.HoldAt = L"file C:\\App\\data\\one.dat";
    auto fr = Make();
    ASSERT_NO_FATAL_FAILURE(ScanThenRemove(*fr));
    ASSERT_TRUE(WaitUntil([&] { return Machine.Holding.load(); }));
    EXPECT_EQ(fr->Processing(), L"C:\\App\\data\\one.dat");
    EXPECT_EQ(fr->Action(), TFRAction::fraRemovingFiles);
    fr->Terminate();
    Machine.Release = true;
    ASSERT_TRUE(Finished(*fr));
    EXPECT_TRUE(fr->Terminated());
    EXPECT_THAT(Machine.ChangesMade(),
                ElementsAre(L"service AppService", L"unlock", L"file C:\\App\\data\\one.dat"));
    EXPECT_FALSE(fr->DataFile(0).Outcome().Removed());
    EXPECT_EQ(fr->DataFile(0).Outcome().ErrorMessage(), L"cannot remove");
    EXPECT_TRUE(fr->DataFile(1).Outcome().Removed());
    EXPECT_FALSE(fr->DataFile(2).Outcome().Removed());
    EXPECT_EQ(fr->FilesProcessed(), 1);
    EXPECT_EQ(fr->RemovedSize(), 10);
    EXPECT_EQ(fr->RemoveProgress(), 100);
}

TEST_F(ForceRemoveTest, ABackedUpRemovalOfMoreThan100MiBAsksWhetherToBackItUp) {
    struct TCase {
        int64_t FileSize;  // of each of the two files
        TFRRKUsage Answer; // rkuNone: not asked
        bool BackedUp;
    };
    const int64_t half = 50 * 1024 * 1024;
    for (TCase c : {TCase{half, TFRRKUsage::rkuNone, true}, TCase{half + 1, TFRRKUsage::rkuUseRK, true},
                    TCase{half + 1, TFRRKUsage::rkuNotUseRK, false}}) {
        SCOPED_TRACE(::testing::Message() << c.FileSize << " bytes, answer " << static_cast<int>(c.Answer));
        Machine.Changes.clear();
        Machine.BackupOn = true;
        Machine.FileSize = c.FileSize;
        auto fr = Make();
        ASSERT_NO_FATAL_FAILURE(ScanThenRemove(*fr));
        if (c.Answer != TFRRKUsage::rkuNone) {
            ASSERT_TRUE(
                WaitUntil([&] { return fr->RequiredAction() == TFRRequiredAction::frqRKUsageDecision; }));
            EXPECT_EQ(fr->State(), TFRState::frsPaused);
            EXPECT_THAT(Machine.ChangesMade(), IsEmpty());
            fr->SetRKUsageDecision(c.Answer);
            fr->Resume();
        }
        ASSERT_TRUE(Finished(*fr)); // a question nobody answers would hold it
        std::vector<std::wstring> changes = Machine.ChangesMade();
        ASSERT_FALSE(changes.empty());
        EXPECT_EQ(changes.front() == L"backup set App", c.BackedUp);
        EXPECT_EQ(std::count(changes.begin(), changes.end(), L"backed-up file C:\\App\\app.exe"), c.BackedUp);
        EXPECT_EQ(fr->RequiredAction(), TFRRequiredAction::frqNone);
    }
}

// A termination at the question refuses the unanswered service change and is
// seen before the files; going on without backup is checked end to end.
TEST_F(ForceRemoveTest, ATerminationAtTheFullBackupStoreQuestionRefusesTheChange) {
    Machine.BackupOn = Machine.StoreFull = true;
    auto fr = Make();
    ASSERT_NO_FATAL_FAILURE(ScanThenRemove(*fr));
    ASSERT_TRUE(WaitUntil([&] {
        return fr->State() == TFRState::frsPaused &&
               fr->RequiredAction() == TFRRequiredAction::frqRKFreeSpaceDecision;
    }));
    fr->Terminate();
    ASSERT_TRUE(Finished(*fr));
    EXPECT_THAT(Machine.ChangesMade(), ElementsAre(L"backup set App", L"unlock"));
    EXPECT_EQ(fr->RemovedServiceCount(), 0);
    EXPECT_FALSE(fr->DataFile(0).Outcome().Removed());
}

} // namespace
