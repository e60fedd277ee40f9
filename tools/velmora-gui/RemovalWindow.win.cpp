#include "tools/velmora-gui/RemovalWindow.h"

#include "platform/ComObject.h"
#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/RekovaSettings.h"
#include "platform/Text.h"
#include "tools/velmora-gui/BackupsWindow.h"
#include "tools/velmora-gui/WindowParts.h"
#include "tools/velmora/LeftoverReport.h"

#include <commctrl.h>
#include <cwctype>
#include <shlwapi.h>

#include <algorithm>
#include <vector>

namespace velmora::gui {

namespace {

constexpr UINT_PTR kPollTimer = 1;
enum : int {
    IDC_REMOVAL_LABEL = 100,
    IDC_REMOVAL_PROGRESS,
    IDC_REMOVAL_TREE,
    IDC_REMOVAL_REMOVE,
    IDC_REMOVAL_CLOSE
};

std::wstring SizeText(int64_t bytes) {
    wchar_t text[64] = {};
    return bytes > 0 && StrFormatByteSizeW(bytes, text, 64) ? std::wstring(text) : std::wstring();
}

class TRemovalWindow {
public:
    TRemovalWindow(TComPtr<IForceRemove> remover, std::wstring name, TRemovalDone done)
        : FRemover(std::move(remover)), FName(std::move(name)), FDone(std::move(done)) {}
    bool Create(HWND owner);

private:
    enum class TPhase { Scanning, Review, Removing, Done };
    friend LRESULT CALLBACK ObjectWindowProc<TRemovalWindow, true>(HWND, UINT, WPARAM, LPARAM);
    void Attach(HWND window) { FWindow = window; }
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();
    void Poll();
    void Decide();
    bool Ask(const std::wstring& text, UINT icon) const;
    void Remove();
    void EndAutomated();
    void FillTree(bool results);
    void SetLabel(const std::wstring& text) { SetWindowTextW(FLabel, text.c_str()); }

    TComPtr<IForceRemove> FRemover;
    std::wstring FName;
    TRemovalDone FDone; // empty: a person decides
    TPhase FPhase = TPhase::Scanning;

