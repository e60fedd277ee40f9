#include "forceremove/RegistrySource.h"

#include "forceremove/RegistryReads.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace velmora {

namespace {

class TSystemRegistrySource : public TRegistrySource {
public:
    bool Is64BitWindows() const override { return velmora::Is64BitWindows(); }
    std::vector<std::wstring> SubKeyNames(std::wstring_view keyText) const override {
        return ReadSubKeyNames(keyText);
    }
    std::vector<std::wstring> ValueNames(std::wstring_view keyText) const override {
        return ReadValueNames(keyText);
    }
    std::optional<std::wstring> ReadString(std::wstring_view keyText, std::wstring_view name) const override {
        return ReadStringValue(keyText, name);
    }
    std::optional<std::wstring> ReadText(std::wstring_view keyText, std::wstring_view name) const override {
        return ReadTextValue(keyText, name);
    }
    bool KeyExists(std::wstring_view keyText) const override {
        auto key = TRegistryKey::FromText(keyText);
        return key && velmora::KeyExists(key->Root, key->Path, key->View);
    }
    bool SharedByBothViews(std::wstring_view keyText) const override {
        auto key = TRegistryKey::FromText(keyText);
        if (!key)
            return false;
        std::wstring name64 = TRegKey::Open(key->Root, key->Path, KEY_READ, TRegView::x64).ObjectName();
        return !name64.empty() &&
               SameText(name64, TRegKey::Open(key->Root, key->Path, KEY_READ, TRegView::x32).ObjectName());
    }
    bool FileExists(const std::wstring& path) const override { return velmora::FileExists(path); }
    std::optional<std::wstring> Variable(const std::wstring& name) const override {
        return EnvironmentVariable(name);
    }
};

} // namespace

const TRegistrySource& SystemRegistrySource() {
    static const TSystemRegistrySource source;
    return source;
}

} // namespace velmora
