#pragma once
// The store apps of the suite's startup component (LaunchetHelper.dll),
// obtained through its DllGetInstance as IMetroAppCollection.
//
// Binary contract: every method keeps its slot after IUnknown's;
// STDMETHODCALLTYPE; Integer = int32_t, Cardinal = uint32_t, Boolean = bool
// (one byte). Text results are a trailing BSTR* that the callee fills with a
// new BSTR the caller frees (an empty text may be nullptr); interface outs are
// a trailing I** holding a counted reference (nullptr when there is none). No
// method lets a C++ exception escape. Both interfaces accept calls from any
// thread.
#include <windows.h>
#include <unknwn.h>
#include <oaidl.h>

#include <cstdint>

// One app package installed for the current user. Its values are those read
// when the collection last loaded; the entry does not change afterwards.
MIDL_INTERFACE("B2D9E968-3C03-4587-9272-2F438FBE1E8A")
IMetroAppItem : public IUnknown {
    // 1-2: the package's identity ("Name_Version_Arch_ResourceId_PublisherId"
    // and "Name_PublisherId").
    virtual void STDMETHODCALLTYPE GetPackageFullName(BSTR * Value) = 0;
    virtual void STDMETHODCALLTYPE GetPackageFamilyName(BSTR * Value) = 0;
    // 3: the display name as text (a resource reference resolved, else the
    // package name).
    virtual void STDMETHODCALLTYPE GetDisplayName(BSTR * Value) = 0;
    // 4-5: the manifest's texts as written there: plain text or a resource
    // reference ("ms-resource:..."), for LoadResourceString.
    virtual void STDMETHODCALLTYPE GetDisplayNameResource(BSTR * Value) = 0;
    virtual void STDMETHODCALLTYPE GetDescriptionResource(BSTR * Value) = 0;
    // 6: the publisher of the package's identity ("CN=...").
    virtual void STDMETHODCALLTYPE GetPublisher(BSTR * Value) = 0;
    // 7: the publisher's display name as written in the manifest.
    virtual void STDMETHODCALLTYPE GetPublisherResource(BSTR * Value) = 0;
    // 8-9: the install folder (no trailing backslash) and "a.b.c.d".
    virtual void STDMETHODCALLTYPE GetInstallPath(BSTR * Value) = 0;
    virtual void STDMETHODCALLTYPE GetVersion(BSTR * Value) = 0;
    // 10: "x86", "x64", "arm", "arm64" or "neutral".
    virtual void STDMETHODCALLTYPE GetArchitecture(BSTR * Value) = 0;
    // 11: full path of the logo image (a PNG), the scaled file Windows would
    // pick when the manifest's own name is missing; empty when there is none.
    virtual void STDMETHODCALLTYPE GetLogo(BSTR * Value) = 0;
    // 12: the package's application ids, separated by ";".
    virtual void STDMETHODCALLTYPE GetAppIds(BSTR * Value) = 0;
    // 13: a framework package (a library other apps use).
    virtual bool STDMETHODCALLTYPE IsExcluded1() = 0;
    // 14: a resource package or a bundle's part without applications of its own.
    virtual bool STDMETHODCALLTYPE IsExcluded2() = 0;
    // 15: has an application shown in the start menu's app list.
    virtual bool STDMETHODCALLTYPE IsListed() = 0;
    // 16: belongs among the system's switchable features: not a framework or
    // resource package and has at least one application.
    virtual bool STDMETHODCALLTYPE IsFeatureListed() = 0;
    // 17: installed for the current user and staged for every new user as well.
    virtual bool STDMETHODCALLTYPE IsProvisioned() = 0;
    // 18: text of a resource reference of this package
    // ("ms-resource:..." or "@{...}"); other text comes back as it is, and an
    // unresolvable reference comes back empty.
    virtual void STDMETHODCALLTYPE LoadResourceString(LPCWSTR Reference, BSTR * Value) = 0;
    // 19: an uninstall of this package was attempted; the collection reads
    // the package again at once in the background, as UpdateItem does (no
    // effect once the collection has gone).
    virtual void STDMETHODCALLTYPE NotifyRemoved() = 0;
};

// The collection's generic part.
MIDL_INTERFACE("0F0B6E55-6A0D-4C52-9D7E-3F1C5C0A9B21")
IMetroAppItemList : public IUnknown {
    // 1-2: the entries of the last completed load, index 0 .. count-1;
    // GetItem answers nullptr outside that range.
    virtual int32_t STDMETHODCALLTYPE GetCount() = 0;
    virtual void STDMETHODCALLTYPE GetItem(int32_t Index, IMetroAppItem * *Item) = 0;
    // 3: index of the entry with that package full name, -1 when none.
    virtual int32_t STDMETHODCALLTYPE IndexOf(LPCWSTR PackageFullName) = 0;
    // 4: whether the entry is among the current entries.
    virtual bool STDMETHODCALLTYPE Contains(IMetroAppItem * Item) = 0;
};

MIDL_INTERFACE("B3C49691-C91A-45CC-A322-0DD4489744EC")
IMetroAppCollection : public IMetroAppItemList {
    // 5: the error of the last load (S_OK when it succeeded).
    virtual HRESULT STDMETHODCALLTYPE GetLoadError() = 0;
    // 6: changes whenever a load changed the entries.
    virtual uint32_t STDMETHODCALLTYPE GetUpdateTime() = 0;
    // 7: the number of entries with IsFeatureListed.
    virtual int32_t STDMETHODCALLTYPE GetAppCount() = 0;
    // 8: starts a new load in the background (a running one is followed by
    // another).
    virtual void STDMETHODCALLTYPE Update() = 0;
    // 9: a load, or a re-read of single packages, is running or waiting.
    virtual bool STDMETHODCALLTYPE IsLoading() = 0;
    // 10: waits up to Timeout ms; true when no load is running or waiting.
    // With WaitAll false the first load counts only: true once it has ended.
    virtual bool STDMETHODCALLTYPE WaitForLoad(uint32_t Timeout, bool WaitAll) = 0;
    // 11: the entry with that package full name, nullptr when absent.
    virtual void STDMETHODCALLTYPE FindItem(LPCWSTR PackageFullName, IMetroAppItem * *Item) = 0;
    // 12: that package was switched on or off; it is read again at once on
    // the collection's thread (IsLoading until its entry is replaced, or
    // removed when the package is gone).
    virtual void STDMETHODCALLTYPE UpdateItem(LPCWSTR PackageFullName) = 0;
};

#if defined(__MINGW32__)
__CRT_UUID_DECL(IMetroAppItem, 0xB2D9E968, 0x3C03, 0x4587, 0x92, 0x72, 0x2F, 0x43, 0x8F, 0xBE, 0x1E, 0x8A)
__CRT_UUID_DECL(IMetroAppItemList, 0x0F0B6E55, 0x6A0D, 0x4C52, 0x9D, 0x7E, 0x3F, 0x1C, 0x5C, 0x0A, 0x9B, 0x21)
__CRT_UUID_DECL(IMetroAppCollection, 0xB3C49691, 0xC91A, 0x45CC, 0xA3, 0x22, 0x0D, 0xD4, 0x48, 0x97, 0x44, 0xEC)
#endif
