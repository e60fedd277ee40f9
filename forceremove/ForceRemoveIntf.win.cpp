#include "forceremove/ForceRemoveIntf.h"

#include "forceremove/ForceRemove.h"
#include "frame/Boundary.h"
#include "inventory/ItemProduct.h"
#include "platform/ComText.h"
#include "platform/LiveObjects.h"

#include <memory>

namespace velmora {

namespace {

// The blocked-files list as the front end reads it, between the removal's
// Lock and Unlock; it belongs to the removal.
class TBlockedFilesIntf : public TLiveCount<TBlockedFilesIntf>,
                          public TUnmanagedInterfacedObject<IVelmoraStrings> {
public:
    explicit TBlockedFilesIntf(TForceRemove& forceRemove) : FForceRemove(forceRemove) {}

    int32_t STDMETHODCALLTYPE GetCount() override {
        return static_cast<int32_t>(FForceRemove.BlockedFileCount());
    }
    // An index outside the list gives empty text.
    void STDMETHODCALLTYPE Get(int32_t Index, BSTR* Line) override {
        Guarded([&] { SetBstr(Line, Index < 0 ? std::wstring() : FForceRemove.BlockedFile(size_t(Index))); });
    }
    // The worker alone fills the list.
    void STDMETHODCALLTYPE Add(LPCWSTR) override {}
    void STDMETHODCALLTYPE Clear() override {}
    void STDMETHODCALLTYPE GetValue(LPCWSTR, BSTR* Value) override {
        Guarded([&] { SetBstr(Value, L""); });
    }

private:
    TForceRemove& FForceRemove;
};

} // namespace

class TForceRemoveIntf : public TLiveCount<TForceRemoveIntf>, public TInterfacedObject<IForceRemove> {
public:
    TForceRemoveIntf(IProduct& product, TFRProduct data)
        : FProduct(&product),
          FForceRemove(std::make_unique<TForceRemove>(std::move(data), WindowsRemovalSystem())),
          FBlockedFiles(*FForceRemove) {}

