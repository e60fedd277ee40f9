#include "tools/velmora/Arguments.h"

#include "platform/Format.h"

namespace velmora::cli {

const wchar_t* UsageText() {
    return L"Usage: velmora <command> [options]\n"
           L"\n"
           L"Commands:\n"
           L"  version                 show the library's version\n"
           L"  list [--updates|--unused] [--json] [--timeout SECONDS]\n"
           L"                          read the inventory and list installed programs,\n"
           L"                          installed updates or rarely used programs\n"
           L"  show NAME [--json] [--timeout SECONDS]\n"
           L"                          read the inventory and show every detail of the\n"
           L"                          installed program or update of that name\n"
           L"  uninstall NAME [--timeout SECONDS]\n"
           L"  quiet-uninstall NAME [--timeout SECONDS]\n"
           L"  modify NAME [--timeout SECONDS]\n"
           L"  repair NAME [--timeout SECONDS]\n"
           L"                          run the program's (or update's) uninstaller,\n"
           L"                          its quiet uninstaller, or its modify or repair\n"
           L"                          command, answer its questions here and wait\n"
           L"                          for it; after an uninstall, wait until the\n"
           L"                          inventory no longer lists it; uninstall and\n"
           L"                          modify run the combined modify-or-remove\n"
           L"                          command of a product that offers only that\n"
           L"  forget NAME [--timeout SECONDS]\n"
           L"                          drop the program from the inventory read by\n"
           L"                          this run; its registry entries stay\n"
           L"  leftovers NAME [--json] [--timeout SECONDS]\n"
           L"                          scan for what the program left on the machine\n"
           L"                          (files and folders, registry entries, shortcuts,\n"
           L"                          services) and list it; nothing is deleted\n"
           L"  force-remove NAME [--yes] [--no-backup] [--json] [--timeout SECONDS]\n"
           L"                          scan as leftovers does, ask, then delete what was\n"
           L"                          found and report each item; --yes answers every\n"
           L"                          question with yes (back up a large removal, go\n"
           L"                          on past files in use) but ends the removal at a\n"
           L"                          full backup store; --no-backup goes on without\n"
           L"                          backup instead (and does not back up a large\n"
           L"                          removal); --json (only with --yes) prints the\n"
           L"                          report as JSON. With backups on (backup-setting),\n"
           L"                          the removal can be undone with restore\n"
           L"  backups [--json]        list the backup sets of forced removals:\n"
           L"                          identifier, date, program, size, status\n"
           L"  restore ID              give back everything the backup set of that\n"
           L"                          identifier recorded, and report it\n"
           L"  backup-setting [on|off] show, or turn on or off, the backup of forced\n"
           L"                          removals\n"
           L"  features [--tree] [--json] [--all] [--timeout SECONDS]\n"
           L"                          read the Windows features and list them with\n"
           L"                          their state; --tree shows each under its parent,\n"
           L"                          --all includes the features Windows hides\n"
           L"  feature enable|disable NAME [--timeout SECONDS]\n"
           L"                          switch the Windows feature of that (servicing)\n"
           L"                          name on or off, wait for the system tool, then\n"
           L"                          read the features again and report the state\n"
           L"  feature remove NAME [--timeout SECONDS]\n"
           L"                          remove the store app of that feature name for\n"
           L"                          all users (its provisioned copy too), wait,\n"
           L"                          read the features again and report whether it\n"
           L"                          is still listed\n"
           L"  help, --help            show this text\n"
           L"\n"
           L"--timeout bounds each wait (reading the inventory or the features, the\n"
           L"action or the feature switch, the product leaving the inventory); the\n"
           L"default is 300 seconds. An action or switch still running then is left\n"
           L"running. The leftover scan and the removal are not bounded.\n"
           L"\n"
           L"Exit codes: 0 done, 1 the operation failed, 2 wrong usage,\n"
           L"            3 VelmoraHelper.dll could not be loaded,\n"
           L"            4 no installed program or update has that name,\n"
           L"            5 the product does not offer that action,\n"
           L"            6 another action is already running on the product,\n"
           L"            7 the action ended but the product is still listed,\n"
           L"            8 the action was still running at the timeout,\n"
           L"            9 the command reported an error (shown on standard error),\n"
           L"           10 more than one installed program or update has that name,\n"
           L"           11 the leftover scan failed or was ended (nothing deleted),\n"
           L"           12 some leftovers could not be removed (the report says which),\n"
           L"           13 the removal was cancelled at a question or ended early\n"
           L"              (what was deleted before stays deleted),\n"
           L"           14 RekovaHelper.dll could not be loaded,\n"
           L"           15 no backup set has that identifier,\n"
           L"           16 the backup set was restored before,\n"
           L"           17 no Windows feature has that name,\n"
           L"           18 the feature switch ended but the state did not change.\n";
}

bool IsActionCommand(TCommand command) {
    switch (command) {
    case TCommand::Uninstall:
    case TCommand::QuietUninstall:
    case TCommand::Modify:
    case TCommand::Repair:
    case TCommand::Forget:
        return true;
    default:
        return false;
    }
}

bool IsFeatureSwitch(TCommand command) {
    return command == TCommand::FeatureEnable || command == TCommand::FeatureDisable ||
           command == TCommand::FeatureRemove;
}

bool IsBackupCommand(TCommand command) {
    return command == TCommand::Backups || command == TCommand::Restore || command == TCommand::BackupSetting;
}

static std::optional<TCommand> ActionCommand(const std::wstring& name) {
    if (name == L"uninstall")
        return TCommand::Uninstall;
    if (name == L"quiet-uninstall")
        return TCommand::QuietUninstall;
    if (name == L"modify")
        return TCommand::Modify;
    if (name == L"repair")
        return TCommand::Repair;
    if (name == L"forget")
        return TCommand::Forget;
    return std::nullopt;
}

static bool ParseSeconds(const std::wstring& text, unsigned& seconds) {
    if (text.empty() || text.size() > 6)
        return false;
    unsigned value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + (c - L'0');
    }
    if (value == 0)
        return false;
    seconds = value;
    return true;
}

