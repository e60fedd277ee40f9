#include "components/rekova/RegistryAccess.h"

#include "components/rekova/Boundary.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace velmora::rekova {

namespace {

// The first key on the way down to key that does not exist yet; nothing when
// the key exists.
std::optional<TRegistryKey> FirstMissingKey(const TRegistryKey& key) {
    if (KeyExists(key.Root, key.Path, key.View))
        return std::nullopt;
    for (size_t slash = 0;; ++slash) {
        slash = key.Path.find(L'\\', slash);
        TRegistryKey part{key.View, key.Root, key.Path.substr(0, slash)};
        if (slash == std::wstring::npos || !KeyExists(part.Root, part.Path, part.View))
            return part;
    }
}

} // namespace

TRegistryKey TRegistryAccess::Name(HKEY key, LPCWSTR subKey, REGSAM access) const {
    std::optional<TRegistryKey> name = FRecorder->KeyNames().Name(key);
    if (!name)
        throw EOSError(L"The registry handle names no key this component can record", ERROR_INVALID_HANDLE);
    if (RegViewFromFlags(access) != TRegView::Default)
        name->View = RegViewFromFlags(access);
    return SubKeyOf(*name, NullableText(subKey));
}

LSTATUS TRegistryAccess::Change(std::wstring_view action, const std::function<TCaptures()>& capture,
                                const std::function<LSTATUS()>& apply) {
    return Guarded(
        *FRecorder,
        [&] {
            LSTATUS status = FRecorder->Change(capture, apply, [](LSTATUS s) { return s == ERROR_SUCCESS; });
            if (status != ERROR_SUCCESS)
                FRecorder->SetError(
                    Format(L"Cannot %s: %s", action, SystemErrorMessage(static_cast<DWORD>(status))));
            return status;
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegCreateKeyExW(HKEY Key, LPCWSTR SubKey, DWORD Reserved,
                                                           LPWSTR Class, DWORD Options, REGSAM Sam,
                                                           const SECURITY_ATTRIBUTES* Security, HKEY* Result,
                                                           DWORD* Disposition) {
    if (!Result)
        return ERROR_INVALID_PARAMETER;
    return Guarded(
        *FRecorder,
        [&] {
            const auto [real, realSubKey] = RealClassesKey(Key, NullableText(SubKey), Sam);
            Key = real;
            SubKey = realSubKey.c_str();
            TRegistryKey name = Name(Key, SubKey, Sam);
            LSTATUS status = Change(
                L"create the key " + name.Text(),
                [&name] {
                    std::optional<TRegistryKey> missing = FirstMissingKey(name);
                    return missing ? TCaptures{CaptureNewKey(*missing)} : TCaptures{};
                },
                [&] {
                    return ::RegCreateKeyExW(Key, SubKey, Reserved, Class, Options, Sam,
                                             const_cast<SECURITY_ATTRIBUTES*>(Security), Result, Disposition);
                });
            if (status == ERROR_SUCCESS)
                FRecorder->KeyNames().Remember(*Result, name);
            return status;
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegOpenKeyExW(HKEY Key, LPCWSTR SubKey, DWORD Options, REGSAM Sam,
                                                         HKEY* Result) {
    return Guarded(
        *FRecorder,
        [&] {
            const auto [real, realSubKey] = RealClassesKey(Key, NullableText(SubKey), Sam);
            Key = real;
            SubKey = realSubKey.c_str();
            LSTATUS status = ::RegOpenKeyExW(Key, SubKey, Options, Sam, Result);
            // A key whose parent cannot be named is named by the kernel when it is changed.
            if (status == ERROR_SUCCESS)
                if (auto parent = FRecorder->KeyNames().Name(Key))
                    FRecorder->KeyNames().Remember(
                        *Result, SubKeyOf({RegViewFromFlags(Sam) != TRegView::Default ? RegViewFromFlags(Sam)
                                                                                      : parent->View,
                                           parent->Root, parent->Path},
                                          NullableText(SubKey)));
            return status;
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegFlushKey(HKEY Key) {
    return ::RegFlushKey(Key);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegDeleteKeyW(HKEY Key, LPCWSTR SubKey) {
    return Guarded(
        *FRecorder,
        [&] {
            const auto [real, realSubKey] = RealClassesKey(Key, NullableText(SubKey), 0);
            Key = real;
            SubKey = realSubKey.c_str();
            TRegistryKey name = Name(Key, SubKey);
            return Change(
                L"delete the key " + name.Text(), [&name] { return TCaptures{CaptureKey(name)}; },
                [&] {
                    return ::RegDeleteKeyExW(Key, NullableText(SubKey).c_str(), RegViewFlag(name.View), 0);
                });
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegSetValueExW(HKEY Key, LPCWSTR Name, DWORD Reserved, DWORD Type,
                                                          const BYTE* Data, DWORD Size) {
    return Guarded(
        *FRecorder,
        [&] {
            TRegistryKey key = this->Name(Key, nullptr);
            return Change(
                Format(L"set the value \"%s\" of %s", NullableText(Name), key.Text()),
                [&] { return TCaptures{CaptureValue(key, NullableText(Name))}; },
                [&] { return ::RegSetValueExW(Key, Name, Reserved, Type, Data, Size); });
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegDeleteValueW(HKEY Key, LPCWSTR Name) {
    return Guarded(
        *FRecorder,
        [&] {
            TRegistryKey key = this->Name(Key, nullptr);
            return Change(
                Format(L"delete the value \"%s\" of %s", NullableText(Name), key.Text()),
                [&] { return TCaptures{CaptureValue(key, NullableText(Name))}; },
                [&] { return ::RegDeleteValueW(Key, Name); });
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegSaveKeyW(HKEY Key, LPCWSTR File,
                                                       const SECURITY_ATTRIBUTES* Security) {
    return ::RegSaveKeyW(Key, File, const_cast<SECURITY_ATTRIBUTES*>(Security));
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegRestoreKeyW(HKEY Key, LPCWSTR File, DWORD Flags) {
    return Guarded(
        *FRecorder,
        [&] {
            TRegistryKey name = Name(Key, nullptr);
            return Change(
                L"restore a hive over " + name.Text(), [&name] { return TCaptures{CaptureKey(name)}; },
                [&] { return ::RegRestoreKeyW(Key, File, Flags); });
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegReplaceKeyW(HKEY Key, LPCWSTR SubKey, LPCWSTR NewFile,
                                                          LPCWSTR OldFile) {
    return Guarded(
        *FRecorder,
        [&] {
            TRegistryKey name = Name(Key, SubKey);
            return Change(
                L"replace the hive of " + name.Text(), [&name] { return TCaptures{CaptureKey(name)}; },
                [&] { return ::RegReplaceKeyW(Key, SubKey, NewFile, OldFile); });
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegLoadKeyW(HKEY Key, LPCWSTR SubKey, LPCWSTR File) {
    return ::RegLoadKeyW(Key, SubKey, File);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegUnLoadKeyW(HKEY Key, LPCWSTR SubKey) {
    return Guarded(
        *FRecorder,
        [&] {
            TRegistryKey name = Name(Key, SubKey);
            return Change(
                L"unload the hive " + name.Text(), [&name] { return TCaptures{CaptureKey(name)}; },
                [&] { return ::RegUnLoadKeyW(Key, SubKey); });
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::RegCloseKey(HKEY Key) {
    FRecorder->KeyNames().Forget(Key);
    return ::RegCloseKey(Key);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::BackupKey(HKEY Key, LPCWSTR SubKey) {
    return Guarded(
        *FRecorder,
        [&] {
            const auto [real, realSubKey] = RealClassesKey(Key, NullableText(SubKey), 0);
            FRecorder->Record({CaptureKey(Name(real, realSubKey.c_str()))});
            return ERROR_SUCCESS;
        },
        StatusFailure);
}

LSTATUS STDMETHODCALLTYPE TRegistryAccess::BackupValue(HKEY Key, LPCWSTR Name) {
    return Guarded(
        *FRecorder,
        [&] {
            FRecorder->Record({CaptureValue(this->Name(Key, nullptr), NullableText(Name))});
            return ERROR_SUCCESS;
        },
        StatusFailure);
}

} // namespace velmora::rekova
