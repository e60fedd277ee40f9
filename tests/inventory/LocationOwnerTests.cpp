// The location owner's reading thread over recording locations and items.
#include "InventoryTestKit.h"

using namespace velmora;
using namespace velmora::testkit;

namespace {

bool Loaded() {
    return TLocationOwner::GetReadState() == TReadState::rsLoaded;
}

// The events up to the first occurrence of marker (inclusive).
std::vector<std::wstring> EventsThrough(TEventLog& log, const std::wstring& marker) {
    auto events = log.Events();
    events.resize(static_cast<size_t>(log.IndexOf(marker)) + 1);
    return events;
}

class LocationOwnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        TLocationOwner::UnregisterLocations();
        // No waiting between polls and before a re-read: the tests await conditions.
        TLocationOwner::SetReadTimings({1, 0});
    }
    void TearDown() override {
        FOwner.reset();
        EXPECT_FALSE(TLocationOwner::IsReading());
        TLocationOwner::UnregisterLocations();
        TLocationOwner::SetOnListRead(nullptr);
        TLocationOwner::SetUsageRefresh(nullptr);
        TLocationOwner::SetReadTimings({});
    }

    // Registers a recording location; configure runs when the owner creates it.
    void Register(const std::wstring& name, std::function<void(TTestLocation&)> configure = {}) {
        TLocationOwner::RegisterLocation(name, [this, name, configure] {
            auto location = std::make_unique<TTestLocation>(name, Log);
            if (configure)
                configure(*location);
            return location;
        });
    }
    void CreateOwner() { FOwner = std::make_unique<TLocationOwner>(); }

    // Adds to the library-wide list as a location publishing an item does.
    template <class T = TTestProgram>
    T* Add(const std::wstring& name, TTypeUninstallLocation* location = nullptr) {
        auto item = std::make_shared<T>(name, &Log, location);
        T::Items().Add(item);
        return item.get();
    }
    // Logs the event, if any, then the read state ("state0" for rsNonw, "state1" for rsLoading).
    void RecordState(const std::wstring& event = {}) {
        if (!event.empty())
            Log.Add(event);
        Log.Add(L"state" + std::to_wstring(static_cast<int>(TLocationOwner::GetReadState())));
    }

    TEventLog Log;

private:
    std::unique_ptr<TLocationOwner> FOwner;
};

} // namespace

TEST_F(LocationOwnerTest, FullReadRunsThePassesInOrderThenAChangedLocationOrProgramIsReRead) {
    TTestProgram* p1 = nullptr;
    TTestLocation* locationA = nullptr;
    Register(L"A", [&, this](TTestLocation& a) {
        locationA = &a;
        a.OnReadPrograms = [&, this] {
            p1 = Add(L"P1", &a);
            p1->ReadFastInfo();
            Add(L"P2", &a)->ReadFastInfo();
            RecordState();
        };
        a.OnRead = [this, &a] { Add(L"P3", &a)->ReadFastInfo(); };
    });
    Register(L"B", [this](TTestLocation& b) {
        b.OnReadUpdates = [this, &b] { Add<TTestUpdate>(L"U1", &b)->ReadFastInfo(); };
    });
    TLocationOwner::SetOnListRead([this] { RecordState(L"hook"); });
    TLocationOwner::SetUsageRefresh([this] { RecordState(L"usage"); });
    CreateOwner();

    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"B?0"); }));
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(EventsThrough(Log, L"B?0"),
              EventList(L"A.Created B.Created A.ReadPrograms P1.Fast P2.Fast state0 B.ReadPrograms "
                        L"A.ReadProgramsSlowInfo B.ReadProgramsSlowInfo P2.Ext P1.Ext P2.Images P1.Images "
                        L"A.ReadUpdates B.ReadUpdates U1.Fast hook state0 usage state1 "
                        L"P2.Slow P1.Slow U1.Slow A?0 B?0"));

    locationA->Changed = true;
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"P3.Slow"); }));
    auto events = Log.Events();
    // B is not polled once A answered; items read already are not read again.
    EXPECT_EQ(
        std::vector<std::wstring>(events.begin() + Log.IndexOf(L"A?1"),
                                  events.begin() + Log.IndexOf(L"P3.Slow") + 1),
        EventList(
            L"A?1 A.Read P3.Fast A.ReadProgramsSlowInfo B.ReadProgramsSlowInfo P3.Ext P3.Images P3.Slow"));
    EXPECT_EQ(Log.CountOf(L"usage"), 1);
    EXPECT_EQ(Log.CountOf(L"P1.Slow"), 1);

    // A program whose own sources changed (its install folder) is read again
    // from its keys in the watch loop and completed by the extended stages.
    p1->FolderChanged = true;
    ASSERT_TRUE(WaitUntil([this] { return Log.CountOf(L"P1.Images") == 2; }, std::chrono::seconds(20)));
    events = Log.Events();
    auto again = std::find(std::find(events.begin(), events.end(), L"P1.Fast") + 1, events.end(), L"P1.Fast");
    ASSERT_GE(std::distance(again, events.end()), 3);
    EXPECT_EQ(std::vector<std::wstring>(again, again + 3), EventList(L"P1.Fast P1.Ext P1.Images"));
}

