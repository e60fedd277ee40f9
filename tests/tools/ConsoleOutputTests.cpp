#include "tools/velmora/ConsoleOutput.h"

#include <gtest/gtest.h>

using namespace velmora::cli;

TEST(ConsoleOutput, JsonKeepsFieldOrderAndTypes) {
    std::vector<TRecord> records = {
        {{L"name", L"Name", std::wstring(L"7-Zip")},
         {L"size", L"Size", int64_t(42)},
         {L"date", L"Date", 45000.0}},
        {{L"name", L"Name", std::monostate{}},
         {L"ok", L"OK", true},
         {L"keys", L"Keys", std::vector<std::wstring>{L"HKLM\\A", L"B"}}},
    };
    EXPECT_EQ(RenderJson(records),
              L"[\n  {\"name\": \"7-Zip\", \"size\": 42, \"date\": \"2023-03-15\"},\n"
              L"  {\"name\": null, \"ok\": true, \"keys\": [\"HKLM\\\\A\", \"B\"]}\n]\n");
}

TEST(ConsoleOutput, TableAlignsColumns) {
    std::vector<TRecord> records = {
        {{L"n", L"Name", std::wstring(L"Alpha")}, {L"v", L"Version", std::wstring(L"1.0")}},
        {{L"n", L"Name", std::wstring(L"A very long program name")}, {L"v", L"Version", std::monostate{}}},
    };
    EXPECT_EQ(RenderTable(records, 12), L"Name          Version\n"
                                        L"------------  -------\n"
                                        L"Alpha         1.0\n"
                                        L"A very lo...\n");
}
