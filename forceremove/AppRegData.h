#pragma once
// The scanner of the program's own registry data: the AppID, application
// and App Paths keys named after its files, its vendor keys found by its
// display name, and its installer folders.
#include "forceremove/RegistryScan.h"
#include "forceremove/Tasks.h"

#include <string>

namespace velmora {

class TAppFolders;
class TFRFileList;
class TFRRegList;
class TIDList;
class TRegistrySource;

class TFRAppRegData : public TFRTask {
public:
    // The lists are the removal's, not owned; the AppIDs found are added to
    // appIDList for the class scanner.
    TFRAppRegData(TFRFileList& fileList, TFRRegList& regList, std::wstring appName, TIDList& appIDList,
                  TWorkflowCheck checkWorkflow, TAppFolders& appFolders, const TRegistrySource& source);

    // A failure passes on (it ends the removal).
    void Run() override;

private:
    void Check() const;
    // The key's subkeys named like a listed file, where RecordsOnlyProgramPaths holds.
    std::vector<TSubKey> KeysOfProgramFiles(std::wstring_view keyText) const;
    void AddAppIDExecutables();
    void AddKeysOfProgramFiles(std::wstring_view keyText);
    // Subkeys named like the display name, or whose parent's name, a blank
    // and their name make it ("Vendor" then "Product" for "Vendor Product").
    void AddVendorKeys(const std::wstring& keyText, const std::wstring& parentName, int depth);
    void AddInstallerFolders();

    TRegistryScan FScan;
    TFRFileList& FFileList;
    const std::wstring FAppName;
    TIDList& FAppIDList;
    TWorkflowCheck FCheckWorkflow;
};

} // namespace velmora
