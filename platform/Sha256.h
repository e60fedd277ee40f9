#pragma once
// SHA-256 of a byte string, computed here so that portable rules built on it
// (package identities) give one answer on every system.
#include <array>
#include <cstdint>
#include <string_view>

namespace velmora {

using TSha256Digest = std::array<uint8_t, 32>;

TSha256Digest Sha256(std::string_view data);

} // namespace velmora
