#include "InventoryTestKit.h"

#include <chrono>
#include <future>
#include <map>
#include <stdexcept>

using namespace velmora;
using namespace velmora::testkit;
using namespace std::chrono;

namespace {

std::wstring StateText(TReadState state) {
    switch (state) {
    case TReadState::rsNonw:
        return L"state:rsNonw";
    case TReadState::rsLoading:
        return L"state:rsLoading";
    case TReadState::rsLoaded:
        return L"state:rsLoaded";
    }
    return L"state:?";
}

bool Loaded() {
    return TLocationOwner::GetReadState() == TReadState::rsLoaded;
}

// The events before the n-th occurrence of marker (inclusive).
std::vector<std::wstring> EventsThrough(TEventLog& log, const std::wstring& marker, int occurrence = 0) {
    auto events = log.Events();
    int index = log.IndexOf(marker, occurrence);
    if (index < 0)
        return events;
    events.resize(static_cast<size_t>(index) + 1);
    return events;
}

class LocationOwnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        TLocationOwner::UnregisterLocations();
        // No waiting between polls and before a re-read: the tests await
        // conditions instead.
        TLocationOwner::SetReadTimings({1, 0});
    }

    void TearDown() override {
        FOwner.reset();
        EXPECT_FALSE(TLocationOwner::IsReading());
        TLocationOwner::UnregisterLocations();
        TLocationOwner::SetOnListRead(nullptr);
        TLocationOwner::SetUsageRefresh(nullptr);
        TLocationOwner::SetFinalizeInterfaces(nullptr);
        TLocationOwner::SetReadTimings({});
    }

    // Registers a recording location; configure runs when the owner creates it.
    void Register(const std::wstring& name, std::function<void(TTestLocation&)> configure = {}) {
        TLocationOwner::RegisterLocation(name, [this, name, configure] {
            auto location = std::make_unique<TTestLocation>(name, Log);
            if (configure)
                configure(*location);
            FLocations[name] = location.get();
            return location;
        });
    }

    TTestLocation& Location(const std::wstring& name) { return *FLocations.at(name); }

    void CreateOwner() { FOwner = std::make_unique<TLocationOwner>(); }

    // Adds to the library-wide lists as a location publishing an item does.
    TTestProgram* AddProgram(const std::wstring& name, TTypeUninstallLocation* location = nullptr) {
        auto program = std::make_shared<TTestProgram>(name, Log, location);
        TTestProgram* raw = program.get();
        TItemProgram::Items().Add(std::move(program));
        return raw;
    }
    TTestUpdate* AddUpdate(const std::wstring& name, TTypeUninstallLocation* location = nullptr) {
        auto update = std::make_shared<TTestUpdate>(name, Log, location);
        TTestUpdate* raw = update.get();
        TItemUpdate::Items().Add(std::move(update));
        return raw;
    }

    void RecordState() { Log.Add(StateText(TLocationOwner::GetReadState())); }

    TEventLog Log;

private:
    std::map<std::wstring, TTestLocation*> FLocations;
    std::unique_ptr<TLocationOwner> FOwner;
};

} // namespace

TEST_F(LocationOwnerTest, FullReadRunsThePassesInOrderAndEndsLoaded) {
    Register(L"A", [this](TTestLocation& a) {
        a.OnReadPrograms = [this, &a] {
            AddProgram(L"P1", &a)->ReadFastInfo();
            AddProgram(L"P2", &a)->ReadFastInfo();
            RecordState();
        };
    });
    Register(L"B", [this](TTestLocation& b) {
        b.OnReadUpdates = [this, &b] { AddUpdate(L"U1", &b)->ReadFastInfo(); };
    });
    TLocationOwner::SetOnListRead([this] {
        Log.Add(L"hook");
        RecordState();
    });
    TLocationOwner::SetUsageRefresh([this] {
        Log.Add(L"usage");
        RecordState();
    });
    CreateOwner();
    EXPECT_EQ(TLocationOwner::GetReadState(), TReadState::rsNonw);
    EXPECT_EQ(Location(L"A").ClassName(), L"A");

    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil(Loaded));
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"B?0"); }));
    EXPECT_EQ(EventsThrough(Log, L"B?0"), (std::vector<std::wstring>{
                                              L"A.Created",
                                              L"B.Created",
                                              L"A.ReadPrograms",
                                              L"P1.Fast",
                                              L"P2.Fast",
                                              L"state:rsNonw",
                                              L"B.ReadPrograms",
                                              L"A.ReadProgramsSlowInfo",
                                              L"B.ReadProgramsSlowInfo",
                                              L"P2.Ext",
                                              L"P1.Ext",
                                              L"P2.Images",
                                              L"P1.Images",
                                              L"A.ReadUpdates",
                                              L"B.ReadUpdates",
                                              L"U1.Fast",
                                              L"hook",
                                              L"state:rsNonw",
                                              L"usage",
                                              L"state:rsLoading",
                                              L"P2.Slow",
                                              L"P1.Slow",
                                              L"U1.Slow",
                                              L"A?0",
                                              L"B?0",
                                          }));
    EXPECT_TRUE(TLocationOwner::IsReading());
    // Watching does not change the state.
    ASSERT_TRUE(WaitUntil([this] { return Location(L"B").Polls >= 3; }));
    EXPECT_TRUE(Loaded());
}

