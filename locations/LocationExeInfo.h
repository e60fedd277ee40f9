#pragma once
// The source that fills the executable catalogue (TItemFolder): it lists no
// products of its own and never reports a change.
#include "inventory/LocationUninstall.h"

namespace velmora {

class TLocationExeInfo : public TLocationUninstall {
public:
    void Read() override {}
    bool IsChanged() override { return false; }
    // Scans the Start menu, the Run keys and the Explorer usage records. Never
    // throws: a stop request ends the scan quietly, other errors are logged.
    void ReadProgramsSlowInfo() override;
};

} // namespace velmora
