// Fuzz target of the XPRESS Huffman decoder: arbitrary streams decode without
// harm, and what the encoder kit writes decodes to the input again.
#include "fuzz/FuzzInput.h"
#include "tests/kits/XpressHuffmanEncoder.h"
#include "usage/XpressHuffman.h"

#include <algorithm>
#include <vector>

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first three bytes give the output size (up to 128 KiB: blocks after
    // the first), the rest is the stream. The output ends where the buffer
    // ends, so that a write past it is caught.
    if (size >= 3) {
        static std::vector<uint8_t> buffer(0x20000);
        const size_t outSize = (data[0] | data[1] << 8 | data[2] << 16) & 0x1FFFF;
        DecodeXpressHuffman(data + 3, size - 3, buffer.data() + buffer.size() - outSize, outSize);
    }

    const std::vector<uint8_t> stream = EncodeXpressHuffman(data, size);
    std::vector<uint8_t> back(size + 1);
    Check(DecodeXpressHuffman(stream.data(), stream.size(), back.data(), size));
    Check(std::equal(data, data + size, back.begin()));
    // Past the last byte comes the end of the stream, not more output.
    Check(!DecodeXpressHuffman(stream.data(), stream.size(), back.data(), size + 1));
    return 0;
}
