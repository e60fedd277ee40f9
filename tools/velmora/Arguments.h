#pragma once
// Command line of the console front end.
#include <optional>
#include <string>
#include <vector>

namespace velmora::cli {

enum class TCommand {
    Help,
    Version,
    List,
    Show,
    Uninstall,
    QuietUninstall,
    Modify,
    Repair,
    Forget,
    Leftovers,
    ForceRemove,
    Backups,
    Restore,
    BackupSetting,
    Features,
    FeatureEnable,
    FeatureDisable,
    FeatureRemove
};

// True for the commands that run an action on one product.
bool IsActionCommand(TCommand command);
// True for feature enable, disable and remove.
bool IsFeatureSwitch(TCommand command);
// True for the commands of the backup component, which need no library.
bool IsBackupCommand(TCommand command);
enum class TListKind { Programs, Updates, Unused };

struct TArguments {
    TCommand Command = TCommand::Help;
    TListKind Kind = TListKind::Programs;
    std::wstring Name; // the product shown by "show" or acted on; the backup set to restore;
                       // the feature switched
    bool Json = false;
    bool Tree = false;       // features --tree
    bool ShowHidden = false; // features --all
    bool Yes = false;        // force-remove answers its questions itself
    bool NoBackup = false;   // force-remove may go on without backup (a large removal, a full store)
    unsigned TimeoutSeconds = 300;
    std::optional<bool> Setting; // backup-setting on or off; nothing shows it
};

// Parses the arguments after the program name; on a usage error returns
// nothing and sets error to a sentence for the user.
std::optional<TArguments> ParseArguments(const std::vector<std::wstring>& args, std::wstring& error);

const wchar_t* UsageText();

} // namespace velmora::cli
