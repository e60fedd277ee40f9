#include "tools/velmora/Console.h"

#include "platform/Format.h"
#include "platform/Text.h"

#include <windows.h>

namespace velmora::cli {

static void Write(DWORD which, std::wstring_view text) {
    HANDLE handle = GetStdHandle(which);
    if (!handle || handle == INVALID_HANDLE_VALUE || text.empty())
        return;
    DWORD mode, written;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string bytes = Narrow(text);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void WriteOut(std::wstring_view text) {
    Write(STD_OUTPUT_HANDLE, text);
}
void WriteErr(std::wstring_view text) {
    Write(STD_ERROR_HANDLE, text);
}

std::optional<std::wstring> ReadLine() {
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    if (!handle || handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    DWORD mode, read = 0;
    std::wstring line;
    if (GetConsoleMode(handle, &mode)) {
        wchar_t buffer[512];
        if (!ReadConsoleW(handle, buffer, 512, &read, nullptr) || read == 0)
            return std::nullopt;
        line.assign(buffer, read);
    } else {
        // Redirected: bytes up to the line end, one at a time so that
        // nothing of a later answer is consumed.
        std::string bytes;
        char c;
        while (ReadFile(handle, &c, 1, &read, nullptr) && read == 1 && c != '\n')
            bytes.push_back(c);
        if (bytes.empty() && read == 0)
            return std::nullopt;
        line = Widen(bytes);
    }
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
        line.pop_back();
    return line;
}

std::optional<bool> YesOrNo(std::wstring_view answer) {
    std::wstring word = UpperCase(answer);
    std::erase(word, L' ');
    if (word == L"Y" || word == L"YES")
        return true;
    if (word == L"N" || word == L"NO")
        return false;
    return std::nullopt;
}

size_t ErrConsoleWidth() {
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!handle || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode) ||
        !GetConsoleScreenBufferInfo(handle, &info))
        return 0;
    int width = info.srWindow.Right - info.srWindow.Left + 1;
    return width > 0 ? static_cast<size_t>(width) : 80;
}

void TStatusLine::Show(std::wstring_view text) {
    if (FWidth == 0)
        return;
    // Short of the last column, so that the console does not wrap the line.
    text = text.substr(0, FWidth - 1);
    if (FShown > 0 && text == FText)
        return;
    WriteErr(L"\r" + std::wstring(text) +
             std::wstring(FShown > text.size() ? FShown - text.size() : 0, L' '));
    FText = text;
    FShown = text.size();
}

void TStatusLine::Clear() {
    if (FShown == 0)
        return;
    WriteErr(L"\r" + std::wstring(FShown, L' ') + L"\r");
    FText.clear();
    FShown = 0;
}

} // namespace velmora::cli
