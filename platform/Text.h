#pragma once
// Text rules shared by every subsystem.
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Text compares without regard to case the way Windows' ordinal comparison
// does (CompareStringOrdinal(..., TRUE)): code unit by code unit, each folded
// to upper case through one-to-one case pairs of the Basic Multilingual
// Plane. On Windows the comparisons ask the system; the portable build, and
// the per-character helpers everywhere, use a table generated from the same
// rule (platform/generate-case-table.py).
wchar_t FoldCase(wchar_t c);
// Upper or lower case through the same pairs, so that comparing two texts
// upper-cased, lower-cased or with SameText gives one answer.
std::wstring UpperCase(std::wstring_view text);
std::wstring LowerCase(std::wstring_view text);
bool SameText(std::wstring_view a, std::wstring_view b);
// Orders by the upper-case folded code units, a shorter prefix first: -1, 0, 1.
int CompareText(std::wstring_view a, std::wstring_view b);
// Orders as the user's locale does, ignoring case (-1, 0, 1); where the system
// has no locale rules, as CompareText.
int CompareTextLocale(std::wstring_view a, std::wstring_view b);
bool StartsWithText(std::wstring_view text, std::wstring_view prefix);
bool EndsWithText(std::wstring_view text, std::wstring_view suffix);
bool ContainsText(std::wstring_view text, std::wstring_view part);

// A text the system hands out as a C string that may be null (empty then).
std::wstring NullableText(const wchar_t* text);

// ROT13 of the ASCII letters; every other character stays.
std::wstring Rot13(std::wstring_view text);

std::wstring_view Trim(std::wstring_view text);
std::vector<std::wstring> SplitLines(std::wstring_view text);
// The value of a hexadecimal digit of either case; -1 for any other character.
int HexDigit(wchar_t c);

} // namespace velmora
