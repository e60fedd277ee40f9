#pragma once
// Text out of installer functions that fill a caller's buffer.
#include <windows.h>

#include <string>

namespace velmora {

// call(buffer, &size) as the installer's text functions take them: first with
// 520 characters, again with the size asked for when that is too small. text
// holds the result on ERROR_SUCCESS and is empty otherwise.
template <class Call> UINT ReadMsiString(std::wstring& text, Call call) {
    DWORD size = 520;
    text.assign(size, L'\0');
    UINT result = call(text.data(), &size);
    if (result == ERROR_MORE_DATA) {
        ++size; // the terminating zero
        text.assign(size, L'\0');
        result = call(text.data(), &size);
    }
    text.resize(result == ERROR_SUCCESS ? size : 0);
    return result;
}

} // namespace velmora
