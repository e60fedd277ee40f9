#include "components/launchet/AppLoader.h"

#include "components/launchet/InstalledPackages.h"
#include "components/launchet/KeyWatch.h"
#include "platform/ComObject.h"
#include "platform/OSError.h"
#include "platform/Text.h"

#include <exception>

namespace velmora::launchet {

namespace {

// Windows writes a package's keys and values one by one: a change is read
// once the registry has been quiet this long.
constexpr DWORD SettleMs = 150;

HRESULT ErrorOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EOSError& e) {
        return HRESULT_FROM_WIN32(e.Code());
    } catch (...) {
        return E_FAIL;
    }
}

unique_event NewEvent(bool manualReset) {
    unique_event event(CreateEventW(nullptr, manualReset, FALSE, nullptr));
    CheckOS(static_cast<bool>(event), L"CreateEvent");
    return event;
}

} // namespace

TAppLoader::TAppLoader() : FStop(NewEvent(true)), FWake(NewEvent(false)) {}

TAppLoader::~TAppLoader() {
    SetEvent(FStop.get());
    if (FThread.Joinable())
        FThread.Join();
}

void TAppLoader::EnsureStarted() {
    std::call_once(FStarted, [this] { FThread = TLibraryThread([this] { Run(); }); });
}

void TAppLoader::RequestLoad() {
    EnsureStarted();
    {
        std::lock_guard lock(FLock);
        FLoadWaiting = true;
    }
    SetEvent(FWake.get());
}

void TAppLoader::RequestPackage(const std::wstring& fullName) {
    EnsureStarted();
    {
        std::lock_guard lock(FLock);
        FPackagesWaiting.insert(UpperCase(fullName));
    }
    SetEvent(FWake.get());
}

bool TAppLoader::Loading() const {
    return FLoadWaiting || FRunning || !FPackagesWaiting.empty();
}

bool TAppLoader::IsLoading() {
    EnsureStarted();
    std::lock_guard lock(FLock);
    return Loading();
}

bool TAppLoader::WaitForLoad(uint32_t timeout, bool all) {
    EnsureStarted();
    std::unique_lock lock(FLock);
    auto done = [&] { return all ? !Loading() : FFirstLoadEnded; };
    if (timeout == INFINITE) {
        FChanged.wait(lock, done);
        return true;
    }
    return FChanged.wait_for(lock, std::chrono::milliseconds(timeout), done);
}

TAppEntries TAppLoader::Entries() {
    EnsureStarted();
    std::lock_guard lock(FLock);
    return FEntries;
}

HRESULT TAppLoader::LoadError() {
    std::lock_guard lock(FLock);
    return FLoadError;
}

uint32_t TAppLoader::UpdateTime() {
    std::lock_guard lock(FLock);
    return FUpdateTime;
}

void TAppLoader::Run() {
    try {
        TComApartmentGuard com;
        TKeyWatch repository(HKEY_CURRENT_USER, RepositoryKeyPath);
        TKeyWatch provisioned(HKEY_LOCAL_MACHINE, ProvisionedKeyPath);
        const HANDLE events[] = {FStop.get(), FWake.get(), repository.Event(), provisioned.Event()};
        // A watch is armed again only after it fired and always before the
        // load that follows, so no change falls between two watches unread.
        repository.Arm();
        provisioned.Arm();
        for (;;) {
            Work();
            const DWORD woken = WaitForMultipleObjects(ARRAYSIZE(events), events, FALSE, INFINITE);
            if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
                break;
            if (woken >= WAIT_OBJECT_0 + 2) {
                {
                    std::lock_guard lock(FLock);
                    FLoadWaiting = true;
                }
                if (WaitForSingleObject(FStop.get(), SettleMs) == WAIT_OBJECT_0)
                    break;
                for (TKeyWatch* watch : {&repository, &provisioned})
                    if (watch->Fired())
                        watch->Arm();
            }
        }
    } catch (...) {
    }
    // Whoever waits for a load is not left waiting for a thread that has gone.
    std::lock_guard lock(FLock);
    FLoadWaiting = false;
    FPackagesWaiting.clear();
    FRunning = false;
    FFirstLoadEnded = true;
    FChanged.notify_all();
}

void TAppLoader::Work() {
    bool full;
    std::set<std::wstring> packagesAsked;
    {
        std::lock_guard lock(FLock);
        full = FLoadWaiting;
        packagesAsked.swap(FPackagesWaiting);
        FLoadWaiting = false;
        FRunning = full || !packagesAsked.empty();
        if (!FRunning)
            return;
    }
    HRESULT error = S_OK;
    try {
        if (full)
            Publish(ReadInstalledPackages(
                [this] { return WaitForSingleObject(FStop.get(), 0) == WAIT_OBJECT_0; }));
        else {
            // Each package asked for in its place; a new one at the end.
            std::vector<TAppPackage> packages;
            for (const auto& entry : Entries()) {
                const TAppPackage& known = entry->Package();
                if (!packagesAsked.erase(UpperCase(known.FullName)))
                    packages.push_back(known);
                else if (auto package = ReadInstalledPackage(known.FullName))
                    packages.push_back(std::move(*package));
            }
            for (const auto& fullName : packagesAsked)
                if (auto package = ReadInstalledPackage(fullName))
                    packages.push_back(std::move(*package));
            Publish(packages);
        }
    } catch (...) {
        error = ErrorOf(std::current_exception());
    }
    std::lock_guard lock(FLock);
    FRunning = false;
    if (full) {
        FFirstLoadEnded = true;
        FLoadError = error;
    }
    FChanged.notify_all();
}

void TAppLoader::Publish(const std::vector<TAppPackage>& packages) {
    const TAppEntries current = Entries();
    TAppEntries entries;
    bool changed = packages.size() != current.size();
    for (const auto& package : packages) {
        TComPtr<TAppEntry> entry;
        for (const auto& old : current)
            if (old->Package() == package)
                entry = old;
        if (!entry)
            entry = TComPtr<TAppEntry>(new TAppEntry(package, weak_from_this()));
        changed = changed || current.size() <= entries.size() || current[entries.size()].get() != entry.get();
        entries.push_back(std::move(entry));
    }
    if (!changed)
        return;
    std::lock_guard lock(FLock);
    FEntries = std::move(entries);
    // A tick count that moves on at every change, even within one tick.
    const uint32_t now = GetTickCount();
    FUpdateTime = now != FUpdateTime ? now : now + 1;
}

} // namespace velmora::launchet
