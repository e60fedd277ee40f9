
#include "tests/TestBase.h"
#include <windows.h>

#include <cstdio>
#include <numeric>

using namespace velmora;

namespace {

using TCaseCharFn = WCHAR(WINAPI*)(WCHAR);

// The system's per-character case, the one its ordinal comparison folds by.
TCaseCharFn NtdllCaseFunction(const char* name) {
    return reinterpret_cast<TCaseCharFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

bool SystemSame(wchar_t a, wchar_t b) {
    return CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
}

std::string Code(wchar_t c) {
    char text[8];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

std::string FirstOf(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size() && i < 20; ++i)
        text += lines[i] + "\n";
    return text;
}

} // namespace

// Every code unit of the plane, surrogates included (neither side folds a
// half of a pair): the table folds and lowers it as the system does. Sorted
// by the table's folding, each character must then compare to the next as
// the table says; the system's order being total, it is then the table's.
TEST(TextSystem, TheCaseTableFoldsAndOrdersEveryCharacterAsTheSystemDoes) {
    TCaseCharFn systemUpper = NtdllCaseFunction("RtlUpcaseUnicodeChar");
    TCaseCharFn systemLower = NtdllCaseFunction("RtlDowncaseUnicodeChar");
    ASSERT_TRUE(systemUpper && systemLower);

    std::vector<wchar_t> plane(0x10000);
    std::iota(plane.begin(), plane.end(), wchar_t{0});
    std::vector<std::string> differences;
    size_t systemFolds = 0;
    for (const wchar_t c : plane) {
        const wchar_t upper = systemUpper(c), folded = FoldCase(c);
        systemFolds += upper != c;
        if (!SystemSame(c, upper))
            differences.push_back(Code(c) + ": the comparison does not fold by " + Code(upper));
        if (folded != upper)
            differences.push_back(Code(c) + ": system folds to " + Code(upper) + ", table to " +
                                  Code(folded));
        if (!SystemSame(c, folded))
            differences.push_back(Code(c) + ": the comparison tells it from " + Code(folded));
        const wchar_t lower = LowerCase(std::wstring(1, c))[0];
        if (lower != systemLower(c))
            differences.push_back(Code(c) + ": system lower case " + Code(systemLower(c)) + ", table " +
                                  Code(lower));
    }
    std::stable_sort(plane.begin(), plane.end(),
                     [](wchar_t a, wchar_t b) { return FoldCase(a) < FoldCase(b); });
    for (size_t i = 1; i < plane.size(); ++i) {
        const wchar_t a = plane[i - 1], b = plane[i];
        if (CompareText(std::wstring(1, a), std::wstring(1, b)) != (FoldCase(a) == FoldCase(b) ? 0 : -1))
            differences.push_back(Code(a) + " against " + Code(b) + ": out of order");
    }
    EXPECT_TRUE(differences.empty()) << differences.size() << " differences, first:\n"
                                     << FirstOf(differences);
    EXPECT_GT(systemFolds, 1000u) << "the system folds the letters of many scripts";
}
