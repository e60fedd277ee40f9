#include "platform/SystemDecompression.h"

namespace velmora {

std::optional<bool> SystemDecompressXpressHuffman(const uint8_t*, size_t, uint8_t*, size_t) {
    return std::nullopt;
}

} // namespace velmora
