#include "usage/UserAssistRules.h"

#include "platform/PathText.h"
#include "platform/Text.h"

#include <cstring>

namespace velmora {

namespace {

template <class T> T ReadAt(const uint8_t* data, size_t offset) {
    T value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

constexpr std::wstring_view RunPathPrefix = L"UEME_RUNPATH:";
constexpr std::wstring_view RunPidlPrefix = L"UEME_RUNPIDL:";
constexpr std::wstring_view CommonProgramsMarker = L"%csidl23%";
// The marker and the delimiter after it.
constexpr size_t CommonProgramsMarkerLength = 10;

} // namespace

std::optional<TUserAssistData> DecodeUserAssistXP(const uint8_t* data, size_t size) {
    if (size != UserAssistSizeXP)
        return std::nullopt;
    TUserAssistData value;
    value.Counter = ReadAt<int32_t>(data, 4);
    value.LastRun = ReadAt<uint64_t>(data, 8);
    return value;
}

std::optional<TUserAssistData> DecodeUserAssistWin7(const uint8_t* data, size_t size) {
    if (size != UserAssistSizeWin7)
        return std::nullopt;
    TUserAssistData value;
    value.Counter = ReadAt<int32_t>(data, 4);
    value.FocusCounter = ReadAt<int32_t>(data, 8);
    value.FocusTime = ReadAt<int32_t>(data, 12);
    value.LastRun = ReadAt<uint64_t>(data, 60);
    return value;
}

std::wstring UserAssistPathXP(std::wstring_view name, std::wstring_view desktopFolder,
                              std::wstring_view commonProgramsFolder) {
    if (StartsWithText(name, RunPathPrefix)) {
        std::wstring path(name.substr(RunPathPrefix.size()));
        if (EndsWithText(path, L".lnk") && ExtractFilePath(path).empty())
            path = IncludeTrailingBackslash(desktopFolder) + path;
        return path;
    }
    if (name.substr(0, RunPidlPrefix.size()) == RunPidlPrefix) {
        std::wstring_view rest = name.substr(RunPidlPrefix.size());
        if (rest.substr(0, CommonProgramsMarker.size()) == CommonProgramsMarker)
            return IncludeTrailingBackslash(commonProgramsFolder) +
                   std::wstring(rest.substr(std::min(rest.size(), CommonProgramsMarkerLength)));
    }
    return {};
}

std::wstring UserAssistPathWin7(std::wstring_view name, const TKnownFolder& folder) {
    std::wstring path(name);
    // The search goes on after each replacement, so that a folder path that
    // holds braces itself is taken as it is.
    for (size_t open = path.find(L'{'); open != std::wstring::npos && open + BracedIdLength <= path.size() &&
                                        path[open + BracedIdLength - 1] == L'}';) {
        const std::wstring replacement = folder(std::wstring_view(path).substr(open, BracedIdLength));
        path.replace(open, BracedIdLength, replacement);
        open = path.find(L'{', open + replacement.size());
    }
    return path;
}

} // namespace velmora