TEST_F(LocationOwnerTest, RefreshWhileReadingEndsTheOldThreadFirstAndDropsTheState) {
    std::atomic<int> programPasses{0};
    TTestProgram* program = nullptr;
    Register(L"A", [&, this](TTestLocation& a) {
        a.OnReadPrograms = [&, this] {
            if (++programPasses == 2) {
                BlockUntilTerminated();
                return;
            }
            program = Add(L"P", &a);
            program->OnSlow = [this] {
                Log.Add(L"slow-begin");
                try {
                    BlockUntilTerminated();
                } catch (const EAbort&) {
                    Log.Add(L"slow-aborted");
                    throw;
                }
            };
        };
    });
    CreateOwner();
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"slow-begin"); }));
    EXPECT_EQ(TLocationOwner::GetReadState(), TReadState::rsLoading);

    TLocationOwner::StartReading(false);
    // The old thread has ended before the call returned.
    EXPECT_TRUE(Log.Has(L"slow-aborted"));
    EXPECT_EQ(TLocationOwner::GetReadState(), TReadState::rsNonw);
    ASSERT_TRUE(WaitUntil([&] { return programPasses == 2; }));
    // The aborted slow read is left to be repeated; the list keeps its program.
    EXPECT_TRUE(program->IsNeedReadSlowInfo());
    EXPECT_EQ(TItemProgram::Items().Count(), 1);
}

TEST_F(LocationOwnerTest, StopAllEndsAWaitingThreadPromptlyAndStopsTheActions) {
    TLocationOwner::SetReadTimings({1, 600'000});
    Register(L"A", [](TTestLocation& a) { a.Changed = true; });
    CreateOwner();
    std::atomic<bool> programStopped{false};
    TTestProgram* program = Add(L"P");
    program->SetActionThread(WaitingThread(programStopped));
    const auto mark = StatisticsMark();
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"A?1"); }));

    TLocationOwner::StopAll();
    EXPECT_FALSE(TLocationOwner::IsReading());
    EXPECT_FALSE(Log.Has(L"A.Read"));
    EXPECT_TRUE(programStopped);
    EXPECT_FALSE(program->IsActionRunning());
    EXPECT_EQ(TItemProgram::Items().Count(), 1);
    // A stop is not an error, and it keeps the last state.
    EXPECT_FALSE(LoggedSince(mark, L"abort"));
    EXPECT_TRUE(Loaded());
}

TEST_F(LocationOwnerTest, AFailingLocationIsLoggedAndTheOthersAreStillRead) {
    Register(L"A", [this](TTestLocation& a) {
        a.OnReadPrograms = [this, &a] {
            Add(L"P1", &a);
            throw std::runtime_error("programs of A unreadable");
        };
    });
    TLocationOwner::RegisterLocation(L"Broken", []() -> std::unique_ptr<TLocationUninstall> {
        throw std::runtime_error("location cannot be created");
    });
    Register(L"B");
    TLocationOwner::SetOnListRead([this] { Log.Add(L"hook"); });
    const auto mark = StatisticsMark();
    CreateOwner();
    EXPECT_TRUE(LoggedSince(mark, L"location cannot be created"));
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil(Loaded));
    EXPECT_EQ(EventsThrough(Log, L"B.Created"), EventList(L"A.Created B.Created"));
    EXPECT_TRUE(LoggedSince(mark, L"programs of A unreadable"));
    EXPECT_FALSE(Log.Has(L"B.ReadPrograms"));
    EXPECT_TRUE(Log.Has(L"hook"));
    EXPECT_EQ(TItemProgram::Items().Count(), 1);
}

TEST_F(LocationOwnerTest, WalksSurviveProgramsRemovedDuringAPass) {
    std::atomic<bool> inSlowStep{false}, removed{false};
    TTestProgram* p0 = nullptr;
    TTestProgram* p2 = nullptr;
    Register(L"A", [&, this](TTestLocation& a) {
        a.OnReadPrograms = [&, this] {
            p0 = Add(L"P0", &a);
            p2 = Add(L"P2", &a);
            // The item in use and one not yet visited are removed from another
            // thread while the slow pass runs.
            p2->OnSlow = [&] {
                inSlowStep = true;
                WaitUntil([&] { return removed.load(); });
            };
        };
    });
    CreateOwner();
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([&] { return inSlowStep.load(); }));
    EXPECT_TRUE(TItemProgram::Items().Remove(p2));
    EXPECT_TRUE(TItemProgram::Items().Remove(p0));
    EXPECT_TRUE(Log.Has(L"P0.Destroyed"));
    EXPECT_FALSE(Log.Has(L"P2.Destroyed"));
    removed = true;
    ASSERT_TRUE(WaitUntil(Loaded));

    EXPECT_EQ(EventsThrough(Log, L"P2.Destroyed"),
              EventList(L"A.Created A.ReadPrograms A.ReadProgramsSlowInfo P2.Ext P0.Ext P2.Images P0.Images "
                        L"A.ReadUpdates P2.Slow P0.Destroyed P2.Destroyed"));
    EXPECT_EQ(TItemProgram::Items().Count(), 0);
}
