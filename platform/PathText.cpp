#include "platform/PathText.h"

#include "platform/Text.h"

#include <climits>

namespace velmora {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

size_t NameStart(std::wstring_view path) {
    size_t pos = path.find_last_of(L"\\/:");
    return pos == std::wstring_view::npos ? 0 : pos + 1;
}

std::wstring_view TrimBlanks(std::wstring_view text) {
    return Trim(text);
}

// A decimal integer with an optional sign and surrounding blanks.
std::optional<int> ParseIndex(std::wstring_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + (c - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

std::wstring IncludeTrailingBackslash(std::wstring_view path) {
    std::wstring result(path);
    if (result.empty() || !IsSeparator(result.back()))
        result += L'\\';
    return result;
}

std::wstring ExcludeTrailingBackslash(std::wstring_view path) {
    while (!path.empty() && IsSeparator(path.back()))
        path.remove_suffix(1);
    return std::wstring(path);
}

std::wstring ExtractFileName(std::wstring_view path) {
    return std::wstring(path.substr(NameStart(path)));
}

std::wstring ExtractFileExt(std::wstring_view path) {
    std::wstring_view name = path.substr(NameStart(path));
    size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring() : std::wstring(name.substr(dot));
}

std::wstring ExtractFilePath(std::wstring_view path) {
    return std::wstring(path.substr(0, NameStart(path)));
}

std::wstring ExtractFileDir(std::wstring_view path) {
    size_t start = NameStart(path);
    std::wstring_view dir = path.substr(0, start);
    // Keep the separator of a root ("C:\", "\").
    if (start > 0 && IsSeparator(dir.back()) && start > 1 && dir[start - 2] != L':')
        dir.remove_suffix(1);
    return std::wstring(dir);
}

std::wstring StripQuotes(std::wstring_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == L'"') {
        text.remove_prefix(1);
        size_t close = text.find(L'"');
        if (close != std::wstring_view::npos)
            text = text.substr(0, close);
    } else if (!text.empty() && text.back() == L'"') {
        text.remove_suffix(1);
    }
    return std::wstring(TrimBlanks(text));
}

std::wstring ExpandVariables(std::wstring_view text, const TVariableFn& variable) {
    std::wstring result;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t open = text.find(L'%', pos);
        if (open == std::wstring_view::npos)
            break;
        size_t close = text.find(L'%', open + 1);
        if (close == std::wstring_view::npos)
            break;
        result.append(text.substr(pos, open - pos));
        std::wstring name(text.substr(open + 1, close - open - 1));
        std::optional<std::wstring> value;
        if (!name.empty() && variable)
            value = variable(name);
        if (value) {
            result += *value;
            pos = close + 1;
        } else {
            // The closing "%" may open the next reference ("%100%%PATH%").
            result.append(text.substr(open, close - open));
            pos = close;
        }
    }
    result.append(text.substr(pos));
    return result;
}

std::wstring PrepareFileName(std::wstring_view text, const TVariableFn& variable) {
    return StripQuotes(ExpandVariables(TrimBlanks(text), variable));
}

TCommandParts SplitCommandLine(std::wstring_view commandLine, const TFileExistsFn& fileExists) {
    std::wstring_view text = TrimBlanks(commandLine);
    if (text.empty())
        return {};
    if (text.front() == L'"') {
        text.remove_prefix(1);
        const size_t close = text.find(L'"');
        std::wstring_view rest =
            close == std::wstring_view::npos ? std::wstring_view() : text.substr(close + 1);
        return {std::wstring(TrimBlanks(text.substr(0, close))), std::wstring(TrimBlanks(rest))};
    }
    if (fileExists) {
        for (size_t end = text.size(); end != std::wstring_view::npos && end > 0;
             end = text.find_last_of(L" \t", end - 1)) {
            std::wstring candidate(TrimBlanks(text.substr(0, end)));
            if (candidate.empty())
                break;
            std::wstring arguments(TrimBlanks(text.substr(end)));
            if (fileExists(candidate))
                return {std::move(candidate), std::move(arguments)};
            if (!EndsWithText(candidate, L".exe") && fileExists(candidate + L".exe"))
                return {candidate + L".exe", std::move(arguments)};
        }
    }
    const size_t blank = text.find_first_of(L" \t");
    if (blank == std::wstring_view::npos)
        return {std::wstring(text), {}};
    return {std::wstring(text.substr(0, blank)), std::wstring(TrimBlanks(text.substr(blank)))};
}

std::wstring PathRemoveArgs(std::wstring_view commandLine, const TFileExistsFn& fileExists) {
    return SplitCommandLine(commandLine, fileExists).Program;
}

std::wstring ProgramOfCommand(std::wstring_view commandLine, const TCommandProbe& probe) {
    auto expand = [&](std::wstring_view text) {
        return probe.Expand ? probe.Expand(text) : std::wstring(text);
    };
    TFileExistsFn exists;
    if (probe.FileExists)
        exists = [&](const std::wstring& path) { return probe.FileExists(expand(path)); };
    std::wstring program = PathRemoveArgs(commandLine, exists);
    if (ExtractFilePath(program).empty() && !program.empty() && probe.Search) {
        std::wstring found = probe.Search(program);
        if (!found.empty())
            program = std::move(found);
    }
    return StripQuotes(expand(TrimBlanks(program)));
}

TIconLocation SplitIconLocation(std::wstring_view text) {
    text = TrimBlanks(text);
    TIconLocation location;
    std::wstring_view name = text;
    if (!text.empty() && text.front() == L'"') {
        size_t close = text.find(L'"', 1);
        if (close != std::wstring_view::npos) {
            std::wstring_view rest = TrimBlanks(text.substr(close + 1));
            if (!rest.empty() && rest.front() == L',') {
                location.FileName = std::wstring(TrimBlanks(text.substr(1, close - 1)));
                location.Index = ParseIndex(rest.substr(1)).value_or(0);
                return location;
            }
            if (rest.empty())
                name = text.substr(1, close - 1); // "file,index" quoted as a whole
        }
    }
    size_t comma = name.rfind(L',');
    if (comma != std::wstring_view::npos) {
        if (auto index = ParseIndex(name.substr(comma + 1))) {
            location.FileName = StripQuotes(name.substr(0, comma));
            location.Index = *index;
            return location;
        }
    }
    location.FileName = StripQuotes(name);
    return location;
}

std::wstring ExtractIconFileName(std::wstring_view text) {
    return SplitIconLocation(text).FileName;
}

int ExtractIconIndex(std::wstring_view text) {
    return SplitIconLocation(text).Index;
}

std::wstring SysnativePath(std::wstring_view path, std::wstring_view systemFolder,
                           std::wstring_view windowsFolder) {
    std::wstring system = IncludeTrailingBackslash(systemFolder);
    if (!StartsWithText(path, system))
        return std::wstring(path);
    return ExcludeTrailingBackslash(windowsFolder) + L"\\Sysnative\\" +
           std::wstring(path.substr(system.size()));
}

} // namespace velmora
