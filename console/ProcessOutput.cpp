#include "console/ProcessOutput.h"

#include "platform/Text.h"

#include <limits>

namespace velmora {

void TProcessOutput::Clear() {
    FLines.clear();
    FLastLineOpen = false;
    FPendingCR = false;
}

void TProcessOutput::Append(std::wstring_view text) {
    if (text.empty())
        return;
    size_t i = 0;
    if (FPendingCR && text.front() == L'\n')
        i = 1;
    FPendingCR = false;
    while (i < text.size()) {
        size_t end = text.find_first_of(L"\r\n", i);
        if (end != i) {
            auto part = text.substr(i, end == std::wstring_view::npos ? std::wstring_view::npos : end - i);
            if (FLastLineOpen)
                FLines.back().append(part);
            else
                FLines.emplace_back(part);
            FLastLineOpen = true;
        }
        if (end == std::wstring_view::npos)
            break;
        // A line break closes the open line, or stands for an empty one.
        if (!FLastLineOpen)
            FLines.emplace_back();
        FLastLineOpen = false;
        i = end + 1;
        if (text[end] == L'\r') {
            if (i < text.size() && text[i] == L'\n')
                ++i;
            else if (i == text.size())
                FPendingCR = true;
        }
    }
}

std::wstring TProcessOutput::Text() const {
    std::wstring text;
    for (auto& line : FLines) {
        text += line;
        text += ConsoleLineBreak;
    }
    return text;
}

bool IsPromptLine(std::wstring_view line) {
    size_t open = line.find(L'(');
    if (open == std::wstring_view::npos || open == 0)
        return false;
    size_t slash = line.find(L'/');
    if (slash == std::wstring_view::npos || slash < open + 2)
        return false;
    size_t close = line.find(L')');
    return close != std::wstring_view::npos && close >= slash + 2;
}

std::optional<std::wstring> FindPrompt(const std::vector<std::wstring>& lines, size_t& lineIndex,
                                       const std::function<void(const std::wstring& line)>& onLine) {
    for (size_t i = lineIndex; i < lines.size(); ++i) {
        const auto& line = lines[i];
        if (onLine)
            onLine(line);
        if (!IsPromptLine(line)) {
            // The last line may still be growing into a prompt: look at it again next time.
            if (i + 1 == lines.size()) {
                lineIndex = i;
                return std::nullopt;
            }
            continue;
        }
        std::wstring question;
        for (size_t q = lineIndex; q < i; ++q) {
            question += lines[q];
            question += ConsoleLineBreak;
        }
        question += Trim(std::wstring_view(line).substr(0, line.find(L'(')));
        if (question.empty() || question.back() != L'?')
            question += L'?';
        lineIndex = i + 1;
        return question;
    }
    return std::nullopt;
}

namespace {

// The code after "Error: ": decimal, blanks anywhere ignored; -1 when the rest
// is not a number that fits the result.
int32_t ErrorLineCode(std::wstring_view line) {
    constexpr size_t prefixLength = 7; // "Error: "
    std::wstring digits;
    for (wchar_t c : line.substr(prefixLength))
        if (c != L' ' && c != L'\t')
            digits += c;
    size_t i = 0;
    bool negative = false;
    if (i < digits.size() && (digits[i] == L'+' || digits[i] == L'-'))
        negative = digits[i++] == L'-';
    if (i == digits.size())
        return -1;
    int64_t value = 0;
    for (; i < digits.size(); ++i) {
        if (digits[i] < L'0' || digits[i] > L'9')
            return -1;
        value = value * 10 + (digits[i] - L'0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return -1;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        return -1;
    return static_cast<int32_t>(value);
}

} // namespace

TOutputResult ResultFromOutput(const std::vector<std::wstring>& lines) {
    TOutputResult result;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::wstring_view line = lines[i];
        size_t hex = line.find(L": 0x");
        if (hex != std::wstring_view::npos && hex > 0)
            result.Result = -1;
        else if (line.starts_with(L"Error: "))
            result.Result = ErrorLineCode(line);
        else
            continue;
        for (size_t e = i; e < lines.size(); ++e) {
            if (e > i)
                result.Errors += ConsoleLineBreak;
            result.Errors += lines[e];
        }
        break;
    }
    return result;
}

} // namespace velmora