static std::optional<TArguments> ParseBackupSetting(const std::vector<std::wstring>& args, TArguments parsed,
                                                    std::wstring& error) {
    if (args.size() > 2 || (args.size() == 2 && args[1] != L"on" && args[1] != L"off")) {
        error = L"backup-setting takes nothing, on or off.";
        return std::nullopt;
    }
    if (args.size() == 2)
        parsed.Setting = args[1] == L"on";
    return parsed;
}

static bool ParseTimeout(const std::vector<std::wstring>& args, size_t& i, TArguments& parsed,
                         std::wstring& error) {
    if (i + 1 == args.size() || !ParseSeconds(args[i + 1], parsed.TimeoutSeconds)) {
        error = L"--timeout needs a number of seconds from 1 to 999999.";
        return false;
    }
    ++i;
    return true;
}

static std::optional<TArguments> ParseFeatureSwitch(const std::vector<std::wstring>& args, TArguments parsed,
                                                    std::wstring& error) {
    if (args.size() < 3 || (args[1] != L"enable" && args[1] != L"disable" && args[1] != L"remove") ||
        args[2].empty() || args[2].starts_with(L"--")) {
        error = L"Give enable, disable or remove and the name of the Windows feature.";
        return std::nullopt;
    }
    parsed.Command = args[1] == L"enable"    ? TCommand::FeatureEnable
                     : args[1] == L"disable" ? TCommand::FeatureDisable
                                             : TCommand::FeatureRemove;
    parsed.Name = args[2];
    for (size_t i = 3; i < args.size(); ++i) {
        if (args[i] != L"--timeout") {
            error = Format(L"Unknown option \"%s\" for \"feature\".", args[i]);
            return std::nullopt;
        }
        if (!ParseTimeout(args, i, parsed, error))
            return std::nullopt;
    }
    return parsed;
}

