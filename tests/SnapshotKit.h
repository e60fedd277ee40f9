#pragma once
// Registry keys as a walk would read them, made up by tests.
#include "platform/RegistrySnapshot.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::testing {

// Text as REG_SZ data: UTF-16 little-endian, terminated unless told otherwise.
inline std::vector<uint8_t> Utf16(std::wstring_view text, bool terminated = true) {
    std::vector<uint8_t> data;
    for (wchar_t c : text) {
        data.push_back(static_cast<uint8_t>(c & 0xFF));
        data.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    if (terminated)
        data.insert(data.end(), {0, 0});
    return data;
}

// A key the walk went into.
inline std::shared_ptr<TRegKeySnapshot>
SnapshotKey(std::wstring name, std::vector<TRegSnapshotValue> values = {},
            std::vector<std::shared_ptr<const TRegKeySnapshot>> subKeys = {}) {
    auto key = std::make_shared<TRegKeySnapshot>();
    key->Name = std::move(name);
    key->Values = std::move(values);
    key->ValuesRead = true;
    key->SubKeys = std::move(subKeys);
    key->SubKeysRead = true;
    return key;
}

} // namespace velmora::testing
