// Test double of an uninstaller that hands its work to a copy of itself, as
// classic installers' uninstallers do:
//   relaunch NAME KEY MS   copies itself to a fresh folder below %TEMP% as
//                          NAME, starts the copy with "work KEY MS" and
//                          exits at once
//   helper NAME KEY MS     the same with a file that is not a copy: its own
//                          bytes with more appended, as a bootstrapper's
//                          helper unpacked to %TEMP% is another program
//   work KEY MS            waits MS milliseconds, then deletes HKCU\KEY (the
//                          product's uninstall entry) and exits
// "work" alone is an uninstaller that does the work in its own process.
#include <windows.h>

namespace {

int Work(const wchar_t* key, const wchar_t* milliseconds) {
    Sleep(static_cast<DWORD>(_wtoi(milliseconds)));
    return RegDeleteTreeW(HKEY_CURRENT_USER, key) == ERROR_SUCCESS ? 0 : 1;
}

// Data after the last section: the loader ignores it, the file differs.
bool AppendTrailer(const wchar_t* path) {
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    static const char trailer[] = "velmora helper trailer";
    DWORD written = 0;
    const bool ok = WriteFile(file, trailer, sizeof trailer, &written, nullptr) && written == sizeof trailer;
    CloseHandle(file);
    return ok;
}

int Relaunch(const wchar_t* name, const wchar_t* key, const wchar_t* milliseconds, bool asHelper) {
    wchar_t self[MAX_PATH];
    wchar_t folder[MAX_PATH];
    wchar_t copy[MAX_PATH];
    if (!GetModuleFileNameW(nullptr, self, MAX_PATH) || !GetTempPathW(MAX_PATH, folder))
        return 2;
    wsprintfW(folder + lstrlenW(folder), L"velmora-relaunch-%lu", GetCurrentProcessId());
    CreateDirectoryW(folder, nullptr);
    wsprintfW(copy, L"%s\\%s", folder, name);
    if (!CopyFileW(self, copy, FALSE))
        return 3;
    if (asHelper && !AppendTrailer(copy))
        return 3;
    wchar_t command[3 * MAX_PATH];
    wsprintfW(command, L"\"%s\" work \"%s\" %s", copy, key, milliseconds);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(copy, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 4;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && lstrcmpW(argv[1], L"relaunch") == 0)
        return Relaunch(argv[2], argv[3], argv[4], false);
    if (argc == 5 && lstrcmpW(argv[1], L"helper") == 0)
        return Relaunch(argv[2], argv[3], argv[4], true);
    if (argc == 4 && lstrcmpW(argv[1], L"work") == 0)
        return Work(argv[2], argv[3]);
    return 2;
}
