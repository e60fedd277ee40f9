#include "platform/PathText.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace velmora;

namespace {

// A file system that knows only the given files (any case).
TFileExistsFn Files(std::initializer_list<std::wstring> names) {
    auto set = std::make_shared<std::set<std::wstring>>();
    for (const auto& n : names)
        set->insert(UpperCase(n));
    return [set](const std::wstring& path) { return set->count(UpperCase(path)) > 0; };
}

TVariableFn Variables(std::map<std::wstring, std::wstring> values) {
    return [values](const std::wstring& name) -> std::optional<std::wstring> {
        for (const auto& [k, v] : values)
            if (SameText(k, name))
                return v;
        return std::nullopt;
    };
}

} // namespace

TEST(PathText, FileNamePartsAndTrailingSeparators) {
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\Windows"), L"C:\\Windows\\");
    EXPECT_EQ(ExcludeTrailingBackslash(L"C:\\Windows\\\\"), L"C:\\Windows");
    EXPECT_EQ(ExtractFileName(L"C:un.exe"), L"un.exe");
    EXPECT_EQ(ExtractFileName(L"dir/un.exe"), L"un.exe");
    EXPECT_EQ(ExtractFilePath(L"C:\\Dir\\file.txt"), L"C:\\Dir\\");
    EXPECT_EQ(ExtractFileDir(L"C:\\file.txt"), L"C:\\");
    EXPECT_EQ(ExtractFileDir(L"\\\\server\\share\\file.txt"), L"\\\\server\\share");
}

TEST(PathText, PrepareFileNameExpandsKnownVariablesAndStripsQuotes) {
    auto vars = Variables({{L"ProgramFiles", L"C:\\Program Files"}, {L"A", L"1"}, {L"Q", L"\"C:\\q.exe\""}});
    EXPECT_EQ(PrepareFileName(L"  \"%programfiles%\\App\\app.exe\" ", vars),
              L"C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(PrepareFileName(L"\"\"", vars), L"");
    // A variable whose value is quoted is unquoted after expansion.
    EXPECT_EQ(PrepareFileName(L"%Q%", vars), L"C:\\q.exe");
    // Unknown variables and lone percent signs stay as written.
    EXPECT_EQ(ExpandVariables(L"%NOPE%\\x", vars), L"%NOPE%\\x");
    EXPECT_EQ(ExpandVariables(L"%100%%A%", vars), L"%100%1");
    EXPECT_EQ(ExpandVariables(L"%%A%", vars), L"%1");
    EXPECT_EQ(ExpandVariables(L"x%A%y", nullptr), L"x%A%y");
}

TEST(PathText, PathRemoveArgsCutsAtTheQuoteOrTheLongestExistingPrefix) {
    auto fs = Files({L"C:\\Program Files\\My App\\uninstall.exe", L"C:\\Program Files\\My App\\setup",
                     L"C:\\Program Files\\My App\\setup.exe", L"C:\\A", L"C:\\A B\\c.exe"});
    const std::pair<std::wstring_view, std::wstring_view> cases[] = {
        {L"\"C:\\Program Files\\App\\unins000.exe\" /SILENT", L"C:\\Program Files\\App\\unins000.exe"},
        {L"  \"C:\\App\\u.exe", L"C:\\App\\u.exe"},
        {L"   ", L""},
        {L"C:\\Program Files\\My App\\uninstall.exe /S /D=C:\\x y",
         L"C:\\Program Files\\My App\\uninstall.exe"},
        // ".exe" is tried when the command names the program without it ...
        {L"C:\\Program Files\\My App\\uninstall /S", L"C:\\Program Files\\My App\\uninstall.exe"},
        // ... but an existing file without extension wins.
        {L"c:\\program files\\my app\\setup -remove", L"c:\\program files\\my app\\setup"},
        {L"C:\\A B\\c.exe x", L"C:\\A B\\c.exe"},
        // Nothing exists: the program ends at the first blank or tab.
        {L"MsiExec.exe /X{12345678-1234-1234-1234-123456789012}", L"MsiExec.exe"},
        {L"C:\\Missing Folder\\x.exe /q", L"C:\\Missing"},
        {L"C:\\Tools\\run.exe\t-x", L"C:\\Tools\\run.exe"},
    };
    for (const auto& [command, program] : cases)
        EXPECT_EQ(PathRemoveArgs(command, fs), program) << std::wstring(command);
}

TEST(PathText, IconLocationSplitsFileAndIndex) {
    struct TCase {
        std::wstring_view Text;
        std::wstring_view File;
        int Index;
    } cases[] = {
        {L"C:\\App\\app.exe,-101", L"C:\\App\\app.exe", -101},
        {L"C:\\App\\app.exe, 2 ", L"C:\\App\\app.exe", 2},
        {L"\"C:\\Program Files\\App\\app.exe\" , -5", L"C:\\Program Files\\App\\app.exe", -5},
        {L"\"C:\\App\\app.exe,7\"", L"C:\\App\\app.exe", 7},
        {L"\"C:\\a,b\\app.exe\",2", L"C:\\a,b\\app.exe", 2},
        {L"C:\\App\\app.exe,x", L"C:\\App\\app.exe,x", 0},
        {L"C:\\App\\app.exe,99999999999", L"C:\\App\\app.exe,99999999999", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractIconFileName(c.Text), c.File) << std::wstring(c.Text);
        EXPECT_EQ(ExtractIconIndex(c.Text), c.Index) << std::wstring(c.Text);
    }
}
