#pragma once
// Text of a package's resource references, as the shell resolves them.
#include <string>
#include <string_view>

namespace velmora::launchet {

// The indirect string the shell resolves for a manifest reference of the
// package: "ms-resource:Name" names a string of the package's "Resources"
// map, "ms-resource:Map/Name" one of another map, "ms-resource:/Map/Name"
// and "ms-resource://Package/Map/Name" are given from the package's root and
// in full. Gives "@{<full name>?ms-resource://<package name>/<map>/<name>}";
// an "@{...}" text comes back as it is; anything else gives empty.
std::wstring IndirectResourceString(std::wstring_view fullName, std::wstring_view packageName,
                                    std::wstring_view reference);

// The text of a reference ("ms-resource:..." or "@{...}") through
// SHLoadIndirectString, empty when it cannot be resolved; any other text
// comes back as it is.
std::wstring ResourceText(std::wstring_view fullName, std::wstring_view packageName, std::wstring_view text);

} // namespace velmora::launchet
