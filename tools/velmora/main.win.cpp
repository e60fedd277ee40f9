// velmora.exe: the console front end of VelmoraHelper.dll. It loads the
// library from its own folder and uses nothing but its exports and
// interfaces, as the suite's desktop front end does.
#include "platform/ComObject.h"
#include "tools/velmora/Arguments.h"
#include "tools/velmora/Commands.h"
#include "tools/velmora/Console.h"
#include "tools/velmora/Detached.h"
#include "tools/velmora/ExitCodes.h"

namespace velmora::cli {

static int Run(const std::vector<std::wstring>& args) {
    std::wstring error;
    auto parsed = ParseArguments(args, error);
    if (!parsed) {
        WriteErr(error + L"\n\n" + UsageText());
        return kUsage;
    }
    if (parsed->Command == TCommand::Help) {
        WriteOut(UsageText());
        return kDone;
    }
    // A switched feature's system tool may ask its questions too.
    if (IsActionCommand(parsed->Command) || IsFeatureSwitch(parsed->Command))
        if (std::optional<int> code = RunInDetachedCopy())
            return *code;
    if (IsBackupCommand(parsed->Command))
        return RunBackupCommand(*parsed);
    TVelmoraLibrary library;
    if (!library.Loaded()) {
        WriteErr(library.Error() + L"\n");
        return kNoLibrary;
    }
    switch (parsed->Command) {
    case TCommand::Version:
        return RunVersion(library);
    case TCommand::List:
        return RunList(library, *parsed);
    case TCommand::Show:
        return RunShow(library, *parsed);
    case TCommand::Uninstall:
    case TCommand::QuietUninstall:
    case TCommand::Modify:
    case TCommand::Repair:
    case TCommand::Forget:
        return RunProductAction(library, *parsed);
    case TCommand::Leftovers:
    case TCommand::ForceRemove:
        return RunForcedRemoval(library, *parsed);
    case TCommand::Features:
        return RunFeatures(library, *parsed);
    case TCommand::FeatureEnable:
    case TCommand::FeatureDisable:
    case TCommand::FeatureRemove:
        return RunFeatureSwitch(library, *parsed);
    case TCommand::Help:
    case TCommand::Backups:
    case TCommand::Restore:
    case TCommand::BackupSetting:
        break;
    }
    return 0;
}

} // namespace velmora::cli

int wmain(int argc, wchar_t** argv) {
    velmora::TComApartmentGuard com;
    std::vector<std::wstring> args(argv + 1, argv + argc);
    return velmora::cli::Run(args);
}
