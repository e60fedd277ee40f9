// What the main window does on its own: the screenshot, and the self-test's
// report of its controls with the steps a person would take (switching
// features, a forced removal and its restore, uninstalling).
#include "tools/velmora-gui/BackupsWindow.h"
#include "tools/velmora-gui/MainWindowClass.h"
#include "tools/velmora-gui/RemovalWindow.h"
#include "tools/velmora-gui/Screenshot.h"

#include "platform/Format.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdio>

namespace velmora::gui {

bool TMainWindow::FullyRead() const {
    // Icons and slow information arrive after the read state says loaded:
    // the read is complete once nothing has changed for a while.
    if (!FSnapshot || FSnapshot->ProgramsState != TReadState::rsLoaded ||
        GetTickCount64() - FLastSnapshot < 1500)
        return false;
    const bool needFeatures = FView == TView::Features || !FAutomation.ReportFile.empty();
    return !needFeatures || (FSnapshot->FeaturesState == TReadState::rsLoaded && !FFeatures.empty());
}

int TMainWindow::ListIndex(const std::wstring& name) const {
    LVFINDINFOW find{LVFI_STRING};
    find.psz = name.c_str();
    return ListView_FindItem(FList, -1, &find);
}

// The programs list and the features tree as the controls hold them (and
// the last Apply's results), then the marker, added to the report file.
void TMainWindow::WriteReport(const wchar_t* marker) {
    std::wstring report;
    for (int i = 0, n = ListView_GetItemCount(FList); i < n; ++i) {
        wchar_t name[260] = {};
        LVITEMW item{LVIF_TEXT | LVIF_IMAGE};
        item.iItem = i;
        item.pszText = name;
        item.cchTextMax = 260;
        ListView_GetItem(FList, &item);
        report += Format(L"program\t%s\t%d\n", name, item.iImage);
    }
    ForEachTreeItem(FTree, [&](HTREEITEM item, int depth) {
        report += Format(L"feature\t%d\t%s\t%d\n", depth, TreeItemText(FTree, item),
                         TreeView_GetCheckState(FTree, item));
    });
    for (const std::wstring& line : FSwitchResults)
        report += L"result\t" + line + L"\n";
    for (const std::wstring& line : FReportLines)
        report += line + L"\n";
    FReportLines.clear();
    report += std::wstring(marker) + L"\n";
    if (FILE* file = _wfopen(FAutomation.ReportFile.c_str(), FReported ? L"ab" : L"wb")) {
        std::string text = Narrow(report);
        fwrite(text.data(), 1, text.size(), file);
        fclose(file);
    }
    FReported = true;
}

// Turns the box of each feature named over, as a person would, applies the
// change and reports the tree once every switch has ended; then turns them
// back the same way.
void TMainWindow::AutomateSwitches(bool timedOut) {
    if (FSwitchPhase != TSwitchPhase::None && !timedOut)
        return;
    if (timedOut)
        return GiveUp();
    if (FSwitchRounds > 0)
        WriteReport(L"switched");
    if (FSwitchRounds == 2)
        return Close(0);
    ++FSwitchRounds;
    const auto& titles = FAutomation.SwitchTitles;
    ForEachTreeItem(FTree, [&](HTREEITEM item, int) {
        if (std::find(titles.begin(), titles.end(), TreeItemText(FTree, item)) != titles.end())
            TreeView_SetCheckState(FTree, item, TreeView_GetCheckState(FTree, item) != 1);
    });
    ApplyFeatures();
}

void TMainWindow::AutomateRemoval(bool timedOut) {
    auto addLines = [this](const wchar_t* kind, const std::vector<std::wstring>& lines) {
        for (const std::wstring& line : lines)
            if (!line.empty())
                FReportLines.push_back(kind + (L"\t" + line));
    };
    switch (FRemovalStep) {
    case TRemovalStep::None: {
        const auto& rows = FSnapshot->Lists[static_cast<int>(TView::Programs)];
        const auto row = std::ranges::find(rows, FAutomation.ForceRemoveName, &TProgramRow::Name);
        FRemovalStep = TRemovalStep::Removing;
        const bool opened =
            row != rows.end() && OpenRemovalWindow(FWindow, *row->Product, row->Name,
                                                   [this, addLines](const std::vector<std::wstring>& lines) {
                                                       addLines(L"removal", lines);
                                                       FRemovalStep = TRemovalStep::Removed;
                                                   });
        if (!opened) {
            WriteReport(L"no forced removal");
            Close(2);
        }
        return;
    }
    case TRemovalStep::Removed:
        FRemovalStep = TRemovalStep::Restoring;
        OpenBackupsWindow(FWindow, [this, addLines](const std::wstring& report) {
            addLines(L"restore", SplitLines(report));
            FRemovalStep = TRemovalStep::Restored;
        });
        return;
    case TRemovalStep::Restored:
        WriteReport(L"restored");
        return Close(0);
    default:
        if (timedOut)
            GiveUp();
    }
}

void TMainWindow::AutomateActions(bool timedOut) {
    const auto& actions = FAutomation.Actions;
    if (FActionsStarted > 0 && ListIndex(actions[FActionsStarted - 1].second) >= 0) {
        if (timedOut)
            GiveUp();
        return;
    }
    if (FActionsStarted > 0)
        WriteReport(L"gone");
    if (FActionsStarted == actions.size())
        return Close(0);
    const auto& [action, name] = actions[FActionsStarted++];
    const int item = ListIndex(name);
    if (item < 0) {
        WriteReport(L"not listed");
        return Close(2);
    }
    ListView_SetItemState(FList, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    RunAction(action == L"forget" ? IDM_FORGET : IDM_UNINSTALL);
}

void TMainWindow::CheckAutomation() {
    const bool timedOut = GetTickCount64() - FStarted > 120000;
    if (!FullyRead()) {
        if (timedOut)
            GiveUp();
        return;
    }
    if (!FAutomation.ScreenshotFile.empty()) {
        // The picture shows the first program's details.
        if (FView != TView::Features && ListView_GetNextItem(FList, -1, LVNI_SELECTED) < 0)
            ListView_SetItemState(FList, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        RedrawWindow(FWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        std::wstring error;
        if (!WriteWindowPng(FWindow, FAutomation.ScreenshotFile, error)) {
            MessageBoxW(nullptr, error.c_str(), L"velmora-gui", MB_OK);
            return Close(1);
        }
        return Close(0);
    }
    if (!FReported)
        WriteReport(L"ready");
    if (!FAutomation.SwitchTitles.empty())
        return AutomateSwitches(timedOut);
    if (!FAutomation.ForceRemoveName.empty())
        return AutomateRemoval(timedOut);
    if (!FAutomation.Actions.empty())
        return AutomateActions(timedOut);
    if (FAutomation.ExpectName.empty())
        return Close(0);
    if (ListIndex(FAutomation.ExpectName) >= 0) {
        WriteReport(L"appeared");
        return Close(0);
    }
    if (timedOut)
        GiveUp();
}

// Past the time allowed: what the controls hold is reported as it stands.
void TMainWindow::GiveUp() {
    if (!FAutomation.ReportFile.empty())
        WriteReport(L"timeout");
    Close(2);
}

void TMainWindow::Close(int exitCode) {
    FExitCode = exitCode;
    KillTimer(FWindow, kAutomationTimer);
    PostMessageW(FWindow, WM_CLOSE, 0, 0);
}

} // namespace velmora::gui
