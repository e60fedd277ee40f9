// The leftovers' public interfaces. Each interface object belongs to its
// leftover and answers from it; the front end's references do not count.
#include "forceremove/Leftovers.h"

#include "api/Interfaces.Velmora.h"
#include "frame/Boundary.h"
#include "platform/ComObject.h"
#include "platform/ComText.h"
#include "platform/LiveObjects.h"
#include "platform/Registry.h"

namespace velmora {

namespace {

class TFRFileIntf : public TLeftoverIntf,
                    public TLiveCount<TFRFileIntf>,
                    public TUnmanagedInterfacedObject<IFRFile> {
public:
    explicit TFRFileIntf(TFRFile& file) : FFile(file) {}

    void STDMETHODCALLTYPE GetPath(BSTR* Path) override {
        Guarded([&] { SetBstr(Path, FFile.Path()); });
    }
    int64_t STDMETHODCALLTYPE GetSize() override { return FFile.Size(); }
    bool STDMETHODCALLTYPE GetIsFolder() override { return FFile.IsFolder(); }
    bool STDMETHODCALLTYPE GetRemoved() override { return FFile.Outcome().Removed(); }
    bool STDMETHODCALLTYPE GetCanRemove() override { return FFile.CanRemove(); }
    void STDMETHODCALLTYPE GetErrorMessage(BSTR* Message) override {
        Guarded([&] { SetBstr(Message, FFile.Outcome().ErrorMessage()); });
    }

private:
    TFRFile& FFile;
};

class TFRRegEntryIntf : public TLeftoverIntf,
                        public TLiveCount<TFRRegEntryIntf>,
                        public TUnmanagedInterfacedObject<IFRRegEntry> {
public:
    explicit TFRRegEntryIntf(TFRRegEntry& entry) : FEntry(entry) {}

    void STDMETHODCALLTYPE FullPath(BSTR* Path) override {
        Guarded([&] { SetBstr(Path, FEntry.FullPath()); });
    }
    HKEY STDMETHODCALLTYPE GetRoot() override { return RootKey(FEntry.Root()); }
    void STDMETHODCALLTYPE GetKey(BSTR* Key) override {
        Guarded([&] { SetBstr(Key, FEntry.Key()); });
    }
    void STDMETHODCALLTYPE GetValueName(BSTR* Name) override {
        Guarded([&] { SetBstr(Name, FEntry.ValueName()); });
    }
    uint32_t STDMETHODCALLTYPE GetFlag() override { return FEntry.Flag(); }
    bool STDMETHODCALLTYPE GetRemoved() override { return FEntry.Removed(); }

private:
    TFRRegEntry& FEntry;
};

class TFRServiceIntf : public TLeftoverIntf,
                       public TLiveCount<TFRServiceIntf>,
                       public TUnmanagedInterfacedObject<IFRService> {
public:
    explicit TFRServiceIntf(TFRService& service) : FService(service) {}

    void STDMETHODCALLTYPE GetPath(BSTR* Path) override {
        Guarded([&] { SetBstr(Path, FService.Path()); });
    }
    void STDMETHODCALLTYPE GetName(BSTR* Name) override {
        Guarded([&] { SetBstr(Name, FService.Name()); });
    }
    void STDMETHODCALLTYPE GetDisplayName(BSTR* Name) override {
        Guarded([&] { SetBstr(Name, FService.DisplayName()); });
    }
    bool STDMETHODCALLTYPE GetRemoved() override { return FService.Outcome().Removed(); }
    void STDMETHODCALLTYPE GetErrorMessage(BSTR* Message) override {
        Guarded([&] { SetBstr(Message, FService.Outcome().ErrorMessage()); });
    }

private:
    TFRService& FService;
};

class TFRShortcutIntf : public TLeftoverIntf,
                        public TLiveCount<TFRShortcutIntf>,
                        public TUnmanagedInterfacedObject<IFRShortcut> {
public:
    explicit TFRShortcutIntf(TFRShortcut& shortcut) : FShortcut(shortcut) {}

    void STDMETHODCALLTYPE GetShortcutFile(IFRFile** File) override {
        Guarded([&] { TComPtr<IFRFile>(FShortcut.ShortcutFile().Intf()).CopyTo(File); });
    }
    void STDMETHODCALLTYPE GetTarget(BSTR* Target) override {
        Guarded([&] { SetBstr(Target, FShortcut.Target()); });
    }

private:
    TFRShortcut& FShortcut;
};

// The interface object of a leftover, made on first use.
template <class TIntf, class TLeftover>
auto* IntfOf(TLeftover& leftover, std::once_flag& made, std::unique_ptr<TLeftoverIntf>& holder) {
    std::call_once(made, [&] { holder = std::make_unique<TIntf>(leftover); });
    return static_cast<TIntf*>(holder.get());
}

} // namespace

IFRFile* TFRFile::Intf() {
    return IntfOf<TFRFileIntf>(*this, FIntfMade, FIntf);
}

IFRRegEntry* TFRRegEntry::Intf() {
    return IntfOf<TFRRegEntryIntf>(*this, FIntfMade, FIntf);
}

IFRService* TFRService::Intf() {
    return IntfOf<TFRServiceIntf>(*this, FIntfMade, FIntf);
}

IFRShortcut* TFRShortcut::Intf() {
    return IntfOf<TFRShortcutIntf>(*this, FIntfMade, FIntf);
}

} // namespace velmora
