#include "tools/velmora/ConsoleOutput.h"

#include <gtest/gtest.h>

using namespace velmora::cli;

TEST(ConsoleOutput, JsonEscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(JsonEscape(L"C:\\Program Files\\\"A\"\n\t\x01"),
              L"C:\\\\Program Files\\\\\\\"A\\\"\\n\\t\\u0001");
    EXPECT_EQ(JsonEscape(L"\u00E4\u20AC"), L"\u00E4\u20AC");
}

TEST(ConsoleOutput, OleDatesAsIsoTextAndEmptyForZero) {
    EXPECT_EQ(FormatOleDate(0), L"");
    EXPECT_EQ(FormatOleDate(2), L"1900-01-01");
    EXPECT_EQ(FormatOleDate(45000), L"2023-03-15");
    EXPECT_EQ(FormatOleDate(36526.5), L"2000-01-01T12:00:00");
    EXPECT_EQ(FormatOleDate(-1), L"1899-12-29");
}

TEST(ConsoleOutput, SizesInBinaryUnits) {
    EXPECT_EQ(FormatSize(0), L"0 B");
    EXPECT_EQ(FormatSize(1023), L"1023 B");
    EXPECT_EQ(FormatSize(1536), L"1.5 KB");
    EXPECT_EQ(FormatSize(20LL * 1024 * 1024), L"20.0 MB");
    EXPECT_EQ(FormatSize(3LL << 40), L"3.0 TB");
}

TEST(ConsoleOutput, JsonKeepsFieldOrderAndTypes) {
    std::vector<TRecord> records = {
        {{L"name", L"Name", std::wstring(L"7-Zip")},
         {L"size", L"Size", int64_t(42)},
         {L"date", L"Date", 45000.0}},
        {{L"name", L"Name", std::monostate{}}, {L"ok", L"OK", true}},
    };
    EXPECT_EQ(RenderJson(records), L"[\n  {\"name\": \"7-Zip\", \"size\": 42, \"date\": \"2023-03-15\"},\n"
                                   L"  {\"name\": null, \"ok\": true}\n]\n");
    EXPECT_EQ(RenderJson({}), L"[]\n");
}

TEST(ConsoleOutput, TableAlignsColumnsAndCutsLongCells) {
    std::vector<TRecord> records = {
        {{L"n", L"Name", std::wstring(L"Alpha")}, {L"v", L"Version", std::wstring(L"1.0")}},
        {{L"n", L"Name", std::wstring(L"A very long program name")}, {L"v", L"Version", std::monostate{}}},
    };
    EXPECT_EQ(RenderTable(records, 12), L"Name          Version\n"
                                        L"------------  -------\n"
                                        L"Alpha         1.0\n"
                                        L"A very lo...\n");
    EXPECT_EQ(RenderTable({}), L"");
}

TEST(ConsoleOutput, DetailsAlignTitles) {
    TRecord record = {{L"n", L"Name", std::wstring(L"App")},
                      {L"l", L"Install location", std::wstring(L"C:\\App")}};
    EXPECT_EQ(RenderDetails(record), L"Name:             App\nInstall location: C:\\App\n");
}

TEST(ConsoleOutput, ActionNamesFollowTheEnumerationOrder) {
    EXPECT_TRUE(ActionNames(0).empty());
    TPossibleActionsSet set = ActionBit(TPossibleActions::paRemoveFromRegistry) |
                              ActionBit(TPossibleActions::paUninstall) |
                              ActionBit(TPossibleActions::paRepair);
    EXPECT_EQ(ActionNames(set),
              (std::vector<std::wstring>{L"Uninstall", L"Repair", L"Remove from registry"}));
}

TEST(ConsoleOutput, ListValuesAsJsonArraysAndIndentedDetailLines) {
    TRecord record = {{L"keys", L"Keys", std::vector<std::wstring>{L"HKLM\\A", L"HKCU\\\"B\""}},
                      {L"none", L"None", std::vector<std::wstring>{}}};
    EXPECT_EQ(RenderJsonObject(record), L"{\"keys\": [\"HKLM\\\\A\", \"HKCU\\\\\\\"B\\\"\"], \"none\": []}");
    EXPECT_EQ(RenderDetails(record), L"Keys: HKLM\\A\n      HKCU\\\"B\"\nNone: \n");
}
