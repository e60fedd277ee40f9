#pragma once
// Portable rules for file names and command lines. The few facts that need the
// operating system (does a file exist, what is a variable's value) come in as
// callbacks; platform/Paths.h binds them to Windows.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The Win32 headers define these names as macros (shlwapi.h, winbase.h).
#ifdef PathRemoveArgs
#undef PathRemoveArgs
#endif
#ifdef SearchPath
#undef SearchPath
#endif

namespace velmora {

using TFileExistsFn = std::function<bool(const std::wstring& path)>;
// The value of an environment variable, or nothing when it is not set.
using TVariableFn = std::function<std::optional<std::wstring>(const std::wstring& name)>;

std::wstring IncludeTrailingBackslash(std::wstring_view path);
std::wstring ExcludeTrailingBackslash(std::wstring_view path);
// The part after the last "\", "/" or ":".
std::wstring ExtractFileName(std::wstring_view path);
// The extension with its dot (".exe"), empty when the file name has none.
std::wstring ExtractFileExt(std::wstring_view path);
// The folder with a trailing separator ("C:\Dir\"), empty without a folder part.
std::wstring ExtractFilePath(std::wstring_view path);
// The folder without a trailing separator, except for a root ("C:\").
std::wstring ExtractFileDir(std::wstring_view path);

// Removes one pair of surrounding quotes (or a lone leading one) and the
// blanks around the text.
std::wstring StripQuotes(std::wstring_view text);

// Replaces each "%NAME%" whose variable is set; unknown names and a lone "%"
// stay as written, as the system's expansion does.
std::wstring ExpandVariables(std::wstring_view text, const TVariableFn& variable);

// A file name as found in the registry or a shortcut: variables expanded,
// surrounding blanks and quotes removed.
std::wstring PrepareFileName(std::wstring_view text, const TVariableFn& variable);

// A command line cut into the program as written (quotes removed) and the
// arguments after it, both without surrounding blanks.
struct TCommandParts {
    std::wstring Program;
    std::wstring Arguments;
};
// A quoted program ends at its closing quote. An unquoted one may contain
// blanks: the longest prefix ending before a blank that names an existing
// file wins, also with ".exe" appended (then the program carries the ".exe");
// when none exists the program ends at the first blank.
TCommandParts SplitCommandLine(std::wstring_view commandLine, const TFileExistsFn& fileExists);
// The program part of SplitCommandLine.
std::wstring PathRemoveArgs(std::wstring_view commandLine, const TFileExistsFn& fileExists);

// What finding the program of a command asks of the system.
struct TCommandProbe {
    // Whether a file exists (its name with variables expanded).
    TFileExistsFn FileExists;
    // Variables expanded; the text unchanged when not set.
    std::function<std::wstring(std::wstring_view text)> Expand;
    // The full path the system search path finds for a file name; empty
    // when it finds none.
    std::function<std::wstring(const std::wstring& fileName)> Search;
};

// The program file a command line runs: the arguments removed (blanks in an
// unquoted path resolved against the existing files), a name without a
// folder looked up on the search path, variables expanded and quotes removed.
// Product actions, the check for a missing uninstaller and the install
// folder taken from an uninstall command all use this one rule.
std::wstring ProgramOfCommand(std::wstring_view commandLine, const TCommandProbe& probe);

// An icon reference "file,index": the file may be quoted, the index may be
// negative (a resource id) and is 0 when absent or not a number.
struct TIconLocation {
    std::wstring FileName;
    int Index = 0;
};
TIconLocation SplitIconLocation(std::wstring_view text);
std::wstring ExtractIconFileName(std::wstring_view text);
int ExtractIconIndex(std::wstring_view text);

// The path by which a 32-bit process under WOW64 reaches a file of the real
// (64-bit) system folder: "<windows>\Sysnative\" in place of the system
// folder, ignoring case. Paths outside the system folder are unchanged.
std::wstring SysnativePath(std::wstring_view path, std::wstring_view systemFolder,
                           std::wstring_view windowsFolder);

} // namespace velmora
