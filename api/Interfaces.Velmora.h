#pragma once
// Public interfaces of VelmoraHelper.dll: the contract with the front end.
//
// Binary conventions: every method is STDMETHODCALLTYPE and keeps its slot
// forever; Integer = int32_t, 64-bit = int64_t (stamps uint64_t), Boolean =
// bool (one byte), enumerations one byte, dates OLE dates (double). Text
// in-parameters are LPCWSTR; text results are a trailing BSTR* that the callee
// fills with a new BSTR the caller frees. Interface outs are a trailing I**
// holding a counted reference (nullptr when there is none). Information values
// are VARIANTs (VT_NULL, VT_BSTR, VT_DATE, VT_I4, VT_I8, VT_BOOL). No method
// lets a C++ exception escape.
#include <windows.h>
#include <unknwn.h>
#include <oaidl.h>
#include <commctrl.h>

#include <cstdint>

#include "Enums.Velmora.h"

#if defined(__MINGW32__)
#define VELMORA_IID(itf, b9, b10)                                                                            \
    __CRT_UUID_DECL(itf, 0xD1465CA9, 0x77C6, 0x49DF, 0x92, 0x9C, 0x4E, 0x4D, 0x64, 0x73, b9, b10)
#else
#define VELMORA_IID(itf, b9, b10)
#endif

// Stored by SetOnNotify and handed back by GetOnNotify; never called.
struct TNotifyHandler {
    void* Code;
    void* Data;
};

struct IProduct;
struct IProductCollection;
struct IFeature;
struct IFeatures;
struct IForceRemove;

