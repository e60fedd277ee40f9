#pragma once
// The program's own files: everything in its install folder and in its data
// folders, which are found by the program's display name in the shared, the
// roaming and the local application-data folders and become program folders.
#include "forceremove/Tasks.h"

#include <string>
#include <vector>

namespace velmora {

class TAppFolders;
class TFRFile;
class TFRFileList;
class TSharedFolders;

class TFRAppFiles : public TFRTask {
public:
    // The lists are the removal's, not owned. A shared folder (SharedFolders.h)
    // is neither scanned nor taken as a program folder.
    TFRAppFiles(TAppFolders& appFolders, TFRFileList& fileList, TWorkflowCheck checkWorkflow,
                std::wstring appName, std::vector<TFRFile*>& dataFileList,
                const TSharedFolders& sharedFolders);

    int32_t GetComplexity() override { return 3; }
    // A failure passes on (it ends the removal).
    void Run() override;

private:
    void Check() const;
    // Folder names equal the display name exactly, letter case included; the
    // first match in listing order wins. Empty when none is found.
    std::wstring FindDataFolder(const std::wstring& base, int depth) const;
    void ScanDataFolder(int csidl);
    // Lists every entry below the folder (with its trailing "\"), each folder
    // after its content. A link (junction, symbolic link) is one entry: its
    // removal removes the link, never what it points to.
    void ScanFolder(const std::wstring& folder);
    void AddData(TFRFile* entry);

    TAppFolders& FAppFolders;
    TFRFileList& FFileList;
    TWorkflowCheck FCheckWorkflow;
    std::wstring FAppName;
    std::vector<TFRFile*>& FDataFileList;
    const TSharedFolders& FSharedFolders;
};

} // namespace velmora
