#include "tools/velmora/ConsoleOutput.h"
#include "tests/TestBase.h"

#include <nlohmann/json.hpp>

using namespace velmora::cli;
using json = nlohmann::ordered_json;

// An ordered document compares its fields' order too.
TEST(ConsoleOutput, JsonKeepsFieldOrderAndTypes) {
    std::vector<TRecord> records = {
        {{L"name", L"Name", std::wstring(L"7-Zip \"\u00e9\"\n")},
         {L"size", L"Size", int64_t(42)},
         {L"date", L"Date", 45000.0},
         {L"never", L"Never", 0.0}},
        {{L"name", L"Name", std::monostate{}},
         {L"ok", L"OK", true},
         {L"keys", L"Keys", std::vector<std::wstring>{L"HKLM\\A", L"B"}},
         {L"usedType", L"Usage", TNamedValue{1, L"rarely used"}},
         {L"bytes", L"Size", TSize{343040}}},
    };
    json parsed = json::parse(velmora::Narrow(RenderJson(records)));
    EXPECT_EQ(parsed, json::parse(R"([
        {"name": "7-Zip \"\u00e9\"\n", "size": 42, "date": "2023-03-15", "never": null},
        {"name": null, "ok": true, "keys": ["HKLM\\A", "B"], "usedType": 1, "usedTypeName": "rarely used",
         "bytes": 343040}])"));
    EXPECT_EQ(json::parse(velmora::Narrow(RenderJsonObject(records[1]))), parsed[1]);
}

// People read names, not ordinals; columns are as wide as their widest cell, up to the limit.
TEST(ConsoleOutput, DetailsAndTablesShowNamesAndAlignColumns) {
    // Sizes read as FormatSize gives them: nothing for an unknown one.
    TRecord record = {{L"usedType", L"Usage", TNamedValue{0, L"unknown"}},
                      {L"rating", L"Reputation", TNamedValue{0, L"trustworthy"}},
                      {L"size", L"Size", TSize{343040}}};
    EXPECT_EQ(RenderDetails(record), L"Usage:      unknown\nReputation: trustworthy\nSize:       335.0 KB\n");
    EXPECT_EQ(
        RenderTable(
            {record, {{L"u", L"", std::monostate{}}, {L"r", L"", std::monostate{}}, {L"s", L"", TSize{0}}}}),
        L"Usage    Reputation   Size\n-------  -----------  --------\nunknown  trustworthy  335.0 KB\n\n");
    std::vector<TRecord> records = {
        {{L"n", L"Name", std::wstring(L"Alpha")}, {L"v", L"Version", std::wstring(L"1.0")}},
        {{L"n", L"Name", std::wstring(L"A very long program name")}, {L"v", L"Version", std::monostate{}}},
    };
    EXPECT_EQ(RenderTable(records, 12), L"Name          Version\n"
                                        L"------------  -------\n"
                                        L"Alpha         1.0\n"
                                        L"A very lo...\n");
}

// A store app without a recorded launch has its package's date as its last
// use; people are told so, and nowhere else is a date changed.
TEST(ConsoleOutput, AStoreAppsPackageDateIsNotShownAsALaunch) {
    const struct {
        int64_t UsedType;
        double LastUsed;
        bool StoreApp;
        const wchar_t* Shown;
    } rows[] = {
        {0, 45000.5, true, L"2023-03-15T12:00:00 (installed or updated)"},
        {0, 0.0, true, L""},
        {1, 45000.5, true, L"2023-03-15T12:00:00"},
        {0, 45000.5, false, L"2023-03-15T12:00:00"},
    };
    for (const auto& row : rows) {
        TRecord record = {{L"usedType", L"Usage", TNamedValue{row.UsedType, L""}},
                          {L"lastUsedDate", L"Last used", row.LastUsed},
                          {L"storeApp", L"Store app", row.StoreApp}};
        ExplainUsage(record);
        EXPECT_EQ(ValueText(record[1].Value), row.Shown)
            << row.UsedType << " " << row.LastUsed << " " << row.StoreApp;
    }
}
