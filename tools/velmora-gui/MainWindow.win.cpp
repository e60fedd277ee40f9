#include "tools/velmora-gui/MainWindowClass.h"

#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "tools/velmora-gui/BackupsWindow.h"
#include "tools/velmora-gui/RemovalWindow.h"
#include "tools/velmora-gui/Screenshot.h"
#include "tools/velmora-gui/WindowParts.h"
#include "tools/velmora/ProductFields.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <functional>

namespace velmora::gui {

namespace {

struct TQuestion {
    const wchar_t* Text;
    const wchar_t* Caption;
    bool Answer = false;
};

// The library's errors and questions, asked on the window's thread; the
// library's thread waits for the answer. Once the window closes, questions
// are answered no without asking and errors are dropped: the window's
// thread then waits for the library and must not be waited for.
class TWindowCallbacks : public TInterfacedObject<IErrorCallback, IQuestionCallback> {
public:
    explicit TWindowCallbacks(HWND window) : FWindow(window) {}
    void STDMETHODCALLTYPE ShowError(LPCWSTR Text) override {
        TQuestion question{Text, L"VelmoraHelper"};
        Send(0, question);
    }
    bool STDMETHODCALLTYPE AskYesNo(LPCWSTR Text, LPCWSTR Caption) override {
        TQuestion question{Text, Caption};
        Send(1, question);
        return question.Answer;
    }
    // On the window's thread: no question is sent after this returns, and
    // one on its way meanwhile is answered (no, as the window is closed).
    void Close() {
        FClosed = true;
        while (FSending > 0) {
            MSG sent;
            PeekMessageW(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        }
    }
    bool Closed() const { return FClosed; }

private:
    void Send(WPARAM kind, TQuestion& question) {
        ++FSending;
        if (!FClosed)
            SendMessageW(FWindow, WM_CALLBACK, kind, reinterpret_cast<LPARAM>(&question));
        --FSending;
    }

    HWND FWindow;
    std::atomic<bool> FClosed{false};
    std::atomic<int> FSending{0};
};

constexpr const wchar_t* kViewNames[] = {L"Installed programs", L"Updates", L"Rarely used programs",
                                         L"Windows features"};
constexpr const wchar_t* kUsageNames[] = {L"not recorded", L"rarely used", L"occasionally used",
                                          L"frequently used"};

std::wstring LocalDate(double date) {
    SYSTEMTIME time{};
    if (date <= 0 || !VariantTimeToSystemTime(date, &time))
        return {};
    wchar_t text[80] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, 80, nullptr);
    return text;
}

std::wstring LocalSize(int64_t bytes) {
    wchar_t text[64] = {};
    return bytes > 0 && StrFormatByteSizeW(bytes, text, 64) ? std::wstring(text) : std::wstring();
}

std::wstring KindText(const TProgramRow& row) {
    return row.StoreApp ? L"Store app" : row.SystemComponent ? L"Not removable" : L"";
}

std::wstring CellText(const TProgramRow& row, int column) {
    switch (column) {
    case colName:
        return row.Name;
    case colPublisher:
        return row.Publisher;
    case colVersion:
        return row.Version;
    case colKind:
        return KindText(row);
    case colSize:
        return LocalSize(row.Size);
    case colInstalled:
        return LocalDate(row.Installed);
    case colLastUsed:
        return LocalDate(row.LastUsed);
    case colUsage:
        return row.UsedType >= 0 && row.UsedType < 4 ? kUsageNames[row.UsedType] : L"";
    }
    return {};
}

// Text columns in the user's collation; sizes, dates and usage by value.
int CompareRows(const TProgramRow& a, const TProgramRow& b, int column) {
    auto order = [](auto x, auto y) { return x < y ? -1 : y < x ? 1 : 0; };
    switch (column) {
    case colSize:
        return order(a.Size, b.Size);
    case colInstalled:
        return order(a.Installed, b.Installed);
    case colLastUsed:
        return order(a.LastUsed, b.LastUsed);
    case colUsage:
        return order(a.UsedType, b.UsedType);
    default: {
        std::wstring x = CellText(a, column), y = CellText(b, column);
        return CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, x.c_str(), -1, y.c_str(), -1,
                               nullptr, nullptr, 0) -
               CSTR_EQUAL;
    }
    }
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return part.empty() ||
           FindNLSStringEx(LOCALE_NAME_USER_DEFAULT, FIND_FROMSTART | LINGUISTIC_IGNORECASE, text.c_str(), -1,
                           part.c_str(), -1, nullptr, nullptr, nullptr, 0) >= 0;
}

std::wstring DetailText(const cli::TValue& value) {
    if (auto* date = std::get_if<double>(&value))
        return LocalDate(*date);
    if (auto* size = std::get_if<cli::TSize>(&value))
        return LocalSize(size->Bytes);
    return cli::ValueText(value);
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The feature of that name anywhere in the tree; nullptr when none is.
const TFeatureRow* FindFeature(const std::vector<TFeatureRow>& rows, const std::wstring& name) {
    for (const TFeatureRow& row : rows)
        if (row.Name == name)
            return &row;
        else if (const TFeatureRow* found = FindFeature(row.Children, name))
            return found;
    return nullptr;
}

} // namespace

int TMainWindow::Run() {
    const HINSTANCE instance = RegisterWindowClass(L"VelmoraGuiMain", ObjectWindowProc<TMainWindow, false>,
                                                   LoadIconW(nullptr, IDI_APPLICATION));

    HMENU menu = CreateMenu(), file = CreatePopupMenu(), view = CreatePopupMenu();
    FProgramMenu = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, IDM_REFRESH, L"&Refresh\tF5");
    AppendMenuW(file, MF_STRING, IDM_BACKUPS, L"&Backup sets...");
    AppendMenuW(file, MF_STRING, IDM_EXIT, L"E&xit\tAlt+F4");
    for (int i = 0; i < 4; ++i)
        AppendMenuW(view, MF_STRING, IDM_VIEW + i, Format(L"%s\tCtrl+%d", kViewNames[i], i + 1).c_str());
    AppendMenuW(view, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(view, MF_STRING, IDM_LARGE_ICONS, L"&Large icons\tCtrl+L");
    AppendMenuW(view, MF_STRING, IDM_FIND, L"&Filter\tCtrl+F");
    AppendMenuW(FProgramMenu, MF_STRING, IDM_UNINSTALL, L"&Uninstall\tDel");
    AppendMenuW(FProgramMenu, MF_STRING, IDM_MODIFY, L"&Modify");
    AppendMenuW(FProgramMenu, MF_STRING, IDM_REPAIR, L"Re&pair");
    AppendMenuW(FProgramMenu, MF_STRING, IDM_FORGET, L"Remove from the &list");
    AppendMenuW(FProgramMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(FProgramMenu, MF_STRING, IDM_FORCE_REMOVE, L"&Forced removal...");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&View");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(FProgramMenu), L"&Program");

    ACCEL keys[] = {{FVIRTKEY, VK_F5, IDM_REFRESH},
                    {FVIRTKEY | FCONTROL, 'F', IDM_FIND},
                    {FVIRTKEY | FCONTROL, 'L', IDM_LARGE_ICONS},
                    {FVIRTKEY | FCONTROL, '1', IDM_VIEW + 0},
                    {FVIRTKEY | FCONTROL, '2', IDM_VIEW + 1},
                    {FVIRTKEY | FCONTROL, '3', IDM_VIEW + 2},
                    {FVIRTKEY | FCONTROL, '4', IDM_VIEW + 3}};
    HACCEL accelerators = CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));

