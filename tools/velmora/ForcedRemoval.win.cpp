// leftovers and force-remove: a product's forced-removal controller driven
// from the terminal.
#include "tools/velmora/Commands.h"

#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tools/velmora/Console.h"
#include "tools/velmora/ConsoleOutput.h"
#include "tools/velmora/ExitCodes.h"
#include "tools/velmora/LeftoverReport.h"
#include "tools/velmora/ProductLookup.h"

#include <algorithm>

namespace velmora::cli {

namespace {

constexpr DWORD kPollMilliseconds = 100;

TLeftoverFile ReadLeftoverFile(IFRFile& file) {
    return {GetterText(file, &IFRFile::GetPath),
            file.GetSize(),
            file.GetIsFolder(),
            file.GetRemoved(),
            file.GetCanRemove(),
            GetterText(file, &IFRFile::GetErrorMessage)};
}

TLeftoverRegEntry ReadRegEntry(IFRRegEntry& entry) {
    std::optional<TRegRoot> root = RootFromKey(entry.GetRoot());
    return {GetterText(entry, &IFRRegEntry::FullPath),
            root ? std::wstring(RegRootName(*root)) : std::wstring(),
            GetterText(entry, &IFRRegEntry::GetKey),
            GetterText(entry, &IFRRegEntry::GetValueName),
            entry.GetFlag(),
            entry.GetRemoved()};
}

TLeftoverShortcut ReadShortcut(IFRShortcut& shortcut) {
    TComPtr<IFRFile> file;
    shortcut.GetShortcutFile(file.put());
    return {file ? ReadLeftoverFile(*file) : TLeftoverFile{}, GetterText(shortcut, &IFRShortcut::GetTarget)};
}

TLeftoverService ReadService(IFRService& service) {
    return {GetterText(service, &IFRService::GetPath), GetterText(service, &IFRService::GetName),
            GetterText(service, &IFRService::GetDisplayName), service.GetRemoved(),
            GetterText(service, &IFRService::GetErrorMessage)};
}

template <class I, class Item>
void ReadList(IForceRemove& remover, int32_t count, void (STDMETHODCALLTYPE IForceRemove::*get)(int32_t, I**),
              Item (*read)(I&), std::vector<Item>& items) {
    for (int32_t i = 0; i < count; ++i) {
        TComPtr<I> item;
        (remover.*get)(i, item.put());
        if (item)
            items.push_back(read(*item));
    }
}

// Every file and folder the removal deletes; a shortcut's file shows among
// the shortcuts only.
TLeftovers ReadLeftovers(IForceRemove& remover) {
    TLeftovers leftovers;
    ReadList(remover, remover.GetShortcutCount(), &IForceRemove::GetShortcut, ReadShortcut,
             leftovers.Shortcuts);
    ReadList(remover, remover.GetFileCount(), &IForceRemove::GetFile, ReadLeftoverFile, leftovers.Files);
    std::erase_if(leftovers.Files, [&](const TLeftoverFile& file) {
        return std::ranges::any_of(leftovers.Shortcuts, [&](const TLeftoverShortcut& s) {
            return SameText(s.File.Path, file.Path);
        });
    });
    ReadList(remover, remover.GetRegEntryCount(), &IForceRemove::GetRegEntry, ReadRegEntry,
             leftovers.RegEntries);
    ReadList(remover, remover.GetServiceCount(), &IForceRemove::GetService, ReadService, leftovers.Services);
    leftovers.TotalFiles = remover.GetTotalFiles();
    leftovers.TotalSize = remover.GetTotalSize();
    return leftovers;
}

std::vector<std::wstring> BlockedFiles(IForceRemove& remover) {
    std::vector<std::wstring> paths;
    remover.Lock();
    TComPtr<IVelmoraStrings> list;
    remover.GetBlockedFiles(list.put());
    for (int32_t i = 0, n = list ? list->GetCount() : 0; i < n; ++i) {
        unique_bstr path;
        list->Get(i, path.put());
        paths.push_back(BstrText(path.get()));
    }
    remover.Unlock();
    return paths;
}

// y or yes agrees, n or no declines; anything else, or no input, gives the default.
bool Confirm(std::wstring_view question, bool byDefault = false) {
    WriteErr(std::wstring(question) + (byDefault ? L" (Y/n) " : L" (y/N) "));
    std::optional<std::wstring> line = ReadLine();
    if (!line)
        WriteErr(L"(no more input)\n");
    return line ? YesOrNo(*line).value_or(byDefault) : byDefault;
}

// One line on the console, rewritten in place; nothing when standard error
// is not a console.
class TProgressBar {
public:
    explicit TProgressBar(bool wanted) : FWidth(wanted ? ErrConsoleWidth() : 0) {}
    ~TProgressBar() { End(); }
    TProgressBar(const TProgressBar&) = delete;
    TProgressBar& operator=(const TProgressBar&) = delete;

