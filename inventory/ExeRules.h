#pragma once
// The rules of the executable catalogue that need no operating system: name
// cleaning, uninstaller and extension tests, the decoding of Run values and
// Explorer usage records, and the choice of a program's executable among the
// catalogue's entries.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Rank of an extension not in the table: such a file is never chosen.
inline constexpr int32_t NoExtensionRank = 2147483647;

// A display or shortcut name reduced to its bare product name: the first
// bracketed note removed, a trailing run of blanks, "-", "." and digits cut
// (unless that run is the whole text), blanks trimmed.
std::wstring CleanName(std::wstring_view name);

// The file name (without folder) is a known uninstaller or setup program.
bool IsUninstaller(std::wstring_view fileName);

// Preference of a file's extension, lower is better; NoExtensionRank when the
// extension is not one of an executable's.
int32_t ExtensionRank(std::wstring_view fileName);

// The executable a Run value starts: one pair of enclosing quotes stripped,
// lower-cased; nothing unless it then ends in ".exe" (a command line with
// arguments after an unquoted path therefore gives nothing).
std::optional<std::wstring> RunValueExecutable(std::wstring_view value);

// The file an Explorer usage record names ("UEME_RUNPATH:<path>"), decoded
// with ROT13 first when encoded. A bare shortcut name is taken from
// desktopFolder. Nothing for other records and for files that are neither
// ".exe" nor ".lnk".
std::optional<std::wstring> UsageRecordFile(std::wstring_view valueName, bool encoded,
                                            std::wstring_view desktopFolder);

// What the choice looks at of one catalogue entry.
struct TExeRecord {
    std::wstring_view ExecutedFile;
    std::wstring_view LinkFile;
    std::wstring_view LinkName;
};

// The position of the entry that is a program's executable, or nothing. An
// entry qualifies by its shortcut name (equal to the cleaned display name, or
// contained in it with the executable under the install location) or by its
// folder (the executable's or the shortcut's folder is the install location);
// uninstallers never do. Among those the best extension rank wins, the first
// entry on a tie; an entry without a ranked extension is never chosen.
std::optional<size_t> ChooseExecutable(std::wstring_view displayName, std::wstring_view installLocation,
                                       size_t count, const std::function<TExeRecord(size_t)>& record);

} // namespace velmora
