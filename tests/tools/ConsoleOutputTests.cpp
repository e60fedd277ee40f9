#include "tools/velmora/ConsoleOutput.h"
#include "tests/TestBase.h"

using namespace velmora::cli;

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
