#include "platform/Text.h"

#include "platform/TextSystem.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>

namespace velmora {

namespace {

// Every Step-th character from First to Last maps to itself plus Delta.
struct TCaseRun {
    char16_t First;
    char16_t Last;
    uint16_t Step;
    int32_t Delta;
};

#include "platform/CaseTable.inc"

// Nothing past the last run has a case, supplementary characters included
// (native texts hold them whole; on Windows the halves of a surrogate pair
// have no case either).
template <size_t N> wchar_t MapByRuns(const TCaseRun (&runs)[N], wchar_t c) {
    auto after = std::upper_bound(std::begin(runs), std::end(runs), c,
                                  [](wchar_t value, const TCaseRun& run) { return value < run.First; });
    if (after == std::begin(runs))
        return c;
    const TCaseRun& run = *(after - 1);
    if (c > run.Last || (c - run.First) % run.Step != 0)
        return c;
    return static_cast<wchar_t>(c + run.Delta);
}

wchar_t LowerCaseChar(wchar_t c) {
    if (c < 0x80)
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c;
    return MapByRuns(LowerCaseRuns, c);
}

int CompareByTable(std::wstring_view a, std::wstring_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = FoldCase(a[i]), y = FoldCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

wchar_t FoldCase(wchar_t c) {
    if (c < 0x80)
        return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 0x20) : c;
    return MapByRuns(UpperCaseRuns, c);
}

std::wstring UpperCase(std::wstring_view text) {
    std::wstring out(text);
    std::transform(out.begin(), out.end(), out.begin(), FoldCase);
    return out;
}

std::wstring LowerCase(std::wstring_view text) {
    std::wstring out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerCaseChar);
    return out;
}

int CompareText(std::wstring_view a, std::wstring_view b) {
    if (std::optional<int> system = SystemCompareText(a, b))
        return *system;
    return CompareByTable(a, b);
}

int CompareTextLocale(std::wstring_view a, std::wstring_view b) {
    if (a.empty() || b.empty()) // an empty view may carry no pointer
        return a.empty() ? (b.empty() ? 0 : -1) : 1;
    if (std::optional<int> system = SystemCompareTextLocale(a, b))
        return *system;
    return CompareText(a, b);
}

std::wstring NullableText(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring();
}

std::wstring Rot13(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t& c : result) {
        if ((c >= L'a' && c <= L'm') || (c >= L'A' && c <= L'M'))
            c = static_cast<wchar_t>(c + 13);
        else if ((c >= L'n' && c <= L'z') || (c >= L'N' && c <= L'Z'))
            c = static_cast<wchar_t>(c - 13);
    }
    return result;
}

bool SameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

bool StartsWithText(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool EndsWithText(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && SameText(text.substr(text.size() - suffix.size()), suffix);
}

bool ContainsText(std::wstring_view text, std::wstring_view part) {
    if (part.empty())
        return true;
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (SameText(text.substr(i, part.size()), part))
            return true;
    return false;
}

std::wstring_view Trim(std::wstring_view text) {
    auto isSpace = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::wstring> SplitLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

} // namespace velmora
