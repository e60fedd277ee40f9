#pragma once
// The image file of a package's logo.
#include <string>
#include <string_view>

namespace velmora::launchet {

// The logo named in the manifest (relative to the root folder) when that file
// exists; else the qualified variant Windows would pick at 100% display scale
// ("Logo.scale-100.png", the next larger scale, a smaller one, then the
// largest "Logo.targetsize-N.png"; high-contrast variants last); empty when
// there is none.
std::wstring FindLogo(const std::wstring& rootFolder, std::wstring_view logo);

} // namespace velmora::launchet
