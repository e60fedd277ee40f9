#include "forceremove/RegistryReads.h"

#include "platform/Registry.h"

namespace velmora {

namespace {

TRegKey OpenForReading(std::wstring_view keyText) {
    auto key = TRegistryKey::FromText(keyText);
    if (!key)
        return {};
    return TRegKey::Open(key->Root, key->Path, KEY_READ,
                         key->View == TRegView::Default ? TRegView::x64 : key->View);
}

} // namespace

std::vector<std::wstring> ReadSubKeyNames(std::wstring_view keyText) {
    return OpenForReading(keyText).SubKeyNames().ToVector();
}

std::vector<std::wstring> ReadValueNames(std::wstring_view keyText) {
    return OpenForReading(keyText).ValueNames().ToVector();
}

std::wstring ReadDefaultString(std::wstring_view keyText) {
    return ReadTextValue(keyText, L"").value_or(std::wstring());
}

std::optional<std::wstring> ReadStringValue(std::wstring_view keyText, std::wstring_view name) {
    return OpenForReading(keyText).ReadString(name);
}

std::optional<std::wstring> ReadTextValue(std::wstring_view keyText, std::wstring_view name) {
    return OpenForReading(keyText).ReadText(name);
}

} // namespace velmora
