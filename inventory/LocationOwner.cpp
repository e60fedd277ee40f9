#include "inventory/LocationOwner.h"

#include "frame/DebugLog.h"
#include "inventory/ItemProgram.h"
#include "inventory/ItemUpdate.h"
#include "inventory/TaskManager.h"
#include "platform/LibraryGlobal.h"
#include "platform/LiveObjects.h"
#include "platform/RegistrySnapshot.h"
#include "platform/Thread.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace velmora {

namespace {

struct TLocationClass {
    std::wstring ClassName;
    TLocationFactory Create;
};

struct TLocationRegistry {
    std::mutex Lock;
    std::vector<TLocationClass> Classes;
};

TLocationRegistry& Registry() {
    static TLocationRegistry registry;
    return registry;
}

// Hooks set by other subsystems; copied under the lock, called outside it.
struct THooks {
    std::mutex Lock;
    std::function<void()> OnListRead;
    std::function<void()> UsageRefresh;
    TLocationOwner::TFolderUsage FolderUsage;
    std::function<void()> FinalizeInterfaces;
    TLocationOwner::TReadTimings Timings;
};

THooks& Hooks() {
    static TLibraryGlobal<THooks> hooks;
    return *hooks;
}

template <class THook> THook Hook(THook THooks::*which) {
    std::lock_guard lock(Hooks().Lock);
    return Hooks().*which;
}

template <class THook> void SetHook(THook THooks::*which, THook hook) {
    THook old;
    std::lock_guard lock(Hooks().Lock);
    old = std::exchange(Hooks().*which, std::move(hook));
}

} // namespace

class TLocationOwner::TReadThread : public TThread {
public:
    TReadThread(bool programListOnly, TReadTimings timings)
        : FProgramListOnly(programListOnly), FTimings(timings) {}
    ~TReadThread() override { TerminateAndWait(); }

protected:
    void Execute() override;
    // An error that reaches the thread body ends the read; the lists keep what
    // was read and the read state its last value.
    void HandleError(std::exception_ptr error) override { StatisticsLog::AddError(error); }

private:
    template <class Call> void LocationPass(Call&& call);
    void ExtendedPass();
    void SlowPass();
    TLocationUninstall& WaitForChange();
    void WatchLoop();

    bool FUsageReaded = false;
    const bool FProgramListOnly;
    const TReadTimings FTimings;
};

namespace {

// Library-wide state of the owner, alive from the first instance to the last.
struct TOwnerState {
    // Serialises starting and stopping the reading thread; held while waiting
    // for the old thread, which never takes it.
    std::recursive_mutex OwnerLock;
    std::atomic<TReadState> ReadState{TReadState::rsNonw};
    // Changed only by the cycle, when no reading thread runs; the reading
    // thread walks it without a lock.
    std::vector<std::unique_ptr<TLocationUninstall>> Locations;
    // The current reading thread; guarded by the owner lock. Freeing it
    // terminates it and waits for its end.
    std::unique_ptr<TThread> ReadThread;
};

TOwnerState& State() {
    static TLibraryGlobal<TOwnerState> state;
    return *state;
}

void SetReadState(TReadState state) {
    State().ReadState.exchange(state);
}

} // namespace

// A location failing in its pass ends that pass (the remaining locations are
// skipped); the silent abort goes on upwards.
template <class Call> void TLocationOwner::TReadThread::LocationPass(Call&& call) {
    try {
        for (auto& location : State().Locations)
            call(*location);
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        StatisticsLog::AddError();
    }
}

void TLocationOwner::TReadThread::ExtendedPass() {
    auto& programs = TItemProgram::Items();
    if (programs.Any([](TItemProgram& program) { return program.IsNeedReadSlowInfo(); })) {
        for (auto& location : State().Locations)
            location->ReadProgramsSlowInfo();
    }
    CheckTerminated();
    programs.ForEachFromLast([](TItemProgram& program) {
        program.ReadExtendedInfo();
        CheckTerminated();
    });
    programs.ForEachFromLast([](TItemProgram& program) {
        program.ReadImages();
        CheckTerminated();
    });
}

void TLocationOwner::TReadThread::SlowPass() {
    try {
        if (!FUsageReaded) {
            if (auto refresh = Hook(&THooks::UsageRefresh))
                refresh();
            FUsageReaded = true;
        }
        TItemProgram::Items().ForEachFromLast([](TItemProgram& program) {
            program.ReadSlowInfo();
            CheckTerminated();
        });
        TItemUpdate::Items().ForEachFromLast([](TItemUpdate& update) {
            update.ReadSlowInfo();
            CheckTerminated();
        });
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        StatisticsLog::AddError();
    }
}

// Polls the locations in order until one reports a change; between polls the
// programs check their own sources, then the thread sleeps (woken early, with
// the silent abort, by a stop).
TLocationUninstall& TLocationOwner::TReadThread::WaitForChange() {
    for (;;) {
        for (auto& location : State().Locations) {
            if (location->IsChanged())
                return *location;
        }
        TItemProgram::Items().ForEachFromLast([](TItemProgram& program) {
            if (!program.CheckChange())
                return;
            // Read afresh from its keys, then completed as the extended pass does.
            program.ReadFastInfo();
            program.ReadExtendedInfo();
            program.ReadImages();
        });
        SleepByAndCheck(FTimings.PollInterval);
    }
}

