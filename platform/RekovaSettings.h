#pragma once
// The suite's backup settings, kept per user where a person can change them:
// under HKEY_CURRENT_USER\Software\Velmora\Backup, one key per tool under
// "Tools" holding the tool's "BackupType" (0: its changes are not backed up),
// and the store's limit "StoreLimitMB" on the Backup key itself.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::RekovaSettings {

constexpr std::wstring_view SettingsKey = L"Software\\Velmora\\Backup";
// This library's entry in the suite's list of tool names.
constexpr std::wstring_view VelmoraToolName = L"Velmora";
constexpr int64_t DefaultStoreLimit = int64_t{2048} * 1024 * 1024;

class TSettingsRekovaItem {
public:
    TSettingsRekovaItem(std::wstring id, uint32_t backupType) : FID(std::move(id)), FBackupType(backupType) {}
    const std::wstring& ID() const { return FID; }
    uint32_t GetBackupType() const { return FBackupType; }

private:
    std::wstring FID;
    uint32_t FBackupType;
};

// The items of the tool (at most one); empty when the tool has no settings.
std::vector<TSettingsRekovaItem> GetItemsByID(std::wstring_view toolName);
// The tool has an item whose backup type is not 0.
bool IsBackupEnabled(std::wstring_view toolName);
// Creates the tool's item when missing. False when the registry refused.
bool SetBackupType(std::wstring_view toolName, uint32_t backupType);

// Bytes; DefaultStoreLimit when not set.
int64_t StoreLimit();
// Whole MiB, rounded up. False when the registry refused.
bool SetStoreLimit(int64_t bytes);

} // namespace velmora::RekovaSettings
