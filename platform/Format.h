#pragma once
// printf-like formatting of wide text with "%s", "%d" and "%%" only.
// The C library's wide printf disagrees between platforms on what "%s" means,
// so log lines and messages go through this one portable rule instead.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace velmora {

std::wstring Widen(std::string_view text);  // UTF-8 to UTF-16/32
std::string Narrow(std::wstring_view text); // to UTF-8

namespace detail {
std::wstring FormatArgs(std::wstring_view format, std::initializer_list<std::wstring> args);

inline std::wstring ToText(std::wstring_view v) {
    return std::wstring(v);
}
inline std::wstring ToText(const wchar_t* v) {
    return v ? std::wstring(v) : std::wstring();
}
inline std::wstring ToText(const std::wstring& v) {
    return v;
}
inline std::wstring ToText(std::string_view v) {
    return Widen(v);
}
inline std::wstring ToText(const char* v) {
    return v ? Widen(v) : std::wstring();
}
inline std::wstring ToText(bool v) {
    return v ? L"True" : L"False";
}
template <class T>
requires std::is_integral_v<T> std::wstring ToText(T v) {
    return std::to_wstring(v);
}
} // namespace detail

// Each "%s" or "%d" takes the next argument in its text form; missing
// arguments give empty text, surplus arguments are ignored.
template <class... Args> std::wstring Format(std::wstring_view format, const Args&... args) {
    return detail::FormatArgs(format, {detail::ToText(args)...});
}

} // namespace velmora
