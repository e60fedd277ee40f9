#include "tests/kits/XpressHuffmanEncoder.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace velmora {
namespace {

constexpr size_t SymbolCount = 512, BlockInput = 65536, MaxDistance = 65535, MinMatch = 3;
constexpr unsigned EndOfStream = 256, CodeBits = 9, HashBits = 12, ChainDepth = 24;

struct TToken {
    uint16_t Symbol;
    uint32_t Length;   // of a match
    uint16_t Distance; // of a match
};

// The bit stream of one block: bits fill 16-bit little-endian words, most
// significant first. The decoder reads 32 bits ahead, so two word slots are
// reserved, and a raw byte goes after them; a slot is written once a bit
// overflows it.
class TBitWriter {
public:
    explicit TBitWriter(std::vector<uint8_t>& out) : FOut(out), FSlot(Reserve()), FNextSlot(Reserve()) {}
    void Bits(uint32_t value, unsigned count) {
        if (FUsed + count <= 16) {
            FAcc = FAcc << count | value, FUsed += count;
            return;
        }
        const unsigned rest = count - (16 - FUsed);
        Store(FSlot, FAcc << (16 - FUsed) | value >> rest);
        FSlot = std::exchange(FNextSlot, Reserve());
        FAcc = value & ((1u << rest) - 1), FUsed = rest;
    }
    void Byte(uint8_t value) { FOut.push_back(value); }
    void Finish() { Store(FSlot, FAcc << (16 - FUsed)); }

private:
    size_t Reserve() {
        FOut.insert(FOut.end(), 2, 0);
        return FOut.size() - 2;
    }
    void Store(size_t at, uint32_t word) { FOut[at] = uint8_t(word), FOut[at + 1] = uint8_t(word >> 8); }

    std::vector<uint8_t>& FOut;
    size_t FSlot, FNextSlot;
    uint32_t FAcc = 0;
    unsigned FUsed = 0;
};

unsigned HighBit(uint32_t value) {
    return static_cast<unsigned>(std::bit_width(value)) - 1;
}

// Greedy LZ77 with hash chains over the last 64 KiB; matches end inside their
// block. Symbol 256 (distance 1, length 3) is left to mean the end of the stream.
std::vector<TToken> Tokens(const uint8_t* data, size_t size, size_t begin, size_t end,
                           std::vector<int64_t>& head, std::vector<int64_t>& prev) {
    auto hash = [&](size_t pos) {
        return (uint32_t(data[pos] | data[pos + 1] << 8 | data[pos + 2] << 16) * 2654435761u) >>
               (32 - HashBits);
    };
    std::vector<TToken> tokens;
    for (size_t pos = begin; pos < end;) {
        size_t bestLength = 0, bestDistance = 0;
        int64_t candidate = end - pos >= MinMatch ? head[hash(pos)] : -1;
        for (unsigned depth = 0;
             depth < ChainDepth && candidate >= 0 && pos - size_t(candidate) <= MaxDistance;
             ++depth, candidate = prev[size_t(candidate)]) {
            size_t length = 0;
            while (pos + length < end && data[size_t(candidate) + length] == data[pos + length])
                ++length;
            if (length > bestLength)
                bestLength = length, bestDistance = pos - size_t(candidate);
        }
        if (bestLength < MinMatch || (bestLength == MinMatch && bestDistance == 1))
            bestLength = 1;
        for (size_t i = pos; i < pos + bestLength; ++i)
            if (size - i >= MinMatch)
                prev[i] = std::exchange(head[hash(i)], int64_t(i));
        if (bestLength == 1)
            tokens.push_back({data[pos], 0, 0});
        else
            tokens.push_back({uint16_t(256 + (HighBit(uint32_t(bestDistance)) << 4) +
                                       std::min<size_t>(bestLength - MinMatch, 15)),
                              uint32_t(bestLength), uint16_t(bestDistance)});
        pos += bestLength;
    }
    return tokens;
}

// Every symbol has a 9-bit code, its own number: a complete table that needs
// no code lengths worked out, and one the decoder must read like any other.
void WriteBlock(const std::vector<TToken>& tokens, std::vector<uint8_t>& out) {
    out.insert(out.end(), SymbolCount / 2, uint8_t(CodeBits | CodeBits << 4));
    TBitWriter writer(out);
    for (const TToken& t : tokens) {
        writer.Bits(t.Symbol, CodeBits);
        if (t.Length == 0)
            continue;
        // A length past 15 in a byte, or (a block's match is shorter than
        // 65538) as 255 and a 16-bit word.
        if (const uint32_t length = t.Length - MinMatch; length >= 15 && length - 15 < 255)
            writer.Byte(uint8_t(length - 15));
        else if (length >= 15)
            for (uint8_t byte : {uint8_t(255), uint8_t(length), uint8_t(length >> 8)})
                writer.Byte(byte);
        const unsigned bits = HighBit(t.Distance);
        writer.Bits(t.Distance - (1u << bits), bits);
    }
    writer.Finish();
}

} // namespace

std::vector<uint8_t> EncodeXpressHuffman(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    std::vector<int64_t> head(size_t(1) << HashBits, -1), prev(size, -1);
    size_t begin = 0;
    do {
        const size_t end = std::min(size, begin + BlockInput);
        std::vector<TToken> tokens = Tokens(data, size, begin, end, head, prev);
        if (end == size)
            tokens.push_back({EndOfStream, 0, 0});
        WriteBlock(tokens, out);
        begin = end;
    } while (begin < size);
    return out;
}

} // namespace velmora
