#pragma once
// The scanner of what the installer database says a product installed: its
// files, registry rows, shortcuts, file types and upgrade codes (Windows).
#include "forceremove/Tasks.h"

#include <string>
#include <vector>

namespace velmora {

class TFRFile;
class TFRFileList;
class TFRRegList;
class TFRShortcutList;
class TMsiProduct;

class TFRMsi : public TFRTask {
public:
    // None of the lists is owned; files found are also appended to dataFileList.
    TFRMsi(std::wstring productGUID, TWorkflowCheck checkWorkflow, std::vector<TFRFile*>& dataFileList,
           TFRFileList& fileList, TFRShortcutList& shortcutList, TFRRegList& regList);

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
    void AddEmptyKeysOfEntries();
    void AddShortcuts(TMsiProduct& product);
    void AddFileTypes(TMsiProduct& product);
    void AddUpgradeCodes(TMsiProduct& product);

    const std::wstring FProductGUID;
    TWorkflowCheck FCheckWorkflow;
    std::vector<TFRFile*>& FDataFileList;
    TFRFileList& FFileList;
    TFRShortcutList& FShortcutList;
    TFRRegList& FRegList;
};

} // namespace velmora
