#include "components/rekova/Recorder.h"

#include "components/rekova/ServiceConfig.h"
#include "components/rekova/Store.h"
#include "platform/Format.h"
#include "platform/OSError.h"
#include "platform/RekovaSettings.h"
#include "platform/Text.h"

#include <cwchar>
#include <vector>

namespace velmora::rekova {

namespace {

// What a record's line in the manifest may take, counted against the limit.
constexpr int64_t RecordLineAllowance = 512;
// Walking a large store for every change of a long removal would cost more
// than the changes.
constexpr ULONGLONG StoreSizeMaxAge = 5000;

std::wstring CopyFileName(size_t recordNumber, const std::wstring& extension) {
    wchar_t name[32];
    swprintf(name, 32, L"%04u.", static_cast<unsigned>(recordNumber));
    return name + extension;
}

} // namespace

std::wstring TRecorder::Begin(std::wstring_view name, std::wstring_view description) {
    std::lock_guard lock(FLock);
    if (FOpen)
        throw EOSError(Format(L"The backup set %s is still open", FOpen->Id), ERROR_BUSY);
    TManifest manifest;
    manifest.Id = CreateSetFolder();
    // Locked before its manifest makes it a set of the store.
    auto setLock = std::make_unique<TSetLock>(manifest.Id);
    manifest.Name = name;
    manifest.Description = description;
    manifest.Begun = LocalTimeText();
    SaveManifest(manifest);
    FOpen = std::move(manifest);
    FOpenLock = std::move(setLock);
    FSkipping = false;
    FCallbackAsked = false;
    FRecordedFolders.clear();
    FStoreSizeTakenAt.reset();
    CountChange();
    return FOpen->Id;
}

void TRecorder::End(bool successful) {
    std::lock_guard lock(FLock);
    RequireOpen();
    FOpen->Status = !successful ? StatusFailed : FSkipping ? StatusIncomplete : StatusSuccessful;
    FOpen->Ended = LocalTimeText();
    TManifest closing = std::move(*FOpen);
    FOpen.reset();
    CountChange();
    std::unique_ptr<TSetLock> setLock = std::move(FOpenLock);
    SaveManifest(closing);
}

bool TRecorder::IsOpen() const {
    std::lock_guard lock(FLock);
    return FOpen.has_value();
}

std::wstring TRecorder::OpenId() const {
    std::lock_guard lock(FLock);
    return FOpen ? FOpen->Id : std::wstring();
}

int64_t TRecorder::OpenSize() const {
    std::lock_guard lock(FLock);
    return FOpen ? FOpen->Size : 0;
}

int32_t TRecorder::OpenRecordCount() const {
    std::lock_guard lock(FLock);
    return FOpen ? static_cast<int32_t>(FOpen->Records.size()) : 0;
}

void TRecorder::SetCallback(IRekovaFreeSpaceCallback* callback) {
    std::lock_guard lock(FLock);
    FCallback = TComPtr<IRekovaFreeSpaceCallback>(callback);
}

void TRecorder::RequireOpen() const {
    if (!FOpen)
        throw EOSError(L"No backup set is open", ERROR_INVALID_STATE);
}

int64_t TRecorder::StoreSize() {
    ULONGLONG now = GetTickCount64();
    if (!FStoreSizeTakenAt || now - *FStoreSizeTakenAt > StoreSizeMaxAge) {
        FStoreSize = FolderSize(StoreFolder());
        FStoreSizeTakenAt = now;
    }
    return FStoreSize;
}

bool TRecorder::Admit(int64_t needed) {
    int64_t used = StoreSize();
    int64_t limit = RekovaSettings::StoreLimit();
    if (used + needed <= limit)
        return true;
    bool skip = false;
    if (FCallback && !FCallbackAsked) {
        FCallbackAsked = true;
        if (FAILED(FCallback->OnStoreFull(0, &skip)))
            skip = false;
    }
    if (!skip)
        throw EOSError(Format(L"The backup store has no room for %d more bytes (%d of %d bytes used)", needed,
                              used, limit),
                       ERROR_DISK_FULL);
    FSkipping = true;
    FOpen->Status = StatusIncomplete;
    SaveManifest(*FOpen);
    return false;
}

void TRecorder::Record(const TCaptures& captures) {
    std::lock_guard lock(FLock);
    RequireOpen();
    if (FSkipping || captures.empty())
        return;
    int64_t needed = 0;
    for (const TCapture& capture : captures) {
        needed += RecordLineAllowance;
        for (const TSavedCopy& copy : capture.Copies)
            needed += copy.Size;
    }
    if (!Admit(needed))
        return;
    size_t mark = FOpen->Records.size();
    std::wstring folder = SetFolder(FOpen->Id);
    std::vector<std::wstring> pending; // copies of the record being written
    try {
        for (const TCapture& capture : captures) {
            TRecord record = capture.Record;
            int64_t size = 0;
            for (const TSavedCopy& copy : capture.Copies) {
                std::wstring file = CopyFileName(FOpen->Records.size() + 1, copy.Extension);
                pending.push_back(folder + L"\\" + file);
                WriteCopy(copy, pending.back());
                record.SetField(copy.Field, file);
                record.SetField(copy.Field + L"size", std::to_wstring(copy.Size));
                size += copy.Size;
            }
            if (record.Kind == TRecordKind::Folder)
                FRecordedFolders.insert(UpperCase(record.Target));
            FOpen->Records.push_back(std::move(record));
            FOpen->Size += size;
            FStoreSize += size + RecordLineAllowance;
            pending.clear();
        }
        SaveManifest(*FOpen);
    } catch (const EOSError& e) {
        for (const std::wstring& file : pending)
            DeleteFileW(file.c_str());
        DropSince(mark);
        throw EOSError(Format(L"The backup store could not be written: %s", e.what()), ERROR_DISK_FULL);
    }
}

bool TRecorder::HasFolderRecord(std::wstring_view path) const {
    std::lock_guard lock(FLock);
    return FOpen && FRecordedFolders.count(UpperCase(path)) > 0;
}

void TRecorder::WriteCopy(const TSavedCopy& copy, const std::wstring& file) const {
    if (copy.SourceFile.empty()) {
        WriteFileBytes(file, copy.Bytes);
        return;
    }
    CheckOS(CopyFileW(copy.SourceFile.c_str(), file.c_str(), FALSE),
            Format(L"Cannot copy %s", copy.SourceFile));
    // The copy must not keep the original's read-only or hidden bit.
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

void TRecorder::DropSince(size_t mark) {
    std::wstring folder = SetFolder(FOpen->Id);
    while (FOpen->Records.size() > mark) {
        const TRecord& record = FOpen->Records.back();
        if (record.Kind == TRecordKind::Folder)
            FRecordedFolders.erase(FRecordedFolders.find(UpperCase(record.Target)));
        for (const auto& [field, value] : record.Fields)
            if (field == L"copy" || field == L"config") {
                DeleteFileW((folder + L"\\" + value).c_str());
                int64_t size = std::wcstoll(record.Field(field + L"size").c_str(), nullptr, 10);
                FOpen->Size -= size;
                FStoreSize -= size;
            }
        FStoreSize -= RecordLineAllowance;
        FOpen->Records.pop_back();
    }
    try {
        SaveManifest(*FOpen);
    } catch (const EOSError&) {
        // The manifest keeps records of a change not made; restoring them gives back the same state.
    }
}

void TRecorder::SetError(std::wstring text) {
    std::lock_guard lock(FLock);
    FError = std::move(text);
}

std::wstring TRecorder::ErrorText() const {
    std::lock_guard lock(FLock);
    return FError;
}

void TRecorder::RememberService(SC_HANDLE service, std::wstring name) {
    std::lock_guard lock(FLock);
    FServices[service] = std::move(name);
}

void TRecorder::ForgetService(SC_HANDLE service) {
    std::lock_guard lock(FLock);
    FServices.erase(service);
}

std::wstring TRecorder::ServiceName(SC_HANDLE service) const {
    {
        std::lock_guard lock(FLock);
        if (auto known = FServices.find(service); known != FServices.end())
            return known->second;
    }
    return ServiceNameOf(service);
}

} // namespace velmora::rekova
