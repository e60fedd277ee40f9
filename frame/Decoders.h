#pragma once
// Decoders for values found in uninstall data: release types, registry
// dates and product codes. Portable; DLLGlobals (frame/Globals.h) hands them
// to the rest of the library.
#include "api/Enums.Velmora.h"

#include <string>
#include <string_view>

namespace velmora {

// Indexed by TReleaseType: "none", "Software Update", ..., "Hotfix".
std::wstring_view ReleaseTypeText(TReleaseType type);
// The first release type whose text equals text without regard to case;
// rtNone when none does.
TReleaseType DecodeReleaseType(std::wstring_view text);

// The OLE date (days since 1899-12-30) of a calendar day; the day must be valid.
double EncodeOleDate(int year, int month, int day);
// "yyyymmdd" (exactly 8 characters, digits, a real calendar day) to the OLE
// date of that day at midnight; 0 otherwise.
double DecodeDateTimeRegistry(std::wstring_view text);

// True when text is a GUID text the system accepts (per OS: CLSIDFromString on
// Windows, the braced 8-4-4-4-12 hexadecimal form elsewhere).
bool IsValidGUIDText(std::wstring_view text);
// A product code from the forms uninstall data carries it in: braced, bare,
// packed (the installer's 32-digit form), or "{guid}_suffix". guidText is
// empty unless one form matched; the result says whether it is filled.
bool TryDecodeGUIDFromStr(std::wstring_view text, std::wstring& guidText);

} // namespace velmora
