#pragma once
// A shared-DLL list that names no file: every file may go.
#include "forceremove/SharedDlls.h"

namespace velmora::testing {

class TNoSharedDlls : public TSharedDllCounts {
public:
    std::vector<std::wstring> Paths() const override { return {}; }
    std::optional<int64_t> Count(const std::wstring&) const override { return std::nullopt; }
};

} // namespace velmora::testing
