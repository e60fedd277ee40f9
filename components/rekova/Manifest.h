#pragma once
// The manifest of a backup set (manifest.txt in the set's folder), UTF-8 text
// a person can read:
//
//   Backup set: 20261207-014512-0001
//   Name: <name>
//   Description: <description>
//   Begun: 2026-12-07 01:45:12
//   Ended: 2026-12-07 01:46:03
//   Status: successful
//   Size: 18422
//   Records: 2
//
//   1<TAB>file<TAB>C:\Data\a.txt<TAB>attributes=0x00000021<TAB>...<TAB>copy=0001.dat<TAB>size=18000
//   2<TAB>value<TAB>(x64)HKEY_CURRENT_USER\Software\App<TAB>name=Mode<TAB>copy=0002.key<TAB>size=422
//
// One line per record, in the order the records were made: number, kind,
// target, then name=value fields. Inside a text, "%", tabs and line breaks
// (any character below 32) are written as %HH, so that paths read as they are.
// Portable: the text rules only.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::rekova {

enum class TRecordKind : uint8_t {
    File,        // content, attributes and times of a file (copy: its content)
    NewFile,     // a file that did not exist: restoring deletes it
    Folder,      // existence, attributes and times of a folder
    NewFolder,   // created through the interface: restoring removes it when empty
    MovedFolder, // moved from the field "from" to the target: restoring moves it back
    Key,         // a registry key with its values and subkeys (copy: the tree)
    NewKey,      // created through the interface: restoring deletes it
    Value,       // one value (copy: type and data; "present=no" when it was missing)
    Service,     // configuration (config) and the service's registry key (copy)
    NewService,  // created through the interface: restoring deletes it
};

std::wstring_view RecordKindName(TRecordKind kind);
std::optional<TRecordKind> RecordKindFromName(std::wstring_view name);

struct TRecord {
    TRecordKind Kind = TRecordKind::File;
    std::wstring Target;
    std::vector<std::pair<std::wstring, std::wstring>> Fields;

    // Empty when the record has no such field.
    std::wstring Field(std::wstring_view name) const;
    void SetField(std::wstring_view name, std::wstring value);
};

// Status names of a set.
inline constexpr std::wstring_view StatusOpen = L"open";
inline constexpr std::wstring_view StatusSuccessful = L"successful";
inline constexpr std::wstring_view StatusFailed = L"failed";
inline constexpr std::wstring_view StatusIncomplete = L"incomplete";
inline constexpr std::wstring_view StatusRestored = L"restored";

struct TManifest {
    std::wstring Id;
    std::wstring Name;
    std::wstring Description;
    std::wstring Begun; // local time, "YYYY-MM-DD hh:mm:ss"
    std::wstring Ended; // empty while open
    std::wstring Status{StatusOpen};
    int64_t Size = 0; // bytes of the saved copies
    std::vector<TRecord> Records;
};

std::string FormatManifest(const TManifest& manifest);
// Nothing when the text is not a manifest (no "Backup set:" line).
std::optional<TManifest> ParseManifest(std::string_view text);

std::wstring EscapeText(std::wstring_view text);
std::wstring UnescapeText(std::wstring_view text);

} // namespace velmora::rekova