void TLocationOwner::TReadThread::WatchLoop() {
    while (!Terminated()) {
        SlowPass();
        if (State().ReadState.load() != TReadState::rsLoaded)
            SetReadState(TReadState::rsLoaded);
        CheckTerminated();
        TLocationUninstall& changed = WaitForChange();
        StatisticsLog::Add(L"");
        StatisticsLog::Add(L"Detect changes in location \"%s\".", changed.ClassName());
        SleepByAndCheck(FTimings.ChangeSettleDelay);
        changed.Read();
        ExtendedPass();
    }
}

void TLocationOwner::TReadThread::Execute() {
    {
        // The run header's dump and the program pass read the registry
        // through one walk.
        TRegistrySnapshot::TScope walk(std::make_shared<TRegistrySnapshot>());
        StatisticsLog::Reset();
        CheckTerminated();
        LocationPass([](TLocationUninstall& location) { location.ReadPrograms(); });
    }
    if (!FProgramListOnly) {
        ExtendedPass();
        LocationPass([](TLocationUninstall& location) { location.ReadUpdates(); });
        if (auto onListRead = Hook(&THooks::OnListRead))
            onListRead();
    }
    SetReadState(TReadState::rsLoading);
    if (!FProgramListOnly)
        WatchLoop();
}

TInstanceCycle& TLocationOwner::Cycle() {
    static TInstanceCycle cycle(&FirstInstanceCreate, &LastInstanceDestroy);
    return cycle;
}

TLocationOwner::TLocationOwner() {
    Cycle().Enter();
}

TLocationOwner::~TLocationOwner() {
    Cycle().Leave();
}

void TLocationOwner::FirstInstanceCreate() {
    TItemProgram::Init();
    TItemUpdate::Init();
    auto& state = State();
    std::lock_guard lock(state.OwnerLock);
    // A read started while no owner lived must not walk the list rebuilt here.
    state.ReadThread.reset();
    SetReadState(TReadState::rsNonw);
    std::vector<TLocationClass> classes;
    {
        std::lock_guard registryLock(Registry().Lock);
        classes = Registry().Classes;
    }
    state.Locations.clear();
    for (auto& locationClass : classes) {
        // A source that cannot be created is left out; the others still read.
        try {
            if (auto location = locationClass.Create()) {
                location->FClassName = locationClass.ClassName;
                state.Locations.push_back(std::move(location));
            }
        } catch (...) {
            StatisticsLog::AddError();
        }
    }
}

void TLocationOwner::LastInstanceDestroy() {
    StopAll();
    {
        std::lock_guard lock(State().OwnerLock);
        State().Locations.clear();
    }
    TItemUpdate::Done();
    TItemProgram::Done();
    if (auto finalize = Hook(&THooks::FinalizeInterfaces))
        finalize();
}

void TLocationOwner::RegisterLocation(std::wstring className, TLocationFactory create) {
    std::lock_guard lock(Registry().Lock);
    Registry().Classes.push_back({std::move(className), std::move(create)});
}

void TLocationOwner::UnregisterLocations() {
    std::lock_guard lock(Registry().Lock);
    Registry().Classes.clear();
}

TReadState TLocationOwner::GetReadState() {
    return State().ReadState.load();
}

bool TLocationOwner::IsReading() {
    auto& state = State();
    std::lock_guard lock(state.OwnerLock);
    return state.ReadThread && !state.ReadThread->Finished();
}

void TLocationOwner::StartReading(bool programListOnly) {
    auto& state = State();
    std::lock_guard lock(state.OwnerLock);
    state.ReadThread.reset();
    SetReadState(TReadState::rsNonw);
    state.ReadThread = std::make_unique<TReadThread>(programListOnly, ReadTimings());
    state.ReadThread->Start();
}

namespace {

// The actions are stopped outside the list lock: an ending action may need
// it (its error report reaches the front end, which may read the lists).
template <class T> void StopActionThreads(TItemList<T>& list) {
    std::vector<std::shared_ptr<T>> items;
    {
        std::lock_guard lock(list.Lock());
        for (int index = 0, count = list.Count(); index < count; ++index)
            items.push_back(list.Get(index));
    }
    for (auto& item : items)
        item->StopActionThread();
}

} // namespace

void TLocationOwner::StopAll() {
    auto& state = State();
    std::lock_guard lock(state.OwnerLock);
    state.ReadThread.reset();
    TTaskManager::Instance().Stop();
    StopActionThreads(TItemProgram::Items());
    StopActionThreads(TItemUpdate::Items());
}

void TLocationOwner::ReadUpdates() {
    for (auto& location : State().Locations)
        location->ReadUpdates();
}

void TLocationOwner::SetOnListRead(std::function<void()> hook) {
    SetHook(&THooks::OnListRead, std::move(hook));
}

std::function<void()> TLocationOwner::OnListRead() {
    return Hook(&THooks::OnListRead);
}

void TLocationOwner::SetUsageRefresh(std::function<void()> refresh) {
    SetHook(&THooks::UsageRefresh, std::move(refresh));
}

void TLocationOwner::SetFolderUsage(TFolderUsage usage) {
    SetHook(&THooks::FolderUsage, std::move(usage));
}

TLocationOwner::TFolderUsage TLocationOwner::FolderUsage() {
    return Hook(&THooks::FolderUsage);
}

void TLocationOwner::SetFinalizeInterfaces(std::function<void()> finalize) {
    SetHook(&THooks::FinalizeInterfaces, std::move(finalize));
}

void TLocationOwner::SetReadTimings(TReadTimings timings) {
    std::lock_guard lock(Hooks().Lock);
    Hooks().Timings = timings;
}

TLocationOwner::TReadTimings TLocationOwner::ReadTimings() {
    std::lock_guard lock(Hooks().Lock);
    return Hooks().Timings;
}

} // namespace velmora
