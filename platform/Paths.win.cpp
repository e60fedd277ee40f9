#include "platform/Paths.h"

#include "platform/Module.h"
#include "platform/OSInfo.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <shlobj.h>

namespace velmora {

namespace {

// Runs a "fill this buffer" API, growing the buffer while the answer does not fit.
template <class TFill> std::wstring FillBuffer(TFill fill, DWORD initial = MAX_PATH) {
    std::wstring buffer(initial, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(n + 1);
    }
    return {};
}

DWORD Attributes(std::wstring_view path) {
    if (path.empty())
        return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(std::wstring(path).c_str());
}

} // namespace

std::wstring SystemFolder() {
    return ExcludeTrailingBackslash(
        FillBuffer([](wchar_t* b, DWORD n) { return GetSystemDirectoryW(b, n); }));
}

std::wstring SystemFolderWithBackslash() {
    return IncludeTrailingBackslash(SystemFolder());
}

std::wstring WindowsFolder() {
    // Not GetWindowsDirectoryW: on a terminal server that is a per-user folder.
    return ExcludeTrailingBackslash(
        FillBuffer([](wchar_t* b, DWORD n) { return GetSystemWindowsDirectoryW(b, n); }));
}

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return ExcludeTrailingBackslash(path);
}

std::optional<std::wstring> KnownFolderPath(std::wstring_view id) {
    using TGetKnownFolderPath = HRESULT(WINAPI*)(REFGUID folder, DWORD flags, HANDLE token, PWSTR * path);
    static const auto getPath = ModuleFunction<TGetKnownFolderPath>(L"shell32.dll", "SHGetKnownFolderPath");
    GUID folder;
    if (!getPath || FAILED(CLSIDFromString(std::wstring(id).c_str(), &folder)))
        return std::nullopt;
    PWSTR path = nullptr;
    HRESULT result = getPath(folder, KF_FLAG_DONT_VERIFY, nullptr, &path);
    std::optional<std::wstring> answer;
    if (SUCCEEDED(result) && path)
        answer = ExcludeTrailingBackslash(path);
    CoTaskMemFree(path);
    return answer;
}

std::wstring ProgramFilesFolder() {
#ifdef _WIN64
    return SpecialFolder(CSIDL_PROGRAM_FILES);
#else
    // A 32-bit process is shown the x86 folder; the 64-bit one is recorded in
    // the 64-bit registry view.
    if (Is64BitWindows()) {
        auto folder = TRegKey::Open(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                                    KEY_READ, TRegView::x64)
                          .ReadText(L"ProgramFilesDir");
        if (folder && !folder->empty())
            return ExcludeTrailingBackslash(*folder);
        if (auto variable = EnvironmentVariable(L"ProgramW6432"))
            return ExcludeTrailingBackslash(*variable);
    }
    return SpecialFolder(CSIDL_PROGRAM_FILES);
#endif
}

std::wstring ProgramFilesX86Folder() {
    if (!Is64BitWindows())
        return ProgramFilesFolder();
    std::wstring folder = SpecialFolder(CSIDL_PROGRAM_FILESX86);
    return folder.empty() ? ProgramFilesFolder() : folder;
}

std::wstring CommonAppDataFolder() {
    return SpecialFolder(CSIDL_COMMON_APPDATA);
}
std::wstring AppDataFolder() {
    return SpecialFolder(CSIDL_APPDATA);
}
std::wstring LocalAppDataFolder() {
    return SpecialFolder(CSIDL_LOCAL_APPDATA);
}

std::wstring TempFolder() {
    return ExcludeTrailingBackslash(FillBuffer([](wchar_t* b, DWORD n) { return GetTempPathW(n, b); }));
}

std::wstring ExpandEnvironment(std::wstring_view text) {
    if (text.empty())
        return {};
    std::wstring source(text);
    // The answer counts the terminator.
    std::wstring expanded = FillBuffer(
        [&](wchar_t* b, DWORD n) {
            DWORD needed = ExpandEnvironmentStringsW(source.c_str(), b, n);
            return needed == 0 ? 0 : (needed <= n ? needed - 1 : needed);
        },
        static_cast<DWORD>(source.size() + MAX_PATH));
    return expanded.empty() ? source : expanded;
}

std::optional<std::wstring> EnvironmentVariable(const std::wstring& name) {
    DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::wstring value(size, L'\0');
    DWORD n = GetEnvironmentVariableW(name.c_str(), value.data(), size);
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return std::nullopt;
    value.resize(n < size ? n : 0);
    return value;
}

std::wstring PrepareFileName(std::wstring_view text) {
    return StripQuotes(ExpandEnvironment(Trim(text)));
}

TCommandProbe SystemCommandProbe() {
    TCommandProbe probe;
    probe.FileExists = [](const std::wstring& path) { return FileExists(path); };
    probe.Expand = [](std::wstring_view text) { return ExpandEnvironment(text); };
    probe.Search = [](const std::wstring& fileName) { return SearchPath(fileName); };
    return probe;
}

std::wstring ProgramOfCommand(std::wstring_view commandLine) {
    return CheckFileX64(ProgramOfCommand(commandLine, SystemCommandProbe()));
}

std::wstring SearchPath(std::wstring_view fileName, std::wstring_view extension) {
    if (fileName.empty())
        return {};
    std::wstring name(fileName), ext(extension);
    return FillBuffer([&](wchar_t* b, DWORD n) {
        return SearchPathW(nullptr, name.c_str(), ext.empty() ? nullptr : ext.c_str(), n, b, nullptr);
    });
}

std::wstring CheckFileX64(std::wstring_view path) {
#ifdef _WIN64
    return std::wstring(path);
#else
    return IsWow64Process() ? SysnativePath(path, SystemFolder(), WindowsFolder()) : std::wstring(path);
#endif
}

bool FileExists(std::wstring_view path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(std::wstring_view path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(std::wstring_view path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace velmora
