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

} // namespace velmora::cli
