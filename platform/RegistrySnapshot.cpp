#include "platform/RegistrySnapshot.h"

#include "platform/Text.h"

#include <utility>

namespace velmora {

namespace {

thread_local std::shared_ptr<TRegistrySnapshot> tCurrentSnapshot;

std::wstring_view TrimSeparators(std::wstring_view path) {
    while (!path.empty() && path.front() == L'\\')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == L'\\')
        path.remove_suffix(1);
    return path;
}

// UTF-16 code units of the data, little-endian; an odd last byte is dropped.
std::wstring Units(std::span<const uint8_t> data) {
    std::wstring units(data.size() / 2, L'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return units;
}

} // namespace

std::wstring DecodeRegText(std::span<const uint8_t> data) {
    std::wstring text = Units(data);
    if (size_t end = text.find(L'\0'); end != std::wstring::npos)
        text.resize(end);
    return text;
}

std::vector<std::wstring> DecodeRegMultiText(std::span<const uint8_t> data) {
    const std::wstring all = Units(data);
    std::vector<std::wstring> list;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find(L'\0', pos);
        if (end == std::wstring::npos)
            end = all.size();
        if (end == pos)
            break;
        list.push_back(all.substr(pos, end - pos));
        pos = end + 1;
    }
    return list;
}

std::optional<uint32_t> DecodeRegNumber(std::span<const uint8_t> data) {
    if (data.size() != 4)
        return std::nullopt;
    return static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
           (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
}

const TRegSnapshotValue* TRegKeySnapshot::FindValue(std::wstring_view name) const {
    for (const auto& value : Values) {
        if (SameText(value.Name, name))
            return &value;
    }
    return nullptr;
}

std::shared_ptr<const TRegKeySnapshot> TRegKeySnapshot::FindSubKey(std::wstring_view path) const {
    path = TrimSeparators(path);
    const size_t split = path.find(L'\\');
    const std::wstring_view name = path.substr(0, split);
    if (!SubKeysRead || name.empty())
        return nullptr;
    for (const auto& subKey : SubKeys) {
        if (!SameText(subKey->Name, name))
            continue;
        if (split == std::wstring_view::npos)
            return subKey;
        return subKey->FindSubKey(path.substr(split + 1));
    }
    return nullptr;
}

TRegistrySnapshot::TRegistrySnapshot(TWalk walk) : FWalk(std::move(walk)) {}

std::shared_ptr<const TRegKeySnapshot> TRegistrySnapshot::Read(const TRegistryKey& place,
                                                               const TRegDescend& descend) {
    TPlaceKey key{place.View, place.Root, UpperCase(TrimSeparators(place.Path))};
    std::lock_guard lock(FLock);
    if (auto found = FPlaces.find(key); found != FPlaces.end())
        return found->second;
    auto snapshot = FWalk(place, descend);
    FPlaces.emplace(std::move(key), snapshot);
    return snapshot;
}

std::shared_ptr<TRegistrySnapshot> TRegistrySnapshot::Current() {
    return tCurrentSnapshot;
}

TRegistrySnapshot::TScope::TScope(std::shared_ptr<TRegistrySnapshot> snapshot)
    : FPrevious(std::exchange(tCurrentSnapshot, std::move(snapshot))) {}

TRegistrySnapshot::TScope::~TScope() {
    tCurrentSnapshot = std::move(FPrevious);
}

} // namespace velmora
