#pragma once
// The collection's loading: a thread of its own reads the installed packages
// when asked and whenever the user's package repository or the provisioned
// packages change, and publishes the entries.
#include "components/launchet/AppEntry.h"
#include "platform/Handles.h"
#include "platform/Thread.h"

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace velmora::launchet {

using TAppEntries = std::vector<TComPtr<TAppEntry>>;

class TAppLoader : public std::enable_shared_from_this<TAppLoader> {
public:
    // A first load is waiting from the start.
    TAppLoader();
    // Stops the thread and waits for it.
    ~TAppLoader();
    TAppLoader(const TAppLoader&) = delete;
    TAppLoader& operator=(const TAppLoader&) = delete;

    // A full load; one already running is followed by another.
    void RequestLoad();
    // That package alone is read again (covered by a full load when one waits).
    void RequestPackage(const std::wstring& fullName);
    bool IsLoading();
    // Waits up to timeout ms (INFINITE: without limit) until nothing waits or
    // runs, or with all false until the first full load has ended.
    bool WaitForLoad(uint32_t timeout, bool all);

    TAppEntries Entries();
    HRESULT LoadError();
    uint32_t UpdateTime();

private:
    // Starts the thread at the first call that needs the entries or a load,
    // not when the collection is made: a front end that makes the collection
    // while it sets itself up (under Wine a first icon load racing this
    // thread's start of COM failed now and then) is done with that first.
    void EnsureStarted();
    void Run();
    // Does what is waiting: a full load, else the packages asked for.
    void Work();
    // The entries for these packages, keeping the entry of an unchanged
    // package; a new update time when they differ from the current ones.
    void Publish(const std::vector<TAppPackage>& packages);
    bool Loading() const;

    std::mutex FLock;
    std::condition_variable FChanged;
    TAppEntries FEntries;
    bool FLoadWaiting = true;
    std::set<std::wstring> FPackagesWaiting;
    bool FRunning = false;
    bool FFirstLoadEnded = false;
    HRESULT FLoadError = S_OK;
    uint32_t FUpdateTime = 0;

    unique_event FStop;
    unique_event FWake;
    std::once_flag FStarted;
    TLibraryThread FThread;
};

} // namespace velmora::launchet
