#pragma once
// What every window of the front end does alike: its class, the procedure
// that hands each message to the object behind the window, and its controls.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

namespace velmora::gui {

// Registers a window class of the process with an arrow cursor and the
// dialog face colour; the instance it registered under.
HINSTANCE RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HICON icon = nullptr);

// WM_DPICHANGED, newer than the Windows version the build targets.
constexpr UINT kDpiChangedMessage = 0x02E0;

// The window's dots per inch (the system's where the window cannot tell).
UINT WindowDpi(HWND window);

// A window's dots per inch and its controls' message font at them, followed
// when the window moves to a monitor of other dots per inch.
class TWindowScale {
public:
    TWindowScale() = default;
    TWindowScale(const TWindowScale&) = delete;
    TWindowScale& operator=(const TWindowScale&) = delete;
    ~TWindowScale();

    // Takes the window's dots per inch and gives its controls the font for them.
    void Apply(HWND window);
    // WM_DPICHANGED: the new dots per inch, then the rectangle the system suggests.
    void Follow(HWND window, WPARAM wParam, LPARAM lParam);

    // A length of pixels at 96 dots per inch, scaled.
    int operator()(int pixels) const { return MulDiv(pixels, static_cast<int>(FDpi), 96); }
    HFONT Font() const { return FFont; }

private:
    void SetDpi(HWND window, UINT dpi);

    UINT FDpi = 96;
    HFONT FFont = nullptr;
};

// A control of the window, shown, in the window's font.
HWND CreateControl(HWND window, HFONT font, DWORD exStyle, const wchar_t* windowClass, const wchar_t* text,
                   DWORD style, int id);

// Each item of a tree control, depth first, with its depth; an item's text.
void ForEachTreeItem(HWND tree, const std::function<void(HTREEITEM, int)>& visit);
std::wstring TreeItemText(HWND tree, HTREEITEM item);

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
