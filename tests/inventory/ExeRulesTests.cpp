#include "inventory/ExeRules.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velmora;

namespace {

struct TEntry {
    std::wstring ExecutedFile, LinkFile, LinkName;
};

std::optional<size_t> Choose(std::wstring_view displayName, std::wstring_view location,
                             const std::vector<TEntry>& entries) {
    return ChooseExecutable(displayName, location, entries.size(), [&](size_t i) {
        return TExeRecord{entries[i].ExecutedFile, entries[i].LinkFile, entries[i].LinkName};
    });
}

} // namespace

TEST(ExeRules, UsageRecordsNameExecutables) {
    const std::wstring desktop = L"C:\\Users\\me\\Desktop";
    const std::wstring encoded = Rot13(L"UEME_RUNPATH:C:\\App\\app.exe");
    EXPECT_EQ(UsageRecordFile(encoded, true, desktop), L"C:\\App\\app.exe");
    EXPECT_FALSE(UsageRecordFile(encoded, false, desktop));
    EXPECT_FALSE(UsageRecordFile(L"UEME_RUNPATH:C:\\App\\app.exe", true, desktop));
    // A bare shortcut name lives on the desktop.
    EXPECT_EQ(UsageRecordFile(L"UEME_RUNPATH:Game.LNK", false, desktop), L"C:\\Users\\me\\Desktop\\Game.LNK");
    EXPECT_FALSE(UsageRecordFile(L"UEME_RUNPATH:C:\\Tools\\run.bat", false, desktop));
}

TEST(ExeRules, ChoiceByShortcutNameNeedsTheFolderForAPartialMatch) {
    const std::vector<TEntry> byName = {
        {L"C:\\Other\\other.exe", L"C:\\Menu\\Other.lnk", L"Other"},
        {L"C:\\Apps\\Suite\\Bin\\editor.exe", L"C:\\Menu\\Editor.lnk", L"Editor"},
        {L"D:\\Apps\\W\\widget.exe", L"C:\\Menu\\Widget Pro.lnk", L"Widget Pro"},
    };
    EXPECT_EQ(Choose(L"WIDGET PRO 2.5.1 (x64 edition)", L"", byName), 2u);
    // A shortcut name inside the display name needs the install folder as well.
    EXPECT_EQ(Choose(L"Suite Editor 4", L"C:\\Apps\\Suite", byName), 1u);
    EXPECT_FALSE(Choose(L"Suite Editor 4", L"C:\\Apps\\Other", byName));
}

TEST(ExeRules, ChoiceSkipsUninstallersAndPrefersTheBestExtension) {
    const std::wstring folder = L"C:\\Apps\\Tool\\";
    std::vector<TEntry> entries = {
        {folder + L"unins000.exe", L"", L"Tool"}, {folder + L"readme.txt", L"", L"Tool"},
        {folder + L"tool.dll", L"", L""},         {folder + L"noext", L"", L""},
        {folder + L"start.bat", L"", L""},        {folder + L"tool.exe", L"", L""},
        {folder + L"second.exe", L"", L""},
    };
    EXPECT_EQ(Choose(L"Tool", folder, entries), 5u);
    entries.resize(5);
    EXPECT_EQ(Choose(L"Tool", folder, entries), 4u);
    entries.resize(4);
    EXPECT_FALSE(Choose(L"Tool", folder, entries));
}
