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
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\Windows\\"), L"C:\\Windows\\");
    EXPECT_EQ(IncludeTrailingBackslash(L""), L"\\");
    EXPECT_EQ(ExcludeTrailingBackslash(L"C:\\Windows\\\\"), L"C:\\Windows");
    EXPECT_EQ(ExcludeTrailingBackslash(L"C:\\Windows"), L"C:\\Windows");

    EXPECT_EQ(ExtractFileName(L"C:\\Program Files\\App\\un.exe"), L"un.exe");
    EXPECT_EQ(ExtractFileName(L"C:un.exe"), L"un.exe");
    EXPECT_EQ(ExtractFileName(L"dir/un.exe"), L"un.exe");
    EXPECT_EQ(ExtractFileName(L"C:\\Dir\\"), L"");
    EXPECT_EQ(ExtractFileExt(L"C:\\a.b\\file.tar.GZ"), L".GZ");
    EXPECT_EQ(ExtractFileExt(L"C:\\a.b\\file"), L"");
    EXPECT_EQ(ExtractFilePath(L"C:\\Dir\\file.txt"), L"C:\\Dir\\");
    EXPECT_EQ(ExtractFilePath(L"file.txt"), L"");
    EXPECT_EQ(ExtractFileDir(L"C:\\Dir\\Sub\\file.txt"), L"C:\\Dir\\Sub");
    EXPECT_EQ(ExtractFileDir(L"C:\\file.txt"), L"C:\\");
    EXPECT_EQ(ExtractFileDir(L"\\\\server\\share\\file.txt"), L"\\\\server\\share");
    EXPECT_EQ(ExtractFileDir(L"file.txt"), L"");
}

TEST(PathText, PrepareFileNameExpandsVariablesAndStripsQuotes) {
    auto vars = Variables({{L"ProgramFiles", L"C:\\Program Files"}, {L"SystemRoot", L"C:\\Windows"}});
    EXPECT_EQ(PrepareFileName(L"  \"%ProgramFiles%\\App\\app.exe\" ", vars),
              L"C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(PrepareFileName(L"%systemroot%\\system32\\msiexec.exe", vars),
              L"C:\\Windows\\system32\\msiexec.exe");
    EXPECT_EQ(PrepareFileName(L"\"C:\\App\\app.exe", vars), L"C:\\App\\app.exe");
    EXPECT_EQ(PrepareFileName(L"C:\\App\\app.exe\"", vars), L"C:\\App\\app.exe");
    EXPECT_EQ(PrepareFileName(L"\"\"", vars), L"");
    EXPECT_EQ(PrepareFileName(L"", vars), L"");
    // A variable whose value is quoted is unquoted after expansion.
    EXPECT_EQ(PrepareFileName(L"%Q%", Variables({{L"Q", L"\"C:\\q.exe\""}})), L"C:\\q.exe");
}

TEST(PathText, UnknownVariablesAndLonePercentSignsStayAsWritten) {
    auto vars = Variables({{L"PATH", L"P"}, {L"A", L"1"}});
    EXPECT_EQ(ExpandVariables(L"%NOPE%\\x", vars), L"%NOPE%\\x");
    EXPECT_EQ(ExpandVariables(L"100% sure", vars), L"100% sure");
    EXPECT_EQ(ExpandVariables(L"%100%%PATH%", vars), L"%100%P");
    EXPECT_EQ(ExpandVariables(L"%%A%", vars), L"%1");
    EXPECT_EQ(ExpandVariables(L"%A%%A%", vars), L"11");
    EXPECT_EQ(ExpandVariables(L"%a%", vars), L"1");
    EXPECT_EQ(ExpandVariables(L"%A", vars), L"%A");
    EXPECT_EQ(ExpandVariables(L"x%A%y", nullptr), L"x%A%y");
}

TEST(PathText, PathRemoveArgsCutsQuotedProgramAtItsClosingQuote) {
    auto none = Files({});
    EXPECT_EQ(PathRemoveArgs(L"\"C:\\Program Files\\App\\unins000.exe\" /SILENT", none),
              L"C:\\Program Files\\App\\unins000.exe");
    EXPECT_EQ(PathRemoveArgs(L"  \"C:\\App\\u.exe\"", none), L"C:\\App\\u.exe");
    EXPECT_EQ(PathRemoveArgs(L"\"C:\\App\\u.exe", none), L"C:\\App\\u.exe");
    EXPECT_EQ(PathRemoveArgs(L"", none), L"");
    EXPECT_EQ(PathRemoveArgs(L"   ", none), L"");
}