TEST_F(LocationOwnerTest, SourceWideSlowPassOnlyWhenAProgramNeedsSlowInformation) {
    Register(L"A");
    CreateOwner();
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"A?0"); }));
    EXPECT_FALSE(Log.Has(L"A.ReadProgramsSlowInfo"));
}

TEST_F(LocationOwnerTest, ChangedLocationIsReReadThenExtendedPassUsageRefreshedOncePerThread) {
    Register(L"A", [this](TTestLocation& a) {
        a.OnReadPrograms = [this, &a] { AddProgram(L"P1", &a)->ReadFastInfo(); };
        a.OnRead = [this, &a] { AddProgram(L"P2", &a)->ReadFastInfo(); };
    });
    Register(L"B");
    TLocationOwner::SetUsageRefresh([this] { Log.Add(L"usage"); });
    CreateOwner();
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"B?0"); }));

    TStatisticsLogReader statistics;
    Location(L"A").Changed = true;
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"P2.Slow"); }));
    EXPECT_TRUE(statistics.Contains(L"Detect changes in location \"A\"."));
    EXPECT_FALSE(statistics.Contains(L"Detect changes in location \"B\"."));
    auto events = Log.Events();
    auto from = events.begin() + Log.IndexOf(L"A?1");
    auto to = events.begin() + Log.IndexOf(L"P2.Slow") + 1;
    // B is not polled once A answered; P1 is read already and is not read again.
    EXPECT_EQ(std::vector<std::wstring>(from, to),
              (std::vector<std::wstring>{L"A?1", L"A.Read", L"P2.Fast", L"A.ReadProgramsSlowInfo",
                                         L"B.ReadProgramsSlowInfo", L"P2.Ext", L"P2.Images", L"P2.Slow"}));
    EXPECT_EQ(Log.CountOf(L"usage"), 1);
    EXPECT_EQ(Log.CountOf(L"P1.Slow"), 1);
    EXPECT_TRUE(Loaded());

    // A new reading thread refreshes the usage again.
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Log.CountOf(L"usage") == 2; }));
}

TEST_F(LocationOwnerTest, TwoChangedLocationsAreReReadOnePerPollInRegistrationOrder) {
    Register(L"A", [](TTestLocation& a) { a.Changed = true; });
    Register(L"B", [](TTestLocation& b) { b.Changed = true; });
    CreateOwner();
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"B.Read"); }));
    auto events = EventsThrough(Log, L"B.Read");
    auto firstPoll = std::find(events.begin(), events.end(), L"A?1");
    ASSERT_NE(firstPoll, events.end());
    EXPECT_EQ(std::vector<std::wstring>(firstPoll, events.end()),
              (std::vector<std::wstring>{L"A?1", L"A.Read", L"A?0", L"B?1", L"B.Read"}));
}

TEST_F(LocationOwnerTest, ProgramWhoseSourcesChangedGetsItsFastInformationAgain) {
    TTestProgram* p1 = nullptr;
    Register(L"A", [&, this](TTestLocation& a) {
        a.OnReadPrograms = [&, this] {
            p1 = AddProgram(L"P1", &a);
            p1->ReadFastInfo();
            AddProgram(L"P2", &a)->ReadFastInfo();
        };
    });
    CreateOwner();
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"A?0"); }));
    p1->FolderChanged = true;
    ASSERT_TRUE(WaitUntil([this] { return Log.CountOf(L"P1.Fast") == 2; }));
    int polls = Location(L"A").Polls;
    ASSERT_TRUE(WaitUntil([&] { return Location(L"A").Polls >= polls + 2; }));
    EXPECT_EQ(Log.CountOf(L"P1.Fast"), 2);
    EXPECT_EQ(Log.CountOf(L"P2.Fast"), 1);
    EXPECT_FALSE(Log.Has(L"A.Read"));
}

