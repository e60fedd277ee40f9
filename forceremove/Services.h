#pragma once
// The scanner of services that run a program file of the program being
// removed, and their removal (Windows).
#include "forceremove/Leftovers.h"
#include "forceremove/Tasks.h"

#include <memory>
#include <vector>

namespace velmora {

class IRemoveStrategy;
class TAppFolders;
class TFRFileList;

using TFRServiceList = std::vector<std::unique_ptr<TFRService>>;

class TFRServices : public TFRTask {
public:
    // None of the lists is owned.
    TFRServices(TAppFolders& appFolders, TFRServiceList& svcList, TFRFileList& fileList);

    // A service belongs to the program when a listed file has its program's
    // file name and size, or its configured path lies in a program folder.
    // Failures pass on: "Unable to open service manager" ends the removal.
    void Run() override;
    // Removes every listed service; a failure is recorded on the service
    // and logged, and the next service follows.
    void RemoveServices(IRemoveStrategy& strategy);

private:
    bool BelongsToProgram(const std::wstring& path) const;

    TAppFolders& FAppFolders;
    TFRServiceList& FSvcList;
    TFRFileList& FFileList;
};

} // namespace velmora
