#pragma once
// One move-only owner per kind of Win32 handle, closing in its destructor.
// No other unit closes a handle by hand.
#include <windows.h>
#include <oleauto.h>
#include <commctrl.h>
#include <winsvc.h>
#include <wtsapi32.h>
#include <bcrypt.h>

#include <utility>

namespace velmora {

template <class Traits> class TUniqueHandle {
public:
    using Type = typename Traits::Type;

    TUniqueHandle() noexcept = default;
    explicit TUniqueHandle(Type value) noexcept : FValue(value) {}
    TUniqueHandle(TUniqueHandle&& other) noexcept : FValue(other.release()) {}
    TUniqueHandle& operator=(TUniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~TUniqueHandle() { reset(); }
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;

    Type get() const noexcept { return FValue; }
    explicit operator bool() const noexcept { return FValue != Traits::Invalid(); }
    Type release() noexcept { return std::exchange(FValue, Traits::Invalid()); }
    void reset(Type value = Traits::Invalid()) noexcept {
        Type old = std::exchange(FValue, value);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }
    // For APIs that return the handle through an out parameter.
    Type* put() noexcept {
        reset();
        return &FValue;
    }

private:
    Type FValue = Traits::Invalid();
};

namespace traits {
template <class T, auto CloseFn> struct Handle {
    using Type = T;
    static Type Invalid() noexcept { return Type{}; }
    static void Close(Type h) noexcept { CloseFn(h); }
};
struct File {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { CloseHandle(h); }
};
struct Find {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { FindClose(h); }
};
struct ChangeNotification {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { FindCloseChangeNotification(h); }
};
inline void CloseKey(HKEY key) noexcept {
    RegCloseKey(key);
}
inline void CloseGeneric(HANDLE h) noexcept {
    CloseHandle(h);
}
inline void CloseModule(HMODULE h) noexcept {
    FreeLibrary(h);
}
inline void CloseBstr(BSTR s) noexcept {
    SysFreeString(s);
}
inline void CloseCoTaskMem(void* p) noexcept {
    CoTaskMemFree(p);
}
inline void CloseLocalString(wchar_t* s) noexcept {
    LocalFree(s);
}
inline void CloseWtsMemory(void* p) noexcept {
    WTSFreeMemory(p);
}
inline void CloseService(SC_HANDLE h) noexcept {
    CloseServiceHandle(h);
}
inline void CloseIcon(HICON h) noexcept {
    DestroyIcon(h);
}
inline void CloseImageList(HIMAGELIST h) noexcept {
    ImageList_Destroy(h);
}
inline void CloseGdiObject(HGDIOBJ h) noexcept {
    DeleteObject(h);
}
inline void CloseScreenDC(HDC h) noexcept {
    ReleaseDC(nullptr, h);
}
inline void CloseHashAlgorithm(BCRYPT_ALG_HANDLE h) noexcept {
    BCryptCloseAlgorithmProvider(h, 0);
}
inline void CloseHash(BCRYPT_HASH_HANDLE h) noexcept {
    BCryptDestroyHash(h);
}
} // namespace traits

using unique_handle = TUniqueHandle<traits::Handle<HANDLE, traits::CloseGeneric>>;
using unique_event = unique_handle;
using unique_file = TUniqueHandle<traits::File>;
using unique_find = TUniqueHandle<traits::Find>;
using unique_change_notification = TUniqueHandle<traits::ChangeNotification>;
using unique_hkey = TUniqueHandle<traits::Handle<HKEY, traits::CloseKey>>;
using unique_hmodule = TUniqueHandle<traits::Handle<HMODULE, traits::CloseModule>>;
using unique_bstr = TUniqueHandle<traits::Handle<BSTR, traits::CloseBstr>>;
using unique_cotaskmem = TUniqueHandle<traits::Handle<void*, traits::CloseCoTaskMem>>;
// Text the system allocated with LocalAlloc (FormatMessageW, ConvertSidToStringSidW).
using unique_hlocal_string = TUniqueHandle<traits::Handle<wchar_t*, traits::CloseLocalString>>;
// Buffers of the terminal services functions (WTSEnumerateProcessesW).
using unique_wtsmem = TUniqueHandle<traits::Handle<void*, traits::CloseWtsMemory>>;
using unique_schandle = TUniqueHandle<traits::Handle<SC_HANDLE, traits::CloseService>>;
using unique_hicon = TUniqueHandle<traits::Handle<HICON, traits::CloseIcon>>;
using unique_himagelist = TUniqueHandle<traits::Handle<HIMAGELIST, traits::CloseImageList>>;
using unique_gdiobj = TUniqueHandle<traits::Handle<HGDIOBJ, traits::CloseGdiObject>>;
// The device context of the screen (GetDC(nullptr)).
using unique_screen_dc = TUniqueHandle<traits::Handle<HDC, traits::CloseScreenDC>>;
// Cryptography provider objects (BCryptOpenAlgorithmProvider, BCryptCreateHash).
using unique_hash_algorithm = TUniqueHandle<traits::Handle<BCRYPT_ALG_HANDLE, traits::CloseHashAlgorithm>>;
using unique_hash = TUniqueHandle<traits::Handle<BCRYPT_HASH_HANDLE, traits::CloseHash>>;

} // namespace velmora
