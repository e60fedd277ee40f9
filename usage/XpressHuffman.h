#pragma once
// The XPRESS Huffman format (LZ77 with canonical Huffman codes) of the
// system's compression routines, which compressed prefetch files use.
#include <cstddef>
#include <cstdint>

namespace velmora {

// Decodes the stream into exactly outSize bytes; false, with the output left
// partly written, for a stream that is truncated, carries an over-subscribed
// code table, meets a bit pattern that no code word covers (an incomplete
// table is accepted as long as its gaps are never met), refers to data before
// the start of the output or would write past outSize. Decoding stops once
// outSize bytes are written: the end-of-stream symbol and what follows it are
// not read.
bool DecodeXpressHuffman(const uint8_t* data, size_t size, uint8_t* out, size_t outSize);

// The system's decompression where the system has the format, else
// DecodeXpressHuffman; the same contract.
bool DecompressXpressHuffman(const uint8_t* data, size_t size, uint8_t* out, size_t outSize);

} // namespace velmora
