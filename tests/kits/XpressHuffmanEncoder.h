#pragma once
// XPRESS Huffman streams as the system's routine accepts them: greedy LZ77
// over a 64 KiB window, one table of 9-bit codes per 64 KiB.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

std::vector<uint8_t> EncodeXpressHuffman(const uint8_t* data, size_t size);

} // namespace velmora
