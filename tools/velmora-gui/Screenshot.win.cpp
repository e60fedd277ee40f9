#include "tools/velmora-gui/Screenshot.h"

#include "platform/ComObject.h"
#include "platform/OSError.h"

#include <wincodec.h>

namespace velmora::gui {

namespace {

bool Failed(HRESULT hr, const wchar_t* step, std::wstring& error) {
    if (SUCCEEDED(hr))
        return false;
    error = std::wstring(step) + L": " + SystemErrorMessage(static_cast<DWORD>(hr));
    return true;
}

} // namespace

bool WriteWindowPng(HWND window, const std::wstring& file, std::wstring& error) {
    // The client area with the menu bar: the frame is the window manager's.
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    MENUBARINFO menu{sizeof menu};
    if (GetMenuBarInfo(window, OBJID_MENU, 0, &menu) && menu.rcBar.bottom > menu.rcBar.top)
        rect.top = menu.rcBar.top;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    TComPtr<IWICImagingFactory> factory;
    TComPtr<IWICBitmap> image;
    TComPtr<IWICStream> stream;
    TComPtr<IWICBitmapEncoder> encoder;
    TComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    const bool ok =
        !Failed(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put())),
                L"WIC", error) &&
        !Failed(factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, image.put()),
                L"bitmap", error) &&
        !Failed(factory->CreateStream(stream.put()), L"stream", error) &&
        !Failed(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE), L"file", error) &&
        !Failed(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()), L"encoder", error) &&
        !Failed(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache), L"encoder", error) &&
        !Failed(encoder->CreateNewFrame(frame.put(), nullptr), L"frame", error) &&
        !Failed(frame->Initialize(nullptr), L"frame", error) &&
        !Failed(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)), L"size", error) &&
        !Failed(frame->SetPixelFormat(&format), L"format", error) &&
        !Failed(frame->WriteSource(image.get(), nullptr), L"pixels", error) &&
        !Failed(frame->Commit(), L"frame", error) && !Failed(encoder->Commit(), L"file", error);
    DeleteObject(bitmap);
    return ok;
}

} // namespace velmora::gui
