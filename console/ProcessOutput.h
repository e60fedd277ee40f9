#pragma once
// What the console runner makes of a tool's output: the text kept as lines
// while it arrives, the yes/no prompts found in it and the result code and
// error text derived from its error lines. No Windows API here.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Joins the lines of a question and of an error text.
inline constexpr std::wstring_view ConsoleLineBreak = L"\r\n";

// Output arriving in pieces. A piece may end inside a line (the next piece
// continues it) or between the CR and LF of one line break.
class TProcessOutput {
public:
    void Clear();
    void Append(std::wstring_view text);

    const std::vector<std::wstring>& Lines() const { return FLines; }
    bool Empty() const { return FLines.empty(); }
    // The lines, each followed by a line break.
    std::wstring Text() const;

private:
    std::vector<std::wstring> FLines;
    bool FLastLineOpen = false; // the last line has not seen its line break yet
    bool FPendingCR = false;    // the text ended with CR: a leading LF belongs to it
};

// A yes/no choice written in parentheses with a slash: "(" after the first
// character, "/" two or more characters after it, ")" two or more after that
// (first occurrence of each in the line).
bool IsPromptLine(std::wstring_view line);

// Looks for the next prompt from lineIndex. Every line looked at is passed to
// onLine. Without a prompt the index stops at the last line, which may still
// grow; with one it moves past the prompt line and the question is answered:
// the lines before the prompt since lineIndex, each with a line break, then
// the prompt's text before "(" trimmed, ending in "?".
std::optional<std::wstring> FindPrompt(const std::vector<std::wstring>& lines, size_t& lineIndex,
                                       const std::function<void(const std::wstring& line)>& onLine = {});

struct TOutputResult {
    int32_t Result = 0;
    std::wstring Errors; // the error line and every line after it
};

// The result code of a tool from its output: the first line starting with
// "Error: " gives the number after it (-1 when it is none), the first line
// with ": 0x" after its first character gives -1; 0 without such a line.
TOutputResult ResultFromOutput(const std::vector<std::wstring>& lines);

} // namespace velmora
