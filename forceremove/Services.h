#pragma once
// The scanner of services that run a program file of the program being
// removed (Windows).
#include "forceremove/ServiceList.h"
#include "forceremove/Tasks.h"

#include <string>

namespace velmora {

class TAppFolders;
class TFRFileList;

class TFRServices : public TFRTask {
public:
    // None of the lists is owned.
    TFRServices(TAppFolders& appFolders, TFRServiceList& svcList, TFRFileList& fileList);

    // A service belongs to the program when a listed file has its program's
    // file name and size, or its configured path lies in a program folder.
    // Failures pass on: "Unable to open service manager" ends the removal.
    void Run() override;

private:
    bool BelongsToProgram(const std::wstring& path) const;

    TAppFolders& FAppFolders;
    TFRServiceList& FSvcList;
    TFRFileList& FFileList;
};

} // namespace velmora