    TWindowScale FScale;
    HWND FWindow = nullptr, FLabel = nullptr, FProgress = nullptr, FTree = nullptr, FRemove = nullptr,
         FClose = nullptr;
};

bool TRemovalWindow::Create(HWND owner) {
    const HINSTANCE instance =
        RegisterWindowClass(L"VelmoraGuiRemoval", ObjectWindowProc<TRemovalWindow, true>);
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    const int width = (ownerRect.right - ownerRect.left) * 3 / 4,
              height = (ownerRect.bottom - ownerRect.top) * 3 / 4;
    FWindow = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, L"VelmoraGuiRemoval",
                              Format(L"Forced removal of %s", FName).c_str(), WS_OVERLAPPEDWINDOW,
                              ownerRect.left + width / 8, ownerRect.top + height / 8, width, height, owner,
                              nullptr, instance, this);
    if (!FWindow)
        return false;
    FScale.Apply(FWindow);
    auto child = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        return CreateControl(FWindow, FScale.Font(), exStyle, cls, text, style, id);
    };
    FLabel = child(0, WC_STATICW, Format(L"Scanning for leftovers of %s...", FName).c_str(),
                   SS_LEFTNOWORDWRAP, IDC_REMOVAL_LABEL);
    FProgress = child(0, PROGRESS_CLASSW, L"", 0, IDC_REMOVAL_PROGRESS);
    FTree = child(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                  WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                  IDC_REMOVAL_TREE);
    FRemove = child(0, WC_BUTTONW, L"&Remove", WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, IDC_REMOVAL_REMOVE);
    FClose = child(0, WC_BUTTONW, L"&Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDC_REMOVAL_CLOSE);
    Layout();
    ShowWindow(FWindow, SW_SHOWNORMAL);
    FRemover->StartCalculate();
    SetTimer(FWindow, kPollTimer, 100, nullptr);
    return true;
}

void TRemovalWindow::Layout() {
    RECT client{};
    GetClientRect(FWindow, &client);
    const int margin = FScale(8), row = FScale(24), button = FScale(100);
    MoveWindow(FLabel, margin, margin, client.right - 2 * margin, row, TRUE);
    MoveWindow(FProgress, margin, margin + row, client.right - 2 * margin, row - FScale(6), TRUE);
    const int treeTop = margin + 2 * row, buttons = client.bottom - margin - row;
    MoveWindow(FTree, margin, treeTop, client.right - 2 * margin, std::max(0, buttons - margin - treeTop),
               TRUE);
    MoveWindow(FRemove, client.right - 2 * (button + margin), buttons, button, row, TRUE);
    MoveWindow(FClose, client.right - button - margin, buttons, button, row, TRUE);
}

// The leftovers grouped by kind; after the removal each item says whether
// it went.
void TRemovalWindow::FillTree(bool results) {
    SendMessageW(FTree, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteAllItems(FTree);
    auto add = [&](HTREEITEM parent, const std::wstring& text) {
        TVINSERTSTRUCTW insert{};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        std::wstring copy = text;
        insert.item.pszText = copy.data();
        return TreeView_InsertItem(FTree, &insert);
    };
    auto outcome = [&](bool removed, const std::wstring& error) {
        if (!results)
            return std::wstring();
        return removed ? std::wstring(L"removed: ")
                       : L"NOT removed" + (error.empty() ? L"" : L" (" + error + L")") + L": ";
    };
    std::vector<std::wstring> shortcutFiles;
    std::vector<std::wstring> shortcuts;
    for (int32_t i = 0, n = FRemover->GetShortcutCount(); i < n; ++i) {
        TComPtr<IFRShortcut> shortcut;
        FRemover->GetShortcut(i, shortcut.put());
        TComPtr<IFRFile> file;
        if (shortcut)
            shortcut->GetShortcutFile(file.put());
        if (!file)
            continue;
        std::wstring path = GetterText(*file, &IFRFile::GetPath);
        shortcutFiles.push_back(path);
        shortcuts.push_back(outcome(file->GetRemoved(), GetterText(*file, &IFRFile::GetErrorMessage)) + path +
                            L"  \u2192 " + GetterText(*shortcut, &IFRShortcut::GetTarget));
    }
    std::vector<std::wstring> files;
    int64_t total = 0;
    for (int32_t i = 0, n = FRemover->GetFileCount(); i < n; ++i) {
        TComPtr<IFRFile> file;
        FRemover->GetFile(i, file.put());
        if (!file)
            continue;
        std::wstring path = GetterText(*file, &IFRFile::GetPath);
        if (std::ranges::any_of(shortcutFiles, [&](const std::wstring& s) { return SameText(s, path); }))
            continue;
        total += file->GetSize();
        std::wstring size = SizeText(file->GetSize());
        files.push_back(outcome(file->GetRemoved(), GetterText(*file, &IFRFile::GetErrorMessage)) + path +
                        (size.empty() ? L"" : L"  (" + size + L")"));
    }
    std::vector<std::wstring> entries;
    for (int32_t i = 0, n = FRemover->GetRegEntryCount(); i < n; ++i) {
        TComPtr<IFRRegEntry> entry;
        FRemover->GetRegEntry(i, entry.put());
        if (entry)
            entries.push_back(outcome(entry->GetRemoved(), L"") + GetterText(*entry, &IFRRegEntry::FullPath));
    }
    std::vector<std::wstring> services;
    for (int32_t i = 0, n = FRemover->GetServiceCount(); i < n; ++i) {
        TComPtr<IFRService> service;
        FRemover->GetService(i, service.put());
        if (service)
            services.push_back(
                outcome(service->GetRemoved(), GetterText(*service, &IFRService::GetErrorMessage)) +
                GetterText(*service, &IFRService::GetDisplayName) + L" (" +
                GetterText(*service, &IFRService::GetName) + L")");
    }
    auto group = [&](const std::wstring& title, const std::vector<std::wstring>& items) {
        HTREEITEM parent = add(TVI_ROOT, Format(L"%s (%d)", title, items.size()));
        for (const std::wstring& item : items)
            add(parent, item);
        TreeView_Expand(FTree, parent, TVE_EXPAND);
    };
    group(Format(L"Files and folders, %s",
                 SizeText(total).empty() ? std::wstring(L"0 bytes") : SizeText(total)),
          files);
    group(L"Registry entries", entries);
    group(L"Shortcuts", shortcuts);
    group(L"Services", services);
    SendMessageW(FTree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FTree, nullptr, TRUE);
}

// A yes/no question to the person, or yes when the removal runs by itself.
bool TRemovalWindow::Ask(const std::wstring& text, UINT icon) const {
    return FDone || MessageBoxW(FWindow, text.c_str(), L"Forced removal", MB_YESNO | icon) == IDYES;
}

void TRemovalWindow::Remove() {
    if (!Ask(Format(L"Delete these leftovers of %s?", FName), MB_ICONQUESTION))
        return;
    FPhase = TPhase::Removing;
    EnableWindow(FRemove, FALSE);
    SendMessageW(FProgress, PBM_SETPOS, 0, 0);
    FRemover->StartRemove();
}

// An automated removal ends here: done is told the label, then the tree's
// items depth first, each indented by its depth.
void TRemovalWindow::EndAutomated() {
    wchar_t label[512] = {};
    GetWindowTextW(FLabel, label, 512);
    std::vector<std::wstring> lines{label};
    ForEachTreeItem(FTree, [&](HTREEITEM item, int depth) {
        lines.push_back(std::wstring(static_cast<size_t>(depth) * 2, L' ') + TreeItemText(FTree, item));
    });
    FDone(lines);
    DestroyWindow(FWindow);
}

// The decision the paused worker waits for, asked as a dialog.
void TRemovalWindow::Decide() {
    IForceRemove& remover = *FRemover;
    switch (remover.GetRequiredAction()) {
    case TFRRequiredAction::frqNone:
        return;
    case TFRRequiredAction::frqRKUsageDecision: {
        const bool backUp =
            Ask(Format(L"The leftovers take %s. Back them up before deleting, so that they can be restored?",
                       SizeText(remover.GetTotalSize())),
                MB_ICONQUESTION);
        remover.SetRKUsageDecision(backUp ? TFRRKUsage::rkuUseRK : TFRRKUsage::rkuNotUseRK);
        remover.Resume();
        return;
    }
    case TFRRequiredAction::frqRKFreeSpaceDecision:
        if (Ask(L"The backup store is full: the rest of the removal cannot be backed up. Go on without "
                L"backup?",
                MB_ICONWARNING)) {
            remover.SetRKFreeSpaceDecision(TFRFreeSpaceDecision::rksNotUseRK);
            remover.Resume();
        } else {
            remover.Terminate();
        }
        return;
    case TFRRequiredAction::frqBlockedFilesDecision:
        break;
    }
    std::wstring list;
    remover.Lock();
    TComPtr<IVelmoraStrings> blocked;
    remover.GetBlockedFiles(blocked.put());
    for (int32_t i = 0, n = blocked ? blocked->GetCount() : 0; i < n; ++i) {
        unique_bstr path;
        blocked->Get(i, path.put());
        list += L"\n" + BstrText(path.get());
    }
    remover.Unlock();
    const bool goOn =
        Ask(L"These files are in use and may not be deleted:" + list + L"\n\nGo on with the removal anyway?",
            MB_ICONWARNING);
    // The worker goes on by itself once the files are released.
    if (remover.GetState() != TFRState::frsPaused ||
        remover.GetRequiredAction() != TFRRequiredAction::frqBlockedFilesDecision)
        return;
    if (goOn) {
        remover.SetBlockedFilesDecision(TFRBlockedFilesDecision::bfdContinue);
        remover.Resume();
    } else {
        remover.Terminate();
    }
}

void TRemovalWindow::Poll() {
    IForceRemove& remover = *FRemover;
    const TFRState state = remover.GetState();
    if (FPhase == TPhase::Scanning) {
        if (state == TFRState::frsFinished) {
            FPhase = TPhase::Done;
            SetLabel(L"The scan failed or was ended; nothing was deleted.");
            SetWindowTextW(FClose, L"&Close");
            if (FDone)
                return EndAutomated();
        } else if (state == TFRState::frsPaused && remover.GetCalcFinished()) {
            FPhase = TPhase::Review;
            SendMessageW(FProgress, PBM_SETPOS, 100, 0);
            SetLabel(Format(L"Leftovers of %s: review them, then remove them.", FName));
            FillTree(false);
            EnableWindow(FRemove, TRUE);
            if (FDone)
                Remove();
        } else {
            SendMessageW(FProgress, PBM_SETPOS, static_cast<WPARAM>(remover.GetCalcProgress()), 0);
        }
    } else if (FPhase == TPhase::Removing) {
        if (state == TFRState::frsFinished) {
            FPhase = TPhase::Done;
            SendMessageW(FProgress, PBM_SETPOS, 100, 0);
            SetLabel(Format(L"%s. Files deleted: %d of %d (%s); registry entries: %d; services: %d.",
                            remover.GetTerminated() ? L"Ended" : L"Done", remover.GetFilesProcessed(),
                            remover.GetTotalFiles(), SizeText(remover.GetRemovedSize()),
                            remover.GetRegistryKeysProcessed(), remover.GetRemovedServiceCount()));
            FillTree(true);
            SetWindowTextW(FClose, L"&Close");
            if (FDone)
                return EndAutomated();
            // A backed-up removal can be undone from the backup sets.
            if (RekovaSettings::IsBackupEnabled(RekovaSettings::VelmoraToolName)) {
                SetWindowTextW(FRemove, L"&Backup sets...");
                EnableWindow(FRemove, TRUE);
            }
        } else if (state == TFRState::frsPaused && !remover.GetTerminated() &&
                   remover.GetRequiredAction() != TFRRequiredAction::frqNone) {
            // The dialog's own message loop must not poll again meanwhile.
            KillTimer(FWindow, kPollTimer);
            Decide();
            SetTimer(FWindow, kPollTimer, 100, nullptr);
        } else {
            SendMessageW(FProgress, PBM_SETPOS, static_cast<WPARAM>(remover.GetRemoveProgress()), 0);
            std::wstring action = cli::ActionName(remover.GetAction());
            if (!action.empty())
                action[0] = static_cast<wchar_t>(towupper(action[0]));
            SetLabel(action + L" " + GetterText(remover, &IForceRemove::GetProcessing));
        }
    }
}

LRESULT TRemovalWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case kDpiChangedMessage:
        FScale.Follow(FWindow, wParam, lParam);
        Layout();
        return 0;
    case WM_TIMER:
        if (wParam == kPollTimer)
            Poll();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_REMOVAL_REMOVE && FPhase == TPhase::Done) {
            OpenBackupsWindow(GetWindow(FWindow, GW_OWNER));
        } else if (LOWORD(wParam) == IDC_REMOVAL_REMOVE && FPhase == TPhase::Review) {
            Remove();
        } else if (LOWORD(wParam) == IDC_REMOVAL_CLOSE || LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(FWindow);
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(FWindow);
        return 0;
    case WM_DESTROY:
        KillTimer(FWindow, kPollTimer);
        // A scan or removal still running ends with its controller.
        if (FPhase != TPhase::Done)
            FRemover->Terminate();
        FRemover.reset();
        return 0;
    }
    return DefWindowProcW(FWindow, message, wParam, lParam);
}

} // namespace

bool OpenRemovalWindow(HWND owner, IProduct& product, const std::wstring& name, TRemovalDone done) {
    TComPtr<IForceRemove> remover;
    product.GetForceRemove(remover.put());
    if (!remover)
        return false;
    auto* window = new TRemovalWindow(std::move(remover), name, std::move(done));
    if (!window->Create(owner)) {
        delete window;
        return false;
    }
    return true;
}

} // namespace velmora::gui