// A list of text lines owned by whoever implements it; settings lines are
// "Name=Value".
MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730220")
IVelmoraStrings : public IUnknown {
    virtual int32_t STDMETHODCALLTYPE GetCount() = 0;
    virtual void STDMETHODCALLTYPE Get(int32_t Index, BSTR * Line) = 0;
    virtual void STDMETHODCALLTYPE Add(LPCWSTR Line) = 0;
    virtual void STDMETHODCALLTYPE Clear() = 0;
    // Value of the first "Name=Value" line; empty when absent.
    virtual void STDMETHODCALLTYPE GetValue(LPCWSTR Name, BSTR * Value) = 0;
};
VELMORA_IID(IVelmoraStrings, 0x02, 0x20)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730221")
IErrorCallback : public IUnknown {
    virtual void STDMETHODCALLTYPE ShowError(LPCWSTR Text) = 0;
};
VELMORA_IID(IErrorCallback, 0x02, 0x21)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730222")
IQuestionCallback : public IUnknown {
    // True answers yes.
    virtual bool STDMETHODCALLTYPE AskYesNo(LPCWSTR Text, LPCWSTR Caption) = 0;
};
VELMORA_IID(IQuestionCallback, 0x02, 0x22)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730201")
IVelmora : public IUnknown {
    virtual void STDMETHODCALLTYPE GetPrograms(IProductCollection * *Programs) = 0;
    virtual void STDMETHODCALLTYPE GetUpdates(IProductCollection * *Updates) = 0;
    virtual TReadState STDMETHODCALLTYPE GetReadState() = 0;
    virtual void STDMETHODCALLTYPE GetOnNotify(TNotifyHandler * Handler) = 0;
    virtual void STDMETHODCALLTYPE SetOnNotify(TNotifyHandler Handler) = 0;
    virtual void STDMETHODCALLTYPE GetErrorCallback(IErrorCallback * *Callback) = 0;
    virtual void STDMETHODCALLTYPE SetErrorCallback(IErrorCallback * Callback) = 0;
    virtual void STDMETHODCALLTYPE GetQuestionCallback(IQuestionCallback * *Callback) = 0;
    virtual void STDMETHODCALLTYPE SetQuestionCallback(IQuestionCallback * Callback) = 0;
    virtual void STDMETHODCALLTYPE GetFeatures(IFeatures * *Features) = 0;
    virtual void STDMETHODCALLTYPE GetUnusedPrograms(IProductCollection * *Programs) = 0;
    virtual void STDMETHODCALLTYPE ShowWindowsFeatures() = 0;
    virtual void STDMETHODCALLTYPE Refresh() = 0;
    virtual void STDMETHODCALLTYPE RequestARPCacheRefresh() = 0;
    virtual void STDMETHODCALLTYPE ReadUpdates() = 0;
    virtual void STDMETHODCALLTYPE Stop() = 0;
    virtual void STDMETHODCALLTYPE SetLocalizedStrings(IVelmoraStrings * Strings) = 0;
    virtual void STDMETHODCALLTYPE RefreshProgramList() = 0;
};
VELMORA_IID(IVelmora, 0x02, 0x01)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730203")
IProductCollection : public IUnknown {
    // Bit n set: the products answer information index n.
    virtual int32_t STDMETHODCALLTYPE GetInfoMask() = 0;
    virtual int32_t STDMETHODCALLTYPE GetCount() = 0;
    virtual void STDMETHODCALLTYPE GetItem(int32_t Index, IProduct * *Product) = 0;
    virtual HIMAGELIST STDMETHODCALLTYPE GetSmallImages() = 0;
    virtual HIMAGELIST STDMETHODCALLTYPE GetLargeImages() = 0;
    virtual bool STDMETHODCALLTYPE IsAnyActionRunning() = 0;
    virtual void STDMETHODCALLTYPE Lock() = 0;
    virtual void STDMETHODCALLTYPE Unlock() = 0;
};
VELMORA_IID(IProductCollection, 0x02, 0x03)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730204")
IProduct : public IUnknown {
    virtual void STDMETHODCALLTYPE GetInfo(int32_t Index, VARIANT * Value) = 0;
    virtual int32_t STDMETHODCALLTYPE GetImageIndex() = 0;
    virtual TPossibleActionsSet STDMETHODCALLTYPE GetPossibleActions() = 0;
    virtual bool STDMETHODCALLTYPE CheckChanged() = 0;
    virtual bool STDMETHODCALLTYPE RunAction(TPossibleActions * Action, HWND * TopWindow) = 0;
    virtual bool STDMETHODCALLTYPE IsActionRunning() = 0;
    virtual void STDMETHODCALLTYPE GetForceRemove(IForceRemove * *ForceRemove) = 0;
    virtual bool STDMETHODCALLTYPE IsNotHost() = 0;
    virtual void STDMETHODCALLTYPE GetRegistryKeys(IVelmoraStrings * Keys) = 0;
    virtual bool STDMETHODCALLTYPE IsInstallerMaybeCorrupted() = 0;
};
VELMORA_IID(IProduct, 0x02, 0x04)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730206")
IFRFile : public IUnknown {
    virtual void STDMETHODCALLTYPE GetPath(BSTR * Path) = 0;
    virtual int64_t STDMETHODCALLTYPE GetSize() = 0;
    virtual bool STDMETHODCALLTYPE GetIsFolder() = 0;
    virtual bool STDMETHODCALLTYPE GetRemoved() = 0;
    virtual bool STDMETHODCALLTYPE GetCanRemove() = 0;
    virtual void STDMETHODCALLTYPE GetErrorMessage(BSTR * Message) = 0;
};
VELMORA_IID(IFRFile, 0x02, 0x06)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730207")
IFRRegEntry : public IUnknown {
    virtual void STDMETHODCALLTYPE FullPath(BSTR * Path) = 0;
    virtual HKEY STDMETHODCALLTYPE GetRoot() = 0;
    virtual void STDMETHODCALLTYPE GetKey(BSTR * Key) = 0;
    virtual void STDMETHODCALLTYPE GetValueName(BSTR * Name) = 0;
    virtual uint32_t STDMETHODCALLTYPE GetFlag() = 0;
    virtual bool STDMETHODCALLTYPE GetRemoved() = 0;
};
VELMORA_IID(IFRRegEntry, 0x02, 0x07)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730208")
IFRService : public IUnknown {
    virtual void STDMETHODCALLTYPE GetPath(BSTR * Path) = 0;
    virtual void STDMETHODCALLTYPE GetName(BSTR * Name) = 0;
    virtual void STDMETHODCALLTYPE GetDisplayName(BSTR * Name) = 0;
    virtual bool STDMETHODCALLTYPE GetRemoved() = 0;
    virtual void STDMETHODCALLTYPE GetErrorMessage(BSTR * Message) = 0;
};
VELMORA_IID(IFRService, 0x02, 0x08)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730209")
IFRShortcut : public IUnknown {
    virtual void STDMETHODCALLTYPE GetShortcutFile(IFRFile * *File) = 0;
    virtual void STDMETHODCALLTYPE GetTarget(BSTR * Target) = 0;
};
VELMORA_IID(IFRShortcut, 0x02, 0x09)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730205")
IForceRemove : public IUnknown {
    virtual void STDMETHODCALLTYPE GetProduct(IProduct * *Product) = 0;
    virtual TFRAction STDMETHODCALLTYPE GetAction() = 0;
    virtual TFRState STDMETHODCALLTYPE GetState() = 0;
    virtual int64_t STDMETHODCALLTYPE GetTotalSize() = 0;
    // Milliseconds, paused periods excluded.
    virtual int64_t STDMETHODCALLTYPE GetElapsedTime() = 0;
    virtual int32_t STDMETHODCALLTYPE GetFilesProcessed() = 0;
    virtual int32_t STDMETHODCALLTYPE GetTotalFiles() = 0;
    virtual TFRRequiredAction STDMETHODCALLTYPE GetRequiredAction() = 0;
    virtual TFRRKUsage STDMETHODCALLTYPE GetRKUsageDecision() = 0;
    virtual void STDMETHODCALLTYPE SetRKUsageDecision(TFRRKUsage Decision) = 0;
    // The live list; read it between Lock and Unlock.
    virtual void STDMETHODCALLTYPE GetBlockedFiles(IVelmoraStrings * *List) = 0;
    virtual TFRBlockedFilesDecision STDMETHODCALLTYPE GetBlockedFilesDecision() = 0;
    virtual void STDMETHODCALLTYPE SetBlockedFilesDecision(TFRBlockedFilesDecision Decision) = 0;
    virtual TFRFreeSpaceDecision STDMETHODCALLTYPE GetRKFreeSpaceDecision() = 0;
    virtual void STDMETHODCALLTYPE SetRKFreeSpaceDecision(TFRFreeSpaceDecision Decision) = 0;
    virtual int32_t STDMETHODCALLTYPE GetRegistryKeysProcessed() = 0;
    virtual int32_t STDMETHODCALLTYPE GetRegistryKeysTotal() = 0;
    virtual int64_t STDMETHODCALLTYPE GetRemovedSize() = 0;
    virtual bool STDMETHODCALLTYPE GetTerminated() = 0;
    virtual int32_t STDMETHODCALLTYPE GetDataFileCount() = 0;
    virtual void STDMETHODCALLTYPE GetDataFile(int32_t Index, IFRFile * *File) = 0;
    virtual int32_t STDMETHODCALLTYPE GetRegEntryCount() = 0;
    virtual void STDMETHODCALLTYPE GetRegEntry(int32_t Index, IFRRegEntry * *Entry) = 0;
    virtual int32_t STDMETHODCALLTYPE GetShortcutCount() = 0;
    virtual void STDMETHODCALLTYPE GetShortcut(int32_t Index, IFRShortcut * *Shortcut) = 0;
    virtual int32_t STDMETHODCALLTYPE GetServiceCount() = 0;
    virtual void STDMETHODCALLTYPE GetService(int32_t Index, IFRService * *Service) = 0;
    virtual uint64_t STDMETHODCALLTYPE GetStateStamp() = 0;
    virtual void STDMETHODCALLTYPE GetProcessing(BSTR * Path) = 0;
    virtual bool STDMETHODCALLTYPE GetCalcFinished() = 0;
    virtual int32_t STDMETHODCALLTYPE GetCalcProgress() = 0;
    virtual int64_t STDMETHODCALLTYPE GetRemoveProgress() = 0;
    virtual int32_t STDMETHODCALLTYPE GetRemovedShortcutCount() = 0;
    virtual int32_t STDMETHODCALLTYPE GetRemovedServiceCount() = 0;
    virtual bool STDMETHODCALLTYPE HasRemovedServices() = 0;
    virtual void STDMETHODCALLTYPE Unlock() = 0;
    virtual void STDMETHODCALLTYPE Lock() = 0;
    virtual void STDMETHODCALLTYPE StartCalculate() = 0;
    virtual void STDMETHODCALLTYPE StartRemove() = 0;
    virtual void STDMETHODCALLTYPE Resume() = 0;
    virtual void STDMETHODCALLTYPE Suspend() = 0;
    virtual void STDMETHODCALLTYPE Terminate() = 0;
    // Every file and folder the removal deletes (the data files, whole
    // Start-menu folders, the shortcut files), in the order of deletion.
    virtual int32_t STDMETHODCALLTYPE GetFileCount() = 0;
    virtual void STDMETHODCALLTYPE GetFile(int32_t Index, IFRFile * *File) = 0;
};
VELMORA_IID(IForceRemove, 0x02, 0x05)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730210")
IFeature : public IProduct {
    virtual void STDMETHODCALLTYPE GetName(BSTR * Name) = 0;
    virtual void STDMETHODCALLTYPE GetDisplayName(BSTR * Name) = 0;
    virtual void STDMETHODCALLTYPE GetDescription(BSTR * Description) = 0;
    virtual bool STDMETHODCALLTYPE GetEnabled() = 0;
    virtual void STDMETHODCALLTYPE GetParent(IFeature * *Parent) = 0;
    virtual int32_t STDMETHODCALLTYPE GetChildCount() = 0;
    virtual void STDMETHODCALLTYPE GetChild(int32_t Index, IFeature * *Child) = 0;
    virtual void STDMETHODCALLTYPE GetInstallClient(BSTR * Client) = 0;
    virtual void STDMETHODCALLTYPE GetInstallLocation(BSTR * Location) = 0;
    virtual void STDMETHODCALLTYPE GetPackageName(BSTR * Name) = 0;
    virtual double STDMETHODCALLTYPE GetInstallTime() = 0;
    virtual void STDMETHODCALLTYPE GetInstallUser(BSTR * User) = 0;
    virtual bool STDMETHODCALLTYPE GetSelfUpdate() = 0;
    virtual bool STDMETHODCALLTYPE GetTrusted() = 0;
    virtual int32_t STDMETHODCALLTYPE GetFeatureImageIndex() = 0;
    virtual int64_t STDMETHODCALLTYPE GetInstallSize() = 0;
    virtual int32_t STDMETHODCALLTYPE GetTotalCount() = 0;
    virtual int32_t STDMETHODCALLTYPE GetRatingImageIndex() = 0;
    virtual int32_t STDMETHODCALLTYPE GetStateImageIndex() = 0;
    virtual void STDMETHODCALLTYPE Lock() = 0;
    virtual void STDMETHODCALLTYPE Unlock() = 0;
    virtual void STDMETHODCALLTYPE Find(LPCWSTR Name, IFeature * *Feature) = 0;
    virtual void STDMETHODCALLTYPE SortByName() = 0;
    virtual void STDMETHODCALLTYPE Add(IFeature * Feature) = 0;
    virtual void STDMETHODCALLTYPE GetParentRoot(IFeature * *Root) = 0;
    virtual bool STDMETHODCALLTYPE IsParent(IFeature * Feature) = 0;
};
VELMORA_IID(IFeature, 0x02, 0x10)

