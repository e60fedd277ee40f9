#pragma once
// The system's decompression routines, where the system has them.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace velmora {

// Decompresses an XPRESS Huffman stream with the system's routine: whether it
// gave exactly outSize bytes, or nothing where the system lacks the routine
// or the format (older Windows, systems other than Windows).
std::optional<bool> SystemDecompressXpressHuffman(const uint8_t* data, size_t size, uint8_t* out,
                                                  size_t outSize);

} // namespace velmora
