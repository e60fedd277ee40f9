// Test double of the optional-components manager. It appends its command line
// to "<its own path>.calls", one line per start. Started as
// "/q /i:<master list> /u:<answer file>" it also switches the components the
// answer file names as the real tool leaves them: "[Components]" name=on|off
// and "[NetOptionalComponents]" name=1|0 set the component's value under the
// Subcomponents key to 1 or 0, after a moment of work (about 1.5 s) so that
// a caller can be seen waiting for it.
#include <windows.h>

#include <fstream>
#include <string>

namespace {

bool RecordCommandLine() {
    wchar_t path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    lstrcatW(path, L".calls");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const wchar_t* line = GetCommandLineW();
    DWORD written;
    WriteFile(file, line, lstrlenW(line) * sizeof(wchar_t), &written, nullptr);
    WriteFile(file, L"\n", sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    return true;
}

const wchar_t SubcomponentsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\Oc Manager\\Subcomponents";

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == text.npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool Same(const std::string& a, const char* b) {
    return lstrcmpiA(a.c_str(), b) == 0;
}

bool SetSubcomponent(const std::string& name, DWORD state) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, SubcomponentsKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LSTATUS status =
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&state), sizeof state);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// Returns false when the file cannot be read or a line cannot be applied.
bool ApplyAnswerFile(const wchar_t* path) {
    std::ifstream file(path);
    if (!file)
        return false;
    bool ok = true;
    std::string line, section;
    while (std::getline(file, line)) {
        line = Trimmed(line);
        size_t equals = line.find('=');
        if (line.starts_with("[")) {
            section = line;
        } else if (equals != line.npos) {
            std::string name = Trimmed(line.substr(0, equals)), value = Trimmed(line.substr(equals + 1));
            if (Same(section, "[Components]") && (Same(value, "on") || Same(value, "off")))
                ok = SetSubcomponent(name, Same(value, "on")) && ok;
            else if (Same(section, "[NetOptionalComponents]") && (value == "1" || value == "0"))
                ok = SetSubcomponent(name, value == "1") && ok;
            else
                ok = false;
        }
    }
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (!RecordCommandLine())
        return 1;
    const wchar_t* answerFile = nullptr;
    for (int i = 1; i < argc; ++i)
        if (CompareStringOrdinal(argv[i], 3, L"/u:", 3, TRUE) == CSTR_EQUAL)
            answerFile = argv[i] + 3;
    if (!answerFile)
        return 0;
    Sleep(1500);
    return ApplyAnswerFile(answerFile) ? 0 : 2;
}
