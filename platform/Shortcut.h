#pragma once
// What a shell shortcut (".lnk") points to, read through the shell's link
// object. A shortcut that cannot be read gives empty values.
#include <string>
#include <string_view>

namespace velmora {

class TLnkFileInfo {
public:
    explicit TLnkFileInfo(std::wstring_view linkFile);

    // The target as stored, environment variables unexpanded where the
    // shortcut keeps them so.
    const std::wstring& TargetPath() const { return FTargetPath; }
    // The target as the link object answers it by default, variables expanded.
    const std::wstring& ExpandedTargetPath() const { return FExpandedTargetPath; }
    // The icon file named by the shortcut; empty when it uses its target's icon.
    const std::wstring& IconLocation() const { return FIconLocation; }
    int IconIndex() const { return FIconIndex; }

private:
    std::wstring FTargetPath;
    std::wstring FExpandedTargetPath;
    std::wstring FIconLocation;
    int FIconIndex = 0;
};

} // namespace velmora
