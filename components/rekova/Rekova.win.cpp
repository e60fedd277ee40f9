#include "components/rekova/Rekova.h"

#include "components/rekova/Boundary.h"
#include "components/rekova/FileAccess.h"
#include "components/rekova/RegistryAccess.h"
#include "components/rekova/Restore.h"
#include "components/rekova/ServiceAccess.h"
#include "components/rekova/Store.h"
#include "platform/ComText.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/RekovaSettings.h"
#include "platform/Text.h"

#include <cwchar>

namespace velmora::rekova {

namespace {

constexpr int64_t MinimumStoreLimit = 1024 * 1024;

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\r\n";
    return text;
}

// Copies the manifest names that are missing or have another size than recorded.
std::vector<std::wstring> MissingCopies(const TManifest& manifest) {
    std::vector<std::wstring> problems;
    std::wstring folder = SetFolder(manifest.Id);
    for (const TRecord& record : manifest.Records)
        for (const wchar_t* field : {L"copy", L"config"}) {
            std::wstring file = record.Field(field);
            if (file.empty())
                continue;
            int64_t recorded = std::wcstoll(record.Field(std::wstring(field) + L"size").c_str(), nullptr, 10);
            std::optional<uint64_t> size = FileSize(folder + L"\\" + file);
            if (!size)
                problems.push_back(
                    Format(L"%s (%s %s) is missing", file, RecordKindName(record.Kind), record.Target));
            else if (static_cast<int64_t>(*size) != recorded)
                problems.push_back(Format(L"%s (%s %s) has %d bytes instead of %d", file,
                                          RecordKindName(record.Kind), record.Target,
                                          static_cast<int64_t>(*size), recorded));
        }
    return problems;
}

} // namespace

// ---- TRekovaSet

void STDMETHODCALLTYPE TRekovaSet::GetId(BSTR* Id) {
    SetBstr(Id, FManifest.Id);
}

void STDMETHODCALLTYPE TRekovaSet::GetName(BSTR* Name) {
    SetBstr(Name, FManifest.Name);
}

void STDMETHODCALLTYPE TRekovaSet::GetDescription(BSTR* Description) {
    SetBstr(Description, FManifest.Description);
}

double STDMETHODCALLTYPE TRekovaSet::GetDate() {
    return LocalTimeTextToDate(FManifest.Begun);
}

int64_t STDMETHODCALLTYPE TRekovaSet::GetSize() {
    return FSize;
}

int32_t STDMETHODCALLTYPE TRekovaSet::GetRecordCount() {
    return static_cast<int32_t>(FManifest.Records.size());
}

void STDMETHODCALLTYPE TRekovaSet::GetStatus(BSTR* Status) {
    SetBstr(Status, FManifest.Status);
}

// ---- TRekova

HRESULT TRekova::Guard(const std::function<HRESULT()>& body) {
    return Guarded(
        *FRecorder,
        [&] {
            HRESULT result = body();
            if (SUCCEEDED(result))
                FRecorder->ClearError();
            return result;
        },
        HResultFailure);
}

TManifest TRekova::StoredSet(LPCWSTR id) const {
    std::optional<TManifest> manifest = id && *id ? LoadManifest(id) : std::nullopt;
    if (!manifest)
        throw EOSError(Format(L"The store holds no backup set %s", id ? id : L""), ERROR_NOT_FOUND);
    return *manifest;
}

void TRekova::RequireClosed(const std::wstring& id) const {
    if (SameText(FRecorder->OpenId(), id) || SetInUse(id))
        throw EOSError(Format(L"The backup set %s is still open", id), ERROR_BUSY);
}

