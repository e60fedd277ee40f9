#pragma once
// Rendering rules of the console front end: plain tables for people, JSON
// for scripts. No Windows API here.
#include "api/Enums.Velmora.h"
#include "platform/DateText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmora::cli {

// A value of an enumeration: people read its name, scripts its number.
struct TNamedValue {
    int64_t Ordinal;
    std::wstring Name;
};

// A size in bytes: people read it as FormatSize gives it (nothing when not
// positive, the library's "unknown"), scripts the exact number.
struct TSize {
    int64_t Bytes;
};

// One information value as the front end received it.
using TValue = std::variant<std::monostate, std::wstring, int64_t, double /* OLE date */, bool,
                            std::vector<std::wstring>, TNamedValue, TSize>;

struct TField {
    std::wstring Name;  // JSON key
    std::wstring Title; // column or label text
    TValue Value;
};

using TRecord = std::vector<TField>;

// Human sizes: "512 B", "1.5 KB", "20.0 MB", ...
std::wstring FormatSize(int64_t bytes);
std::wstring ValueText(const TValue& value);

// The usage class "not recorded" (no launch of the program is recorded) of
// a store app comes with the date its package was installed or updated as
// its last-used date (so that a new app is not rarely used): for people the
// date says so. Looks at the fields "usedType", "lastUsedDate" and "storeApp".
void ExplainUsage(TRecord& record);

// The names of the actions in a set, in enumeration order.
std::vector<std::wstring> ActionNames(TPossibleActionsSet actions);

// A JSON object with the record's fields in order: dates as "yyyy-mm-dd"
// texts, an enumeration as its number followed by "<name>Name" with its name.
std::wstring RenderJsonObject(const TRecord& record);
// A JSON array of such objects, one per record.
std::wstring RenderJson(const std::vector<TRecord>& records);
// Columns sized to their widest cell (capped at maxWidth, cut with "..."),
// separated by two spaces, with a header line.
std::wstring RenderTable(const std::vector<TRecord>& records, size_t maxWidth = 48);
// "Title: value" lines, titles aligned; a list value continues on lines of
// its own, indented under its first entry.
std::wstring RenderDetails(const TRecord& record);

} // namespace velmora::cli