TEST(PathText, PathRemoveArgsResolvesBlanksByTheLongestExistingPrefix) {
    auto fs = Files({L"C:\\Program Files\\My App\\uninstall.exe", L"C:\\Program Files\\My App\\setup",
                     L"C:\\Program Files\\My App\\setup.exe", L"C:\\Tools\\run.exe"});
    EXPECT_EQ(PathRemoveArgs(L"C:\\Program Files\\My App\\uninstall.exe /S /D=C:\\x y", fs),
              L"C:\\Program Files\\My App\\uninstall.exe");
    // ".exe" is tried when the command names the program without it.
    EXPECT_EQ(PathRemoveArgs(L"C:\\Program Files\\My App\\uninstall /S", fs),
              L"C:\\Program Files\\My App\\uninstall.exe");
    // An existing file without extension wins over the appended ".exe".
    EXPECT_EQ(PathRemoveArgs(L"c:\\program files\\my app\\setup -remove", fs),
              L"c:\\program files\\my app\\setup");
    // The longest prefix wins even when a shorter one also exists.
    auto nested = Files({L"C:\\A", L"C:\\A B\\c.exe"});
    EXPECT_EQ(PathRemoveArgs(L"C:\\A B\\c.exe x", nested), L"C:\\A B\\c.exe");
    // Nothing exists: the program ends at the first blank.
    EXPECT_EQ(PathRemoveArgs(L"MsiExec.exe /X{12345678-1234-1234-1234-123456789012}", fs), L"MsiExec.exe");
    EXPECT_EQ(PathRemoveArgs(L"C:\\Missing Folder\\x.exe /q", fs), L"C:\\Missing");
    EXPECT_EQ(PathRemoveArgs(L"C:\\Tools\\run.exe\t-x", fs), L"C:\\Tools\\run.exe");
    EXPECT_EQ(PathRemoveArgs(L"C:\\Tools\\run.exe", nullptr), L"C:\\Tools\\run.exe");
}

TEST(PathText, IconLocationSplitsFileAndIndex) {
    struct TCase {
        std::wstring_view Text;
        std::wstring_view File;
        int Index;
    } cases[] = {
        {L"C:\\App\\app.exe,0", L"C:\\App\\app.exe", 0},
        {L"C:\\App\\app.exe,3", L"C:\\App\\app.exe", 3},
        {L"C:\\App\\app.exe,-101", L"C:\\App\\app.exe", -101},
        {L"C:\\App\\app.exe, 2 ", L"C:\\App\\app.exe", 2},
        {L"C:\\App\\app.ico", L"C:\\App\\app.ico", 0},
        {L"\"C:\\Program Files\\App\\app.exe\",1", L"C:\\Program Files\\App\\app.exe", 1},
        {L"\"C:\\Program Files\\App\\app.exe\" , -5", L"C:\\Program Files\\App\\app.exe", -5},
        {L"\"C:\\Program Files\\App\\app.exe\"", L"C:\\Program Files\\App\\app.exe", 0},
        {L"\"C:\\App\\app.exe,7\"", L"C:\\App\\app.exe", 7},
        {L"\"C:\\a,b\\app.exe\",2", L"C:\\a,b\\app.exe", 2},
        {L"C:\\a,b\\app.exe", L"C:\\a,b\\app.exe", 0},
        {L"C:\\a,b\\app.exe,4", L"C:\\a,b\\app.exe", 4},
        {L"C:\\App\\app.exe,x", L"C:\\App\\app.exe,x", 0},
        {L"C:\\App\\app.exe,", L"C:\\App\\app.exe,", 0},
        {L"C:\\App\\app.exe,99999999999", L"C:\\App\\app.exe,99999999999", 0},
        {L"", L"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractIconFileName(c.Text), c.File) << std::wstring(c.Text);
        EXPECT_EQ(ExtractIconIndex(c.Text), c.Index) << std::wstring(c.Text);
    }
}
