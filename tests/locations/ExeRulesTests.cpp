#include "locations/ExeRules.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velmora;

namespace {

struct TEntry {
    std::wstring ExecutedFile;
    std::wstring LinkFile;
    std::wstring LinkName;
};

std::optional<size_t> Choose(std::wstring_view displayName, std::wstring_view location,
                             const std::vector<TEntry>& entries) {
    return ChooseExecutable(displayName, location, entries.size(), [&](size_t i) {
        return TExeRecord{entries[i].ExecutedFile, entries[i].LinkFile, entries[i].LinkName};
    });
}

} // namespace

TEST(ExeRules, CleanNameKeepsTheBareProductName) {
    EXPECT_EQ(CleanName(L"Widget Pro 2.5.1 (x64 edition)"), L"Widget Pro");
    EXPECT_EQ(CleanName(L"Widget Pro (x64) 2.5"), L"Widget Pro");
    EXPECT_EQ(CleanName(L"Tool-3"), L"Tool");
    EXPECT_EQ(CleanName(L"  Plain Name  "), L"Plain Name");
    // Only the first bracketed note goes; an unclosed bracket stays.
    EXPECT_EQ(CleanName(L"A (one) B (two)"), L"A  B (two)");
    EXPECT_EQ(CleanName(L"Open (note"), L"Open (note");
    EXPECT_EQ(CleanName(L"Close) (x)"), L"Close)");
    // A name made only of version characters is left as it is.
    EXPECT_EQ(CleanName(L"2010"), L"2010");
    EXPECT_EQ(CleanName(L" 7-8 "), L"7-8");
    EXPECT_EQ(CleanName(L"(beta) 1.0"), L"1.0");
    EXPECT_EQ(CleanName(L""), L"");
    // Letters inside a version stop the cut.
    EXPECT_EQ(CleanName(L"Suite 10 Build 3b"), L"Suite 10 Build 3b");
}

TEST(ExeRules, UninstallersAndSetupProgramsAreRecognisedByFileName) {
    EXPECT_TRUE(IsUninstaller(L"C:\\Program Files\\App\\unins000.exe"));
    EXPECT_TRUE(IsUninstaller(L"C:\\App\\UNINS001.EXE"));
    EXPECT_TRUE(IsUninstaller(L"C:\\App\\Setup.exe"));
    EXPECT_TRUE(IsUninstaller(L"uninst.exe"));
    EXPECT_TRUE(IsUninstaller(L"C:\\App\\uninst-app.exe"));
    EXPECT_TRUE(IsUninstaller(L"C:\\Windows\\System32\\msiexec.exe"));
    EXPECT_TRUE(IsUninstaller(L"C:\\App\\Uninstall.exe"));
    EXPECT_TRUE(IsUninstaller(L"C:\\App\\sptdinst-x64.exe"));
    // The folder does not count, and near misses are programs.
    EXPECT_FALSE(IsUninstaller(L"C:\\setup.d\\app.exe"));
    EXPECT_FALSE(IsUninstaller(L"C:\\App\\setupwizard.exe"));
    EXPECT_FALSE(IsUninstaller(L"C:\\App\\uninstaller.exe"));
    EXPECT_FALSE(IsUninstaller(L"C:\\App\\msiexe.exe"));
    EXPECT_FALSE(IsUninstaller(L""));
}

TEST(ExeRules, ExtensionRanksFollowTheTable) {
    EXPECT_EQ(ExtensionRank(L"C:\\App\\run.EXE"), 0);
    EXPECT_EQ(ExtensionRank(L"run.bat"), 1);
    EXPECT_EQ(ExtensionRank(L"run.Cmd"), 2);
    EXPECT_EQ(ExtensionRank(L"run.jar"), 4);
    EXPECT_EQ(ExtensionRank(L"run.vbscript"), 8);
    EXPECT_EQ(ExtensionRank(L"run.msi"), 13);
    EXPECT_EQ(ExtensionRank(L"run.pl"), 14);
    EXPECT_EQ(ExtensionRank(L"C:\\App\\lib.dll"), NoExtensionRank);
    EXPECT_EQ(ExtensionRank(L"C:\\App\\readme.txt"), NoExtensionRank);
    EXPECT_EQ(ExtensionRank(L"C:\\App.d\\noext"), NoExtensionRank);
    EXPECT_EQ(ExtensionRank(L""), NoExtensionRank);
    EXPECT_EQ(NoExtensionRank, 2147483647);
}

TEST(ExeRules, Rot13MovesOnlyAsciiLetters) {
    EXPECT_EQ(Rot13(L"UEME_RUNPATH:C:\\x.exe"), L"HRZR_EHACNGU:P:\\k.rkr");
    EXPECT_EQ(Rot13(Rot13(L"Any Text 123 \u00e9!")), L"Any Text 123 \u00e9!");
    EXPECT_EQ(Rot13(L"amnzAMNZ"), L"nzamNZAM");
}

TEST(ExeRules, RunValuesYieldAQuotedOrBareExecutable) {
    EXPECT_EQ(RunValueExecutable(L"\"C:\\Program Files\\Tray\\Tray.exe\" /background"),
              L"c:\\program files\\tray\\tray.exe");
    EXPECT_EQ(RunValueExecutable(L"C:\\Tools\\Agent.EXE"), L"c:\\tools\\agent.exe");
    // Arguments after an unquoted path leave no ".exe" extension.
    EXPECT_FALSE(RunValueExecutable(L"C:\\Tools\\agent.exe /min"));
    EXPECT_FALSE(RunValueExecutable(L"rundll32.exe shell32.dll,Control_RunDLL"));
    EXPECT_FALSE(RunValueExecutable(L"\"C:\\Tools\\script.bat\""));
    EXPECT_FALSE(RunValueExecutable(L""));
    // A lone leading quote is dropped.
    EXPECT_EQ(RunValueExecutable(L"\"C:\\a.exe"), L"c:\\a.exe");
}