TEST_F(LocationOwnerTest, ProgramListOnlyReadsProgramsAndStaysLoading) {
    Register(L"A", [this](TTestLocation& a) {
        a.OnReadPrograms = [this, &a] { AddProgram(L"P1", &a)->ReadFastInfo(); };
    });
    Register(L"B", [this](TTestLocation& b) { b.OnReadUpdates = [this, &b] { AddUpdate(L"U1", &b); }; });
    TLocationOwner::SetOnListRead([this] { Log.Add(L"hook"); });
    TLocationOwner::SetUsageRefresh([this] { Log.Add(L"usage"); });
    CreateOwner();
    TLocationOwner::StartReading(true);
    ASSERT_TRUE(WaitUntil([] { return !TLocationOwner::IsReading(); }));
    EXPECT_EQ(TLocationOwner::GetReadState(), TReadState::rsLoading);
    EXPECT_EQ(Log.Events(), (std::vector<std::wstring>{L"A.Created", L"B.Created", L"A.ReadPrograms",
                                                       L"P1.Fast", L"B.ReadPrograms"}));
    EXPECT_EQ(TItemUpdate::Items().Count(), 0);
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
            program = AddProgram(L"P", &a);
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
    EXPECT_EQ(TLocationOwner::GetReadState(), TReadState::rsNonw);
    // The aborted slow read is left to be repeated; the list keeps its program.
    EXPECT_TRUE(program->IsNeedReadSlowInfo());
    EXPECT_EQ(TItemProgram::Items().Count(), 1);
}

TEST_F(LocationOwnerTest, StopEndsTheThreadPromptlyWhileItSleepsBetweenPolls) {
    TLocationOwner::SetReadTimings({600'000, 0});
    Register(L"A");
    CreateOwner();
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Location(L"A").Polls == 1; }));
    auto start = steady_clock::now();
    TLocationOwner::StopAll();
    EXPECT_LT(steady_clock::now() - start, seconds(60));
    EXPECT_FALSE(TLocationOwner::IsReading());
    EXPECT_EQ(Location(L"A").Polls, 1);
    // Stopping keeps the last state.
    EXPECT_TRUE(Loaded());
}

TEST_F(LocationOwnerTest, StopEndsTheThreadPromptlyWhileItWaitsToReReadAChange) {
    TLocationOwner::SetReadTimings({1, 600'000});
    Register(L"A", [](TTestLocation& a) { a.Changed = true; });
    CreateOwner();
    TStatisticsLogReader statistics;
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"A?1"); }));
    auto start = steady_clock::now();
    TLocationOwner::StopAll();
    EXPECT_LT(steady_clock::now() - start, seconds(60));
    EXPECT_FALSE(TLocationOwner::IsReading());
    EXPECT_FALSE(Log.Has(L"A.Read"));
    // A stop is not an error.
    EXPECT_TRUE(statistics.Contains(L"Detect changes in location \"A\"."));
    EXPECT_FALSE(statistics.Contains(L"abort"));
}

TEST_F(LocationOwnerTest, StopAllStopsTheActionsOfProgramsAndUpdates) {
    Register(L"A");
    CreateOwner();
    std::atomic<bool> programStopped{false}, updateStopped{false};
    TTestProgram* program = AddProgram(L"P");
    TTestUpdate* update = AddUpdate(L"U");
    program->SetActionThread(std::make_unique<TWaitingThread>(programStopped));
    update->SetActionThread(std::make_unique<TWaitingThread>(updateStopped));
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil(Loaded));

    TLocationOwner::StopAll();
    EXPECT_FALSE(TLocationOwner::IsReading());
    EXPECT_TRUE(programStopped);
    EXPECT_TRUE(updateStopped);
    EXPECT_FALSE(program->IsActionRunning());
    EXPECT_FALSE(update->IsActionRunning());
    EXPECT_EQ(TItemProgram::Items().Count(), 1);
    EXPECT_EQ(TItemUpdate::Items().Count(), 1);
}

