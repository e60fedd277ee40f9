#pragma once
// The feature engine of systems before Windows Vista: the optional
// components that the master list of setup information files names, their
// states from the registry, switched by the optional-components manager with
// a small answer file.
#include "features/FeatureManager.h"
#include "features/SysocRules.h"
#include "platform/Registry.h"

#include <string>
#include <vector>

namespace velmora {

// The installed state of each component, one value per component.
class TSysocRegistry {
public:
    TSysocRegistry();
    bool OptionExists(const std::wstring& name) const;
    // The value exists and is not 0.
    bool OptionEnabled(const std::wstring& name) const;

private:
    TRegKey FReg;
};

class TSysocEngine : public TFeatureManager {
public:
    TSysocEngine();
    ~TSysocEngine() override;
    const wchar_t* ClassName() const override { return L"TSysocEngine"; }

protected:
    void ReadFeatures(TThread& thread) override;
    void WatchChanges() override;
    void SwitchFeature(IFeature* feature, bool enable, TThread& thread) override;
    std::wstring GetAnswerFileBaseName() override { return L"unattended.txt"; }

private:
    void ReadFiles();
    void ReadComponents(TThread& thread);
    // Adds the component after its parent; answers the feature.
    TComPtr<IFeature> AddComponent(const TSysocComp& comp, std::vector<const TSysocComp*>& adding);
    TComPtr<IFeature> CreateFeature(const TSysocComp& comp, IFeature* parent);

    std::vector<TSysocFile> FFiles;
    std::vector<TSysocComp> FComps;
    TSysocRegistry FRegInfo;
};

} // namespace velmora
