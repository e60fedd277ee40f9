#pragma once
// The scanner of the program's COM classes, ProgIDs and file types: class
// keys whose server lies in a program folder or whose AppID is the
// program's, ProgIDs of those classes or with a verb that runs the program
// (whole when all they record is the program's, else only those verbs; never
// the system's types), and what file extensions record of them (the
// extension key whole when its type is such a ProgID and all it holds is the
// program's). The user's classes are read beside the machine's.
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

class TFRExtData : public TFRTask {
public:
    // The lists are the removal's, not owned; the classes found are added to
    // clsidList, their AppIDs to appIDList (for the AppID scanner).
    TFRExtData(TFRRegList& regList, TFRFileList& fileList, TAppFolders& appFolders, TIDList& appIDList,
               TWorkflowCheck checkWorkflow, TIDList& clsidList, const TRegistrySource& source);

    int32_t GetComplexity() override { return 15; }
    // The class pass, then the ProgID pass, then the extension pass, each
    // seeing what the earlier ones attributed and weighing a third of the
    // progress. A failure passes on (it ends the removal).
    void Run() override;

private:
    using TItemStep = void (TFRExtData::*)(const TSubKey& item);
    // Runs step on each item, checking the pause and moving the progress
    // from base through its third.
    void Pass(const std::vector<TSubKey>& items, int32_t base, TItemStep step);
    void CheckClass(const TSubKey& clsid);
    void CheckProgID(const TSubKey& name);
    void CheckExtension(const TSubKey& name);
    bool ClassBelongs(const std::wstring& classKey) const;
    // A file type or protocol of Windows: nothing of it is listed.
    bool IsSystemType(std::wstring_view name) const;
    bool IsProgIDOfProgram(std::wstring_view name) const;
    // The extension's type is a ProgID taken whole, as its place resolves it.
    bool TypeIsProgramsProgID(const TSubKey& extension) const;

    TRegistryScan FScan;
    TFRFileList& FFileList;
    TIDList& FAppIDList;
    std::vector<std::wstring> FProgIDList;    // taken whole
    std::vector<std::wstring> FProgIDKeys;    // their key texts
    std::vector<std::wstring> FSystemProgIDs; // named by the system's extensions
    TWorkflowCheck FCheckWorkflow;
    TIDList& FCLSIDList;
};

} // namespace velmora
