#pragma once
// The suite's backup component (RekovaHelper.dll), obtained through its
// DllGetInstance as IRekova. Every change made through its registry, file
// and service interfaces while a backup set is open is recorded before it is
// made, in a store on disk, so that the set can be restored later.
//
// Binary contract: every method keeps its slot after IUnknown's;
// STDMETHODCALLTYPE; Integer = int32_t, 64-bit = int64_t, Boolean = bool (one
// byte), dates OLE dates (double). Text results are a trailing BSTR* that the
// callee fills with a new BSTR the caller frees; interface outs are a trailing
// I** holding a counted reference (nullptr when there is none). Registry and
// service methods answer as the Windows functions they stand for (LSTATUS, or
// a handle that is null with the thread's last error set); the others answer
// an HRESULT. No method lets a C++ exception escape.
#include <windows.h>
#include <unknwn.h>
#include <oaidl.h>

#include <cstdint>

struct IRegistryAccess;
struct IFileAccess;
struct IServiceAccess;
struct IRekovaSet;
struct IRekovaFreeSpaceCallback;

// The answer of a change that could not be recorded (the store is full, or
// could not be written) and was therefore not made:
// HRESULT_FROM_WIN32(ERROR_DISK_FULL) for file operations, ERROR_DISK_FULL
// for registry ones, the last error ERROR_DISK_FULL for service ones.
constexpr HRESULT RK_E_STORE_FULL = static_cast<HRESULT>(0x80070070L);

// The component's root. One backup set is open at a time per root object.
MIDL_INTERFACE("5C2990D5-37CD-4FE8-8EC4-A23723A7D4F1")
IRekova : public IUnknown {
    // 1-3: the recording interfaces; their changes belong to the open set.
    // Without an open set they refuse every change with ERROR_INVALID_STATE
    // (as HRESULT, LSTATUS or last error): nothing is changed unrecorded
    // unless the free-space callback chose so.
    virtual HRESULT STDMETHODCALLTYPE GetRegistryAccess(IRegistryAccess * *Access) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFileAccess(IFileAccess * *Access) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetServiceAccess(IServiceAccess * *Access) = 0;
    // 4-9: the store's backup sets, newest first.
    virtual int32_t STDMETHODCALLTYPE GetSetCount() = 0;
    // nullptr for an index out of range.
    virtual void STDMETHODCALLTYPE GetSet(int32_t Index, IRekovaSet * *Set) = 0;
    // HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when no set has that identifier.
    virtual HRESULT STDMETHODCALLTYPE FindSet(LPCWSTR Id, IRekovaSet * *Set) = 0;
    // Gives back what the set recorded, the last change first; Report lists
    // what was restored, one line each. The set stays in the store, marked
    // restored. A set restored already answers
    // HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) and restores nothing. A record
    // that cannot be given back does not stop the others: the answer is then
    // HRESULT_FROM_WIN32(ERROR_PARTIAL_COPY), GetLastErrorText lists what was
    // not restored, and the set keeps its status (it may be restored again).
    // The open set answers HRESULT_FROM_WIN32(ERROR_BUSY).
    virtual HRESULT STDMETHODCALLTYPE RestoreSet(LPCWSTR Id, BSTR * Report) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteSet(LPCWSTR Id) = 0;
    // The store's folder (%LOCALAPPDATA%\Velmora\Backups).
    virtual void STDMETHODCALLTYPE GetStoreFolder(BSTR * Folder) = 0;
    // 10: opens a backup set; Flags must be 0. Id receives its identifier.
    // HRESULT_FROM_WIN32(ERROR_BUSY) while another set is open.
    virtual HRESULT STDMETHODCALLTYPE BeginBackupSet(LPCWSTR Name, LPCWSTR Description, int32_t Flags,
                                                     BSTR * Id) = 0;
    // 11-13: the open set.
    virtual bool STDMETHODCALLTYPE IsBackupSetOpen() = 0;
    // Empty when none is open.
    virtual void STDMETHODCALLTYPE GetOpenSetId(BSTR * Id) = 0;
    // Bytes recorded in the open set so far; 0 when none is open.
    virtual int64_t STDMETHODCALLTYPE GetOpenSetSize() = 0;
    // 14: closes the open set, as successful or as failed (a failed set is
    // kept, so that what it recorded can still be restored).
    // HRESULT_FROM_WIN32(ERROR_INVALID_STATE) when none is open.
    virtual HRESULT STDMETHODCALLTYPE EndBackupSet(bool Successful) = 0;
    // 15-17: the store's size and its limit (bytes; a setting of the suite).
    virtual int64_t STDMETHODCALLTYPE GetStoreSize() = 0;
    virtual int64_t STDMETHODCALLTYPE GetStoreLimit() = 0;
    // Writes the setting; a limit below 1 MiB answers E_INVALIDARG.
    virtual HRESULT STDMETHODCALLTYPE SetStoreLimit(int64_t Limit) = 0;
    // 18: the text of the last failure of this root object; empty when none.
    virtual void STDMETHODCALLTYPE GetLastErrorText(BSTR * Text) = 0;
    // 19-22: record without changing: a file or a folder with everything in
    // it, a registry key with its values and subkeys, a service's configuration.
    virtual HRESULT STDMETHODCALLTYPE BackupFile(LPCWSTR Path) = 0;
    virtual HRESULT STDMETHODCALLTYPE BackupFolder(LPCWSTR Path) = 0;
    virtual HRESULT STDMETHODCALLTYPE BackupRegistryKey(HKEY Root, LPCWSTR SubKey, REGSAM View) = 0;
    virtual HRESULT STDMETHODCALLTYPE BackupService(LPCWSTR Name) = 0;
    // 23: called when a change does not fit into the store; nullptr clears it.
    // Without a callback such a change is refused (RK_E_STORE_FULL).
    virtual void STDMETHODCALLTYPE SetFreeSpaceCallback(IRekovaFreeSpaceCallback * Callback) = 0;
    // 24-27.
    // Records in the open set; 0 when none is open.
    virtual int32_t STDMETHODCALLTYPE GetOpenSetRecordCount() = 0;
    // Deletes the oldest sets until the store holds at most Keep of them.
    virtual HRESULT STDMETHODCALLTYPE PurgeSets(int32_t Keep) = 0;
    // Checks that every stored copy of the set is there with its recorded
    // size; Problems lists what is missing, one line each, and the answer is
    // then HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT).
    virtual HRESULT STDMETHODCALLTYPE VerifySet(LPCWSTR Id, BSTR * Problems) = 0;
    // Rises by one whenever a set is begun, ended, restored or deleted.
    virtual int32_t STDMETHODCALLTYPE GetChangeCount() = 0;
};

