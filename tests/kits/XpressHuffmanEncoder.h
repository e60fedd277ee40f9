#pragma once
// Compressed streams in the XPRESS Huffman format, as the system's routine
// accepts them: greedy LZ77 matches over a 64 KiB window, one table of
// canonical codes of at most 15 bits per 64 KiB of input, the end-of-stream
// symbol after the last byte.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

std::vector<uint8_t> EncodeXpressHuffman(const uint8_t* data, size_t size);

} // namespace velmora
