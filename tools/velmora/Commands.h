#pragma once
#include "tools/velmora/Arguments.h"
#include "tools/velmora/VelmoraLibrary.h"

namespace velmora::cli {

// Each command returns the process exit code.
int RunVersion(TVelmoraLibrary& library);
int RunList(TVelmoraLibrary& library, const TArguments& args);
int RunShow(TVelmoraLibrary& library, const TArguments& args);
// uninstall, quiet-uninstall, modify, repair and forget.
int RunProductAction(TVelmoraLibrary& library, const TArguments& args);
// leftovers and force-remove.
int RunForcedRemoval(TVelmoraLibrary& library, const TArguments& args);

// features, and feature enable or disable.
int RunFeatures(TVelmoraLibrary& library, const TArguments& args);
int RunFeatureSwitch(TVelmoraLibrary& library, const TArguments& args);

// backups, restore and backup-setting: the suite's backup component and its
// settings, without the library.
int RunBackupCommand(const TArguments& args);
// The suite's backup settings back up this tool's forced removals.
bool ForcedRemovalsBackedUp();

} // namespace velmora::cli
