#pragma once
// A registry key of the test below HKCU\Software\VelmoraTests, deleted afterwards.
#include "platform/Registry.h"
#include "tests/platform/ScratchKit.h"

namespace velmora::testing {

class TUserTestKey {
public:
    explicit TUserTestKey(std::wstring_view stem) : Path(L"Software\\VelmoraTests\\" + UniqueName(stem)) {}
    ~TUserTestKey() { DeleteKey(TRegRoot::CurrentUser, Path); }
    TUserTestKey(const TUserTestKey&) = delete;
    TUserTestKey& operator=(const TUserTestKey&) = delete;

    // The path of a subkey (or of the key itself) below HKCU.
    std::wstring PathOf(std::wstring_view subKey = {}) const {
        return subKey.empty() ? Path : Path + L"\\" + std::wstring(subKey);
    }
    // Creates the subkey (or the key itself) for reading and writing.
    TRegKey Create(std::wstring_view subKey = {}) const {
        return TRegKey::Create(TRegRoot::CurrentUser, PathOf(subKey), KEY_ALL_ACCESS);
    }
    // The subkey as an item's registry key.
    TRegistryKey Entry(std::wstring_view subKey) const {
        return {TRegView::Default, TRegRoot::CurrentUser, PathOf(subKey)};
    }

    const std::wstring Path;
};

} // namespace velmora::testing
