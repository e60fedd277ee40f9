#pragma once
// Every change a forced removal makes to the system goes through one remove
// strategy: the simple one changes the system directly, a backed-up one
// records each change so that the removal can be undone. Callers never know
// which one they hold. Failures raise.
#include "platform/RegistryKeyText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

class TFRRegEntry;

class IRemoveStrategy {
public:
    virtual ~IRemoveStrategy() = default;
    // Removes an empty folder.
    virtual void RemoveDir(const std::wstring& path) = 0;
    virtual void RemoveFile(const std::wstring& path) = 0;
    // Deletes the entry's value, or the whole key with everything below it;
    // a missing key is only logged ("Key not found: ") and counts as removed.
    virtual void RemoveKey(const TFRRegEntry& entry) = 0;
    // In the 64-bit view; nothing when the key or the value is missing.
    virtual void RemoveValue(TRegRoot root, const std::wstring& key, const std::wstring& name) = 0;
    // Writes a 32-bit number in the 64-bit view; nothing when the key is missing.
    virtual void WriteValue(TRegRoot root, const std::wstring& key, uint32_t value,
                            const std::wstring& name) = 0;
    virtual void RemoveService(const std::wstring& name) = 0;
    virtual uint32_t FileGetAttr(const std::wstring& path) = 0;
    virtual void FileSetAttr(const std::wstring& path, uint32_t attributes) = 0;
};

// The registry rules both strategies share, over the registry calls each
// makes its own way.
class TRemoveStrategy : public IRemoveStrategy {
public:
    void RemoveKey(const TFRRegEntry& entry) override;
    void RemoveValue(TRegRoot root, const std::wstring& key, const std::wstring& name) override;
    void WriteValue(TRegRoot root, const std::wstring& key, uint32_t value,
                    const std::wstring& name) override;

protected:
    virtual bool RegKeyExists(const TRegistryKey& key) = 0;
    // Deletes the value when the key opens and holds it; raises when it cannot.
    virtual void DeleteRegValue(const TRegistryKey& key, const std::wstring& name) = 0;
    // Deletes the key with its subkeys and values; raises when it cannot.
    virtual void DeleteRegKey(const TRegistryKey& key) = 0;
    // Writes the number when the key opens; raises when the write fails.
    virtual void WriteRegNumber(const TRegistryKey& key, const std::wstring& name, uint32_t value) = 0;
};

} // namespace velmora
