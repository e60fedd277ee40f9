#pragma once
// The scanner of what the installer database says a product installed: its
// files, registry rows, shortcuts, file types and upgrade codes (Windows),
// and its rules of what in keys others share is the product's (portable).
#include "forceremove/Tasks.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class TFRFile;
class TFRFileList;
class TFRRegList;
class TFRShortcutList;
class TMsiProduct;
class TRegistrySource;
class TSharedFolders;

// The extension key of a file type of the package (keyText): whole when its
// default value is empty or names the package's ProgID and nothing else is
// in it but a content type equal to the package's MIME type; else, while the
// default is the package's, only that content type. A key whose default names
// another ProgID is another program's now.
void AddMsiExtensionKey(TFRRegList& list, const TRegistrySource& registry, std::wstring_view keyText,
                        std::wstring_view progID, std::wstring_view mime);
// The installer records a product besides productCode among the clients of a
// component: its files are that product's too.
bool MsiComponentSharedWithAnotherProduct(const std::vector<std::wstring>& clients,
                                          std::wstring_view productCode);

class TFRMsi : public TFRTask {
public:
    // None of the lists is owned; files found are also appended to dataFileList.
    TFRMsi(std::wstring productGUID, TWorkflowCheck checkWorkflow, std::vector<TFRFile*>& dataFileList,
           TFRFileList& fileList, TFRShortcutList& shortcutList, TFRRegList& regList,
           const TSharedFolders& sharedFolders);

    int32_t GetComplexity() override { return 4; }
    // The installer knows the product.
    bool CanProcess() const;
    // Each part, and the whole, is guarded: a failure is logged to the
    // statistics log and the next part runs. A termination ends the scan
    // silently; the worker's next pause check ends the worker.
    void Run() override;

private:
    void Scan();
    void ScanProduct(TMsiProduct& product);
    void AddFiles(TMsiProduct& product);
    void AddRegistryRows(TMsiProduct& product);
    void AddShortcuts(TMsiProduct& product);
    void AddFileTypes(TMsiProduct& product);
    void AddUpgradeCodes(TMsiProduct& product);
    // The folders the package's files and shortcuts leave empty.
    void AddEmptiedFolders();
    // Every entry of the folder (with a trailing "\") is listed already.
    bool HoldsOnlyListed(const std::wstring& folder) const;

    const std::wstring FProductGUID;
    TWorkflowCheck FCheckWorkflow;
    std::vector<TFRFile*>& FDataFileList;
    TFRFileList& FFileList;
    TFRShortcutList& FShortcutList;
    TFRRegList& FRegList;
    const TSharedFolders& FSharedFolders;
    // The folders of the package's files and shortcuts, with a trailing "\".
    std::vector<std::wstring> FPackageFolders;
};

} // namespace velmora