// Asked when the store lacks space for a change. Answer S_OK; set SkipBackup
// to go on without backup: the change and every later change of the open set
// are then made without being recorded (the set is marked incomplete).
// Otherwise the change is refused.
MIDL_INTERFACE("0E4C5B1A-8D3F-4B5E-9C71-2A6F0D9B4E13")
IRekovaFreeSpaceCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnStoreFull(int32_t Reserved, bool* SkipBackup) = 0;
};

// One backup set of the store.
MIDL_INTERFACE("7B1D2E64-5A93-4C0F-A8E2-3D9F61C05B27")
IRekovaSet : public IUnknown {
    virtual void STDMETHODCALLTYPE GetId(BSTR * Id) = 0;
    virtual void STDMETHODCALLTYPE GetName(BSTR * Name) = 0;
    virtual void STDMETHODCALLTYPE GetDescription(BSTR * Description) = 0;
    // Local OLE date of its beginning.
    virtual double STDMETHODCALLTYPE GetDate() = 0;
    // Bytes the set takes in the store.
    virtual int64_t STDMETHODCALLTYPE GetSize() = 0;
    virtual int32_t STDMETHODCALLTYPE GetRecordCount() = 0;
    // "open", "successful", "failed", "incomplete" (some changes were made
    // without backup) or "restored".
    virtual void STDMETHODCALLTYPE GetStatus(BSTR * Status) = 0;
};