TEST_F(LocationOwnerTest, LocationFailingInItsPassEndsThatPassOnly) {
    Register(L"A", [](TTestLocation& a) {
        a.OnReadPrograms = [] { throw std::runtime_error("programs of A unreadable"); };
        a.OnReadUpdates = [] { throw std::runtime_error("updates of A unreadable"); };
    });
    Register(L"B");
    TLocationOwner::SetOnListRead([this] { Log.Add(L"hook"); });
    CreateOwner();
    TStatisticsLogReader statistics;
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil(Loaded));
    EXPECT_TRUE(statistics.Contains(L"programs of A unreadable"));
    EXPECT_TRUE(statistics.Contains(L"updates of A unreadable"));
    EXPECT_TRUE(Log.Has(L"A.ReadPrograms"));
    EXPECT_FALSE(Log.Has(L"B.ReadPrograms"));
    EXPECT_TRUE(Log.Has(L"A.ReadUpdates"));
    EXPECT_FALSE(Log.Has(L"B.ReadUpdates"));
    EXPECT_TRUE(Log.Has(L"hook"));
    EXPECT_TRUE(TLocationOwner::IsReading());
}

TEST_F(LocationOwnerTest, FailureOutsideTheGuardedPassesEndsTheThreadAndKeepsTheState) {
    Register(L"A", [this](TTestLocation& a) {
        a.OnReadPrograms = [this, &a] { AddProgram(L"P1", &a); };
        a.OnRead = [] { throw std::runtime_error("re-read of A failed"); };
    });
    CreateOwner();
    TStatisticsLogReader statistics;
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil(Loaded));
    Location(L"A").Changed = true;
    ASSERT_TRUE(WaitUntil([] { return !TLocationOwner::IsReading(); }));
    EXPECT_TRUE(statistics.Contains(L"re-read of A failed"));
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(TItemProgram::Items().Count(), 1);

    // A failing hook ends the first read before it is loading.
    TLocationOwner::SetOnListRead([] { throw std::runtime_error("hook failed"); });
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil([] { return !TLocationOwner::IsReading(); }));
    EXPECT_EQ(TLocationOwner::GetReadState(), TReadState::rsNonw);
    EXPECT_TRUE(statistics.Contains(L"hook failed"));
}

TEST_F(LocationOwnerTest, FailedSlowPassIsLoggedAndTheLoopGoesOn) {
    std::atomic<int> refreshes{0};
    Register(L"A");
    TLocationOwner::SetUsageRefresh([&] {
        if (++refreshes == 1)
            throw std::runtime_error("usage unavailable");
    });
    CreateOwner();
    TStatisticsLogReader statistics;
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil(Loaded));
    ASSERT_TRUE(WaitUntil([this] { return Log.Has(L"A?0"); }));
    EXPECT_TRUE(statistics.Contains(L"usage unavailable"));
    EXPECT_TRUE(TLocationOwner::IsReading());
    // Not yet refreshed: the next round tries again.
    Location(L"A").Changed = true;
    ASSERT_TRUE(WaitUntil([&] { return refreshes == 2; }));
}

TEST_F(LocationOwnerTest, WalksSurviveProgramsRemovedDuringAPass) {
    std::promise<void> inSlowStep, removed;
    auto removedDone = removed.get_future().share();
    TTestProgram* p0 = nullptr;
    TTestProgram* p2 = nullptr;
    Register(L"A", [&, this](TTestLocation& a) {
        a.OnReadPrograms = [&, this] {
            p0 = AddProgram(L"P0", &a);
            TTestProgram* p1 = AddProgram(L"P1", &a);
            p2 = AddProgram(L"P2", &a);
            TTestProgram* p3 = AddProgram(L"P3", &a);
            // On the reading thread: a step removes its own item and one not
            // yet visited.
            p3->OnExtended = [p1, p3] {
                TItemProgram::Items().Remove(p3);
                TItemProgram::Items().Remove(p1);
            };
            // From another thread: the item in use and one not yet visited
            // are removed while the slow pass runs.
            p2->OnSlow = [&] {
                inSlowStep.set_value();
                removedDone.wait_for(seconds(20));
            };
        };
    });
    CreateOwner();
    TLocationOwner::StartReading(false);
    inSlowStep.get_future().wait();
    EXPECT_TRUE(TItemProgram::Items().Remove(p2));
    EXPECT_TRUE(TItemProgram::Items().Remove(p0));
    EXPECT_TRUE(Log.Has(L"P0.Destroyed"));
    EXPECT_FALSE(Log.Has(L"P2.Destroyed"));
    removed.set_value();
    ASSERT_TRUE(WaitUntil(Loaded));

    EXPECT_EQ(EventsThrough(Log, L"P2.Destroyed"),
              (std::vector<std::wstring>{L"A.Created", L"A.ReadPrograms", L"A.ReadProgramsSlowInfo",
                                         L"P3.Ext", L"P1.Destroyed", L"P3.Destroyed", L"P2.Ext", L"P0.Ext",
                                         L"P2.Images", L"P0.Images", L"A.ReadUpdates", L"P2.Slow",
                                         L"P0.Destroyed", L"P2.Destroyed"}));
    EXPECT_FALSE(Log.Has(L"P0.Slow"));
    EXPECT_EQ(TItemProgram::Items().Count(), 0);
}

