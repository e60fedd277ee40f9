#pragma once
// The scanner of services that run a program file of the program being
// removed (Windows).
#include "forceremove/ServiceList.h"
#include "forceremove/Tasks.h"

#include <string>

namespace velmora {

class TAppFolders;

class TFRServices : public TFRTask {
public:
    // Neither list is owned.
    TFRServices(TAppFolders& appFolders, TFRServiceList& svcList);

    // A service belongs to the program when its configured program lies in a
    // program folder; a file of the same name and size elsewhere is another
    // program's copy of a shared runtime, no evidence.
    // Failures pass on: "Unable to open service manager" ends the removal.
    void Run() override;

private:
    bool BelongsToProgram(const std::wstring& path) const;

    TAppFolders& FAppFolders;
    TFRServiceList& FSvcList;
};

} // namespace velmora
