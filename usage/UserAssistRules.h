#pragma once
// The shell's per-user launch counters ("UserAssist"): the value data of both
// layouts and the program paths their value names stand for.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

struct TUserAssistData {
    int32_t Counter = 0;
    int32_t FocusCounter = 0;
    int32_t FocusTime = 0;
    // UTC file time.
    uint64_t LastRun = 0;
};

// Characters of a braced identifier: a subkey of the counters, a known folder.
constexpr size_t BracedIdLength = 38;

// Value data of Windows XP and Vista (16 bytes) and of Windows 7 and later
// (72 bytes); nothing for data of another size.
constexpr size_t UserAssistSizeXP = 16;
constexpr size_t UserAssistSizeWin7 = 72;
std::optional<TUserAssistData> DecodeUserAssistXP(const uint8_t* data, size_t size);
std::optional<TUserAssistData> DecodeUserAssistWin7(const uint8_t* data, size_t size);

// A decoded Windows XP / Vista value name as a path: "UEME_RUNPATH:" records
// give their path (a bare shortcut name lies on the desktop), "UEME_RUNPIDL:"
// records below "%csidl23%" lie in the all-users programs folder; every
// other name gives an empty path.
std::wstring UserAssistPathXP(std::wstring_view name, std::wstring_view desktopFolder,
                              std::wstring_view commonProgramsFolder);

// A known folder's path by its braced identifier; empty when unknown.
using TKnownFolder = std::function<std::wstring(std::wstring_view id)>;
// A decoded Windows 7 value name as a path: each braced identifier met at the
// first "{" is replaced by its folder's path.
std::wstring UserAssistPathWin7(std::wstring_view name, const TKnownFolder& folder);

} // namespace velmora
