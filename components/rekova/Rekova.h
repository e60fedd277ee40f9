#pragma once
// The root object handed out by RekovaHelper.dll, and the backup sets it
// shows. The sets are read from the store at each question, so that sets
// another process made are seen.
//
// Choices beyond the contract: without an open set the access objects refuse
// changes (ERROR_INVALID_STATE) rather than make them unrecorded. A restore
// that could not give everything back leaves the set's status as it was, so
// that it may be restored again once the cause is gone. The open set cannot
// be restored, deleted or purged (ERROR_BUSY). VerifySet answers
// HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT) when a copy is missing or has
// another size.
#include "api/Interfaces.Rekova.h"
#include "components/rekova/Manifest.h"
#include "components/rekova/Recorder.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <functional>
#include <memory>

namespace velmora::rekova {

class TRekovaSet : public TInterfacedObject<IRekovaSet>, public TLiveCount<TRekovaSet> {
public:
    TRekovaSet(TManifest manifest, int64_t size) : FManifest(std::move(manifest)), FSize(size) {}

    void STDMETHODCALLTYPE GetId(BSTR* Id) override;
    void STDMETHODCALLTYPE GetName(BSTR* Name) override;
    void STDMETHODCALLTYPE GetDescription(BSTR* Description) override;
    double STDMETHODCALLTYPE GetDate() override;
    int64_t STDMETHODCALLTYPE GetSize() override;
    int32_t STDMETHODCALLTYPE GetRecordCount() override;
    void STDMETHODCALLTYPE GetStatus(BSTR* Status) override;

private:
    TManifest FManifest;
    int64_t FSize;
};

class TRekova : public TInterfacedObject<IRekova>, public TLiveCount<TRekova> {
public:
    TRekova() : FRecorder(std::make_shared<TRecorder>()) {}

    HRESULT STDMETHODCALLTYPE GetRegistryAccess(IRegistryAccess** Access) override;
    HRESULT STDMETHODCALLTYPE GetFileAccess(IFileAccess** Access) override;
    HRESULT STDMETHODCALLTYPE GetServiceAccess(IServiceAccess** Access) override;
    int32_t STDMETHODCALLTYPE GetSetCount() override;
    void STDMETHODCALLTYPE GetSet(int32_t Index, IRekovaSet** Set) override;
    HRESULT STDMETHODCALLTYPE FindSet(LPCWSTR Id, IRekovaSet** Set) override;
    HRESULT STDMETHODCALLTYPE RestoreSet(LPCWSTR Id, BSTR* Report) override;
    HRESULT STDMETHODCALLTYPE DeleteSet(LPCWSTR Id) override;
    void STDMETHODCALLTYPE GetStoreFolder(BSTR* Folder) override;
    HRESULT STDMETHODCALLTYPE BeginBackupSet(LPCWSTR Name, LPCWSTR Description, int32_t Flags,
                                             BSTR* Id) override;
    bool STDMETHODCALLTYPE IsBackupSetOpen() override;
    void STDMETHODCALLTYPE GetOpenSetId(BSTR* Id) override;
    int64_t STDMETHODCALLTYPE GetOpenSetSize() override;
    HRESULT STDMETHODCALLTYPE EndBackupSet(bool Successful) override;
    int64_t STDMETHODCALLTYPE GetStoreSize() override;
    int64_t STDMETHODCALLTYPE GetStoreLimit() override;
    HRESULT STDMETHODCALLTYPE SetStoreLimit(int64_t Limit) override;
    void STDMETHODCALLTYPE GetLastErrorText(BSTR* Text) override;
    HRESULT STDMETHODCALLTYPE BackupFile(LPCWSTR Path) override;
    HRESULT STDMETHODCALLTYPE BackupFolder(LPCWSTR Path) override;
    HRESULT STDMETHODCALLTYPE BackupRegistryKey(HKEY Root, LPCWSTR SubKey, REGSAM View) override;
    HRESULT STDMETHODCALLTYPE BackupService(LPCWSTR Name) override;
    void STDMETHODCALLTYPE SetFreeSpaceCallback(IRekovaFreeSpaceCallback* Callback) override;
    int32_t STDMETHODCALLTYPE GetOpenSetRecordCount() override;
    HRESULT STDMETHODCALLTYPE PurgeSets(int32_t Keep) override;
    HRESULT STDMETHODCALLTYPE VerifySet(LPCWSTR Id, BSTR* Problems) override;
    int32_t STDMETHODCALLTYPE GetChangeCount() override;

private:
    // The manifest of a stored set; throws ERROR_NOT_FOUND.
    TManifest StoredSet(LPCWSTR id) const;
    // Throws ERROR_BUSY for the open set.
    void RequireClosed(const std::wstring& id) const;
    HRESULT Guard(const std::function<HRESULT()>& body);

    std::shared_ptr<TRecorder> FRecorder;
};

// Every object of the component still alive.
int LiveRekovaObjects();

} // namespace velmora::rekova
