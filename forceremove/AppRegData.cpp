#include "forceremove/AppRegData.h"

#include "forceremove/FileList.h"
#include "forceremove/IDList.h"
#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "platform/Format.h"
#include "platform/RegistryKeyText.h"

namespace velmora {

namespace {

// A protected key is neither taken nor searched into: its subkeys belong to the system or
// to every program ("Classes", "Microsoft", "Policies"), and the 32-bit view
// ("Wow6432Node") is scanned as a view of its own. A product name met there
// would name another's key ("Microsoft\Windows" for a program "Windows").
bool SearchedInto(const std::wstring& keyText) {
    auto key = TRegistryKey::FromText(keyText);
    return key && !TFRRegList::IsSystemPath(key->Path);
}

} // namespace

TFRAppRegData::TFRAppRegData(TFRFileList& fileList, TFRRegList& regList, std::wstring appName,
                             std::wstring publisher, TIDList& appIDList, TWorkflowCheck checkWorkflow,
                             TAppFolders& appFolders, const TRegistrySource& source)
    : FScan(source, appFolders, regList), FFileList(fileList), FAppName(std::move(appName)),
      FPublisher(std::move(publisher)), FAppIDList(appIDList), FCheckWorkflow(std::move(checkWorkflow)) {}

void TFRAppRegData::Check() const {
    if (FCheckWorkflow)
        FCheckWorkflow();
}

void TFRAppRegData::Run() {
    AddAppIDExecutables();
    SetProgress(20);
    AddKeysOfProgramFiles(FScan.SubKeysInClasses(L"Applications\\"));
    SetProgress(40);
    AddKeysOfProgramFiles(FScan.SubKeysInViews(
        L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"));
    AddKeysOfProgramFiles(FScan.SubKeysInViews(
        L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"));
    SetProgress(60);
    for (const auto& view : FScan.Views(L"HKEY_LOCAL_MACHINE\\Software\\"))
        AddVendorKeys(view);
    SetProgress(80);
    AddVendorKeys(L"HKEY_CURRENT_USER\\Software\\");
    AddInstallerFolders();
    AddRegisteredApplications();
}

void TFRAppRegData::AddAppIDExecutables() {
    for (const auto& executable : FScan.SubKeysInClasses(L"AppID\\")) {
        Check();
        if (!FFileList.FindFile(executable.Name))
            continue;
        const std::wstring appID = FScan.Source().ReadString(executable.Text(), L"AppID").value_or(L"");
        if (FAppIDList.Exists(appID) && FScan.RecordsOnlyProgramPaths(executable.Text())) {
            FScan.AddKey(executable.Text());
            FScan.AddKey(executable.Parent + appID + L'\\');
        }
    }
}

void TFRAppRegData::AddKeysOfProgramFiles(const std::vector<TSubKey>& keys) {
    for (const auto& key : keys) {
        Check();
        if (FFileList.FindFile(key.Name) && FScan.RecordsProgramPaths(key.Text()))
            FScan.AddKey(key.Text());
    }
}

bool TFRAppRegData::IsPublisherKey(std::wstring_view name) const {
    if (name.empty())
        return false;
    if (name == FPublisher)
        return true;
    // "Vendor" for the publisher "Vendor Inc." of "Vendor Product".
    const std::wstring word = std::wstring(name) + L' ';
    return FPublisher.starts_with(word) && FAppName.starts_with(word);
}

void TFRAppRegData::AddVendorKeys(const std::wstring& software) {
    const TRegistrySource& source = FScan.Source();
    for (const auto& name : source.SubKeyNames(software)) {
        Check();
        const std::wstring key = software + name + L'\\';
        if (!SearchedInto(software + name))
            continue;
        // Exact comparisons: letter case matters. A key named like the program
        // right below Software is taken only with a value that names a place
        // in the program's folders: without it the name alone would take the
        // key of another program that happens to carry the same name. The
        // publisher's key is never taken whole (it holds its other programs).
        if (IsPublisherKey(name)) {
            for (const auto& product : source.SubKeyNames(key))
                if (product == FAppName || Format(L"%s %s", name, product) == FAppName)
                    FScan.AddKey(key + product + L'\\');
        } else if (name == FAppName && FScan.HoldsProgramPath(key)) {
            FScan.AddKey(key);
        }
    }
}

void TFRAppRegData::AddRegisteredApplications() {
    constexpr std::wstring_view Registered = L"Software\\RegisteredApplications\\";
    const TRegistrySource& source = FScan.Source();
    std::vector<std::wstring> views{L"HKEY_CURRENT_USER\\" + std::wstring(Registered)};
    for (auto& view : FScan.Views(L"HKEY_LOCAL_MACHINE\\" + std::wstring(Registered)))
        views.push_back(std::move(view));
    for (const auto& view : views) {
        // The data is a key of the same root and view: "Software\\App\\Capabilities".
        const std::wstring root = view.substr(0, view.size() - Registered.size());
        for (const auto& name : source.ValueNames(view)) {
            Check();
            const std::wstring capabilities = source.ReadText(view, name).value_or(L"");
            if (!capabilities.empty() && !capabilities.starts_with(L'\\') &&
                FScan.RegList().Covers(root + capabilities))
                FScan.AddValue(view, name);
        }
    }
}

void TFRAppRegData::AddInstallerFolders() {
    const TRegistrySource& source = FScan.Source();
    for (const auto& view : FScan.Views(
             L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders\\"))
        for (const auto& folder : source.ValueNames(view))
            if (FScan.InAppFolder(folder))
                FScan.AddValue(view, folder);
}

} // namespace velmora
