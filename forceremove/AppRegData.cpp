#include "forceremove/AppRegData.h"

#include "forceremove/FileList.h"
#include "forceremove/IDList.h"
#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "platform/Format.h"
#include "platform/RegistryKeyText.h"

namespace velmora {

namespace {

constexpr std::wstring_view AppIDKey = L"HKEY_CLASSES_ROOT\\AppID\\";
constexpr int VendorKeyDepth = 2;

// A protected key is not searched into: its subkeys belong to the system or
// to every program ("Classes", "Microsoft", "Policies"), and the 32-bit view
// ("Wow6432Node") is scanned as a view of its own. A product name met there
// would name another's key ("Microsoft\Windows" for a program "Windows").
bool SearchedInto(const std::wstring& keyText) {
    auto key = TRegistryKey::FromText(keyText);
    return key && !TFRRegList::IsSystemPath(key->Path);
}

} // namespace

TFRAppRegData::TFRAppRegData(TFRFileList& fileList, TFRRegList& regList, std::wstring appName,
                             TIDList& appIDList, TWorkflowCheck checkWorkflow, TAppFolders& appFolders,
                             const TRegistrySource& source)
    : FScan(source, appFolders, regList), FFileList(fileList), FAppName(std::move(appName)),
      FAppIDList(appIDList), FCheckWorkflow(std::move(checkWorkflow)) {}

void TFRAppRegData::Check() const {
    if (FCheckWorkflow)
        FCheckWorkflow();
}

void TFRAppRegData::Run() {
    AddAppIDExecutables();
    SetProgress(20);
    AddKeysOfProgramFiles(L"HKEY_CLASSES_ROOT\\Applications\\");
    SetProgress(40);
    AddKeysOfProgramFiles(L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\");
    AddKeysOfProgramFiles(L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\");
    SetProgress(60);
    for (const auto& view : FScan.Views(L"HKEY_LOCAL_MACHINE\\Software\\"))
        AddVendorKeys(view, {}, VendorKeyDepth);
    SetProgress(80);
    AddVendorKeys(L"HKEY_CURRENT_USER\\Software\\", {}, VendorKeyDepth);
    AddInstallerFolders();
}

std::vector<TSubKey> TFRAppRegData::KeysOfProgramFiles(std::wstring_view keyText) const {
    std::vector<TSubKey> keys;
    for (auto& subKey : FScan.SubKeysInViews(keyText)) {
        Check();
        if (FFileList.FindFile(subKey.Name) && FScan.RecordsOnlyProgramPaths(subKey.Text()))
            keys.push_back(std::move(subKey));
    }
    return keys;
}

void TFRAppRegData::AddAppIDExecutables() {
    for (const auto& executable : KeysOfProgramFiles(AppIDKey)) {
        FScan.AddKey(executable.Text());
        std::wstring appID = FScan.Source().ReadString(executable.Text(), L"AppID").value_or(L"");
        if (!appID.empty()) {
            FScan.AddKey(executable.Parent + appID + L'\\');
            FAppIDList.Add(appID);
        }
    }
}

void TFRAppRegData::AddKeysOfProgramFiles(std::wstring_view keyText) {
    for (const auto& key : KeysOfProgramFiles(keyText))
        FScan.AddKey(key.Text());
}

void TFRAppRegData::AddVendorKeys(const std::wstring& keyText, const std::wstring& parentName, int depth) {
    for (const auto& name : FScan.Source().SubKeyNames(keyText)) {
        Check();
        // Exact comparisons: letter case matters.
        if (name == FAppName || (!parentName.empty() && Format(L"%s %s", parentName, name) == FAppName))
            FScan.AddKey(keyText + name + L'\\');
        else if (depth > 1 && SearchedInto(keyText + name))
            AddVendorKeys(keyText + name + L'\\', name, depth - 1);
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
