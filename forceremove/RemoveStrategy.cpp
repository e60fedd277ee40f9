#include "forceremove/RemoveStrategy.h"

#include "forceremove/Leftovers.h"
#include "frame/DebugLog.h"

namespace velmora {

namespace {

TRegistryKey Key64(TRegRoot root, const std::wstring& path) {
    return {TRegView::x64, root, path};
}

} // namespace

void TRemoveStrategy::RemoveKey(const TFRRegEntry& entry) {
    if (!RegKeyExists(entry.RegistryKey())) {
        StatisticsLog::Add(L"Key not found: " + entry.FullPath());
        return;
    }
    if (entry.IsValue())
        DeleteRegValue(entry.RegistryKey(), entry.ValueName());
    else
        DeleteRegKey(entry.RegistryKey());
}

void TRemoveStrategy::RemoveValue(TRegRoot root, const std::wstring& key, const std::wstring& name) {
    DeleteRegValue(Key64(root, key), name);
}

void TRemoveStrategy::WriteValue(TRegRoot root, const std::wstring& key, uint32_t value,
                                 const std::wstring& name) {
    WriteRegNumber(Key64(root, key), name, value);
}

} // namespace velmora
