#include "tools/velmora-gui/BackupsWindow.h"

#include "api/Interfaces.Rekova.h"
#include "platform/ComObject.h"
#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/LibraryLoader.h"
#include "tools/velmora-gui/WindowParts.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velmora::gui {

namespace {

enum : int { IDC_BACKUP_LIST = 100, IDC_BACKUP_RESTORE, IDC_BACKUP_CLOSE };
constexpr int kColumns = 4;
constexpr UINT WM_RESTORE_NEWEST = WM_APP + 1;
constexpr HRESULT kRestoredAlready = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);

std::wstring DateTimeText(double date) {
    SYSTEMTIME time{};
    if (date <= 0 || !VariantTimeToSystemTime(date, &time))
        return {};
    wchar_t day[80] = {}, clock[80] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, day, 80, nullptr);
    GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, clock, 80);
    return std::wstring(day) + L" " + clock;
}

class TBackupsWindow {
public:
    TBackupsWindow(TComPtr<IRekova> rekova, TRestoreDone done)
        : FRekova(std::move(rekova)), FDone(std::move(done)) {}
    bool Create(HWND owner);

private:
    friend LRESULT CALLBACK ObjectWindowProc<TBackupsWindow, true>(HWND, UINT, WPARAM, LPARAM);
    void Attach(HWND window) { FWindow = window; }
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();
    void ScaleColumns();
    void Fill();
    void Restore();
    void RestoreNewest();

    TComPtr<IRekova> FRekova;
    TRestoreDone FDone; // empty: a person chooses
    std::vector<std::wstring> FIds;

    HWND FWindow = nullptr, FList = nullptr, FRestore = nullptr, FClose = nullptr;
    TWindowScale FScale;
};

bool TBackupsWindow::Create(HWND owner) {
    const HINSTANCE instance =
        RegisterWindowClass(L"VelmoraGuiBackups", ObjectWindowProc<TBackupsWindow, true>);
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    const int width = (ownerRect.right - ownerRect.left) * 2 / 3,
              height = (ownerRect.bottom - ownerRect.top) / 2;
    FWindow = CreateWindowExW(WS_EX_CONTROLPARENT, L"VelmoraGuiBackups", L"Backup sets", WS_OVERLAPPEDWINDOW,
                              ownerRect.left + width / 4, ownerRect.top + height / 3, width, height, owner,
                              nullptr, instance, this);
    if (!FWindow)
        return false;
    FScale.Apply(FWindow);
    auto child = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        return CreateControl(FWindow, FScale.Font(), exStyle, cls, text, style, id);
    };
    FList = child(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                  WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, IDC_BACKUP_LIST);
    ListView_SetExtendedListViewStyle(FList, LVS_EX_FULLROWSELECT);
    const wchar_t* titles[] = {L"Date", L"Backup set", L"Size", L"Status"};
    for (int i = 0; i < kColumns; ++i) {
        LVCOLUMNW column{LVCF_TEXT};
        column.pszText = const_cast<wchar_t*>(titles[i]);
        ListView_InsertColumn(FList, i, &column);
    }
    ScaleColumns();
    FRestore = child(0, WC_BUTTONW, L"&Restore", WS_TABSTOP | BS_PUSHBUTTON, IDC_BACKUP_RESTORE);
    FClose = child(0, WC_BUTTONW, L"&Close", WS_TABSTOP | BS_PUSHBUTTON, IDC_BACKUP_CLOSE);
    Fill();
    Layout();
    ShowWindow(FWindow, SW_SHOWNORMAL);
    if (FDone)
        PostMessageW(FWindow, WM_RESTORE_NEWEST, 0, 0);
    return true;
}

void TBackupsWindow::Layout() {
    RECT client{};
    GetClientRect(FWindow, &client);
    const int margin = FScale(8), row = FScale(24), button = FScale(100);
    const int buttons = client.bottom - margin - row;
    MoveWindow(FList, margin, margin, client.right - 2 * margin, std::max(0, buttons - 2 * margin), TRUE);
    MoveWindow(FRestore, client.right - 2 * (button + margin), buttons, button, row, TRUE);
    MoveWindow(FClose, client.right - button - margin, buttons, button, row, TRUE);
}

void TBackupsWindow::ScaleColumns() {
    const int widths[kColumns] = {130, 260, 70, 90};
    for (int i = 0; i < kColumns; ++i)
        ListView_SetColumnWidth(FList, i, FScale(widths[i]));
}

