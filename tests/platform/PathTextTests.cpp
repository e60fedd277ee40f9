#include "platform/PathText.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <set>

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

TEST(PathText, PathRemoveArgsCutsAtTheQuoteOrTheLongestExistingPrefix) {
    std::set<std::wstring> files;
    for (const wchar_t* name : {L"C:\\Program Files\\My App\\uninstall.exe",
                                L"C:\\Program Files\\My App\\setup", L"C:\\Program Files\\My App\\setup.exe"})
        files.insert(UpperCase(name));
    TFileExistsFn fs = [&](const std::wstring& path) { return files.count(UpperCase(path)) > 0; };
    const std::pair<std::wstring_view, std::wstring_view> cases[] = {
        {L"\"C:\\Program Files\\App\\unins000.exe\" /SILENT", L"C:\\Program Files\\App\\unins000.exe"},
        {L"C:\\Program Files\\My App\\uninstall.exe /S /D=C:\\x y",
         L"C:\\Program Files\\My App\\uninstall.exe"},
        {L"C:\\Program Files\\My App\\uninstall /S", L"C:\\Program Files\\My App\\uninstall.exe"},
        {L"c:\\program files\\my app\\setup -remove", L"c:\\program files\\my app\\setup"},
        {L"C:\\Missing Folder\\x.exe /q", L"C:\\Missing"},
        {L"C:\\Tools\\run.exe\t-x", L"C:\\Tools\\run.exe"},
    };
    for (const auto& [command, program] : cases)
        EXPECT_EQ(PathRemoveArgs(command, fs), program) << std::wstring(command);
}
