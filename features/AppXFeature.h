#pragma once
// The store-app group of the Windows 8 feature tree: its root feature and one
// feature per app of the startup component's collection.
#include "api/Interfaces.Launchet.h"
#include "features/Feature.h"

#include <memory>
#include <mutex>

namespace velmora {

class TFeatureIconList;
class TMumEngineWin8;

// The root's own operations. Internal to the engine, so it needs no
// identifier: the front end sees the root as a plain IFeature.
class IAppXRootFeature {
public:
    // Removes all children.
    virtual void ClearApps() = 0;
    // Takes the current localized caption; true when it changed.
    virtual bool UpdateCaption() = 0;

protected:
    ~IAppXRootFeature() = default;
};

class TAppXRootFeature : public TFeature, public IAppXRootFeature {
public:
    explicit TAppXRootFeature(int32_t imageIndex);

    void ClearApps() override;
    bool UpdateCaption() override;

    // The caption changes on a poll while readers may ask for it.
    void STDMETHODCALLTYPE GetInfo(int32_t Index, VARIANT* Value) override;
    void STDMETHODCALLTYPE GetDisplayName(BSTR* Name) override;
    TPossibleActionsSet STDMETHODCALLTYPE GetPossibleActions() override;

private:
    std::mutex FCaptionLock;
};

class TAppXFeature : public TFeature {
public:
    // The feature of the collection's entry, below root. The icon is the
    // app's logo, else appIcon. quietRemoval: the running system may remove
    // apps for all users (not Windows PE).
    TAppXFeature(IMetroAppItem& app, TAppXRootFeature& root, TFeatureIconList& icons, int32_t appIcon,
                 std::weak_ptr<TMumEngineWin8*> engine, bool quietRemoval);

    // The base actions plus paUninstallQuiet when quiet removal is possible.
    TPossibleActionsSet STDMETHODCALLTYPE GetPossibleActions() override;
    // paUninstallQuiet starts the quiet removal on the engine's worker where it
    // is possible; true when it started. Other actions start nothing.
    bool STDMETHODCALLTYPE RunAction(TPossibleActions* Action, HWND* TopWindow) override;

private:
    // Not owned: expires with the engine.
    std::weak_ptr<TMumEngineWin8*> FEngine;
    bool FQuietRemoval;
};

} // namespace velmora
