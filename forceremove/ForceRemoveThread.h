#pragma once
// The worker of a forced removal: runs the scanners, pauses until the front
// end starts the removal, then deletes through a remove strategy, asking the
// front end for decisions through the controller. Its state lives in the
// controller; it holds the program's folders, the identifiers the scanners
// share and the scanners.
#include "api/Enums.Velmora.h"
#include "forceremove/AppFolders.h"
#include "forceremove/IDList.h"
#include "forceremove/Tasks.h"
#include "platform/Thread.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora {

class IRemoveStrategy;
class TForceRemove;

class TForceRemoveThread : public TThread {
public:
    // Takes the install location as the first program folder and wires the
    // scanners to the controller's lists; Start runs it.
    explicit TForceRemoveThread(TForceRemove& forceRemove);
    ~TForceRemoveThread() override;

    // Sleeps while the controller is paused; raises EAbort once terminated.
    void CheckPaused();

protected:
    void Execute() override;

private:
    void StartRun();
    void Scan();
    void Remove();
    TFRRKUsage AskRKUsageDecision();
    // True when the front end chose to go on without backup.
    bool AskFreeSpaceDecision();
    void CheckFiles(IRemoveStrategy& strategy);
    bool CanRemoveFile(IRemoveStrategy& strategy, const std::wstring& path);
    void AskBlockedFilesDecision(IRemoveStrategy& strategy);
    // Until the front end resumes: re-tests the blocked files, last first,
    // and drops each that is free. True when none is left.
    bool WaitForBlockedFiles(IRemoveStrategy& strategy);
    void RemoveFiles(IRemoveStrategy& strategy);
    void RemoveRegistryEntries(IRemoveStrategy& strategy);

    TForceRemove& FForceRemove;
    TAppFolders FAppFolders;
    TIDList FAppIDs;
    TIDList FCLSIDs;
    std::vector<std::unique_ptr<IFRTask>> FScanners;
};

} // namespace velmora
