#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace velmora::cli {

// Writes to standard output or error: wide text on a console, UTF-8 when
// redirected.
void WriteOut(std::wstring_view text);
void WriteErr(std::wstring_view text);
// One line from standard input without its line end; nothing at its end.
std::optional<std::wstring> ReadLine();
// An answer typed to a yes/no question: true for y or yes, false for n or
// no (any letter case, spaces ignored), nothing for anything else.
std::optional<bool> YesOrNo(std::wstring_view answer);
// The width of the console that standard error writes to; 0 when standard
// error is not a console.
size_t ErrConsoleWidth();

// One line of progress on the console of standard error, rewritten in place
// ("\r") and cleared at its end; nothing when standard error is not a console.
class TStatusLine {
public:
    TStatusLine() : FWidth(ErrConsoleWidth()) {}
    ~TStatusLine() { Clear(); }
    TStatusLine(const TStatusLine&) = delete;
    TStatusLine& operator=(const TStatusLine&) = delete;
    void Show(std::wstring_view text);
    void Clear();

private:
    size_t FWidth;
    std::wstring FText;
    size_t FShown = 0;
};

} // namespace velmora::cli
