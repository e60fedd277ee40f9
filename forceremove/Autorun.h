#pragma once
// The scanner of autorun entries: values of the Run and RunServices keys
// whose program lies in a program folder.
#include "forceremove/RegistryScan.h"
#include "forceremove/Tasks.h"

namespace velmora {

class TAppFolders;
class TFRRegList;
class TRegistrySource;

class TFRAutorun : public TFRTask {
public:
    // The lists are the removal's, not owned. It has no pause check: the
    // keys are few and small.
    TFRAutorun(TAppFolders& appFolders, TFRRegList& regList, const TRegistrySource& source);

    // Only plain string values count: an expandable one is never attributed.
    // A failure passes on (it ends the removal).
    void Run() override;

private:
    void ScanRunKey(const std::wstring& keyText);

    TRegistryScan FScan;
};

} // namespace velmora
