#pragma once
// The feature engine of component-based servicing (Windows Vista and 7):
// the tree comes from the servicing package manifests and the servicing
// registry, on Windows 7 checked against the packaging tool's feature
// table; a switch writes an answer file and runs the packaging tool on it.
#include "features/FeatureManager.h"
#include "features/MumFile.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora {

class TMumPackage;

struct TMumUpdate {
    std::wstring FName;
    std::wstring FDisplayName;
    std::wstring FDescription;
    std::wstring FParent; // name of the parent update
    TMumPackage* FPackage = nullptr;
    bool FDefaultEnabled = false;
};

class TMumPackage {
public:
    explicit TMumPackage(const TMumFile& file);
    // Reads the manifest's updates; a manifest that fails keeps what was read
    // and records the error in the statistics log.
    void Load();
    const TMumUpdate* Update(const std::wstring& name) const;

    const TMumFile& FFileInfo;
    std::vector<std::unique_ptr<TMumUpdate>> FUpdates;
    std::wstring FName; // the registry key
    double FInstallTime = 0;
    std::wstring FInstallClient;
    std::wstring FInstallLocation;
    bool FTrusted = false;
    std::wstring FInstallUser; // a security identifier as text
    bool FSelfUpdate = false;
    std::wstring FInstallName;
};

// Lower-case feature names that a rule applies to on this Windows.
class TMumRules {
public:
    // versions and editions: bit sets over TWindowsVersion and the edition index.
    void AddRule(std::wstring_view name, uint32_t versions, uint32_t editions);
    void AddRules(uint32_t versions, uint32_t editions, std::wstring_view prefix,
                  std::initializer_list<std::wstring_view> names);
    bool Contains(std::wstring_view name) const;

private:
    std::set<std::wstring> FNames;
};

class TMumRegistry {
public:
    TMumRegistry();
    // Reads the detected updates and the update states of every package.
    void Refresh();
    void Clear();
    void FillPackageInfo(TMumPackage& package) const;
    // Listed by the servicing registry (or always optional here), not hidden here.
    bool IsOptionalFeature(const std::wstring& name) const;
    std::optional<int32_t> State(const std::wstring& packageKey, const std::wstring& update) const;

private:
    std::vector<std::wstring> FDetectedUpdates;
    std::map<std::wstring, int32_t> FUpdates;
    std::map<std::wstring, int32_t> FStates;
    TMumRules FRulesVisible;
    TMumRules FRulesHidden;
};

// The icon groups of the servicing features.
class TFeatureIconListVista : public TFeatureIconList {
public:
    TFeatureIconListVista();
};

class TMumEngine : public TFeatureManager {
public:
    TMumEngine();
    ~TMumEngine() override;
    const wchar_t* ClassName() const override { return L"TMumEngine"; }

protected:
    explicit TMumEngine(std::unique_ptr<TFeatureIconList> icons);
    void ReadFeatures(TThread& thread) override;
    void WatchChanges() override;
    void SwitchFeature(IFeature* feature, bool enable, TThread& thread) override;
    virtual void BuildFeatures();

    // The answer file that switches feature to state, locked (WriteLockedFile).
    unique_file WriteAnswerFile(IFeature* feature, bool enable, const std::wstring& fileName);

private:
    void QueryFeatureStates(TThread& thread);
    TComPtr<IFeature> AddUpdate(const TMumUpdate& update, std::vector<const TMumUpdate*>& adding);
    TComPtr<IFeature> CreateFeature(const TMumUpdate& update, IFeature* parent);
    const TMumUpdate* FindNeutralUpdate(const std::wstring& name) const;
    const TMumPackage* FindPackage(const std::wstring& package, const std::wstring& locale) const;
    bool IsUpdateEnabled(const TMumUpdate& update, std::vector<const TMumUpdate*>& asking) const;

    std::wstring FLanguage;
    std::vector<TMumFile> FFiles;
    std::vector<std::unique_ptr<TMumPackage>> FPackages;
    TMumRegistry FRegInfo;
    std::optional<std::map<std::wstring, bool>> FDismFeatureStates;
    // The foundation package's identity, under the tree's lock.
    std::wstring FVersion;
    std::wstring FArchitecture;
    std::wstring FPublicToken;
    std::set<std::wstring> FTrusted;
};

} // namespace velmora