// Registry operations that record the state before each change. Handles are
// ordinary registry handles; close those this interface opened with its
// RegCloseKey, so that it forgets them.
MIDL_INTERFACE("AACAB555-6CB2-4788-8FFE-A2D5E4F9DFCC")
IRegistryAccess : public IUnknown {
    // 1-2. A key created here is recorded, so that restoring deletes it.
    virtual LSTATUS STDMETHODCALLTYPE RegCreateKeyExW(
        HKEY Key, LPCWSTR SubKey, DWORD Reserved, LPWSTR Class, DWORD Options, REGSAM Sam,
        const SECURITY_ATTRIBUTES* Security, HKEY* Result, DWORD* Disposition) = 0;
    virtual LSTATUS STDMETHODCALLTYPE RegOpenKeyExW(HKEY Key, LPCWSTR SubKey, DWORD Options, REGSAM Sam,
                                                    HKEY * Result) = 0;
    // 3.
    virtual LSTATUS STDMETHODCALLTYPE RegFlushKey(HKEY Key) = 0;
    // 4-6. Deleting a key records it with all its values and subkeys.
    virtual LSTATUS STDMETHODCALLTYPE RegDeleteKeyW(HKEY Key, LPCWSTR SubKey) = 0;
    virtual LSTATUS STDMETHODCALLTYPE RegSetValueExW(HKEY Key, LPCWSTR Name, DWORD Reserved, DWORD Type,
                                                     const BYTE* Data, DWORD Size) = 0;
    virtual LSTATUS STDMETHODCALLTYPE RegDeleteValueW(HKEY Key, LPCWSTR Name) = 0;
    // 7-12. The hive operations record the key they replace.
    virtual LSTATUS STDMETHODCALLTYPE RegSaveKeyW(HKEY Key, LPCWSTR File,
                                                  const SECURITY_ATTRIBUTES* Security) = 0;
    virtual LSTATUS STDMETHODCALLTYPE RegRestoreKeyW(HKEY Key, LPCWSTR File, DWORD Flags) = 0;
    virtual LSTATUS STDMETHODCALLTYPE RegReplaceKeyW(HKEY Key, LPCWSTR SubKey, LPCWSTR NewFile,
                                                     LPCWSTR OldFile) = 0;
    virtual LSTATUS STDMETHODCALLTYPE RegLoadKeyW(HKEY Key, LPCWSTR SubKey, LPCWSTR File) = 0;
    virtual LSTATUS STDMETHODCALLTYPE RegUnLoadKeyW(HKEY Key, LPCWSTR SubKey) = 0;
    virtual LSTATUS STDMETHODCALLTYPE RegCloseKey(HKEY Key) = 0;
    // 13: records the subkey (empty: the key itself) with its values and subkeys.
    virtual LSTATUS STDMETHODCALLTYPE BackupKey(HKEY Key, LPCWSTR SubKey) = 0;
    // 14: records one value (type and data, or that it is missing).
    virtual LSTATUS STDMETHODCALLTYPE BackupValue(HKEY Key, LPCWSTR Name) = 0;
};

// File operations that record the state before each change (content,
// attributes and times of a file; attributes and times of a folder).
// Failures answer HRESULT_FROM_WIN32 of the system's error.
MIDL_INTERFACE("3F0A9C27-6E41-4D8B-B5F2-81C7E04A69D5")
IFileAccess : public IUnknown {
    // 1-2. A folder created here is recorded, so that restoring removes it.
    virtual HRESULT STDMETHODCALLTYPE CreateFolder(LPCWSTR Path) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFile(LPCWSTR Path) = 0;
    // 3. Overwrites an existing target, which is recorded first.
    virtual HRESULT STDMETHODCALLTYPE MoveEntry(LPCWSTR From, LPCWSTR To) = 0;
    // 4-5. INVALID_FILE_ATTRIBUTES (last error set) when the entry is missing.
    virtual DWORD STDMETHODCALLTYPE GetAttributes(LPCWSTR Path) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAttributes(LPCWSTR Path, DWORD Attributes) = 0;
    // 6-7.
    virtual HRESULT STDMETHODCALLTYPE SetTimes(LPCWSTR Path, const FILETIME* Created,
                                               const FILETIME* Accessed, const FILETIME* Written) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyEntry(LPCWSTR From, LPCWSTR To, bool FailIfExists) = 0;
    // 8. Removes an empty folder.
    virtual HRESULT STDMETHODCALLTYPE RemoveFolder(LPCWSTR Path) = 0;
};