    void STDMETHODCALLTYPE GetProduct(IProduct** Product) override { FProduct.CopyTo(Product); }
    TFRAction STDMETHODCALLTYPE GetAction() override { return FForceRemove->Action(); }
    TFRState STDMETHODCALLTYPE GetState() override { return FForceRemove->State(); }
    int64_t STDMETHODCALLTYPE GetTotalSize() override { return FForceRemove->TotalSize(); }
    int64_t STDMETHODCALLTYPE GetElapsedTime() override {
        return static_cast<int64_t>(FForceRemove->ElapsedTime());
    }
    int32_t STDMETHODCALLTYPE GetFilesProcessed() override { return FForceRemove->FilesProcessed(); }
    int32_t STDMETHODCALLTYPE GetTotalFiles() override { return FForceRemove->TotalFiles(); }
    TFRRequiredAction STDMETHODCALLTYPE GetRequiredAction() override {
        return FForceRemove->RequiredAction();
    }
    TFRRKUsage STDMETHODCALLTYPE GetRKUsageDecision() override { return FForceRemove->RKUsageDecision(); }
    void STDMETHODCALLTYPE SetRKUsageDecision(TFRRKUsage Decision) override {
        FForceRemove->SetRKUsageDecision(Decision);
    }
    void STDMETHODCALLTYPE GetBlockedFiles(IVelmoraStrings** List) override {
        TComPtr<IVelmoraStrings>(&FBlockedFiles).CopyTo(List);
    }
    TFRBlockedFilesDecision STDMETHODCALLTYPE GetBlockedFilesDecision() override {
        return FForceRemove->BlockedFilesDecision();
    }
    void STDMETHODCALLTYPE SetBlockedFilesDecision(TFRBlockedFilesDecision Decision) override {
        FForceRemove->SetBlockedFilesDecision(Decision);
    }
    TFRFreeSpaceDecision STDMETHODCALLTYPE GetRKFreeSpaceDecision() override {
        return FForceRemove->RKFreeSpaceDecision();
    }
    void STDMETHODCALLTYPE SetRKFreeSpaceDecision(TFRFreeSpaceDecision Decision) override {
        FForceRemove->SetRKFreeSpaceDecision(Decision);
    }
    int32_t STDMETHODCALLTYPE GetRegistryKeysProcessed() override {
        return FForceRemove->RegistryKeysProcessed();
    }
    int32_t STDMETHODCALLTYPE GetRegistryKeysTotal() override { return GetRegEntryCount(); }
    int64_t STDMETHODCALLTYPE GetRemovedSize() override { return FForceRemove->RemovedSize(); }
    bool STDMETHODCALLTYPE GetTerminated() override { return FForceRemove->Terminated(); }
    int32_t STDMETHODCALLTYPE GetDataFileCount() override {
        return static_cast<int32_t>(FForceRemove->DataFileCount());
    }
    void STDMETHODCALLTYPE GetDataFile(int32_t Index, IFRFile** File) override {
        HandOut(File, [&] { return FForceRemove->DataFile(ListIndex(Index)).Intf(); });
    }
    int32_t STDMETHODCALLTYPE GetRegEntryCount() override {
        return static_cast<int32_t>(FForceRemove->RegEntryCount());
    }
    void STDMETHODCALLTYPE GetRegEntry(int32_t Index, IFRRegEntry** Entry) override {
        HandOut(Entry, [&] { return FForceRemove->RegEntry(ListIndex(Index)).Intf(); });
    }
    int32_t STDMETHODCALLTYPE GetShortcutCount() override {
        return static_cast<int32_t>(FForceRemove->ShortcutCount());
    }
    void STDMETHODCALLTYPE GetShortcut(int32_t Index, IFRShortcut** Shortcut) override {
        HandOut(Shortcut, [&] { return FForceRemove->Shortcut(ListIndex(Index)).Intf(); });
    }
    int32_t STDMETHODCALLTYPE GetServiceCount() override {
        return static_cast<int32_t>(FForceRemove->ServiceCount());
    }
    void STDMETHODCALLTYPE GetService(int32_t Index, IFRService** Service) override {
        HandOut(Service, [&] { return FForceRemove->Service(ListIndex(Index)).Intf(); });
    }
    uint64_t STDMETHODCALLTYPE GetStateStamp() override { return FForceRemove->StateStamp(); }
    void STDMETHODCALLTYPE GetProcessing(BSTR* Path) override {
        Guarded([&] { SetBstr(Path, FForceRemove->Processing()); });
    }
    bool STDMETHODCALLTYPE GetCalcFinished() override { return FForceRemove->CalcFinished(); }
    int32_t STDMETHODCALLTYPE GetCalcProgress() override { return FForceRemove->CalcProgress(); }
    int64_t STDMETHODCALLTYPE GetRemoveProgress() override { return FForceRemove->RemoveProgress(); }
    int32_t STDMETHODCALLTYPE GetRemovedShortcutCount() override {
        return FForceRemove->RemovedShortcutCount();
    }
    int32_t STDMETHODCALLTYPE GetRemovedServiceCount() override {
        return FForceRemove->RemovedServiceCount();
    }
    bool STDMETHODCALLTYPE HasRemovedServices() override { return GetRemovedServiceCount() > 0; }
    void STDMETHODCALLTYPE Unlock() override { FForceRemove->Unlock(); }
    void STDMETHODCALLTYPE Lock() override { FForceRemove->Lock(); }
    void STDMETHODCALLTYPE StartCalculate() override {
        Guarded([&] { FForceRemove->StartCalculate(); });
    }
    void STDMETHODCALLTYPE StartRemove() override {
        Guarded([&] { FForceRemove->StartRemove(); });
    }
    void STDMETHODCALLTYPE Resume() override {
        Guarded([&] { FForceRemove->Resume(); });
    }
    void STDMETHODCALLTYPE Suspend() override { FForceRemove->Suspend(); }
    void STDMETHODCALLTYPE Terminate() override { FForceRemove->Terminate(); }
    int32_t STDMETHODCALLTYPE GetFileCount() override {
        return static_cast<int32_t>(FForceRemove->FileCount());
    }
    void STDMETHODCALLTYPE GetFile(int32_t Index, IFRFile** File) override {
        HandOut(File, [&] { return FForceRemove->File(ListIndex(Index)).Intf(); });
    }

private:
    static size_t ListIndex(int32_t index) {
        if (index < 0)
            throw std::out_of_range("List index out of bounds");
        return static_cast<size_t>(index);
    }

    // An index outside the list is logged and answers nothing.
    template <class I, class Get> static void HandOut(I** out, Get&& get) {
        if (!out)
            return;
        *out = nullptr;
        Guarded([&] { TComPtr<I>(get()).CopyTo(out); });
    }

    TComPtr<IProduct> FProduct;
    std::unique_ptr<TForceRemove> FForceRemove;
    TBlockedFilesIntf FBlockedFiles;
};

TComPtr<IForceRemove> NewForceRemove(IProduct& product, TItemProduct& item) {
    const TInfoValue publisher = item.GetInfo(piPublisher);
    TFRProduct data{item.DisplayName(), item.GUID(), item.InstallLocation(), item.RegistryKeys(),
                    std::holds_alternative<std::wstring>(publisher) ? std::get<std::wstring>(publisher)
                                                                    : L""};
    return MakeCom<TForceRemoveIntf, IForceRemove>(product, std::move(data));
}

} // namespace velmora
