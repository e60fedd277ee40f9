#pragma once
// What a source read about one product before it is published: the plain
// record a location merges while it scans, and that an item is built from.
#include "api/Enums.Velmora.h"
#include "platform/RegistryKeyText.h"
#include "platform/RegistrySnapshot.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora {

struct TTemporaryInfo {
    // The key the record was first read from (uninstall subkey, packed product
    // key or patch key name).
    std::wstring FInternalName;
    std::wstring FGUID;
    // The native display name.
    std::wstring FDisplayName;
    std::wstring FPackageCode;
    // Each key once, in the order they were found; the main key first.
    std::vector<TRegistryKey> FRegistryKeys;
    // What the source's walk read of each key, in step with FRegistryKeys
    // (null where the key was not read by a walk).
    std::vector<std::shared_ptr<const TRegKeySnapshot>> FKeySnapshots;
    // rtNone marks a program, anything else an update.
    TReleaseType FReleaseType = TReleaseType::rtNone;
    std::wstring FParentKeyName;
    std::wstring FParentDisplayName;

    // Adds a key, with what a walk read of it, unless the record holds the
    // same key already.
    void AddKey(const TRegistryKey& key, std::shared_ptr<const TRegKeySnapshot> snapshot = nullptr);
    // Appends the keys of another record that this one does not hold.
    void AddKeys(const TTemporaryInfo& other);
    bool HasKey(const TRegistryKey& key) const;
    std::unique_ptr<TTemporaryInfo> Clone() const { return std::make_unique<TTemporaryInfo>(*this); }
};

} // namespace velmora
