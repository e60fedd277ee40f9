#include "features/SysocEngine.h"

#include "console/PackageManagement.h"
#include "frame/DebugLog.h"
#include "platform/ComText.h"
#include "platform/Handles.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

const wchar_t SubcomponentsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\Oc Manager\\Subcomponents";

std::wstring InfFolder() {
    return WindowsFolder() + L"\\Inf\\";
}

std::wstring MasterListName() {
    return InfFolder() + L"sysoc.inf";
}

// Lines in the system's ANSI code page, CR LF after each.
std::string AnsiLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\r\n";
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

std::wstring FeatureName(IFeature* feature) {
    unique_bstr name;
    feature->GetName(name.put());
    return BstrText(name.get());
}

// The icon groups of the components of these systems.
class TFeatureIconListXP : public TFeatureIconList {
public:
    TFeatureIconListXP() {
        AddGroup(L"ICON_FEATURE_IE", {L"IEAccess"});
        AddGroup(L"ICON_FEATURE_IIS", {L"iis"});
        AddGroup(L"ICON_FEATURE_GAMES", {L"Games"});
        AddGroup(L"ICON_FEATURE_PRINTING", {L"FileAndPrint"});
        AddGroup(L"ICON_FEATURE_MEDIA", {L"WMPOCM"});
        AddGroup(L"ICON_FEATURE_NETWORK",
                 {L"SNMP", L"NetOC", L"NetServices", L"SimpTcp", L"Iprip", L"P2P", L"UPNP"});
        AddGroup(L"ICON_FEATURE_INDEXING", {L"IndexSrv_System"});
        AddGroup(L"ICON_FEATURE_FAX", {L"Fax"});
        AddGroup(L"ICON_FEATURE_APPS", {L"AccessUtil", L"AccessTop"});
        AddGroup(L"ICON_FEATURE_MESSENGER", {L"WMAccess"});
        AddGroup(L"ICON_FEATURE_OUTLOOK", {L"OEAccess"});
    }
};

} // namespace

TSysocRegistry::TSysocRegistry()
    : FReg(TRegKey::Open(HKEY_LOCAL_MACHINE, SubcomponentsKey, KEY_READ, TRegView::x64)) {}

bool TSysocRegistry::OptionExists(const std::wstring& name) const {
    return FReg && FReg.ValueExists(name);
}

bool TSysocRegistry::OptionEnabled(const std::wstring& name) const {
    return FReg && FReg.ReadNumber(name).value_or(0) != 0;
}

TSysocEngine::TSysocEngine() : TFeatureManager(std::make_unique<TFeatureIconListXP>()) {
    DebugLog().WriteLog(TLogLevel::llInfo, L"SysocEngine created");
}

TSysocEngine::~TSysocEngine() {
    FreeThreads();
}

void TSysocEngine::ReadFeatures(TThread& thread) {
    FFiles.clear();
    FComps.clear();
    Features().Clear();
    ReadFiles();
    ReadComponents(thread);
    std::vector<const TSysocComp*> adding;
    for (const TSysocComp& comp : FComps)
        AddComponent(comp, adding);
    Features().SortFeatures();
}

void TSysocEngine::ReadFiles() {
    TSysOCIniFile masterList = TSysOCIniFile::Load(MasterListName());
    if (!masterList.SectionExists(L"Components"))
        return;
    std::vector<std::wstring> components;
    masterList.ReadSection(L"Components", components);
    const std::wstring infFolder = InfFolder();
    for (const std::wstring& component : components)
        FFiles.push_back(
            ParseSysocFile(component, masterList.ReadString(L"Components", component, L""), infFolder));
}

void TSysocEngine::ReadComponents(TThread& thread) {
    const bool showHidden = GetShowHidden();
    for (const TSysocFile& file : FFiles) {
        thread.CheckTerminated();
        if ((file.FHidden && !showHidden) || file.FFileName.empty() || !FileExists(file.FFileName))
            continue;
        std::vector<TSysocComp> comps =
            ReadSysocComps(TSysOCIniFile::Load(file.FFileName), ExtractFileName(file.FFileName));
        std::ranges::move(comps, std::back_inserter(FComps));
    }
}

// adding holds the components whose parents are being added: of a cycle of
// parents, the component met a second time goes to the top level.
TComPtr<IFeature> TSysocEngine::AddComponent(const TSysocComp& comp, std::vector<const TSysocComp*>& adding) {
    if (TComPtr<IFeature> existing = Features().Find(comp.FName))
        return existing;
    TComPtr<IFeature> parent;
    auto parentComp =
        std::ranges::find_if(FComps, [&](const TSysocComp& c) { return SameText(c.FName, comp.FParent); });
    if (parentComp != FComps.end() && std::ranges::find(adding, &comp) == adding.end()) {
        adding.push_back(&comp);
        parent = AddComponent(*parentComp, adding);
        adding.pop_back();
        // Coming round a cycle of parents added it already.
        if (TComPtr<IFeature> existing = Features().Find(comp.FName))
            return existing;
    }
    TComPtr<IFeature> feature = CreateFeature(comp, parent.get());
    if (parent)
        parent->Add(feature.get());
    else
        Features().Add(feature);
    return feature;
}

TComPtr<IFeature> TSysocEngine::CreateFeature(const TSysocComp& comp, IFeature* parent) {
    auto* feature = new TFeature(comp.FName);
    TComPtr<IFeature> result(feature);
    feature->FDisplayName = Trim(comp.FDescription).empty() ? comp.FName : comp.FDescription;
    feature->FDescription = comp.FTip;
    feature->FPackageName = comp.FPackage;
    feature->FEnabled = FRegInfo.OptionEnabled(comp.FName);
    feature->FCalculateState = !FRegInfo.OptionExists(comp.FName);
    if (!comp.FSize.empty())
        feature->FInstallSize = SysocInstallSize(comp.FSize);
    int icon = IconList().Get(comp.FName);
    if (icon < 0 && parent && parent->GetFeatureImageIndex() != IconList().Default())
        icon = parent->GetFeatureImageIndex();
    feature->FImageIndex = icon >= 0 ? icon : IconList().Default();
    feature->FTrusted = IsTrustedComponent(comp.FName);
    feature->SetParent(parent);
    return result;
}

void TSysocEngine::SwitchFeature(IFeature* feature, bool enable, TThread& thread) {
    const std::wstring answerFile = GetAnswerFileName();
    unique_file locked =
        WriteLockedFile(answerFile, AnsiLines(SysocAnswerFileLines(FeatureName(feature), enable)));
    RunCommand(SysocCommandLine(PackageManagement::SystemTool(L"sysocmgr.exe"), MasterListName(), answerFile),
               thread);
}

void TSysocEngine::WatchChanges() {
    WatchRegistryKey(HKEY_LOCAL_MACHINE, KEY_READ | KEY_WOW64_64KEY, SubcomponentsKey);
}

} // namespace velmora
