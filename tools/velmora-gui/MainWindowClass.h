#pragma once
// The main window's class, whose units are the window itself
// (MainWindow.win.cpp) and what it does on its own for the self-test and the
// screenshot (MainWindowAutomation.win.cpp).
#include "tools/velmora-gui/MainWindow.h"
#include "tools/velmora-gui/WindowParts.h"

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velmora::gui {

constexpr UINT WM_SNAPSHOT = WM_APP + 1;
// wParam 0: an error to show, 1: a yes/no question; lParam: TQuestion*.
constexpr UINT WM_CALLBACK = WM_APP + 2;
constexpr UINT_PTR kAutomationTimer = 1;
constexpr UINT_PTR kSwitchTimer = 2;

enum : int {
    IDC_TABS = 100,
    IDC_FILTER_LABEL,
    IDC_FILTER,
    IDC_APPLY,
    IDC_LIST,
    IDC_TREE,
    IDC_DETAIL_ICON,
    IDC_DETAILS,
    IDC_STATUS,
    IDM_VIEW = 200, // + TView
    IDM_REFRESH = 210,
    IDM_FIND,
    IDM_LARGE_ICONS,
    IDM_EXIT,
    IDM_UNINSTALL,
    IDM_MODIFY,
    IDM_REPAIR,
    IDM_FORGET,
    IDM_FORCE_REMOVE,
    IDM_BACKUPS,
};

enum TColumn {
    colName,
    colPublisher,
    colVersion,
    colKind,
    colSize,
    colInstalled,
    colLastUsed,
    colUsage,
    colCount
};

class TMainWindow {
public:
    TMainWindow(IVelmora& root, TView view, const TAutomation& automation)
        : FRoot(root), FView(view), FAutomation(automation) {}
    int Run();

private:
    friend LRESULT CALLBACK ObjectWindowProc<TMainWindow, false>(HWND, UINT, WPARAM, LPARAM);
    void Attach(HWND window) { FWindow = window; }
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateChildren();
    // Column widths and layout at the window's scale.
    void ApplyScale();
    void Layout();
    void SetView(TView view);
    void OnSnapshot(std::unique_ptr<TSnapshot> snapshot);
    void FillList();
    void FillTree();
    void ShowDetails();
    void ShowStatus();
    const TProgramRow* SelectedRow() const;
    void RunAction(int command);
    void ApplyFeatures();
    // Starts the first pending switch whose feature is still listed.
    void StartNextSwitch();
    void FollowSwitch();
    void OnNotify(const NMHDR& header, LRESULT& result);
    void CheckAutomation();
    bool FullyRead() const;
    // The list item of the program of that name; -1 when none is.
    int ListIndex(const std::wstring& name) const;
    void WriteReport(const wchar_t* marker);
    void AutomateSwitches(bool timedOut);
    void AutomateRemoval(bool timedOut);
    void AutomateActions(bool timedOut);
    void GiveUp();
    void Close(int exitCode);

    IVelmora& FRoot;
    TView FView;
    TAutomation FAutomation;
    HWND FWindow = nullptr, FTabs = nullptr, FFilterLabel = nullptr, FFilter = nullptr, FApply = nullptr,
         FList = nullptr, FTree = nullptr, FIcon = nullptr, FDetails = nullptr, FStatus = nullptr;
    HMENU FProgramMenu = nullptr;
    HICON FDetailIcon = nullptr;
    TWindowScale FScale;
    std::unique_ptr<TWatcher> FWatcher;
    TComPtr<IErrorCallback> FCallbacks;
    std::unique_ptr<TSnapshot> FSnapshot;
    // The rows of the tree as last read; the tree items point into them.
    std::vector<TFeatureRow> FFeatures;
    uint64_t FTreeStamp = ~0ull;
    std::vector<int> FShown; // list item -> row of the current view
    int FSortColumn = colName;
    bool FSortUp = true;
    bool FLargeIcons = false;
    std::wstring FActionText;
    // A feature switch: running, then the tree read again, then its result.
    enum class TSwitchPhase { None, Running, Rereading } FSwitchPhase = TSwitchPhase::None;
    std::wstring FSwitchName;
    std::wstring FSwitchTitle; // as the tree shows it
    // The switches an Apply asked for and not yet started, and the results so far.
    std::deque<std::pair<std::wstring, bool>> FPendingSwitches;
    std::vector<std::wstring> FSwitchResults;
    bool FSwitchAllDone = true;
    bool FSwitchEnable = false, FSwitchSeen = false, FSwitchReadSeen = false, FSwitchRefreshed = false;
    ULONGLONG FSwitchStarted = 0, FSwitchEnded = 0;
    uint64_t FSwitchStamp = 0;
    HWND FProgress = nullptr;
    ULONGLONG FStarted = GetTickCount64();
    ULONGLONG FLastSnapshot = 0;
    bool FReported = false;
    int FSwitchRounds = 0; // of the automation's Apply
    enum class TRemovalStep {
        None,
        Removing,
        Removed,
        Restoring,
        Restored
    } FRemovalStep = TRemovalStep::None;
    std::vector<std::wstring> FReportLines; // the next report's, besides the list and the tree
    size_t FActionsStarted = 0;             // of the automation's
    int FExitCode = 0;
};

} // namespace velmora::gui
