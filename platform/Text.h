#pragma once
// Text rules shared by every subsystem.
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Ordinal upper-case folding, the rule of CompareStringOrdinal(..., TRUE).
wchar_t FoldCase(wchar_t c);
std::wstring UpperCase(std::wstring_view text);
std::wstring LowerCase(std::wstring_view text);
bool SameText(std::wstring_view a, std::wstring_view b);
int CompareText(std::wstring_view a, std::wstring_view b);
bool StartsWithText(std::wstring_view text, std::wstring_view prefix);
bool EndsWithText(std::wstring_view text, std::wstring_view suffix);
bool ContainsText(std::wstring_view text, std::wstring_view part);

std::wstring_view Trim(std::wstring_view text);
std::vector<std::wstring> SplitLines(std::wstring_view text);

} // namespace velmora
