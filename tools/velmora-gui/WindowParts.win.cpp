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

HWND CreateControl(HWND window, HFONT font, DWORD exStyle, const wchar_t* windowClass, const wchar_t* text,
                   DWORD style, int id) {
    HWND control = CreateWindowExW(exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                                   window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

} // namespace velmora::gui
