#include "tools/velmora-gui/WindowParts.h"

#include "platform/Module.h"

namespace velmora::gui {

HINSTANCE RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HICON icon) {
    WNDCLASSEXW windowClass{sizeof windowClass};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    windowClass.hIcon = icon;
    RegisterClassExW(&windowClass);
    return windowClass.hInstance;
}

UINT WindowDpi(HWND window) {
    using TGetDpiForWindow = UINT(WINAPI*)(HWND);
    static auto get = ModuleFunction<TGetDpiForWindow>(L"user32.dll", "GetDpiForWindow");
    if (get)
        if (UINT dpi = get(window))
            return dpi;
    HDC dc = GetDC(window);
    UINT dpi = static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSY));
    ReleaseDC(window, dc);
    return dpi;
}

namespace {

HFONT MessageFont(UINT dpi) {
    using TSystemParametersInfoForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static auto forDpi =
        ModuleFunction<TSystemParametersInfoForDpi>(L"user32.dll", "SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!forDpi || !forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), 96);
    }
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

} // namespace

TWindowScale::~TWindowScale() {
    if (FFont)
        DeleteObject(FFont);
}

void TWindowScale::Apply(HWND window) {
    SetDpi(window, WindowDpi(window));
}

void TWindowScale::Follow(HWND window, WPARAM wParam, LPARAM lParam) {
    SetDpi(window, HIWORD(wParam));
    const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWindowScale::SetDpi(HWND window, UINT dpi) {
    HFONT font = MessageFont(dpi);
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT))
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (FFont)
        DeleteObject(FFont);
    FFont = font;
    FDpi = dpi;
}

void ForEachTreeItem(HWND tree, const std::function<void(HTREEITEM, int)>& visit) {
    std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM item, int depth) {
        for (; item; item = TreeView_GetNextSibling(tree, item)) {
            visit(item, depth);
            walk(TreeView_GetChild(tree, item), depth + 1);
        }
    };
    walk(TreeView_GetRoot(tree), 0);
}

std::wstring TreeItemText(HWND tree, HTREEITEM item) {
    wchar_t text[1024] = {};
    TVITEMW data{TVIF_TEXT};
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = 1024;
    TreeView_GetItem(tree, &data);
    return text;
}

HWND CreateControl(HWND window, HFONT font, DWORD exStyle, const wchar_t* windowClass, const wchar_t* text,
                   DWORD style, int id) {
    HWND control = CreateWindowExW(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                                   window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

} // namespace velmora::gui
