#pragma once
// The reputation component's rules that need no Windows API: how an entry of
// a local list matches, how paths are put into one form, and in which order
// the evidence about a file decides its rating.
#include "api/Enums.Velmora.h"

#include <functional>
#include <string>
#include <string_view>

namespace velmora::trustika {

// A file entry ending with "\" names a folder and matches every path below
// it; any other entry matches that one path. Both are compared without
// regard to case.
bool FileEntryMatches(std::wstring_view entry, std::wstring_view path);
// Company entries match the whole name, without regard to case.
bool CompanyEntryMatches(std::wstring_view entry, std::wstring_view company);

// Surrounding blanks and quotes removed, "/" turned into "\" and runs of "\"
// after the first character collapsed, so that entries and questions compare
// in one form. The leading "\\" of a network path is kept.
std::wstring NormalizePath(std::wstring_view path);
// A path that names a network share ("\\server\share\..." or
// "\\?\UNC\server\..."): touching it may wait on the network.
bool IsNetworkSharePath(std::wstring_view path);

// What is known about one file.
struct TFileEvidence {
    bool ListedRisky = false;
    bool ListedTrusted = false;
    // Asked only when the lists settle nothing: it is the expensive check.
    std::function<bool()> SignatureVerifies;
};

// An explicit risky listing beats everything, a trusted listing or a
// verified signature makes a file trustworthy, anything else is unknown.
TSoftwareRating DecideFileRating(const TFileEvidence& evidence);
TSoftwareRating DecideCompanyRating(bool listedRisky, bool listedTrusted);

} // namespace velmora::trustika
