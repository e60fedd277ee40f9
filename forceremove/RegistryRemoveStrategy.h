#pragma once
// The registry side of both Windows remove strategies, on a registry object
// that goes through the backup component when it is given one.
#include "forceremove/RemoveStrategy.h"
#include "forceremove/RkRegistry.h"

namespace velmora {

class TRegistryRemoveStrategy : public TRemoveStrategy {
protected:
    // rekova may be null: the registry is then changed directly.
    explicit TRegistryRemoveStrategy(IRekova* rekova) : FReg(rekova) {}

    bool RegKeyExists(const TRegistryKey& key) override;
    void DeleteRegValue(const TRegistryKey& key, const std::wstring& name) override;
    void DeleteRegKey(const TRegistryKey& key) override;
    void WriteRegNumber(const TRegistryKey& key, const std::wstring& name, uint32_t value) override;

private:
    // Root and access (all access in the key's view) for the key.
    void Select(const TRegistryKey& key);
    void OpenForValues(const TRegistryKey& key);

    TRkRegistry FReg;
};

} // namespace velmora
