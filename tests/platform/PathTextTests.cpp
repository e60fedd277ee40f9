#include "platform/PathText.h"
#include "tests/TestBase.h"

using namespace velmora;

TEST(PathText, FileNamesWithVariables) {
    TVariableFn vars = [](const std::wstring& name) -> std::optional<std::wstring> {
        if (SameText(name, L"ProgramFiles"))
            return L"C:\\Program Files";
        if (name == L"Q")
            return L"\"C:\\q.exe\"";
        return std::nullopt;
    };
    EXPECT_EQ(PrepareFileName(L"  \"%programfiles%\\App\\app.exe\" ", vars),
              L"C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(PrepareFileName(L"%Q%", vars), L"C:\\q.exe") << "a quoted value is unquoted after expansion";
    EXPECT_EQ(ExpandVariables(L"%NOPE%\\x", vars), L"%NOPE%\\x");
}

// The program ends at the closing quote or after the longest existing
// prefix (an executable's extension may be left out); the arguments follow.
TEST(PathText, SplitCommandLineAndPathRemoveArgsCutAtTheQuoteOrTheLongestExistingPrefix) {
    std::set<std::wstring> files;
    for (const wchar_t* name :
         {L"C:\\Program Files\\My App\\uninstall.exe", L"C:\\Program Files\\My App\\setup",
          L"C:\\Program Files\\My App\\setup.exe", L"C:\\Program Files\\My App\\un inst.exe"})
        files.insert(UpperCase(name));
    TFileExistsFn fs = [&](const std::wstring& path) { return files.count(UpperCase(path)) > 0; };
    // Arguments left out (null) are not checked.
    const std::tuple<std::wstring_view, std::wstring_view, const wchar_t*> cases[] = {
        {L"  \"C:\\Program Files\\App\\u.exe\"   /S /D=x  ", L"C:\\Program Files\\App\\u.exe", L"/S /D=x"},
        {L"\"C:\\Program Files\\App\\unins000.exe\" /SILENT", L"C:\\Program Files\\App\\unins000.exe",
         nullptr},
        {L"\"C:\\No Close\\u.exe /S", L"C:\\No Close\\u.exe /S", L""},
        {L"C:\\Program Files\\My App\\un inst.exe /S \"a b\"", L"C:\\Program Files\\My App\\un inst.exe",
         L"/S \"a b\""},
        {L"C:\\Program Files\\My App\\un inst /S", L"C:\\Program Files\\My App\\un inst.exe", L"/S"},
        {L"C:\\Program Files\\My App\\uninstall.exe /S /D=C:\\x y",
         L"C:\\Program Files\\My App\\uninstall.exe", nullptr},
        {L"C:\\Program Files\\My App\\uninstall /S", L"C:\\Program Files\\My App\\uninstall.exe", nullptr},
        {L"c:\\program files\\my app\\setup -remove", L"c:\\program files\\my app\\setup", nullptr},
        {L"C:\\Missing Folder\\x.exe\t/q", L"C:\\Missing", L"Folder\\x.exe\t/q"},
        {L"C:\\Tools\\run.exe\t-x", L"C:\\Tools\\run.exe", nullptr},
        {L"tool.exe", L"tool.exe", L""},
        {L"   ", L"", L""},
    };
    for (const auto& [command, program, arguments] : cases) {
        TCommandParts parts = SplitCommandLine(command, fs);
        EXPECT_EQ(parts.Program, program) << std::wstring(command);
        if (arguments) {
            EXPECT_EQ(parts.Arguments, arguments) << std::wstring(command);
        }
        EXPECT_EQ(PathRemoveArgs(command, fs), program) << std::wstring(command);
    }
}

// The probe of a small machine: two programs in Program Files, one tool on
// the search path, variables for both folders.
TEST(PathText, ProgramOfCommandResolvesBlanksVariablesAndTheSearchPath) {
    const std::set<std::wstring> files{L"C:\\Program Files\\Foo Bar\\uninst.exe",
                                       L"C:\\Program Files\\App\\setup.exe",
                                       L"C:\\Windows\\system32\\msiexec.exe"};
    TCommandProbe probe;
    probe.FileExists = [&](const std::wstring& path) { return files.count(path) > 0; };
    probe.Expand = [](std::wstring_view text) {
        return ExpandVariables(text, [](const std::wstring& name) -> std::optional<std::wstring> {
            if (name == L"ProgramFiles")
                return L"C:\\Program Files";
            if (name == L"Quoted")
                return L"\"C:\\Program Files\\App\\setup.exe\"";
            return std::nullopt;
        });
    };
    probe.Search = [](const std::wstring& name) {
        return SameText(name, L"msiexec.exe") || SameText(name, L"msiexec")
                   ? L"C:\\Windows\\system32\\msiexec.exe"
                   : L"";
    };
    const std::pair<std::wstring_view, std::wstring_view> cases[] = {
        // Unquoted with blanks: the existing file wins over the first blank.
        {L"C:\\Program Files\\Foo Bar\\uninst.exe /S", L"C:\\Program Files\\Foo Bar\\uninst.exe"},
        {L"%ProgramFiles%\\Foo Bar\\uninst.exe /S", L"C:\\Program Files\\Foo Bar\\uninst.exe"},
        {L"\"%ProgramFiles%\\App\\setup.exe\" -remove", L"C:\\Program Files\\App\\setup.exe"},
        {L"%Quoted% -remove", L"C:\\Program Files\\App\\setup.exe"},
        {L"MsiExec.exe /X{12345678-1234-1234-1234-123456789012}", L"C:\\Windows\\system32\\msiexec.exe"},
        // Not found anywhere: the name stays as written.
        {L"NoSuchTool.exe /x", L"NoSuchTool.exe"},
        {L"C:\\Program Files\\Gone Away\\uninst.exe /S", L"C:\\Program"},
        {L"", L""},
    };
    for (const auto& [command, program] : cases)
        EXPECT_EQ(ProgramOfCommand(command, probe), program) << std::wstring(command);

    // Without a probe the program ends at the first blank and keeps its variables.
    EXPECT_EQ(ProgramOfCommand(L"%ProgramFiles%\\Foo Bar\\uninst.exe /S", {}), L"%ProgramFiles%\\Foo");
}

// What a 32-bit process under WOW64 opens to reach the real system folder.
TEST(PathText, SysnativePathMapsOnlyWhatLiesInTheSystemFolder) {
    const std::pair<std::wstring_view, std::wstring_view> cases[] = {
        {L"C:\\Windows\\System32\\msiexec.exe", L"C:\\Windows\\Sysnative\\msiexec.exe"},
        {L"c:\\WINDOWS\\system32\\drivers\\etc\\hosts", L"C:\\Windows\\Sysnative\\drivers\\etc\\hosts"},
        // A sibling whose name only begins like the system folder.
        {L"C:\\Windows\\System32Tools\\tool.exe", L"C:\\Windows\\System32Tools\\tool.exe"},
        {L"C:\\Windows\\SysWOW64\\msiexec.exe", L"C:\\Windows\\SysWOW64\\msiexec.exe"},
        {L"C:\\Program Files\\App\\app.exe", L"C:\\Program Files\\App\\app.exe"},
        {L"msiexec.exe", L"msiexec.exe"},
    };
    for (const auto& [path, mapped] : cases)
        EXPECT_EQ(SysnativePath(path, L"C:\\Windows\\System32", L"C:\\Windows"), mapped)
            << std::wstring(path);
    EXPECT_EQ(SysnativePath(L"D:\\WinNT\\System32\\a.dll", L"D:\\WinNT\\System32\\", L"D:\\WinNT\\"),
              L"D:\\WinNT\\Sysnative\\a.dll");
}