std::optional<TArguments> ParseArguments(const std::vector<std::wstring>& args, std::wstring& error) {
    TArguments parsed;
    if (args.empty())
        return parsed;
    const std::wstring& command = args[0];
    if (command == L"help" || command == L"--help" || command == L"-h" || command == L"/?")
        return parsed;
    if (command == L"version")
        parsed.Command = TCommand::Version;
    else if (command == L"list")
        parsed.Command = TCommand::List;
    else if (command == L"show")
        parsed.Command = TCommand::Show;
    else if (command == L"leftovers")
        parsed.Command = TCommand::Leftovers;
    else if (command == L"force-remove")
        parsed.Command = TCommand::ForceRemove;
    else if (command == L"backups")
        parsed.Command = TCommand::Backups;
    else if (command == L"restore")
        parsed.Command = TCommand::Restore;
    else if (command == L"backup-setting")
        parsed.Command = TCommand::BackupSetting;
    else if (command == L"features")
        parsed.Command = TCommand::Features;
    else if (command == L"feature")
        return ParseFeatureSwitch(args, parsed, error);
    else if (auto action = ActionCommand(command))
        parsed.Command = *action;
    else {
        error = Format(L"Unknown command \"%s\".", command);
        return std::nullopt;
    }
    if (parsed.Command == TCommand::BackupSetting)
        return ParseBackupSetting(args, parsed, error);
    bool kindGiven = false;
    size_t first = 1;
    const bool forced = parsed.Command == TCommand::Leftovers || parsed.Command == TCommand::ForceRemove;
    if (parsed.Command == TCommand::Show || IsActionCommand(parsed.Command) || forced ||
        parsed.Command == TCommand::Restore) {
        if (args.size() < 2 || args[1].empty() || args[1].starts_with(L"--")) {
            error = parsed.Command == TCommand::Leftovers
                        ? L"Give the name of the program or update whose leftovers to list."
                    : parsed.Command == TCommand::Restore
                        ? L"Give the identifier of the backup set to restore (see backups)."
                        : Format(L"Give the name of the program or update to %s.", command);
            return std::nullopt;
        }
        parsed.Name = args[1];
        first = 2;
    }
    const bool features = parsed.Command == TCommand::Features;
    const bool reads =
        parsed.Command == TCommand::List || parsed.Command == TCommand::Show || forced || features;
    const bool waits = reads || IsActionCommand(parsed.Command);
    const bool json = reads || parsed.Command == TCommand::Backups;
    for (size_t i = first; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        if (parsed.Command == TCommand::List && (option == L"--updates" || option == L"--unused")) {
            if (kindGiven) {
                error = L"Give at most one of --updates and --unused.";
                return std::nullopt;
            }
            kindGiven = true;
            parsed.Kind = option == L"--updates" ? TListKind::Updates : TListKind::Unused;
        } else if (json && option == L"--json") {
            parsed.Json = true;
        } else if (features && option == L"--tree") {
            parsed.Tree = true;
        } else if (features && option == L"--all") {
            parsed.ShowHidden = true;
        } else if (parsed.Command == TCommand::ForceRemove && option == L"--yes") {
            parsed.Yes = true;
        } else if (parsed.Command == TCommand::ForceRemove && option == L"--no-backup") {
            parsed.NoBackup = true;
        } else if (waits && option == L"--timeout") {
            if (!ParseTimeout(args, i, parsed, error))
                return std::nullopt;
        } else {
            error = Format(L"Unknown option \"%s\" for \"%s\".", option, command);
            return std::nullopt;
        }
    }
    if (parsed.Tree && parsed.Json) {
        error = L"Give at most one of --tree and --json (JSON always nests the children).";
        return std::nullopt;
    }
    if (parsed.Command == TCommand::ForceRemove && parsed.Json && !parsed.Yes) {
        error = L"force-remove --json cannot ask its questions: add --yes.";
        return std::nullopt;
    }
    return parsed;
}

} // namespace velmora::cli
