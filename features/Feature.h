#pragma once
// The feature tree: TFeature is one Windows optional feature, TFeatures a
// locked list of features (the top level of an engine, or a feature's
// children). Engines create a feature, fill its fields, set its parent and
// only then add it to a list; from then on the fields are only read. A child
// holds its parent until the list that holds the tree lets it go.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace velmora {

class TFeatures {
public:
    TFeatures() = default;
    ~TFeatures();
    TFeatures(const TFeatures&) = delete;
    TFeatures& operator=(const TFeatures&) = delete;

    void Add(TComPtr<IFeature> feature);
    void Clear();
    int32_t Count();
    TComPtr<IFeature> Item(int32_t index); // null outside the list
    // All descendants of the listed features, the listed ones included.
    int32_t TotalCount();
    // The first feature named exactly name, top-level items first, each
    // followed by its subtree in pre-order.
    TComPtr<IFeature> Find(std::wstring_view name);
    // By display name, locale-aware and ignoring case, each level below too.
    void SortFeatures();

    void Lock() { FLock.lock(); }
    void Unlock() { FLock.unlock(); }
    // Lock and Unlock for a scope.
    [[nodiscard]] std::unique_lock<std::recursive_mutex> Guard() { return std::unique_lock(FLock); }

    // Tick count (ms) of the last change; the high half stays 0.
    uint64_t StateStamp() const { return FStateStamp.load(); }
    void Changed();

private:
    // Children hold their parents: a list let go of drops the links of its
    // subtree, so that a parent and its children do not keep each other.
    static void Unlink(const std::vector<TComPtr<IFeature>>& list);

    std::recursive_mutex FLock;
    std::vector<TComPtr<IFeature>> FList;
    std::atomic<uint64_t> FStateStamp{0};
};

// Pushes the feature's children on a stack, last first (under its lock), so
// that popping walks the tree in pre-order.
void PushChildren(IFeature* feature, std::vector<TComPtr<IFeature>>& stack);

class TFeature : public TInterfacedObject<IFeature>, public TLiveCount<TFeature> {
public:
    explicit TFeature(std::wstring name);
    ~TFeature() override;

    // The object behind a feature interface of this library, or nullptr.
    static TFeature* Of(IFeature* feature);

    // Before the feature is added to the parent's list; nullptr drops the link.
    void SetParent(IFeature* parent);

    // IProduct
    void STDMETHODCALLTYPE GetInfo(int32_t Index, VARIANT* Value) override;
    int32_t STDMETHODCALLTYPE GetImageIndex() override;
    TPossibleActionsSet STDMETHODCALLTYPE GetPossibleActions() override;
    bool STDMETHODCALLTYPE CheckChanged() override;
    bool STDMETHODCALLTYPE RunAction(TPossibleActions* Action, HWND* TopWindow) override;
    bool STDMETHODCALLTYPE IsActionRunning() override;
    void STDMETHODCALLTYPE GetForceRemove(IForceRemove** ForceRemove) override;
    bool STDMETHODCALLTYPE IsNotHost() override;
    void STDMETHODCALLTYPE GetRegistryKeys(IVelmoraStrings* Keys) override;
    bool STDMETHODCALLTYPE IsInstallerMaybeCorrupted() override;

    // IFeature
    void STDMETHODCALLTYPE GetName(BSTR* Name) override;
    void STDMETHODCALLTYPE GetDisplayName(BSTR* Name) override;
    void STDMETHODCALLTYPE GetDescription(BSTR* Description) override;
    // The stored state; for a computed state, true only when there are
    // children and every child is enabled.
    bool STDMETHODCALLTYPE GetEnabled() override;
    void STDMETHODCALLTYPE GetParent(IFeature** Parent) override;
    int32_t STDMETHODCALLTYPE GetChildCount() override;
    void STDMETHODCALLTYPE GetChild(int32_t Index, IFeature** Child) override;
    void STDMETHODCALLTYPE GetInstallClient(BSTR* Client) override;
    void STDMETHODCALLTYPE GetInstallLocation(BSTR* Location) override;
    void STDMETHODCALLTYPE GetPackageName(BSTR* Name) override;
    double STDMETHODCALLTYPE GetInstallTime() override;
    void STDMETHODCALLTYPE GetInstallUser(BSTR* User) override;
    bool STDMETHODCALLTYPE GetSelfUpdate() override;
    bool STDMETHODCALLTYPE GetTrusted() override;
    int32_t STDMETHODCALLTYPE GetFeatureImageIndex() override;
    int64_t STDMETHODCALLTYPE GetInstallSize() override;
    int32_t STDMETHODCALLTYPE GetTotalCount() override;
    int32_t STDMETHODCALLTYPE GetRatingImageIndex() override;
    int32_t STDMETHODCALLTYPE GetStateImageIndex() override;
    void STDMETHODCALLTYPE Lock() override;
    void STDMETHODCALLTYPE Unlock() override;
    void STDMETHODCALLTYPE Find(LPCWSTR Name, IFeature** Feature) override;
    void STDMETHODCALLTYPE SortByName() override;
    void STDMETHODCALLTYPE Add(IFeature* Feature) override;
    void STDMETHODCALLTYPE GetParentRoot(IFeature** Root) override;
    bool STDMETHODCALLTYPE IsParent(IFeature* Feature) override;

    // Filled by the engine before the feature is published.
    std::wstring FName;
    std::wstring FDisplayName;
    std::wstring FDescription;
    bool FEnabled = false;
    double FInstallTime = 0; // OLE date
    bool FTrusted = false;
    std::wstring FInstallUser;
    std::wstring FInstallClient;
    bool FSelfUpdate = false;
    std::wstring FPackageName;
    std::wstring FInstallLocation;
    int32_t FImageIndex = -1;
    int64_t FInstallSize = 0;
    // The state is computed from the children (see GetEnabled).
    bool FCalculateState = false;

protected:
    TFeatures& Children() { return FFeatures; }

private:
    TComPtr<IFeature> Parent();

    TFeatures FFeatures;
    // Counted, so that a caller walking up never meets a parent being freed;
    // dropped when the tree is let go of (TFeatures).
    std::mutex FParentLock;
    TComPtr<IFeature> FParent;
};

} // namespace velmora
