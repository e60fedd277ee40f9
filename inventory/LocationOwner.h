#pragma once
// The owner of all inventory sources. Every object of TLocationOwner or a
// descendant (the root object and the product collections) is a member of one
// instance cycle: the first sets up the program and update lists and one
// instance of every registered location, the last tears them down. Between
// them one reading thread at a time reads the locations and then watches them.
#include "api/Enums.Velmora.h"
#include "inventory/LocationUninstall.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velmora {

class TInstanceCycle;

// Creates one location (the location class's constructor without arguments).
using TLocationFactory = std::function<std::unique_ptr<TLocationUninstall>()>;

class TLocationOwner {
public:
    TLocationOwner();
    virtual ~TLocationOwner();
    TLocationOwner(const TLocationOwner&) = delete;
    TLocationOwner& operator=(const TLocationOwner&) = delete;

    // The location class registry, filled at library load in reading order.
    // The owner creates one instance per class at the start of each cycle.
    static void RegisterLocation(std::wstring className, TLocationFactory create);
    template <class T> static void RegisterLocation(std::wstring className) {
        RegisterLocation(std::move(className), [] { return std::make_unique<T>(); });
    }
    // Empties the registry (library unload, tests); only while no owner lives.
    static void UnregisterLocations();

    static TReadState GetReadState();
    // True while a reading thread has been started and has not ended.
    static bool IsReading();
    // Ends the running read (waiting for its thread), drops the read state to
    // rsNonw and starts a new reading thread. A program-list-only read stops
    // after the program pass and leaves the state at rsLoading.
    static void StartReading(bool programListOnly);
    // Ends the reading thread, stops the job queue and every product action.
    static void StopAll();
    // ReadUpdates of every location on the calling thread; errors pass on.
    static void ReadUpdates();

    // Runs on the reading thread after the first passes of a full read.
    static void SetOnListRead(std::function<void()> hook);
    // The hook as the reading thread takes it before it calls it.
    static std::function<void()> OnListRead();
    // Refreshes the usage statistics once per reading thread, before its
    // first slow pass (the usage manager's refresh; nothing while unset).
    static void SetUsageRefresh(std::function<void()> refresh);
    // The usage of everything below a folder, which program items ask for
    // after the refresh: counter -1 when nothing was recorded there.
    using TFolderUsage = std::function<void(const std::wstring& folder, int32_t& counter, double& lastUsed)>;
    static void SetFolderUsage(TFolderUsage usage);
    static TFolderUsage FolderUsage();
    // Runs last when a cycle ends: releases the components the items used.
    static void SetFinalizeInterfaces(std::function<void()> finalize);

    // The watch loop's poll interval and the delay between noticing a change
    // and re-reading the location; taken by each reading thread at its start.
    struct TReadTimings {
        uint32_t PollInterval = 1000;
        uint32_t ChangeSettleDelay = 1000;
    };
    static void SetReadTimings(TReadTimings timings);
    static TReadTimings ReadTimings();

private:
    class TReadThread;
    static void FirstInstanceCreate();
    static void LastInstanceDestroy();
    static TInstanceCycle& Cycle();
};

} // namespace velmora