HRESULT STDMETHODCALLTYPE TRekova::GetRegistryAccess(IRegistryAccess** Access) {
    if (!Access)
        return E_POINTER;
    return Guard([&] {
        MakeCom<TRegistryAccess, IRegistryAccess>(FRecorder).CopyTo(Access);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::GetFileAccess(IFileAccess** Access) {
    if (!Access)
        return E_POINTER;
    return Guard([&] {
        MakeCom<TFileAccess, IFileAccess>(FRecorder).CopyTo(Access);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::GetServiceAccess(IServiceAccess** Access) {
    if (!Access)
        return E_POINTER;
    return Guard([&] {
        MakeCom<TServiceAccess, IServiceAccess>(FRecorder).CopyTo(Access);
        return S_OK;
    });
}

int32_t STDMETHODCALLTYPE TRekova::GetSetCount() {
    return Guarded(
        *FRecorder, [] { return static_cast<int32_t>(SetIds().size()); }, [](DWORD) { return 0; });
}

void STDMETHODCALLTYPE TRekova::GetSet(int32_t Index, IRekovaSet** Set) {
    if (!Set)
        return;
    *Set = nullptr;
    Guard([&] {
        std::vector<std::wstring> ids = SetIds();
        if (Index >= 0 && Index < static_cast<int32_t>(ids.size()))
            FindSet(ids[Index].c_str(), Set);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::FindSet(LPCWSTR Id, IRekovaSet** Set) {
    if (!Set)
        return E_POINTER;
    *Set = nullptr;
    return Guard([&] {
        TManifest manifest = StoredSet(Id);
        int64_t size = FolderSize(SetFolder(manifest.Id));
        MakeCom<TRekovaSet, IRekovaSet>(std::move(manifest), size).CopyTo(Set);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::RestoreSet(LPCWSTR Id, BSTR* Report) {
    return Guard([&] {
        std::lock_guard lock(FRecorder->Lock());
        TManifest manifest = StoredSet(Id);
        RequireClosed(manifest.Id);
        if (manifest.Status == StatusRestored)
            throw EOSError(Format(L"The backup set %s was restored already", manifest.Id),
                           ERROR_ALREADY_EXISTS);
        TRestoreOutcome outcome = RestoreRecords(manifest);
        SetBstr(Report, JoinLines(outcome.Restored));
        FRecorder->CountChange();
        if (!outcome.Failed.empty())
            throw EOSError(Format(L"Some records of the backup set %s could not be restored:\r\n%s",
                                  manifest.Id, JoinLines(outcome.Failed)),
                           ERROR_PARTIAL_COPY);
        manifest.Status = StatusRestored;
        SaveManifest(manifest);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::DeleteSet(LPCWSTR Id) {
    return Guard([&] {
        std::lock_guard lock(FRecorder->Lock());
        TManifest manifest = StoredSet(Id);
        RequireClosed(manifest.Id);
        CheckOS(RemoveTree(SetFolder(manifest.Id)), Format(L"Cannot delete the backup set %s", manifest.Id));
        FRecorder->CountChange();
        return S_OK;
    });
}

void STDMETHODCALLTYPE TRekova::GetStoreFolder(BSTR* Folder) {
    Guard([&] {
        SetBstr(Folder, StoreFolder());
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::BeginBackupSet(LPCWSTR Name, LPCWSTR Description, int32_t Flags,
                                                  BSTR* Id) {
    if (Flags != 0)
        return E_INVALIDARG;
    return Guard([&] {
        SetBstr(Id, FRecorder->Begin(Name ? Name : L"", Description ? Description : L""));
        return S_OK;
    });
}

bool STDMETHODCALLTYPE TRekova::IsBackupSetOpen() {
    return FRecorder->IsOpen();
}

void STDMETHODCALLTYPE TRekova::GetOpenSetId(BSTR* Id) {
    Guard([&] {
        SetBstr(Id, FRecorder->OpenId());
        return S_OK;
    });
}

int64_t STDMETHODCALLTYPE TRekova::GetOpenSetSize() {
    return FRecorder->OpenSize();
}

HRESULT STDMETHODCALLTYPE TRekova::EndBackupSet(bool Successful) {
    return Guard([&] {
        FRecorder->End(Successful);
        return S_OK;
    });
}

int64_t STDMETHODCALLTYPE TRekova::GetStoreSize() {
    return Guarded(
        *FRecorder, [] { return FolderSize(StoreFolder()); }, [](DWORD) { return int64_t{0}; });
}

int64_t STDMETHODCALLTYPE TRekova::GetStoreLimit() {
    return Guarded(
        *FRecorder, [] { return RekovaSettings::StoreLimit(); },
        [](DWORD) { return RekovaSettings::DefaultStoreLimit; });
}

HRESULT STDMETHODCALLTYPE TRekova::SetStoreLimit(int64_t Limit) {
    return Guard([&] {
        if (Limit < MinimumStoreLimit)
            throw EOSError(Format(L"A store limit of %d bytes is below 1 MiB", Limit),
                           ERROR_INVALID_PARAMETER);
        if (!RekovaSettings::SetStoreLimit(Limit))
            throw EOSError(L"Cannot write the store limit to the registry", ERROR_CANTWRITE);
        return S_OK;
    });
}

void STDMETHODCALLTYPE TRekova::GetLastErrorText(BSTR* Text) {
    Guarded(
        *FRecorder, [&] { SetBstr(Text, FRecorder->ErrorText()); }, [](DWORD) {});
}

HRESULT STDMETHODCALLTYPE TRekova::BackupFile(LPCWSTR Path) {
    return Guard([&] {
        CheckOS(Path && FileExists(Path), Format(L"Cannot back up the file %s", Path ? Path : L""));
        FRecorder->Record({CaptureFile(Path)});
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::BackupFolder(LPCWSTR Path) {
    return Guard([&] {
        CheckOS(Path && FolderExists(Path), Format(L"Cannot back up the folder %s", Path ? Path : L""));
        FRecorder->Record(CaptureFolderTree(Path));
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::BackupRegistryKey(HKEY Root, LPCWSTR SubKey, REGSAM View) {
    return Guard([&] {
        std::optional<TRegistryKey> root = FRecorder->KeyNames().Name(Root);
        if (!root)
            throw EOSError(L"The registry handle names no key this component can record",
                           ERROR_INVALID_HANDLE);
        if (RegViewFromFlags(View) != TRegView::Default)
            root->View = RegViewFromFlags(View);
        FRecorder->Record({CaptureKey(SubKeyOf(*root, SubKey ? SubKey : L""))});
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::BackupService(LPCWSTR Name) {
    return Guard([&] {
        if (!Name)
            throw EOSError(L"No service named", ERROR_INVALID_NAME);
        FRecorder->Record({CaptureService(Name)});
        return S_OK;
    });
}

void STDMETHODCALLTYPE TRekova::SetFreeSpaceCallback(IRekovaFreeSpaceCallback* Callback) {
    FRecorder->SetCallback(Callback);
}

int32_t STDMETHODCALLTYPE TRekova::GetOpenSetRecordCount() {
    return FRecorder->OpenRecordCount();
}

HRESULT STDMETHODCALLTYPE TRekova::PurgeSets(int32_t Keep) {
    if (Keep < 0)
        return E_INVALIDARG;
    return Guard([&] {
        std::lock_guard lock(FRecorder->Lock());
        std::vector<std::wstring> ids = SetIds();
        std::wstring open = FRecorder->OpenId();
        for (size_t i = static_cast<size_t>(Keep); i < ids.size(); ++i)
            if (!SameText(ids[i], open) && !SetInUse(ids[i])) {
                CheckOS(RemoveTree(SetFolder(ids[i])), Format(L"Cannot delete the backup set %s", ids[i]));
                FRecorder->CountChange();
            }
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE TRekova::VerifySet(LPCWSTR Id, BSTR* Problems) {
    return Guard([&] {
        std::vector<std::wstring> problems = MissingCopies(StoredSet(Id));
        SetBstr(Problems, JoinLines(problems));
        if (!problems.empty())
            throw EOSError(Format(L"The backup set %s lacks saved copies:\r\n%s", Id, JoinLines(problems)),
                           ERROR_FILE_CORRUPT);
        return S_OK;
    });
}

int32_t STDMETHODCALLTYPE TRekova::GetChangeCount() {
    return FRecorder->ChangeCount();
}

int LiveRekovaObjects() {
    return LiveObjectCount<TRekova, TRekovaSet, TRegistryAccess, TFileAccess, TServiceAccess>();
}

} // namespace velmora::rekova
