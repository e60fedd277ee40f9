#pragma once
// The state one root object shares with its access objects: the open backup
// set, the free-space callback, the names of the handles opened through the
// access objects, and the text of the last failure.
//
// Changes are refused while no set is open (ERROR_INVALID_STATE): a change
// through these interfaces is never made unrecorded unless the free-space
// callback asked for it. Changes are serialised: each records and is made
// under the recorder's lock.
#include "api/Interfaces.Rekova.h"
#include "components/rekova/Captures.h"
#include "components/rekova/KeyNames.h"
#include "components/rekova/Manifest.h"
#include "components/rekova/Store.h"
#include "platform/ComObject.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace velmora::rekova {

class TRecorder {
public:
    std::recursive_mutex& Lock() { return FLock; }

    // Throws EOSError: ERROR_BUSY while a set is open.
    std::wstring Begin(std::wstring_view name, std::wstring_view description);
    // Final status: failed, else incomplete when changes went unrecorded,
    // else successful. Throws EOSError: ERROR_INVALID_STATE when none is open.
    void End(bool successful);
    bool IsOpen() const;
    std::wstring OpenId() const;
    int64_t OpenSize() const;
    int32_t OpenRecordCount() const;

    void SetCallback(IRekovaFreeSpaceCallback* callback);
    int32_t ChangeCount() const { return FChangeCount; }
    void CountChange() { ++FChangeCount; }

    // Makes a change of the open set: capture() gives the records of the
    // state before it (not asked once the set goes on without backup),
    // apply() makes the change, made(result) tells whether it was made; the
    // records of a change not made are taken back. Throws EOSError before
    // anything changed: ERROR_INVALID_STATE without an open set,
    // ERROR_DISK_FULL when the records do not fit or cannot be written.
    template <class Capture, class Apply, class Made>
    auto Change(Capture&& capture, Apply&& apply, Made&& made) {
        std::lock_guard lock(FLock);
        RequireOpen();
        size_t mark = FOpen->Records.size();
        if (!FSkipping)
            Record(capture());
        auto result = apply();
        if (!made(result)) {
            DWORD error = GetLastError();
            DropSince(mark);
            SetLastError(error);
        }
        return result;
    }
    // Records without changing anything.
    void Record(const TCaptures& captures);
    // The open set records the folder's attributes and times already.
    bool HasFolderRecord(std::wstring_view path) const;

    void SetError(std::wstring text);
    void ClearError() { SetError({}); }
    std::wstring ErrorText() const;

    TKeyNames& KeyNames() { return FKeyNames; }
    void RememberService(SC_HANDLE service, std::wstring name);
    void ForgetService(SC_HANDLE service);
    // The key name of a service handle; empty when it cannot be told.
    std::wstring ServiceName(SC_HANDLE service) const;

private:
    void RequireOpen() const;
    // True when the records may be written; false when the set goes on
    // without backup from now on. Throws when the change must be refused.
    bool Admit(int64_t needed);
    // The store's size: walked again when the last walk is older than a few
    // seconds (other processes may write to the store), else the last walk
    // plus what this recorder wrote since.
    int64_t StoreSize();
    void DropSince(size_t mark);
    void WriteCopy(const TSavedCopy& copy, const std::wstring& file) const;

    mutable std::recursive_mutex FLock;
    std::optional<TManifest> FOpen;
    std::unique_ptr<TSetLock> FOpenLock; // held while FOpen is
    bool FSkipping = false;
    bool FCallbackAsked = false;
    TComPtr<IRekovaFreeSpaceCallback> FCallback;
    std::atomic<int32_t> FChangeCount{0};
    std::wstring FError;
    TKeyNames FKeyNames;
    std::map<SC_HANDLE, std::wstring> FServices;
    // Upper-cased folders the open set has folder records of, one entry per record.
    std::multiset<std::wstring> FRecordedFolders;
    int64_t FStoreSize = 0;
    std::optional<ULONGLONG> FStoreSizeTakenAt;
};

} // namespace velmora::rekova
