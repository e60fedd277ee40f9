#pragma once
// The scanner of the program's own registry data: the AppID, application
// and App Paths keys named after its files, where they tie to the program
// (an AppID the class scanner attributed, paths in its folders), its keys
// below its publisher's key found by its display name, its installer
// folders, and its values in RegisteredApplications.
#include "forceremove/RegistryScan.h"
#include "forceremove/Tasks.h"

#include <string>
#include <vector>

namespace velmora {

class TAppFolders;
class TFRFileList;
class TFRRegList;
class TIDList;
class TRegistrySource;

class TFRAppRegData : public TFRTask {
public:
    // The lists are the removal's, not owned; appIDList holds the AppIDs
    // the class scanner attributed.
    TFRAppRegData(TFRFileList& fileList, TFRRegList& regList, std::wstring appName, std::wstring publisher,
                  TIDList& appIDList, TWorkflowCheck checkWorkflow, TAppFolders& appFolders,
                  const TRegistrySource& source);

    // A failure passes on (it ends the removal).
    void Run() override;

private:
    void Check() const;
    // AppID keys named like a listed file whose AppID is attributed, with that AppID's key.
    void AddAppIDExecutables();
    // The keys named like a listed file, where RecordsProgramPaths holds.
    void AddKeysOfProgramFiles(const std::vector<TSubKey>& keys);
    // The key named like the publisher (or its first word, when the display
    // name starts with it too).
    bool IsPublisherKey(std::wstring_view name) const;
    // Below a Software key: the publisher's subkeys named like the display
    // name, or whose parent's name, a blank and their name make it ("Vendor"
    // then "Product" for "Vendor Product").
    void AddVendorKeys(const std::wstring& software);
    void AddInstallerFolders();
    // The values of the user's and the machine's RegisteredApplications key
    // naming a key of the same root that lies in a key listed as the
    // program's (its Default Programs "Capabilities"); the others stay.
    void AddRegisteredApplications();

    TRegistryScan FScan;
    TFRFileList& FFileList;
    const std::wstring FAppName;
    const std::wstring FPublisher;
    TIDList& FAppIDList;
    TWorkflowCheck FCheckWorkflow;
};

} // namespace velmora