    void Show(int64_t percent, std::wstring_view label) {
        if (FWidth < 2)
            return;
        std::wstring line = ProgressLine(percent, label, FWidth - 1);
        if (line == FShown)
            return;
        const size_t blanks = FShown.size() > line.size() ? FShown.size() - line.size() : 0;
        WriteErr(L"\r" + line + std::wstring(blanks, L' '));
        FShown = line;
    }
    // Leaves the line as it is; the next output starts below it.
    void End() {
        if (!FShown.empty())
            WriteErr(L"\n");
        FShown.clear();
    }

private:
    size_t FWidth;
    std::wstring FShown;
};

// Runs the scan; true once the leftovers wait for review, false when the
// worker ended instead (the scan failed or was terminated).
bool Scan(IForceRemove& remover, bool showProgress) {
    TProgressBar bar(showProgress);
    remover.StartCalculate();
    for (;;) {
        const TFRState state = remover.GetState();
        if (state == TFRState::frsFinished)
            return false;
        if (state == TFRState::frsPaused && remover.GetCalcFinished()) {
            bar.Show(100, L"");
            return true;
        }
        bar.Show(remover.GetCalcProgress(), L"");
        Sleep(kPollMilliseconds);
    }
}

// Answers the decision the paused worker waits for. --no-backup answers the
// backup questions with "no backup"; --yes answers the others with yes, but
// never gives up the backup: at a full store it ends the removal.
void Decide(IForceRemove& remover, const TArguments& args) {
    const bool yes = args.Yes;
    switch (remover.GetRequiredAction()) {
    case TFRRequiredAction::frqNone:
        return;
    case TFRRequiredAction::frqRKUsageDecision: {
        WriteErr(Format(L"The leftovers take %s.\n", FormatSize(remover.GetTotalSize())));
        if (args.NoBackup)
            WriteErr(L"Not backing them up (--no-backup).\n");
        else if (yes)
            WriteErr(L"Backing them up (--yes).\n");
        const bool backUp =
            !args.NoBackup &&
            (yes || Confirm(L"Back them up before deleting, so that they can be restored?", true));
        remover.SetRKUsageDecision(backUp ? TFRRKUsage::rkuUseRK : TFRRKUsage::rkuNotUseRK);
        remover.Resume();
        return;
    }
    case TFRRequiredAction::frqRKFreeSpaceDecision:
        WriteErr(L"The backup store is full: the rest of the removal cannot be backed up.\n");
        if (args.NoBackup)
            WriteErr(L"Going on without backup (--no-backup).\n");
        else if (yes)
            WriteErr(L"Not going on without backup (--yes without --no-backup).\n");
        if (args.NoBackup || (!yes && Confirm(L"Go on without backup?"))) {
            remover.SetRKFreeSpaceDecision(TFRFreeSpaceDecision::rksNotUseRK);
            remover.Resume();
        } else {
            WriteErr(L"Ending the removal.\n");
            remover.Terminate();
        }
        return;
    case TFRRequiredAction::frqBlockedFilesDecision:
        break;
    }
    std::wstring list;
    for (const std::wstring& path : BlockedFiles(remover))
        list += L"  " + path + L"\n";
    WriteErr(L"These files are in use and may not be deleted:\n" + list);
    if (yes)
        WriteErr(L"Going on anyway (--yes).\n");
    const bool goOn = yes || Confirm(L"Go on with the removal anyway?");
    // The worker goes on by itself once the files are released.
    if (remover.GetState() != TFRState::frsPaused ||
        remover.GetRequiredAction() != TFRRequiredAction::frqBlockedFilesDecision) {
        WriteErr(L"The files were released; the removal went on.\n");
        return;
    }
    if (goOn) {
        remover.SetBlockedFilesDecision(TFRBlockedFilesDecision::bfdContinue);
        remover.Resume();
    } else {
        WriteErr(L"Ending the removal.\n");
        remover.Terminate();
    }
}

// Runs the removal to its end, answering the worker's decisions.
void Remove(IForceRemove& remover, const TArguments& args) {
    TProgressBar bar(!args.Json);
    remover.StartRemove();
    while (remover.GetState() != TFRState::frsFinished) {
        if (remover.GetState() == TFRState::frsPaused && !remover.GetTerminated() &&
            remover.GetRequiredAction() != TFRRequiredAction::frqNone) {
            bar.End();
            Decide(remover, args);
            continue;
        }
        const std::wstring action = cli::ActionName(remover.GetAction());
        const std::wstring processing = GetterText(remover, &IForceRemove::GetProcessing);
        bar.Show(remover.GetRemoveProgress(), processing.empty() ? action : action + L" " + processing);
        Sleep(kPollMilliseconds);
    }
    bar.Show(100, L"done");
}

int ListLeftovers(IForceRemove& remover, const TArguments& args) {
    const bool scanned = Scan(remover, !args.Json);
    TLeftovers leftovers = scanned ? ReadLeftovers(remover) : TLeftovers{};
    remover.Terminate();
    if (!scanned)
        return kScanFailed;
    WriteOut(args.Json ? RenderLeftoversJson(leftovers) : RenderLeftovers(leftovers));
    return kDone;
}

int ForceRemove(IForceRemove& remover, const TArguments& args) {
    if (!Scan(remover, !args.Json))
        return kScanFailed;
    if (!args.Json)
        WriteOut(RenderLeftovers(ReadLeftovers(remover)));
    const bool backedUp = ForcedRemovalsBackedUp();
    if (!args.Yes && !Confirm(Format(L"Delete these leftovers of \"%s\"? %s", args.Name,
                                     backedUp ? L"They are backed up first." : L"They are not backed up."))) {
        remover.Terminate();
        WriteErr(L"Cancelled; nothing was deleted.\n");
        return kCancelled;
    }
    Remove(remover, args);
    TLeftovers leftovers = ReadLeftovers(remover);
    TRemovalCounts counts{remover.GetFilesProcessed(), remover.GetRemovedSize(),
                          remover.GetRegistryKeysProcessed(), remover.GetRemovedServiceCount(),
                          remover.GetTerminated()};
    WriteOut(args.Json ? RenderLeftoversJson(leftovers, &counts) : RenderRemoval(leftovers, counts));
    if (backedUp && !args.Json)
        WriteOut(
            L"\"velmora backups\" lists the backup set of this removal; \"velmora restore ID\" undoes it.\n");
    if (counts.Terminated)
        return kCancelled;
    return AllRemoved(leftovers) ? kDone : kNotAllRemoved;
}

// Scans the product's leftovers and lists or removes them; the controller,
// released at the end, ends its worker.
int RunOnProduct(IProduct& product, const TArguments& args) {
    TComPtr<IForceRemove> remover;
    product.GetForceRemove(remover.put());
    if (!remover) {
        WriteErr(Format(L"The library offers no forced removal of \"%s\".\n", args.Name));
        return kFailed;
    }
    if (!args.Json)
        WriteErr(Format(L"Scanning for leftovers of \"%s\"...\n", args.Name));
    const int code =
        args.Command == TCommand::Leftovers ? ListLeftovers(*remover, args) : ForceRemove(*remover, args);
    if (code == kScanFailed)
        WriteErr(
            Format(L"The leftover scan of \"%s\" failed or was ended; nothing was deleted.\n", args.Name));
    return code;
}

} // namespace

int RunForcedRemoval(TVelmoraLibrary& library, const TArguments& args) {
    TComPtr<IVelmora> root = library.CreateRoot();
    if (!root) {
        WriteErr(library.Error() + L"\n");
        return kFailed;
    }
    auto finish = [&](int code) {
        root->Stop();
        return code;
    };
    root->Refresh();
    if (!WaitForInventory(*root, args.TimeoutSeconds))
        return finish(kFailed);
    std::vector<TComPtr<IProduct>> found = FindProgramOrUpdate(*root, args.Name);
    if (found.empty()) {
        WriteErr(Format(L"No installed program or update is named \"%s\".\n", args.Name));
        return finish(kNoProduct);
    }
    // The inventory keeps one product per name today; a removal still refuses
    // to pick one of several.
    if (found.size() > 1) {
        WriteErr(Format(L"%d installed programs or updates are named \"%s\"; nothing was done.\n",
                        found.size(), args.Name));
        return finish(kAmbiguousName);
    }
    return finish(RunOnProduct(*found.front(), args));
}

} // namespace velmora::cli
