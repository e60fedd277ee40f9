#include "tools/velmora/Console.h"

#include "platform/Format.h"

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

} // namespace velmora::cli
