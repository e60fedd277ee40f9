#pragma once
// Recording locations and items for the inventory tests: what is done to them
// goes into one event log, and their fields are open to the test.
#include "frame/DebugLog.h"
#include "inventory/ItemProgram.h"
#include "inventory/ItemUpdate.h"
#include "inventory/LocationOwner.h"
#include "platform/LogDirectory.h"
#include "platform/Thread.h"
#include "tests/TestThread.h"
#include "tests/frame/LogTestKit.h"
#include "tests/TestBase.h"

#include <cstring>
#include <iterator>
#include <mutex>
#include <sstream>

namespace velmora::testkit {

using testing::WaitUntil;

// "A.Read P1.Fast" as the list of events {"A.Read", "P1.Fast"}.
inline std::vector<std::wstring> EventList(std::wstring_view text) {
    std::wistringstream words{std::wstring(text)};
    return {std::istream_iterator<std::wstring, wchar_t>(words), {}};
}

class TEventLog {
public:
    void Add(std::wstring event) {
        std::lock_guard lock(FLock);
        FEvents.push_back(std::move(event));
    }
    std::vector<std::wstring> Events() {
        std::lock_guard lock(FLock);
        return FEvents;
    }
    int CountOf(const std::wstring& event) {
        auto events = Events();
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
    bool Has(const std::wstring& event) { return CountOf(event) > 0; }
    // Position of the first occurrence, or -1.
    int IndexOf(const std::wstring& event) {
        auto events = Events();
        auto found = std::find(events.begin(), events.end(), event);
        return found == events.end() ? -1 : static_cast<int>(found - events.begin());
    }

private:
    std::mutex FLock;
    std::vector<std::wstring> FEvents;
};

// Each test program logs into a folder of its own (set before the first log
// opens): programs running at the same time would otherwise rotate one shared
// statistics log under each other's readers.
inline const bool OwnLogDirectory = [] {
    auto folder = std::filesystem::temp_directory_path() / L"VelmoraTestLogs" /
                  std::filesystem::path(HostProgramName()).stem();
    SetLogDirectory(folder.wstring());
    return true;
}();

// Writes a unique mark into the statistics log, written directly from now on.
inline std::wstring StatisticsMark() {
    StatisticsLog::Instance().SetDirectWrite(true);
    static std::atomic<int> serial{0};
    std::wstring mark = L"statistics mark " + std::to_wstring(++serial) + L" " +
                        std::to_wstring(std::chrono::steady_clock::now().time_since_epoch().count());
    StatisticsLog::Add(std::wstring_view(mark));
    return mark;
}
// Whether a record past the mark holds text (the older part after a rotation is <name>.1.log).
inline bool LoggedSince(const std::wstring& mark, std::wstring_view text) {
    std::filesystem::path name(StatisticsLog::Instance().FileName());
    auto texts = testing::RecordTexts(std::filesystem::path(name).replace_extension(".1.log"),
                                      StatisticsLog::Instance().ModuleName().size());
    auto newer = testing::StatisticsTextsSince(0);
    texts.insert(texts.end(), newer.begin(), newer.end());
    auto past = std::find(texts.rbegin(), texts.rend(), mark);
    return past != texts.rend() &&
           std::any_of(texts.rbegin(), past, [&](const std::wstring& t) { return t.find(text) != t.npos; });
}

// Ends the calling reading thread's step only through a stop request, as a
// long read does at its cancellation points.
inline void BlockUntilTerminated() {
    TThread* thread = TThread::Current();
    ASSERT_NE(thread, nullptr);
    thread->SleepByAndCheck(600'000);
    FAIL() << "sleep ended without a stop request";
}

// A location that records its calls ("A.ReadPrograms", "A?1" for a poll that
// answered true) and runs optional behaviour set by the test.
class TTestLocation : public TLocationUninstall {
public:
    TTestLocation(std::wstring name, TEventLog& log) : FName(std::move(name)), FLog(log) {
        FLog.Add(FName + L".Created");
    }
    ~TTestLocation() override { FLog.Add(FName + L".Destroyed"); }

    void Read() override { Run(L"Read", OnRead); }
    void ReadPrograms() override { Run(L"ReadPrograms", OnReadPrograms); }
    void ReadProgramsSlowInfo() override { Run(L"ReadProgramsSlowInfo", nullptr); }
    void ReadUpdates() override { Run(L"ReadUpdates", OnReadUpdates); }
    bool IsChanged() override {
        bool changed = Changed.exchange(false);
        FLog.Add(FName + (changed ? L"?1" : L"?0"));
        return changed;
    }

    std::atomic<bool> Changed{false};
    // Set before the reading starts; run on the reading thread.
    std::function<void()> OnRead, OnReadPrograms, OnReadUpdates;

private:
    void Run(const wchar_t* call, const std::function<void()>& behaviour) {
        FLog.Add(FName + L"." + call);
        if (behaviour)
            behaviour();
    }

    std::wstring FName;
    TEventLog& FLog;
};

// Given a log, records its stages ("P1.Fast", "P1.Ext", "P1.Images",
// "P1.Slow") and its destruction ("P1.Destroyed") instead of reading; without
// one it reads as the library's items do. Its fields are open to the test.
template <class Base> class TTestItem : public Base {
public:
    TTestItem(std::wstring name = {}, TEventLog* log = nullptr,
              TTypeUninstallLocation* location =
                  nullptr) requires std::is_constructible_v<Base, TTypeUninstallLocation*>
        : Base(location), FName(std::move(name)), FLog(log) {}
    // Updates are created from what their source read.
    TTestItem(std::wstring name, TEventLog* log, TTypeUninstallLocation* location = nullptr,
              const TTemporaryInfo& info = {}) requires
        std::is_constructible_v<Base, TTypeUninstallLocation*, const TTemporaryInfo&>
        : Base(location, info), FName(std::move(name)), FLog(log) {}
    ~TTestItem() override {
        if (FLog)
            FLog->Add(FName + L".Destroyed");
        if (OnDestroyed)
            OnDestroyed();
    }

    using Base::AddCommandActions, Base::FDisplayNameNative, Base::FEstimatedSize, Base::FGUID,
        Base::FInstallLocation, Base::FIsNeedReadSlowInfo, Base::FIsWinInstaller;

    // With a log: answered once by the next CheckChange, which then marks the
    // item for reading again as a changed install folder does.
    std::atomic<bool> FolderChanged{false};
    std::function<void()> OnFast, OnSlow, OnDestroyed;

    bool CheckChange() override {
        if (!FLog)
            return Base::CheckChange();
        if (!FolderChanged.exchange(false))
            return false;
        this->FIsNeedReadFastInfo = true;
        this->FIsNeedReadSlowInfo = true;
        this->SetChanged();
        return true;
    }

    // Installs a running action thread, as RunAction does.
    void SetActionThread(std::unique_ptr<TThread> thread) {
        thread->Start();
        std::lock_guard lock(this->FActionThreadCS);
        this->FActionThread = std::move(thread);
    }

    // Takes and releases the item lock if it is free.
    bool TryLock() {
        if (!this->FCSItem.try_lock())
            return false;
        this->FCSItem.unlock();
        return true;
    }

protected:
    // With a log a stage is recorded and runs the test's behaviour; without one the base reads.
    void ReadFastData() override { Logged(L"Fast", OnFast) ? void() : Base::ReadFastData(); }
    void DoReadExtendedInfo() override { Logged(L"Ext", nullptr) ? void() : Base::DoReadExtendedInfo(); }
    void DoReadImages() override { Logged(L"Images", nullptr) ? void() : Base::DoReadImages(); }
    void DoReadSlowInfo() override { Logged(L"Slow", OnSlow) ? void() : Base::DoReadSlowInfo(); }

private:
    bool Logged(const wchar_t* stage, const std::function<void()>& behaviour) {
        if (!FLog)
            return false;
        FLog->Add(FName + L"." + stage);
        if (behaviour)
            behaviour();
        return true;
    }

    std::wstring FName;
    TEventLog* FLog;
};

class TTestProgram : public TTestItem<TItemProgram> {
public:
    using TTestItem::TTestItem;
    // Read from these keys, with this native name, as the library reads a program.
    explicit TTestProgram(std::vector<TRegistryKey> keys, std::wstring nativeName = L"Native name") {
        FRegistryKeys = std::move(keys);
        FDisplayNameNative = std::move(nativeName);
    }
    using TItemProgram::FLastUsedDate, TItemProgram::FSlowExePath, TItemProgram::FUsedFrequencyCount,
        TItemProgram::ReadSlowInfoCache;

    bool ShowActionWindow() override { return ShowWindow; }
    bool ShowWindow = true;

    // The commands the actions run.
    void SetCommands(std::wstring uninstall, std::wstring quiet = {}, std::wstring modify = {},
                     std::wstring repair = {}) {
        FCmdUninstall = std::move(uninstall);
        FCmdUninstallQuiet = std::move(quiet);
        FCmdModify = std::move(modify);
        FCmdRepair = std::move(repair);
    }
};

class TTestUpdate : public TTestItem<TItemUpdate> {
public:
    using TItemUpdate::FParentDisplayName;
    using TTestItem::TTestItem;
};

// A text value of an item.
inline std::wstring Text(TItemProduct& item, TProductInfo index) {
    return std::get<std::wstring>(item.GetInfo(index));
}

// A thread standing for a running action: it waits until it is stopped.
inline std::unique_ptr<TThread> WaitingThread(std::atomic<bool>& stopped) {
    return std::make_unique<testing::TFunctionThread>([&stopped] {
        try {
            TThread::SleepAndCheck(600'000);
        } catch (const EAbort&) {
            stopped = true;
            throw;
        }
    });
}

// An Add/Remove Programs cache record ("SlowInfoCache") as the system writes it.
inline std::vector<uint8_t> CacheRecord(uint32_t hasName, int64_t size, uint64_t lastUsed, int32_t count,
                                        const std::wstring& name) {
    std::vector<uint8_t> data(552, 0);
    auto put = [&](size_t offset, const auto& value) {
        std::memcpy(data.data() + offset, &value, sizeof value);
    };
    put(0, uint32_t{552}), put(4, hasName), put(8, size), put(16, lastUsed), put(24, count);
    for (size_t i = 0; i < name.size(); ++i)
        put(28 + 2 * i, static_cast<uint16_t>(name[i]));
    return data;
}

// A test with the program and update lists set up, taken down after it.
class TItemListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TItemProgram::Init();
        TItemUpdate::Init();
    }
    void TearDown() override {
        TItemUpdate::Done();
        TItemProgram::Done();
    }
};

} // namespace velmora::testkit
