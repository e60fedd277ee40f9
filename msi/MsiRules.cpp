#include "msi/MsiRules.h"

#include <array>

namespace velmora {

std::wstring MsiLongName(std::wstring_view name) {
    auto bar = name.find(L'|');
    return std::wstring(bar == std::wstring_view::npos ? name : name.substr(bar + 1));
}

std::wstring PackedUpgradeCode(std::wstring_view code) {
    // Positions in "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
    static constexpr std::array<uint8_t, 32> Order = {8,  7,  6,  5,  4,  3,  2,  1,  13, 12, 11,
                                                      10, 18, 17, 16, 15, 21, 20, 23, 22, 26, 25,
                                                      28, 27, 30, 29, 32, 31, 34, 33, 36, 35};
    if (code.size() != 38)
        return std::wstring(code);
    std::wstring packed;
    packed.reserve(Order.size());
    for (auto i : Order)
        packed += code[i];
    return packed;
}

TMsiRegistryRoot MsiRegistryRoot(int32_t column) {
    switch (column) {
    case 0:
        return TMsiRegistryRoot::ClassesRoot;
    case 1:
        return TMsiRegistryRoot::CurrentUser;
    case 3:
        return TMsiRegistryRoot::Users;
    default:
        return TMsiRegistryRoot::LocalMachine;
    }
}

std::wstring_view MsiRegistryRootName(TMsiRegistryRoot root) {
    switch (root) {
    case TMsiRegistryRoot::ClassesRoot:
        return L"HKEY_CLASSES_ROOT";
    case TMsiRegistryRoot::CurrentUser:
        return L"HKEY_CURRENT_USER";
    case TMsiRegistryRoot::Users:
        return L"HKEY_USERS";
    case TMsiRegistryRoot::LocalMachine:
        break;
    }
    return L"HKEY_LOCAL_MACHINE";
}

std::optional<TMsiRegistryName> MsiRegistryName(std::wstring_view column) {
    if (column.empty() || column == L"+")
        return std::nullopt;
    if (column == L"*" || column == L"-")
        return TMsiRegistryName{{}, true};
    return TMsiRegistryName{std::wstring(column), false};
}

} // namespace velmora
