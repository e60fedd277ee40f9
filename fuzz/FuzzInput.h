#pragma once
// Helpers of the fuzz targets: inputs as text, and checks that stop the run.
#include "platform/Format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace velmora::fuzz {

// A property of the code under test that does not hold: libFuzzer keeps the input.
inline void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The input as UTF-8 text (the seeds are plain text files).
inline std::wstring Text(const uint8_t* data, size_t size) {
    return Widen(std::string_view(reinterpret_cast<const char*>(data), size));
}

// The input's text cut at line ends into parts (a command line's arguments);
// none for an empty input.
inline std::vector<std::wstring> Lines(const uint8_t* data, size_t size) {
    std::vector<std::wstring> parts(size ? 1 : 0);
    for (wchar_t c : Text(data, size))
        if (c == L'\n')
            parts.emplace_back();
        else
            parts.back() += c;
    return parts;
}

} // namespace velmora::fuzz

using velmora::fuzz::Check;
