#pragma once
// The feature engine of Windows 8 and later: the servicing engine plus one
// top-level group, the store apps of the startup component's collection,
// each switched by registering or removing its package and removable for all
// users. App changes are polled from the collection and rebuild only that
// group; servicing changes rebuild everything.
#include "api/Interfaces.Launchet.h"
#include "features/AppXFeature.h"
#include "features/MumEngine.h"

#include <atomic>
#include <memory>

namespace velmora {

class TFeatureIconListWin8 : public TFeatureIconListVista {
public:
    TFeatureIconListWin8();
    int MetroAppIndex() const { return FMetroAppIndex; }

private:
    int FMetroAppIndex;
};

class TMumEngineWin8 : public TMumEngine {
public:
    // The collection of LaunchetHelper.dll; without it the engine is the
    // servicing engine alone.
    TMumEngineWin8();
    explicit TMumEngineWin8(TComPtr<IMetroAppCollection> appList);
    ~TMumEngineWin8() override;
    const wchar_t* ClassName() const override { return L"TMumEngineWin8"; }

    // Removes the app for the current user and its provisioned copy on the
    // switching worker; false when a switch runs.
    bool StartQuietRemoval(IFeature* app);

protected:
    // Full reads and app-group rebuilds, as the flags ask, until none is due.
    void ReadFeatures(TThread& thread) override;
    // An app known to the collection is registered again or removed; any other
    // feature goes through the servicing tool.
    void SwitchFeature(IFeature* feature, bool enable, TThread& thread) override;
    bool PollChanges() override;
    void BuildFeatures() override;

private:
    void RebuildApps();
    void PublishRootWhenFilled();
    void RemoveQuietly(IFeature* app, TThread& thread);
    TFeatureIconListWin8& Icons();

    uint32_t FLastUpdateTime = 0;
    int32_t FLastAppCount = 0;
    TComPtr<IMetroAppCollection> FAppList;
    TComPtr<TAppXRootFeature> FAppXRoot;
    std::atomic<bool> FAppXExists{false};
    std::atomic<bool> FRefreshOnlyAppxList{false};
    // Nothing read yet: the first read is a full one.
    std::atomic<bool> FFullUpdate{true};
    // What the app features hold of the engine; expires with it.
    std::shared_ptr<TMumEngineWin8*> FSelf;
};

} // namespace velmora
