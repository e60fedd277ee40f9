#pragma once
// Registry keys as one walk read them, so that a read asks the registry for
// each key and value once: the run header's dump, the uninstall location's
// records and the items' values answer from the same walk. The data is plain
// (names, value types and bytes, write times, subkeys) and portable; only the
// walk is per OS, and natively, where there is no registry, every key is
// missing.
#include "platform/RegistryKeyText.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace velmora {

// Value types as the registry numbers them (REG_SZ, REG_EXPAND_SZ, ...).
inline constexpr uint32_t RegTypeString = 1;
inline constexpr uint32_t RegTypeExpandString = 2;
inline constexpr uint32_t RegTypeBinary = 3;
inline constexpr uint32_t RegTypeNumber = 4;
inline constexpr uint32_t RegTypeMultiString = 7;
inline constexpr uint32_t RegTypeQword = 11;

// Text of REG_SZ or REG_EXPAND_SZ data: up to the first terminator or the
// end of the data, an odd last byte dropped.
std::wstring DecodeRegText(std::span<const uint8_t> data);
// REG_MULTI_SZ data: the strings up to the first empty one or the end.
std::vector<std::wstring> DecodeRegMultiText(std::span<const uint8_t> data);
// REG_DWORD data (little-endian); nothing unless it has exactly four bytes.
std::optional<uint32_t> DecodeRegNumber(std::span<const uint8_t> data);

struct TRegSnapshotValue {
    std::wstring Name;
    uint32_t Type = 0;
    std::vector<uint8_t> Data;
};

struct TRegKeySnapshot {
    // The key's own name, the last component of its path.
    std::wstring Name;
    // FILETIME (UTC) as one number; 0 when unknown.
    uint64_t LastWriteTime = 0;
    // In the registry's order; ValuesRead tells whether the walk read them.
    std::vector<TRegSnapshotValue> Values;
    bool ValuesRead = false;
    // Every subkey in the registry's order, when SubKeysRead. A subkey the
    // walk did not go into carries its name and write time only.
    std::vector<std::shared_ptr<const TRegKeySnapshot>> SubKeys;
    bool SubKeysRead = false;

    // By name, without regard to case; null when the key has no such value.
    const TRegSnapshotValue* FindValue(std::wstring_view name) const;
    // By name or relative path ("a\b"), without regard to case; null when a
    // component is not listed (or the subkeys of its parent were not read).
    std::shared_ptr<const TRegKeySnapshot> FindSubKey(std::wstring_view path) const;
};

// Which subkeys a walk goes into: called with the depth of a subkey below
// the walked key (1 for its children) and its name. An empty rule goes
// everywhere.
using TRegDescend = std::function<bool(size_t depth, std::wstring_view name)>;

// Walks key and every subkey descend admits, depth first: per key its
// values in one enumeration and its subkeys, with their write times, in
// another. A stop request of the calling thread (TThread::CheckTerminated)
// ends it between keys. Null when the key does not open.
std::shared_ptr<const TRegKeySnapshot> WalkRegistryKey(const TRegistryKey& key,
                                                       const TRegDescend& descend = {});

// The walks of one read: each place is walked once, on its first request,
// and answered from memory afterwards.
class TRegistrySnapshot {
public:
    using TWalk = std::function<std::shared_ptr<const TRegKeySnapshot>(const TRegistryKey& key,
                                                                       const TRegDescend& descend)>;

    explicit TRegistrySnapshot(TWalk walk = WalkRegistryKey);
    TRegistrySnapshot(const TRegistrySnapshot&) = delete;
    TRegistrySnapshot& operator=(const TRegistrySnapshot&) = delete;

    // The place as its walk read it; a place asked for again keeps the
    // descend rule of its first request. Null when it does not open. A stop
    // request during the walk leaves the place to be walked by a later request.
    std::shared_ptr<const TRegKeySnapshot> Read(const TRegistryKey& place, const TRegDescend& descend = {});

    // The snapshot the calling thread's registry readers share while a TScope
    // lives on the thread; null otherwise.
    static std::shared_ptr<TRegistrySnapshot> Current();

    // Makes a snapshot the calling thread's current one while it lives; the
    // previous one comes back at its end.
    class TScope {
    public:
        explicit TScope(std::shared_ptr<TRegistrySnapshot> snapshot);
        ~TScope();
        TScope(const TScope&) = delete;
        TScope& operator=(const TScope&) = delete;

    private:
        std::shared_ptr<TRegistrySnapshot> FPrevious;
    };

private:
    // View, root and the path upper-cased without leading or trailing "\".
    using TPlaceKey = std::tuple<TRegView, TRegRoot, std::wstring>;

    TWalk FWalk;
    // Held during a walk: a second reader of the same read waits for it.
    std::mutex FLock;
    std::map<TPlaceKey, std::shared_ptr<const TRegKeySnapshot>> FPlaces;
};

} // namespace velmora
