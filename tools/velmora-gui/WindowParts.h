#pragma once
// What every window of the front end does alike: its class, the procedure
// that hands each message to the object behind the window, and its controls.
#include <windows.h>

namespace velmora::gui {

// Registers a window class of the process with an arrow cursor and the
// dialog face colour; the instance it registered under.
HINSTANCE RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HICON icon = nullptr);

// The window's dots per inch (the system's where the window cannot tell),
// and a length of pixels at 96 dots per inch scaled to it.
UINT WindowDpi(HWND window);
inline int ScaleToDpi(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), 96);
}

// A control of the window, shown, in the window's font.
HWND CreateControl(HWND window, HFONT font, DWORD exStyle, const wchar_t* windowClass, const wchar_t* text,
                   DWORD style, int id);

// The procedure of a window whose object T came as the creation parameter:
// T::Attach(window) at creation, then T::Handle for every message. With
// ownsObject the object is deleted with the window.
template <class T, bool ownsObject>
LRESULT CALLBACK ObjectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->Attach(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (ownsObject && message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete self;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

} // namespace velmora::gui