void TBackupsWindow::Fill() {
    ListView_DeleteAllItems(FList);
    FIds.clear();
    for (int32_t i = 0, n = FRekova->GetSetCount(); i < n; ++i) {
        TComPtr<IRekovaSet> set;
        FRekova->GetSet(i, set.put());
        if (!set)
            continue;
        const int item = static_cast<int>(FIds.size());
        FIds.push_back(GetterText(*set, &IRekovaSet::GetId));
        std::wstring texts[] = {DateTimeText(set->GetDate()), GetterText(*set, &IRekovaSet::GetName), L"",
                                GetterText(*set, &IRekovaSet::GetStatus)};
        wchar_t size[64] = {};
        if (set->GetSize() > 0 && StrFormatByteSizeW(set->GetSize(), size, 64))
            texts[2] = size;
        LVITEMW row{LVIF_TEXT};
        row.iItem = item;
        row.pszText = texts[0].data();
        ListView_InsertItem(FList, &row);
        for (int column = 1; column < kColumns; ++column)
            ListView_SetItemText(FList, item, column, texts[column].data());
    }
    EnableWindow(FRestore, !FIds.empty());
}

void TBackupsWindow::Restore() {
    const int item = ListView_GetNextItem(FList, -1, LVNI_SELECTED);
    if (item < 0 || item >= static_cast<int>(FIds.size()))
        return;
    const std::wstring id = FIds[static_cast<size_t>(item)];
    unique_bstr report;
    const HRESULT result = FRekova->RestoreSet(id.c_str(), report.put());
    const std::wstring text = result == kRestoredAlready
                                  ? std::wstring(L"This backup set was restored before; nothing was changed.")
                              : FAILED(result)
                                  ? BstrText(report.get()) + L"\n\nNot everything could be restored: " +
                                        GetterText(*FRekova, &IRekova::GetLastErrorText)
                                  : BstrText(report.get()) + L"\n\nThe backup set is restored.";
    if (FDone) {
        FDone(text);
        DestroyWindow(FWindow);
        return;
    }
    MessageBoxW(FWindow, text.c_str(), L"Restore",
                MB_OK | (SUCCEEDED(result) ? MB_ICONINFORMATION : MB_ICONWARNING));
    Fill();
}

// Selects the set made last and restores it as the button does.
void TBackupsWindow::RestoreNewest() {
    std::wstring newest;
    double newestDate = 0;
    for (int32_t i = 0, n = FRekova->GetSetCount(); i < n; ++i) {
        TComPtr<IRekovaSet> set;
        FRekova->GetSet(i, set.put());
        if (set && (newest.empty() || set->GetDate() >= newestDate)) {
            newest = GetterText(*set, &IRekovaSet::GetId);
            newestDate = set->GetDate();
        }
    }
    const auto found = std::find(FIds.begin(), FIds.end(), newest);
    if (found == FIds.end()) {
        FDone(L"There is no backup set.");
        DestroyWindow(FWindow);
        return;
    }
    const int item = static_cast<int>(found - FIds.begin());
    ListView_SetItemState(FList, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Restore();
}

LRESULT TBackupsWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case kDpiChangedMessage:
        FScale.Follow(FWindow, wParam, lParam);
        ScaleColumns();
        Layout();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_BACKUP_RESTORE)
            Restore();
        else if (LOWORD(wParam) == IDC_BACKUP_CLOSE || LOWORD(wParam) == IDCANCEL)
            DestroyWindow(FWindow);
        return 0;
    case WM_RESTORE_NEWEST:
        RestoreNewest();
        return 0;
    case WM_DESTROY:
        FRekova.reset();
        return 0;
    }
    return DefWindowProcW(FWindow, message, wParam, lParam);
}

} // namespace

bool OpenBackupsWindow(HWND owner, TRestoreDone done) {
    TComPtr<IRekova> rekova;
    if (!DllRoutines::GetInstance(L"RekovaHelper.dll", __uuidof(IRekova),
                                  reinterpret_cast<void**>(rekova.put())) ||
        !rekova) {
        MessageBoxW(owner, L"The backup component RekovaHelper.dll could not be loaded.", L"Backup sets",
                    MB_OK | MB_ICONERROR);
        return false;
    }
    auto* window = new TBackupsWindow(std::move(rekova), std::move(done));
    if (!window->Create(owner)) {
        delete window;
        return false;
    }
    return true;
}

} // namespace velmora::gui