TEST_F(LocationOwnerTest, ReadUpdatesRunsOnTheCallersThreadAndPassesErrorsOn) {
    Register(L"A", [this](TTestLocation& a) {
        a.OnReadUpdates = [this] { Log.Add(TThread::Current() ? L"on a runtime thread" : L"on the caller"); };
    });
    Register(L"B",
             [](TTestLocation& b) { b.OnReadUpdates = [] { throw std::runtime_error("updates of B"); }; });
    Register(L"C");
    CreateOwner();
    EXPECT_THROW(TLocationOwner::ReadUpdates(), std::runtime_error);
    EXPECT_EQ(Log.Events(),
              (std::vector<std::wstring>{L"A.Created", L"B.Created", L"C.Created", L"A.ReadUpdates",
                                         L"on the caller", L"B.ReadUpdates"}));
}

TEST_F(LocationOwnerTest, FirstAndLastInstanceBoundOneCycleOfSharedState) {
    std::atomic<int> finalized{0};
    Register(L"A");
    TLocationOwner::RegisterLocation(L"Broken", []() -> std::unique_ptr<TLocationUninstall> {
        throw std::runtime_error("location cannot be created");
    });
    Register(L"B");
    TLocationOwner::SetFinalizeInterfaces([&] { ++finalized; });

    TStatisticsLogReader statistics;
    auto first = std::make_unique<TLocationOwner>();
    auto second = std::make_unique<TLocationOwner>();
    // One instance per registered class that could be created, in order.
    EXPECT_EQ(Log.Events(), (std::vector<std::wstring>{L"A.Created", L"B.Created"}));
    EXPECT_TRUE(statistics.Contains(L"location cannot be created"));
    AddProgram(L"P");
    AddUpdate(L"U");
    TLocationOwner::StartReading(false);
    ASSERT_TRUE(WaitUntil(Loaded));

    first.reset();
    EXPECT_TRUE(TLocationOwner::IsReading());
    EXPECT_FALSE(Log.Has(L"A.Destroyed"));
    EXPECT_EQ(finalized, 0);

    second.reset();
    EXPECT_FALSE(TLocationOwner::IsReading());
    EXPECT_EQ(finalized, 1);
    EXPECT_EQ(Log.CountOf(L"A.Destroyed"), 1);
    EXPECT_EQ(Log.CountOf(L"B.Destroyed"), 1);
    EXPECT_TRUE(Log.Has(L"P.Destroyed"));
    EXPECT_TRUE(Log.Has(L"U.Destroyed"));
    // Locations go before the lists are emptied.
    EXPECT_LT(Log.IndexOf(L"B.Destroyed"), Log.IndexOf(L"U.Destroyed"));
    EXPECT_LT(Log.IndexOf(L"U.Destroyed"), Log.IndexOf(L"P.Destroyed"));

    // A new cycle starts fresh.
    CreateOwner();
    EXPECT_EQ(Log.CountOf(L"A.Created"), 2);
    EXPECT_EQ(TLocationOwner::GetReadState(), TReadState::rsNonw);
    EXPECT_EQ(TItemProgram::Items().Count(), 0);
    EXPECT_EQ(TItemUpdate::Items().Count(), 0);
    EXPECT_FALSE(TLocationOwner::IsReading());
}
