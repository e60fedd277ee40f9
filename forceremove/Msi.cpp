#include "forceremove/Msi.h"

#include "forceremove/RegList.h"
#include "forceremove/RegistrySource.h"
#include "platform/Text.h"

#include <algorithm>

namespace velmora {

namespace {

constexpr wchar_t ContentType[] = L"Content Type";

} // namespace

void AddMsiExtensionKey(TFRRegList& list, const TRegistrySource& registry, std::wstring_view keyText,
                        std::wstring_view progID, std::wstring_view mime) {
    auto fileType = registry.ReadString(keyText, L"");
    if (fileType && !fileType->empty() && !SameText(*fileType, progID))
        return;
    std::vector<std::wstring> own{L""};
    auto contentType = registry.ReadString(keyText, ContentType);
    if (!mime.empty() && contentType && SameText(*contentType, mime))
        own.push_back(ContentType);
    list.AddKeyOrValues(registry, keyText, own);
}

bool MsiComponentSharedWithAnotherProduct(const std::vector<std::wstring>& clients,
                                          std::wstring_view productCode) {
    return std::any_of(clients.begin(), clients.end(),
                       [&](const auto& client) { return !SameText(client, productCode); });
}

} // namespace velmora