TEST(ExeRules, UsageRecordsNameExecutablesAndShortcuts) {
    const std::wstring desktop = L"C:\\Users\\me\\Desktop";
    EXPECT_EQ(UsageRecordFile(Rot13(L"UEME_RUNPATH:C:\\App\\app.exe"), true, desktop), L"C:\\App\\app.exe");
    EXPECT_EQ(UsageRecordFile(L"ueme_RunPath:C:\\App\\app.exe", false, desktop), L"C:\\App\\app.exe");
    // A plain name read as encoded, or an encoded one read as plain, is no run path.
    EXPECT_FALSE(UsageRecordFile(L"UEME_RUNPATH:C:\\App\\app.exe", true, desktop));
    EXPECT_FALSE(UsageRecordFile(Rot13(L"UEME_RUNPATH:C:\\App\\app.exe"), false, desktop));
    // A bare shortcut name lives on the desktop; one with a folder stays.
    EXPECT_EQ(UsageRecordFile(L"UEME_RUNPATH:Game.LNK", false, desktop), L"C:\\Users\\me\\Desktop\\Game.LNK");
    EXPECT_EQ(UsageRecordFile(L"UEME_RUNPATH:D:\\Links\\Game.lnk", false, desktop), L"D:\\Links\\Game.lnk");
    EXPECT_EQ(UsageRecordFile(L"UEME_RUNPATH:app.exe", false, desktop), L"app.exe");
    // Other records and other file kinds.
    EXPECT_FALSE(UsageRecordFile(L"UEME_RUNCPL:C:\\x.cpl", false, desktop));
    EXPECT_FALSE(UsageRecordFile(L"UEME_RUNPATH:C:\\Docs\\letter.doc", false, desktop));
    EXPECT_FALSE(UsageRecordFile(L"UEME_RUNPATH:C:\\Tools\\run.bat", false, desktop));
    EXPECT_FALSE(UsageRecordFile(L"UEME_CTLSESSION", false, desktop));
}

TEST(ExeRules, ChoiceByShortcutNameMatchesADisplayNameWithVersionAndNote) {
    std::vector<TEntry> entries = {
        {L"C:\\Other\\other.exe", L"C:\\Menu\\Other.lnk", L"Other"},
        {L"D:\\Apps\\W\\widget.exe", L"C:\\Menu\\Widget Pro.lnk", L"Widget Pro"},
    };
    EXPECT_EQ(Choose(L"Widget Pro 2.5.1 (x64 edition)", L"", entries), 1u);
    EXPECT_EQ(Choose(L"WIDGET PRO", L"C:\\Elsewhere", entries), 1u);
    EXPECT_FALSE(Choose(L"Gadget 2", L"", entries));
    EXPECT_FALSE(Choose(L"", L"", entries));
}

TEST(ExeRules, ChoiceByInstallFolderOfTheExecutableOrTheShortcut) {
    std::vector<TEntry> entries = {
        {L"C:\\Apps\\Tool\\Sub\\deep.exe", L"", L""},
        {L"C:\\apps\\tool\\tool.exe", L"", L""},
        {L"C:\\Elsewhere\\x.exe", L"C:\\Apps\\Tool\\Launch.lnk", L"Launch"},
    };
    EXPECT_EQ(Choose(L"Unrelated", L"C:\\Apps\\Tool", entries), 1u);
    EXPECT_EQ(Choose(L"Unrelated", L"C:\\Apps\\Tool\\", entries), 1u);
    entries.erase(entries.begin() + 1);
    EXPECT_EQ(Choose(L"Unrelated", L"C:\\Apps\\Tool", entries), 1u);
    // Without an install location no folder matches.
    EXPECT_FALSE(Choose(L"Unrelated", L"", entries));
}

TEST(ExeRules, ChoiceByShortcutNameInsideTheDisplayNameNeedsTheInstallFolder) {
    std::vector<TEntry> entries = {
        {L"C:\\Apps\\Suite\\Bin\\editor.exe", L"C:\\Menu\\Editor.lnk", L"Editor"},
    };
    EXPECT_EQ(Choose(L"Suite Editor 4", L"C:\\Apps\\Suite", entries), 0u);
    EXPECT_FALSE(Choose(L"Suite Editor 4", L"C:\\Apps\\Other", entries));
    EXPECT_FALSE(Choose(L"Suite Editor 4", L"", entries));
}

TEST(ExeRules, ChoiceSkipsUninstallersAndPrefersTheBestExtension) {
    const std::wstring folder = L"C:\\Apps\\Tool\\";
    std::vector<TEntry> entries = {
        {folder + L"unins000.exe", L"", L"Tool"},
        {folder + L"setup.exe", L"", L""},
        {folder + L"readme.txt", L"", L"Tool"},
        {folder + L"tool.dll", L"", L""},
        {folder + L"noext", L"", L""},
        {folder + L"start.bat", L"", L""},
        {folder + L"tool.exe", L"", L""},
        {folder + L"second.exe", L"", L""},
    };
    EXPECT_EQ(Choose(L"Tool", folder, entries), 6u);
    // Without the executables the batch file is the best left.
    entries.resize(6);
    EXPECT_EQ(Choose(L"Tool", folder, entries), 5u);
    // Uninstallers, documents, libraries and files without extension never qualify.
    entries.resize(5);
    EXPECT_FALSE(Choose(L"Tool", folder, entries));
    // An entry not yet resolved to a file is not chosen either.
    EXPECT_FALSE(Choose(L"Tool", folder, {{L"", L"C:\\Apps\\Tool\\Tool.lnk", L"Tool"}}));
}