// Service-manager operations that record a service's configuration before
// changing or deleting it; they answer as the Windows functions of the same
// names.
MIDL_INTERFACE("C2D1ED0F-6DF1-4D25-83A5-1F1388A5F418")
IServiceAccess : public IUnknown {
    // 1. A service created here is recorded, so that restoring deletes it.
    virtual SC_HANDLE STDMETHODCALLTYPE CreateServiceW(
        SC_HANDLE Manager, LPCWSTR Name, LPCWSTR DisplayName, DWORD Access, DWORD ServiceType,
        DWORD StartType, DWORD ErrorControl, LPCWSTR BinaryPath, LPCWSTR LoadOrderGroup, DWORD * TagId,
        LPCWSTR Dependencies, LPCWSTR StartName, LPCWSTR Password) = 0;
    // 2-4.
    virtual SC_HANDLE STDMETHODCALLTYPE OpenSCManagerW(LPCWSTR Machine, LPCWSTR Database, DWORD Access) = 0;
    virtual SC_HANDLE STDMETHODCALLTYPE OpenServiceW(SC_HANDLE Manager, LPCWSTR Name, DWORD Access) = 0;
    virtual BOOL STDMETHODCALLTYPE CloseServiceHandle(SC_HANDLE Handle) = 0;
    // 5-10.
    virtual BOOL STDMETHODCALLTYPE StartServiceW(SC_HANDLE Service, DWORD ArgCount, LPCWSTR * Args) = 0;
    virtual BOOL STDMETHODCALLTYPE ControlService(SC_HANDLE Service, DWORD Control,
                                                  SERVICE_STATUS * Status) = 0;
    virtual BOOL STDMETHODCALLTYPE QueryServiceStatus(SC_HANDLE Service, SERVICE_STATUS * Status) = 0;
    virtual BOOL STDMETHODCALLTYPE QueryServiceConfigW(SC_HANDLE Service, QUERY_SERVICE_CONFIGW * Config,
                                                       DWORD Size, DWORD * Needed) = 0;
    // Records the configuration before changing it.
    virtual BOOL STDMETHODCALLTYPE ChangeServiceConfigW(
        SC_HANDLE Service, DWORD ServiceType, DWORD StartType, DWORD ErrorControl, LPCWSTR BinaryPath,
        LPCWSTR LoadOrderGroup, DWORD * TagId, LPCWSTR Dependencies, LPCWSTR StartName, LPCWSTR Password,
        LPCWSTR DisplayName) = 0;
    virtual BOOL STDMETHODCALLTYPE ChangeServiceConfig2W(SC_HANDLE Service, DWORD InfoLevel, void* Info) = 0;
    // 11. Records the configuration (with its description) before deleting.
    virtual BOOL STDMETHODCALLTYPE DeleteService(SC_HANDLE Service) = 0;
    // 12-17.
    virtual BOOL STDMETHODCALLTYPE QueryServiceConfig2W(SC_HANDLE Service, DWORD InfoLevel, BYTE * Buffer,
                                                        DWORD Size, DWORD * Needed) = 0;
    virtual BOOL STDMETHODCALLTYPE QueryServiceStatusEx(SC_HANDLE Service, SC_STATUS_TYPE InfoLevel,
                                                        BYTE * Buffer, DWORD Size, DWORD * Needed) = 0;
    virtual BOOL STDMETHODCALLTYPE EnumServicesStatusExW(
        SC_HANDLE Manager, SC_ENUM_TYPE InfoLevel, DWORD ServiceType, DWORD ServiceState, BYTE * Services,
        DWORD Size, DWORD * Needed, DWORD * Returned, DWORD * ResumeHandle, LPCWSTR GroupName) = 0;
    virtual BOOL STDMETHODCALLTYPE GetServiceDisplayNameW(SC_HANDLE Manager, LPCWSTR Name, LPWSTR DisplayName,
                                                          DWORD * Size) = 0;
    virtual BOOL STDMETHODCALLTYPE GetServiceKeyNameW(SC_HANDLE Manager, LPCWSTR DisplayName, LPWSTR Name,
                                                      DWORD * Size) = 0;
    // Records the configuration before it is given a new security descriptor.
    virtual BOOL STDMETHODCALLTYPE SetServiceObjectSecurity(SC_HANDLE Service, SECURITY_INFORMATION Which,
                                                            PSECURITY_DESCRIPTOR Descriptor) = 0;
};

#if defined(__MINGW32__)
__CRT_UUID_DECL(IRekova, 0x5C2990D5, 0x37CD, 0x4FE8, 0x8E, 0xC4, 0xA2, 0x37, 0x23, 0xA7, 0xD4, 0xF1)
__CRT_UUID_DECL(IRekovaFreeSpaceCallback, 0x0E4C5B1A, 0x8D3F, 0x4B5E, 0x9C, 0x71, 0x2A, 0x6F, 0x0D, 0x9B,
                0x4E, 0x13)
__CRT_UUID_DECL(IRekovaSet, 0x7B1D2E64, 0x5A93, 0x4C0F, 0xA8, 0xE2, 0x3D, 0x9F, 0x61, 0xC0, 0x5B, 0x27)
__CRT_UUID_DECL(IRegistryAccess, 0xAACAB555, 0x6CB2, 0x4788, 0x8F, 0xFE, 0xA2, 0xD5, 0xE4, 0xF9, 0xDF, 0xCC)
__CRT_UUID_DECL(IFileAccess, 0x3F0A9C27, 0x6E41, 0x4D8B, 0xB5, 0xF2, 0x81, 0xC7, 0xE0, 0x4A, 0x69, 0xD5)
__CRT_UUID_DECL(IServiceAccess, 0xC2D1ED0F, 0x6DF1, 0x4D25, 0x83, 0xA5, 0x1F, 0x13, 0x88, 0xA5, 0xF4, 0x18)
#endif
