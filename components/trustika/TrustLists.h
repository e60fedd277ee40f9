#pragma once
// The local lists the user (or an administrator) keeps about files and
// companies, read from the registry at every question so that an edit counts
// at once.
//
// Place: "Software\Velmora\Trustika" under HKEY_CURRENT_USER (the user's own
// lists) and under HKEY_LOCAL_MACHINE (machine-wide lists, 64-bit view), each
// with the subkeys "TrustedFiles", "RiskyFiles", "TrustedCompanies" and
// "RiskyCompanies". Every value name of a subkey is one entry; the value's
// type and data are ignored, so they may say why the entry was made. An
// entry of both roots counts. File entries may contain environment
// variables; one ending with "\" names a folder and everything below it.
#include <string>
#include <string_view>
#include <vector>

namespace velmora::trustika {

inline constexpr std::wstring_view ListsKeyPath = L"Software\\Velmora\\Trustika";

enum class TList { TrustedFiles, RiskyFiles, TrustedCompanies, RiskyCompanies };

std::wstring_view ListSubKeyName(TList list);

// The entries of one list from both roots, as written.
std::vector<std::wstring> ReadListEntries(TList list);

// A file path in the one form entries are compared in: variables expanded,
// separators normalised, made absolute with "." and ".." resolved (so that
// "C:\Trusted\..\Other\x.exe" is not below "C:\Trusted\"). No file-system
// access: the path need not exist.
std::wstring CanonicalFilePath(std::wstring_view path);

// Whether the canonical path is listed in a file list.
bool FileListed(TList list, std::wstring_view canonicalPath);
// Whether the company is listed in a company list.
bool CompanyListed(TList list, std::wstring_view company);

} // namespace velmora::trustika