    FWindow = CreateWindowExW(WS_EX_CONTROLPARENT, L"VelmoraGuiMain", L"Velmora", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 1000, 640, nullptr, menu, instance, this);
    if (!FWindow)
        return 1;
    FScale.Apply(FWindow);
    ApplyScale();
    SetWindowPos(FWindow, nullptr, 0, 0, FScale(1000), FScale(640), SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(FWindow, SW_SHOWNORMAL);
    SetForegroundWindow(FWindow);
    if (!FAutomation.ScreenshotFile.empty() || !FAutomation.ReportFile.empty())
        SetTimer(FWindow, kAutomationTimer, 200, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Keys move between the controls of the window they were typed in;
        // the accelerators are the main window's.
        HWND top = GetAncestor(message.hwnd, GA_ROOT);
        if (top == FWindow && TranslateAcceleratorW(FWindow, accelerators, &message))
            continue;
        if (top && IsDialogMessageW(top, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyAcceleratorTable(accelerators);
    return FExitCode;
}

void TMainWindow::CreateChildren() {
    auto child = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        return CreateControl(FWindow, nullptr, exStyle, cls, text, style, id);
    };
    FTabs = child(0, WC_TABCONTROLW, L"", WS_TABSTOP | TCS_FOCUSONBUTTONDOWN, IDC_TABS);
    for (int i = 0; i < 4; ++i) {
        TCITEMW item{TCIF_TEXT};
        item.pszText = const_cast<wchar_t*>(kViewNames[i]);
        TabCtrl_InsertItem(FTabs, i, &item);
    }
    FFilterLabel = child(0, WC_STATICW, L"Fil&ter:", SS_CENTERIMAGE, IDC_FILTER_LABEL);
    FFilter = child(WS_EX_CLIENTEDGE, WC_EDITW, L"", WS_TABSTOP | ES_AUTOHSCROLL, IDC_FILTER);
    FApply = child(0, WC_BUTTONW, L"&Apply changes", WS_TABSTOP | BS_PUSHBUTTON, IDC_APPLY);
    // The image lists belong to the library: the list view must not destroy them.
    FList =
        child(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
              WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | LVS_SHAREIMAGELISTS, IDC_LIST);
    ListView_SetExtendedListViewStyle(FList,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_HEADERDRAGDROP);
    FTree = child(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                  WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, IDC_TREE);
    SetWindowLongPtrW(FTree, GWL_STYLE, GetWindowLongPtrW(FTree, GWL_STYLE) | TVS_CHECKBOXES);
    FIcon = child(0, WC_STATICW, L"", SS_ICON | SS_CENTERIMAGE, IDC_DETAIL_ICON);
    FDetails = child(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                     WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, IDC_DETAILS);
    FStatus = child(0, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, IDC_STATUS);
    // The status bar's progress: a read or a feature switch is running.
    FProgress = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_MARQUEE, 0, 0, 10, 10, FStatus,
                                nullptr, GetModuleHandleW(nullptr), nullptr);

    const wchar_t* titles[colCount] = {L"Name", L"Publisher", L"Version",   L"Type",
                                       L"Size", L"Installed", L"Last used", L"Usage"};
    for (int i = 0; i < colCount; ++i) {
        LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH | LVCF_FMT};
        column.pszText = const_cast<wchar_t*>(titles[i]);
        column.fmt = i == colSize ? LVCFMT_RIGHT : LVCFMT_LEFT;
        ListView_InsertColumn(FList, i, &column);
    }
}

void TMainWindow::ApplyScale() {
    const int widths[colCount] = {165, 115, 55, 65, 75, 72, 72, 100};
    for (int i = 0; i < colCount; ++i)
        ListView_SetColumnWidth(FList, i, FScale(widths[i]));
    Layout();
}

void TMainWindow::Layout() {
    RECT client{};
    GetClientRect(FWindow, &client);
    SendMessageW(FStatus, WM_SIZE, 0, 0);
    RECT status{};
    GetWindowRect(FStatus, &status);
    int parts[] = {std::max(0, static_cast<int>(client.right) - FScale(180)), -1};
    SendMessageW(FStatus, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    RECT part{};
    SendMessageW(FStatus, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
    MoveWindow(FProgress, part.left + 2, part.top + 2, part.right - part.left - FScale(20),
               part.bottom - part.top - 4, TRUE);
    const int width = client.right, bottom = client.bottom - (status.bottom - status.top);
    const int margin = FScale(6), row = FScale(24), tabs = FScale(26);
    MoveWindow(FTabs, margin, margin, width - 2 * margin, tabs, TRUE);
    int y = margin + tabs + margin;
    MoveWindow(FFilterLabel, margin, y, FScale(40), row, TRUE);
    MoveWindow(FFilter, margin + FScale(44), y, FScale(260), row, TRUE);
    MoveWindow(FApply, width - margin - FScale(130), y, FScale(130), row, TRUE);
    y += row + margin;
    const int height = std::max(0, bottom - y - margin);
    const int detailsWidth = std::max(FScale(220), width / 4);
    const int listWidth = std::max(0, width - detailsWidth - 3 * margin);
    MoveWindow(FList, margin, y, listWidth, height, TRUE);
    MoveWindow(FTree, margin, y, listWidth, height, TRUE);
    const int x = margin * 2 + listWidth, icon = FScale(40);
    MoveWindow(FIcon, x, y, icon, icon, TRUE);
    MoveWindow(FDetails, x, y + icon + margin, detailsWidth, std::max(0, height - icon - margin), TRUE);
}

void TMainWindow::SetView(TView view) {
    FView = view;
    TabCtrl_SetCurSel(FTabs, static_cast<int>(view));
    const bool features = view == TView::Features;
    ShowWindow(FList, features ? SW_HIDE : SW_SHOW);
    ShowWindow(FTree, features ? SW_SHOW : SW_HIDE);
    ShowWindow(FApply, features ? SW_SHOW : SW_HIDE);
    EnableWindow(FFilter, !features);
    EnableMenuItem(GetMenu(FWindow), 2, MF_BYPOSITION | (features ? MF_GRAYED : MF_ENABLED));
    DrawMenuBar(FWindow);
    for (int i = 0; i < 4; ++i)
        CheckMenuItem(GetMenu(FWindow), IDM_VIEW + i,
                      i == static_cast<int>(view) ? MF_CHECKED : MF_UNCHECKED);
    // An update's publisher column names its program, its version its update ID.
    const bool updates = view == TView::Updates;
    for (auto [column, title] : {std::pair{colPublisher, updates ? L"Program" : L"Publisher"},
                                 std::pair{colVersion, updates ? L"Update ID" : L"Version"}}) {
        LVCOLUMNW header{LVCF_TEXT};
        header.pszText = const_cast<wchar_t*>(title);
        ListView_SetColumn(FList, column, &header);
    }
    FillList();
    ShowDetails();
    ShowStatus();
}

void TMainWindow::OnSnapshot(std::unique_ptr<TSnapshot> snapshot) {
    const bool listChanged =
        !FSnapshot || FView == TView::Features ||
        FSnapshot->Lists[static_cast<int>(FView)] != snapshot->Lists[static_cast<int>(FView)] ||
        FSnapshot->SmallImages != snapshot->SmallImages;
    FSnapshot = std::move(snapshot);
    FLastSnapshot = GetTickCount64();
    if (listChanged)
        FillList();
    if (FSnapshot->FeatureStamp != FTreeStamp || FSnapshot->FeaturesState != TReadState::rsLoaded) {
        FFeatures = FSnapshot->Features;
        FTreeStamp = FSnapshot->FeatureStamp;
        FillTree();
    }
    FollowSwitch();
    ShowStatus();
}

// The switch has ended once the library says so (or, when it never said it
// ran, after a while); its result is read from the tree read after it. A
// change made while the switch ran may go unreported: without a new read
// after three seconds, one is started here.
void TMainWindow::FollowSwitch() {
    const ULONGLONG now = GetTickCount64();
    const TSnapshot& snapshot = *FSnapshot;
    if (FSwitchPhase == TSwitchPhase::Running) {
        FSwitchSeen = FSwitchSeen || snapshot.FeatureSwitch != TInstallState::isNone;
        if (snapshot.FeatureSwitch == TInstallState::isNone && (FSwitchSeen || now - FSwitchStarted > 2000)) {
            FSwitchPhase = TSwitchPhase::Rereading;
            FSwitchEnded = now;
            FSwitchStamp = snapshot.FeatureStamp;
            FSwitchReadSeen = false;
        }
    }
    if (FSwitchPhase != TSwitchPhase::Rereading)
        return;
    FSwitchReadSeen = FSwitchReadSeen || snapshot.FeatureStamp != FSwitchStamp ||
                      snapshot.FeaturesState == TReadState::rsLoading;
    IFeatures* features = FWatcher ? FWatcher->Features() : nullptr;
    if (!FSwitchReadSeen && !FSwitchRefreshed && now - FSwitchEnded > 3000 && features) {
        features->Refresh();
        FSwitchRefreshed = true;
    }
    if (!FSwitchReadSeen || snapshot.FeaturesState != TReadState::rsLoaded)
        return;
    const TFeatureRow* row = FindFeature(FFeatures, FSwitchName);
    const bool done = row && row->Enabled == FSwitchEnable;
    if (!done && !FSwitchRefreshed && features) {
        // The read that followed may have been one of the store apps alone
        // (their collection changed meanwhile): a full one tells for sure.
        features->Refresh();
        FSwitchRefreshed = true;
        FSwitchReadSeen = false;
        FSwitchStamp = snapshot.FeatureStamp;
        return;
    }
    FSwitchResults.push_back(
        !row   ? Format(L"%s is no longer listed.", FSwitchTitle)
        : done ? Format(L"%s is now %s.", FSwitchTitle, FSwitchEnable ? L"enabled" : L"disabled")
               : Format(L"%s is still %s.", FSwitchTitle, row->Enabled ? L"enabled" : L"disabled"));
    FSwitchAllDone = FSwitchAllDone && done;
    FSwitchPhase = TSwitchPhase::None;
    FSwitchName.clear();
    KillTimer(FWindow, kSwitchTimer);
    StartNextSwitch();
    if (FSwitchPhase != TSwitchPhase::None) {
        ShowStatus();
        return;
    }
    std::wstring results;
    for (const std::wstring& line : FSwitchResults)
        results += (results.empty() ? L"" : L"\n") + line;
    FActionText = FSwitchResults.back();
    ShowStatus();
    if (FAutomation.ScreenshotFile.empty() && FAutomation.ReportFile.empty())
        MessageBoxW(FWindow, results.c_str(), L"Windows features",
                    MB_OK | (FSwitchAllDone ? MB_ICONINFORMATION : MB_ICONWARNING));
    FSwitchAllDone = true;
}

void TMainWindow::FillList() {
    if (FView == TView::Features || !FSnapshot)
        return;
    const int view = static_cast<int>(FView);
    const std::vector<TProgramRow>& rows = FSnapshot->Lists[view];
    std::wstring selected;
    if (const TProgramRow* row = SelectedRow())
        selected = row->Name;
    ListView_SetImageList(FList, FSnapshot->SmallImages[view], LVSIL_SMALL);
    ListView_SetImageList(FList, FSnapshot->LargeImages[view], LVSIL_NORMAL);

    const std::wstring filter = WindowText(FFilter);
    FShown.clear();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const TProgramRow& row = rows[static_cast<size_t>(i)];
        if (Contains(row.Name, filter) || Contains(row.Publisher, filter))
            FShown.push_back(i);
    }
    std::stable_sort(FShown.begin(), FShown.end(), [&](int a, int b) {
        int order = CompareRows(rows[static_cast<size_t>(a)], rows[static_cast<size_t>(b)], FSortColumn);
        return FSortUp ? order < 0 : order > 0;
    });

    SendMessageW(FList, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(FList);
    for (int i = 0; i < static_cast<int>(FShown.size()); ++i) {
        const TProgramRow& row = rows[static_cast<size_t>(FShown[static_cast<size_t>(i)])];
        std::wstring name = row.Name;
        LVITEMW item{LVIF_TEXT | LVIF_IMAGE};
        item.iItem = i;
        item.pszText = name.data();
        item.iImage = row.Image;
        ListView_InsertItem(FList, &item);
        for (int column = 1; column < colCount; ++column) {
            std::wstring text = CellText(row, column);
            ListView_SetItemText(FList, i, column, text.data());
        }
        if (!selected.empty() && row.Name == selected)
            ListView_SetItemState(FList, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    SendMessageW(FList, WM_SETREDRAW, TRUE, 0);
    HWND header = ListView_GetHeader(FList);
    for (int column = 0; column < colCount; ++column) {
        HDITEMW item{HDI_FORMAT};
        Header_GetItem(header, column, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == FSortColumn)
            item.fmt |= FSortUp ? HDF_SORTUP : HDF_SORTDOWN;
        Header_SetItem(header, column, &item);
    }
    ShowDetails();
}

void TMainWindow::FillTree() {
    SendMessageW(FTree, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteAllItems(FTree);
    std::function<void(std::vector<TFeatureRow>&, HTREEITEM)> add = [&](std::vector<TFeatureRow>& rows,
                                                                        HTREEITEM parent) {
        for (TFeatureRow& row : rows) {
            TVINSERTSTRUCTW insert{};
            insert.hParent = parent;
            insert.hInsertAfter = TVI_LAST;
            insert.item.mask = TVIF_TEXT | TVIF_PARAM;
            std::wstring text = row.Title.empty() ? row.Name : row.Title;
            insert.item.pszText = text.data();
            insert.item.lParam = reinterpret_cast<LPARAM>(&row);
            HTREEITEM item = TreeView_InsertItem(FTree, &insert);
            TreeView_SetCheckState(FTree, item, row.Enabled);
            add(row.Children, item);
            if (!row.Children.empty())
                TreeView_Expand(FTree, item, TVE_EXPAND);
        }
    };
    add(FFeatures, TVI_ROOT);
    SendMessageW(FTree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FTree, nullptr, TRUE);
}

const TProgramRow* TMainWindow::SelectedRow() const {
    if (!FSnapshot || FView == TView::Features)
        return nullptr;
    const int item = ListView_GetNextItem(FList, -1, LVNI_SELECTED);
    if (item < 0 || item >= static_cast<int>(FShown.size()))
        return nullptr;
    return &FSnapshot->Lists[static_cast<int>(FView)][static_cast<size_t>(FShown[static_cast<size_t>(item)])];
}

void TMainWindow::ShowDetails() {
    const TProgramRow* row = SelectedRow();
    std::wstring text;
    HICON icon = nullptr;
    if (row) {
        cli::TRecord record = cli::ReadRecord(*row->Product, FSnapshot->InfoMasks[static_cast<int>(FView)]);
        for (const cli::TField& field : record)
            if (std::wstring value = DetailText(field.Value); !value.empty())
                text += field.Title + L": " + value + L"\r\n";
        std::wstring actions;
        for (const std::wstring& name : cli::ActionNames(row->Actions))
            actions += (actions.empty() ? L"" : L", ") + name;
        text += L"Possible actions: " + (actions.empty() ? std::wstring(L"none") : actions) + L"\r\n";
        if (!KindText(*row).empty())
            text += L"Type: " + KindText(*row) + L"\r\n";
        if (row->Image >= 0)
            icon = ImageList_GetIcon(FSnapshot->LargeImages[static_cast<int>(FView)], row->Image, ILD_NORMAL);
    }
    SetWindowTextW(FDetails, text.c_str());
    SendMessageW(FIcon, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    if (FDetailIcon)
        DestroyIcon(FDetailIcon);
    FDetailIcon = icon;
    const TPossibleActionsSet actions = row ? row->Actions : 0;
    auto offers = [&](TPossibleActions a) { return (actions & ActionBit(a)) != 0; };
    auto enable = [&](int command, bool on) {
        EnableMenuItem(FProgramMenu, command, on ? MF_ENABLED : MF_GRAYED);
    };
    enable(IDM_UNINSTALL, offers(TPossibleActions::paUninstall) || offers(TPossibleActions::paModifyRemove));
    enable(IDM_MODIFY, offers(TPossibleActions::paModify) || offers(TPossibleActions::paModifyRemove));
    enable(IDM_REPAIR, offers(TPossibleActions::paRepair));
    enable(IDM_FORGET, offers(TPossibleActions::paRemoveFromRegistry));
    enable(IDM_FORCE_REMOVE, row != nullptr);
}

void TMainWindow::ShowStatus() {
    if (!FSnapshot)
        return SendMessageW(FStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L"Starting...")), void();
    std::wstring text;
    if (FView == TView::Features) {
        text = FSwitchPhase != TSwitchPhase::None
                   ? Format(L"%s %s... %d s", FSwitchEnable ? L"Enabling" : L"Disabling", FSwitchTitle,
                            static_cast<int64_t>((GetTickCount64() - FSwitchStarted) / 1000))
               : FSnapshot->FeaturesState != TReadState::rsLoaded
                   ? std::wstring(L"Reading Windows features...")
                   : Format(L"%d features", FFeatures.size());
    } else {
        const size_t count = FSnapshot->Lists[static_cast<int>(FView)].size();
        text = FSnapshot->ProgramsState != TReadState::rsLoaded
                   ? Format(L"Reading installed programs... %d", FSnapshot->Lists[0].size())
                   : Format(L"%d of %d shown", FShown.size(), count);
    }
    if (!FActionText.empty() && FSwitchPhase == TSwitchPhase::None)
        text += L"    " + FActionText;
    const bool busy = FSwitchPhase != TSwitchPhase::None ||
                      (FView == TView::Features ? FSnapshot->FeaturesState : FSnapshot->ProgramsState) !=
                          TReadState::rsLoaded;
    ShowWindow(FProgress, busy ? SW_SHOW : SW_HIDE);
    SendMessageW(FProgress, PBM_SETMARQUEE, busy, 50);
    SendMessageW(FStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TMainWindow::RunAction(int command) {
    const TProgramRow* row = SelectedRow();
    if (!row)
        return;
    const TPossibleActionsSet offered = row->Actions;
    TPossibleActions action = command == IDM_MODIFY   ? TPossibleActions::paModify
                              : command == IDM_REPAIR ? TPossibleActions::paRepair
                              : command == IDM_FORGET ? TPossibleActions::paRemoveFromRegistry
                                                      : TPossibleActions::paUninstall;
    // One command that both modifies and removes serves both.
    if (!(offered & ActionBit(action)) && (offered & ActionBit(TPossibleActions::paModifyRemove)) &&
        (action == TPossibleActions::paUninstall || action == TPossibleActions::paModify))
        action = TPossibleActions::paModifyRemove;
    if (!(offered & ActionBit(action)))
        return;
    if (action == TPossibleActions::paRemoveFromRegistry && FAutomation.ReportFile.empty() &&
        MessageBoxW(FWindow, Format(L"Remove \"%s\" from the list of installed programs?", row->Name).c_str(),
                    L"Velmora", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    TPossibleActions running = action;
    HWND top = nullptr;
    if (!row->Product->RunAction(&running, &top)) {
        MessageBoxW(FWindow, Format(L"Another action is already running on \"%s\".", row->Name).c_str(),
                    L"Velmora", MB_OK | MB_ICONWARNING);
        return;
    }
    FActionText = Format(L"Started %s of %s.", cli::ActionNames(ActionBit(action)).front(), row->Name);
    ShowStatus();
}

void TMainWindow::ApplyFeatures() {
    if (!FWatcher || !FWatcher->Features() || FSwitchPhase != TSwitchPhase::None)
        return;
    // Every feature whose box differs from its state, switched one at a time.
    FPendingSwitches.clear();
    FSwitchResults.clear();
    ForEachTreeItem(FTree, [&](HTREEITEM item, int) {
        TVITEMW data{TVIF_PARAM};
        data.hItem = item;
        TreeView_GetItem(FTree, &data);
        const auto* row = reinterpret_cast<const TFeatureRow*>(data.lParam);
        const bool checked = TreeView_GetCheckState(FTree, item) == 1;
        if (row && checked != row->Enabled)
            FPendingSwitches.emplace_back(row->Name, checked);
    });
    if (FPendingSwitches.empty())
        FActionText = L"Nothing to change.";
    else
        StartNextSwitch();
    if (FSwitchPhase == TSwitchPhase::None && !FSwitchResults.empty())
        FActionText = FSwitchResults.back();
    ShowStatus();
}

void TMainWindow::StartNextSwitch() {
    IFeatures* features = FWatcher->Features();
    while (!FPendingSwitches.empty()) {
        auto [name, enable] = FPendingSwitches.front();
        FPendingSwitches.pop_front();
        const TFeatureRow* row = FindFeature(FFeatures, name);
        if (!row) {
            FSwitchResults.push_back(Format(L"%s is no longer listed.", name));
            continue;
        }
        FSwitchName = name;
        FSwitchTitle = row->Title.empty() ? name : row->Title;
        FSwitchEnable = enable;
        FSwitchSeen = false;
        FSwitchRefreshed = false;
        FSwitchPhase = TSwitchPhase::Running;
        FSwitchStarted = GetTickCount64();
        FActionText = Format(L"%s %s...", enable ? L"Enabling" : L"Disabling", FSwitchTitle);
        SetTimer(FWindow, kSwitchTimer, 500, nullptr);
        if (enable)
            features->InstallFeature(row->Feature.get());
        else
            features->UninstallFeature(row->Feature.get());
        return;
    }
}

void TMainWindow::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.idFrom == IDC_TABS && header.code == TCN_SELCHANGE) {
        SetView(static_cast<TView>(TabCtrl_GetCurSel(FTabs)));
    } else if (header.idFrom == IDC_LIST && header.code == LVN_COLUMNCLICK) {
        const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
        FSortUp = column == FSortColumn ? !FSortUp : true;
        FSortColumn = column;
        FillList();
    } else if (header.idFrom == IDC_LIST && header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED))
            ShowDetails();
    } else if (header.idFrom == IDC_LIST && header.code == NM_RCLICK) {
        POINT point;
        GetCursorPos(&point);
        TrackPopupMenu(FProgramMenu, TPM_RIGHTBUTTON, point.x, point.y, 0, FWindow, nullptr);
    } else if (header.idFrom == IDC_LIST && header.code == LVN_KEYDOWN &&
               reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
        RunAction(IDM_UNINSTALL);
    } else if (header.idFrom == IDC_LIST && header.code == LVN_KEYDOWN &&
               reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_APPS) {
        RECT rect{};
        ListView_GetItemRect(FList, std::max(0, ListView_GetNextItem(FList, -1, LVNI_SELECTED)), &rect,
                             LVIR_LABEL);
        MapWindowPoints(FList, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        TrackPopupMenu(FProgramMenu, 0, rect.left, rect.bottom, 0, FWindow, nullptr);
    }
    (void)result;
}

LRESULT TMainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateChildren();
        FCallbacks = MakeCom<TWindowCallbacks, IErrorCallback>(FWindow);
        FRoot.SetErrorCallback(FCallbacks.get());
        FRoot.SetQuestionCallback(static_cast<TWindowCallbacks*>(FCallbacks.get()));
        FWatcher = std::make_unique<TWatcher>(FRoot, FWindow, WM_SNAPSHOT);
        SetView(FView);
        return 0;
    case WM_SIZE:
        Layout();
        return 0;
    case kDpiChangedMessage:
        FScale.Follow(FWindow, wParam, lParam);
        ApplyScale();
        return 0;
    case WM_SNAPSHOT:
        OnSnapshot(std::unique_ptr<TSnapshot>(reinterpret_cast<TSnapshot*>(lParam)));
        return 0;
    case WM_CALLBACK: {
        auto* question = reinterpret_cast<TQuestion*>(lParam);
        if (static_cast<TWindowCallbacks*>(FCallbacks.get())->Closed())
            return 0;
        const wchar_t* caption = question->Caption && *question->Caption ? question->Caption : L"Velmora";
        if (wParam == 0)
            MessageBoxW(FWindow, question->Text ? question->Text : L"", caption, MB_OK | MB_ICONERROR);
        else
            question->Answer = MessageBoxW(FWindow, question->Text ? question->Text : L"", caption,
                                           MB_YESNO | MB_ICONQUESTION) == IDYES;
        return 0;
    }
    case WM_TIMER:
        if (wParam == kAutomationTimer)
            CheckAutomation();
        if (wParam == kSwitchTimer && FSnapshot) {
            FollowSwitch();
            ShowStatus();
        }
        return 0;
    case WM_NOTIFY: {
        LRESULT result = 0;
        OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result);
        return result;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDC_FILTER && HIWORD(wParam) == EN_CHANGE) {
            FillList();
            ShowStatus();
        } else if (id == IDC_APPLY && HIWORD(wParam) == BN_CLICKED) {
            ApplyFeatures();
        } else if (id >= IDM_VIEW && id < IDM_VIEW + 4) {
            SetView(static_cast<TView>(id - IDM_VIEW));
        } else if (id == IDM_REFRESH) {
            FRoot.Refresh();
            if (FWatcher && FWatcher->Features())
                FWatcher->Features()->Refresh();
        } else if (id == IDM_FIND) {
            SetFocus(FFilter);
            SendMessageW(FFilter, EM_SETSEL, 0, -1);
        } else if (id == IDM_LARGE_ICONS) {
            FLargeIcons = !FLargeIcons;
            CheckMenuItem(GetMenu(FWindow), IDM_LARGE_ICONS, FLargeIcons ? MF_CHECKED : MF_UNCHECKED);
            SetWindowLongPtrW(FList, GWL_STYLE,
                              (GetWindowLongPtrW(FList, GWL_STYLE) & ~LVS_TYPEMASK) |
                                  (FLargeIcons ? LVS_ICON : LVS_REPORT));
        } else if (id == IDM_EXIT) {
            PostMessageW(FWindow, WM_CLOSE, 0, 0);
        } else if (id == IDM_BACKUPS) {
            OpenBackupsWindow(FWindow);
        } else if (id == IDM_FORCE_REMOVE) {
            if (const TProgramRow* row = SelectedRow();
                row && !OpenRemovalWindow(FWindow, *row->Product, row->Name))
                MessageBoxW(FWindow,
                            Format(L"The library offers no forced removal of \"%s\".", row->Name).c_str(),
                            L"Velmora", MB_OK | MB_ICONINFORMATION);
        } else if (id >= IDM_UNINSTALL && id <= IDM_FORGET) {
            RunAction(id);
        }
        return 0;
    }
    case WM_DESTROY:
        // The watcher lets go of its references first; then nothing of the
        // library is held but the root, which its owner releases.
        FWatcher.reset();
        static_cast<TWindowCallbacks*>(FCallbacks.get())->Close();
        FRoot.SetErrorCallback(nullptr);
        FRoot.SetQuestionCallback(nullptr);
        FCallbacks.reset();
        FRoot.Stop();
        for (MSG pending; PeekMessageW(&pending, FWindow, WM_SNAPSHOT, WM_SNAPSHOT, PM_REMOVE);)
            delete reinterpret_cast<TSnapshot*>(pending.lParam);
        TreeView_DeleteAllItems(FTree);
        FFeatures.clear();
        FSnapshot.reset();
        if (FDetailIcon)
            DestroyIcon(FDetailIcon);
        PostQuitMessage(FExitCode);
        return 0;
    }
    return DefWindowProcW(FWindow, message, wParam, lParam);
}

int RunMainWindow(IVelmora& root, TView view, const TAutomation& automation) {
    TMainWindow window(root, view, automation);
    return window.Run();
}

} // namespace velmora::gui
