#include "platform/LogDirectory.h"

#include <windows.h>
#include <shlobj.h>

#include <share.h>

namespace velmora {

std::wstring DefaultLogDirectory() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {};
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path + L"Velmora\\Logs";
}

namespace logfs {

std::string_view LineBreak() {
    return "\r\n";
}

bool CreateFolders(const std::wstring& folder) {
    if (folder.empty())
        return false;
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t cut = folder.find_last_of(L"\\/");
    // Stop at a drive root ("C:") or a share root; CreateDirectory reports those.
    if (cut != std::wstring::npos && cut > 0 && folder[cut - 1] != L':')
        CreateFolders(folder.substr(0, cut));
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::FILE* OpenForAppend(const std::wstring& path) {
    // Shared for reading and writing, so that another process of the suite can
    // write the same log and a viewer can follow it.
    return _wfsopen(path.c_str(), L"ab", _SH_DENYNO);
}

bool RenameReplacing(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

TLocalTime LocalTimeNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

uint64_t CurrentThreadNumber() {
    return GetCurrentThreadId();
}

} // namespace logfs
} // namespace velmora
