#include "platform/RekovaSettings.h"

#include "platform/Registry.h"

namespace velmora::RekovaSettings {

namespace {

constexpr int64_t MiB = 1024 * 1024;

std::wstring ToolKey(std::wstring_view toolName) {
    return std::wstring(SettingsKey) + L"\\Tools\\" + std::wstring(toolName);
}

} // namespace

std::vector<TSettingsRekovaItem> GetItemsByID(std::wstring_view toolName) {
    if (toolName.empty())
        return {};
    TRegKey key = TRegKey::Open(HKEY_CURRENT_USER, ToolKey(toolName));
    if (!key)
        return {};
    return {TSettingsRekovaItem(std::wstring(toolName), key.ReadNumber(L"BackupType").value_or(0))};
}

bool IsBackupEnabled(std::wstring_view toolName) {
    std::vector<TSettingsRekovaItem> items = GetItemsByID(toolName);
    return !items.empty() && items.front().GetBackupType() != 0;
}

bool SetBackupType(std::wstring_view toolName, uint32_t backupType) {
    TRegKey key = TRegKey::Create(HKEY_CURRENT_USER, ToolKey(toolName));
    return key && key.WriteNumber(L"BackupType", backupType);
}

int64_t StoreLimit() {
    TRegKey key = TRegKey::Open(HKEY_CURRENT_USER, SettingsKey);
    std::optional<DWORD> mib = key ? key.ReadNumber(L"StoreLimitMB") : std::nullopt;
    return mib && *mib > 0 ? *mib * MiB : DefaultStoreLimit;
}

bool SetStoreLimit(int64_t bytes) {
    TRegKey key = TRegKey::Create(HKEY_CURRENT_USER, SettingsKey);
    return key && key.WriteNumber(L"StoreLimitMB", static_cast<DWORD>((bytes + MiB - 1) / MiB));
}

} // namespace velmora::RekovaSettings