MIDL_INTERFACE("D1465CA9-77C6-49DF-929C-4E4D64730211")
IFeatures : public IProductCollection {
    virtual void STDMETHODCALLTYPE GetFeature(int32_t Index, IFeature * *Feature) = 0;
    virtual int32_t STDMETHODCALLTYPE GetFeatureCount() = 0;
    virtual uint64_t STDMETHODCALLTYPE GetStateStamp() = 0;
    virtual HIMAGELIST STDMETHODCALLTYPE GetFeatureSmallImages() = 0;
    virtual HIMAGELIST STDMETHODCALLTYPE GetFeatureLargeImages() = 0;
    virtual int32_t STDMETHODCALLTYPE GetTotalCount() = 0;
    virtual TInstallState STDMETHODCALLTYPE GetInstallState() = 0;
    virtual TReadState STDMETHODCALLTYPE GetReadState() = 0;
    virtual bool STDMETHODCALLTYPE GetShowHidden() = 0;
    virtual void STDMETHODCALLTYPE SetShowHidden(bool Show) = 0;
    virtual void STDMETHODCALLTYPE Stop() = 0;
    virtual void STDMETHODCALLTYPE InstallFeature(IFeature * Feature) = 0;
    virtual void STDMETHODCALLTYPE UninstallFeature(IFeature * Feature) = 0;
    virtual void STDMETHODCALLTYPE Refresh() = 0;
};
VELMORA_IID(IFeatures, 0x02, 0x11)

// Exports of VelmoraHelper.dll.
extern "C" {
typedef HRESULT(WINAPI* TDllGetInstance)(REFIID riid, void** Obj);
typedef HRESULT(WINAPI* TDllCanUnloadNow)();
}
