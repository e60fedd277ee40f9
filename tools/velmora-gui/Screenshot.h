#pragma once
// A window's picture as a PNG file.
#include <windows.h>

#include <string>

namespace velmora::gui {

// Copies the window's menu bar and client area as shown on screen and
// writes them through WIC;
// false (and why) on failure.
bool WriteWindowPng(HWND window, const std::wstring& file, std::wstring& error);

} // namespace velmora::gui
