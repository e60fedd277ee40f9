#include "components/procyra/ProcessList.h"

#include "platform/ComText.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <algorithm>
#include <mutex>

namespace velmora::procyra {

namespace {

// The running processes from a fresh Toolhelp snapshot; the system's error
// when the snapshot cannot be made.
DWORD ReadProcesses(std::vector<TComPtr<TPYProcess>>& processes) {
    std::vector<TProcessListItem> entries = ProcessList();
    if (entries.empty())
        return GetLastError();
    processes.reserve(entries.size());
    for (auto& entry : entries)
        processes.emplace_back(new TPYProcess(std::move(entry)));
    return ERROR_SUCCESS;
}

} // namespace

void* TPYProcessList::QueryOther(REFIID riid) {
    return IsEqualIID(riid, __uuidof(ICommonList)) ? static_cast<ICommonList*>(this) : nullptr;
}

TPYProcess* TPYProcessList::Item(int32_t index) const {
    return index >= 0 && static_cast<size_t>(index) < FItems.size() ? FItems[index].get() : nullptr;
}

HRESULT TPYProcessList::Change(TChange change) {
    if (FWalkDepth > 0) {
        FPending = change;
        return S_FALSE;
    }
    return Apply(change);
}

HRESULT TPYProcessList::Apply(TChange change) {
    FPending = TChange::None;
    std::vector<TComPtr<TPYProcess>> items;
    DWORD error = ERROR_SUCCESS;
    if (change == TChange::Refresh) {
        error = ReadProcesses(items);
        FILETIME utc;
        GetSystemTimeAsFileTime(&utc);
        FRefreshTime = FileTimeToLocalDate(utc).value_or(0.0);
        FRefreshError = error;
    }
    FItems.swap(items);
    ++FChangeCount;
    return HRESULT_FROM_WIN32(error);
}

bool STDMETHODCALLTYPE TPYProcessList::IsEmpty() {
    return Locked(true, [&] { return FItems.empty(); });
}

HRESULT STDMETHODCALLTYPE TPYProcessList::Clear() {
    return Locked(E_UNEXPECTED, [&] { return Change(TChange::Clear); });
}

double STDMETHODCALLTYPE TPYProcessList::GetRefreshTime() {
    return Locked(0.0, [&] { return FRefreshTime; });
}

int32_t STDMETHODCALLTYPE TPYProcessList::GetChangeCount() {
    return Locked(0, [&] { return FChangeCount; });
}

int32_t STDMETHODCALLTYPE TPYProcessList::GetRefreshError() {
    return Locked(0, [&] { return static_cast<int32_t>(FRefreshError); });
}

int32_t STDMETHODCALLTYPE TPYProcessList::GetWalkDepth() {
    return Locked(0, [&] { return FWalkDepth; });
}

void STDMETHODCALLTYPE TPYProcessList::BeginWalk() {
    Locked(0, [&] { return ++FWalkDepth; });
}

bool STDMETHODCALLTYPE TPYProcessList::HasPendingChange() {
    return Locked(false, [&] { return FPending != TChange::None; });
}

int32_t STDMETHODCALLTYPE TPYProcessList::IndexOfId(int32_t Id) {
    return Locked(-1, [&] {
        for (size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i]->Id() == static_cast<DWORD>(Id))
                return static_cast<int32_t>(i);
        return -1;
    });
}

HRESULT STDMETHODCALLTYPE TPYProcessList::Refresh() {
    return Locked(E_UNEXPECTED, [&] { return Change(TChange::Refresh); });
}

int32_t STDMETHODCALLTYPE TPYProcessList::IndexOfText(LPCWSTR Text, int32_t From) {
    return Locked(-1, [&] {
        for (size_t i = static_cast<size_t>(std::max(From, 0)); Text && i < FItems.size(); ++i)
            if (SameText(FItems[i]->Text(), Text))
                return static_cast<int32_t>(i);
        return -1;
    });
}

void STDMETHODCALLTYPE TPYProcessList::GetText(int32_t Index, BSTR* Text) {
    Locked(0, [&] {
        TPYProcess* process = Item(Index);
        SetBstr(Text, process ? process->Text() : std::wstring());
        return 0;
    });
}

void STDMETHODCALLTYPE TPYProcessList::EndWalk() {
    Locked(0, [&] {
        if (FWalkDepth > 0 && --FWalkDepth == 0 && FPending != TChange::None)
            Apply(FPending);
        return 0;
    });
}

int32_t STDMETHODCALLTYPE TPYProcessList::GetCount() {
    return Locked(0, [&] { return static_cast<int32_t>(FItems.size()); });
}

void STDMETHODCALLTYPE TPYProcessList::GetItem(int32_t Index, IPYProcess** Process) {
    Locked(0, [&] {
        if (Process)
            *Process = nullptr;
        TComPtr<IPYProcess>(Item(Index)).CopyTo(Process);
        return 0;
    });
}

} // namespace velmora::procyra
