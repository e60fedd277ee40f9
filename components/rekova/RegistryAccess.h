#pragma once
// IRegistryAccess: registry changes recorded before they are made. A change
// through a handle that cannot be named (neither opened here, nor a
// predefined root, nor named by the kernel) is refused with
// ERROR_INVALID_HANDLE, never made unrecorded. A key opened, created,
// deleted or backed up below HKEY_CLASSES_ROOT is the real class key, the
// user's or the machine's, which is what is recorded and restored. RegSaveKeyW and RegLoadKeyW
// change no key and are passed on as they are.
#include "api/Interfaces.Rekova.h"
#include "components/rekova/Recorder.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <functional>
#include <memory>

namespace velmora::rekova {

class TRegistryAccess : public TInterfacedObject<IRegistryAccess>, public TLiveCount<TRegistryAccess> {
public:
    explicit TRegistryAccess(std::shared_ptr<TRecorder> recorder) : FRecorder(std::move(recorder)) {}

    LSTATUS STDMETHODCALLTYPE RegCreateKeyExW(HKEY Key, LPCWSTR SubKey, DWORD Reserved, LPWSTR Class,
                                              DWORD Options, REGSAM Sam, const SECURITY_ATTRIBUTES* Security,
                                              HKEY* Result, DWORD* Disposition) override;
    LSTATUS STDMETHODCALLTYPE RegOpenKeyExW(HKEY Key, LPCWSTR SubKey, DWORD Options, REGSAM Sam,
                                            HKEY* Result) override;
    LSTATUS STDMETHODCALLTYPE RegFlushKey(HKEY Key) override;
    LSTATUS STDMETHODCALLTYPE RegDeleteKeyW(HKEY Key, LPCWSTR SubKey) override;
    LSTATUS STDMETHODCALLTYPE RegSetValueExW(HKEY Key, LPCWSTR Name, DWORD Reserved, DWORD Type,
                                             const BYTE* Data, DWORD Size) override;
    LSTATUS STDMETHODCALLTYPE RegDeleteValueW(HKEY Key, LPCWSTR Name) override;
    LSTATUS STDMETHODCALLTYPE RegSaveKeyW(HKEY Key, LPCWSTR File,
                                          const SECURITY_ATTRIBUTES* Security) override;
    LSTATUS STDMETHODCALLTYPE RegRestoreKeyW(HKEY Key, LPCWSTR File, DWORD Flags) override;
    LSTATUS STDMETHODCALLTYPE RegReplaceKeyW(HKEY Key, LPCWSTR SubKey, LPCWSTR NewFile,
                                             LPCWSTR OldFile) override;
    LSTATUS STDMETHODCALLTYPE RegLoadKeyW(HKEY Key, LPCWSTR SubKey, LPCWSTR File) override;
    LSTATUS STDMETHODCALLTYPE RegUnLoadKeyW(HKEY Key, LPCWSTR SubKey) override;
    LSTATUS STDMETHODCALLTYPE RegCloseKey(HKEY Key) override;
    LSTATUS STDMETHODCALLTYPE BackupKey(HKEY Key, LPCWSTR SubKey) override;
    LSTATUS STDMETHODCALLTYPE BackupValue(HKEY Key, LPCWSTR Name) override;

private:
    // The name of a handle, with subKey below it; throws ERROR_INVALID_HANDLE
    // when the handle cannot be named. A view flag in access overrides the
    // handle's view.
    TRegistryKey Name(HKEY key, LPCWSTR subKey, REGSAM access = 0) const;
    // Records what capture() gives, then makes the change.
    LSTATUS Change(std::wstring_view action, const std::function<TCaptures()>& capture,
                   const std::function<LSTATUS()>& apply);

    std::shared_ptr<TRecorder> FRecorder;
};

} // namespace velmora::rekova
