#pragma once
// The optional-components engine of systems before Windows Vista.
#include "features/FeatureManager.h"

namespace velmora {

class TSysocEngine : public TFeatureManager {
public:
    TSysocEngine() : TFeatureManager(std::make_unique<TFeatureIconList>()) {}
    ~TSysocEngine() override { FreeThreads(); }
    const wchar_t* ClassName() const override { return L"TSysocEngine"; }

protected:
    void ReadFeatures(TThread& thread) override;
    void DoInstallFeature(IFeature*, TThread&) override {}
    void DoUninstallFeature(IFeature*, TThread&) override {}
    void WatchChanges() override {}
};

} // namespace velmora
