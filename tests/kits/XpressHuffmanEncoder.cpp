#include "tests/kits/XpressHuffmanEncoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <queue>
#include <vector>

namespace velmora {
namespace {

constexpr size_t SymbolCount = 512;
constexpr unsigned EndOfStream = 256;
constexpr unsigned MaxCodeBits = 15;
constexpr size_t BlockInput = 65536;
constexpr size_t MaxDistance = 65535;
constexpr size_t MinMatch = 3;
constexpr unsigned HashBits = 12;
constexpr unsigned ChainDepth = 24;

struct TToken {
    uint16_t Symbol;
    uint32_t Length;   // of a match
    uint16_t Distance; // of a match
};

using TLengths = std::array<uint8_t, SymbolCount>;

// Huffman code lengths (each merge of the two lightest nodes deepens their
// symbols); frequencies are halved until no code is longer than 15 bits.
TLengths CodeLengths(std::array<uint32_t, SymbolCount> freq) {
    for (;;) {
        using TNode = std::pair<uint64_t, std::vector<uint16_t>>;
        std::priority_queue<TNode, std::vector<TNode>, std::greater<>> nodes;
        for (uint16_t s = 0; s < SymbolCount; ++s)
            if (freq[s])
                nodes.push({freq[s], {s}});
        TLengths lengths{};
        while (nodes.size() > 1) {
            TNode a = nodes.top();
            nodes.pop();
            const TNode& b = nodes.top();
            a.first += b.first;
            a.second.insert(a.second.end(), b.second.begin(), b.second.end());
            nodes.pop();
            for (uint16_t s : a.second)
                ++lengths[s];
            nodes.push(std::move(a));
        }
        if (std::ranges::all_of(lengths, [](uint8_t bits) { return bits <= MaxCodeBits; }))
            return lengths;
        for (uint32_t& f : freq)
            f = f ? (f + 1) / 2 : 0;
    }
}

// Canonical codes: shorter codes first, within one length in symbol order.
std::array<uint16_t, SymbolCount> CanonicalCodes(const TLengths& lengths) {
    std::array<uint32_t, MaxCodeBits + 1> count{}, next{};
    for (uint8_t bits : lengths)
        ++count[bits];
    count[0] = 0;
    for (unsigned bits = 1; bits <= MaxCodeBits; ++bits)
        next[bits] = (next[bits - 1] + count[bits - 1]) << 1;
    std::array<uint16_t, SymbolCount> codes{};
    for (size_t s = 0; s < SymbolCount; ++s)
        if (lengths[s])
            codes[s] = static_cast<uint16_t>(next[lengths[s]]++);
    return codes;
}

// The bit stream of one block: bits fill 16-bit little-endian words, most
// significant first. The decoder reads 32 bits ahead, so two word slots are
// reserved, and a raw byte goes after them; a slot is written once a bit
// overflows it.
class TBitWriter {
public:
    explicit TBitWriter(std::vector<uint8_t>& out) : FOut(out) {
        FSlot = Reserve();
        FNextSlot = Reserve();
    }
    void Bits(uint32_t value, unsigned count) {
        if (FUsed + count <= 16) {
            FAcc = FAcc << count | value;
            FUsed += count;
            return;
        }
        const unsigned rest = count - (16 - FUsed);
        Store(FSlot, FAcc << (16 - FUsed) | value >> rest);
        FSlot = FNextSlot;
        FNextSlot = Reserve();
        FAcc = value & ((1u << rest) - 1);
        FUsed = rest;
    }
    void Byte(uint8_t value) { FOut.push_back(value); }
    void Finish() { Store(FSlot, FAcc << (16 - FUsed)); }

private:
    size_t Reserve() {
        FOut.insert(FOut.end(), 2, 0);
        return FOut.size() - 2;
    }
    void Store(size_t at, uint32_t word) {
        FOut[at] = static_cast<uint8_t>(word);
        FOut[at + 1] = static_cast<uint8_t>(word >> 8);
    }

    std::vector<uint8_t>& FOut;
    size_t FSlot, FNextSlot;
    uint32_t FAcc = 0;
    unsigned FUsed = 0;
};

unsigned HighBit(uint32_t value) {
    return static_cast<unsigned>(std::bit_width(value)) - 1;
}

// Greedy LZ77 with hash chains over the last 64 KiB; matches end inside their block.
class TMatchFinder {
public:
    TMatchFinder(const uint8_t* data, size_t size)
        : FData(data), FSize(size), FPrev(size, -1), FHead(size_t(1) << HashBits, -1) {}

    // Tokens of the input from begin to end.
    void Tokens(size_t begin, size_t end, std::vector<TToken>& tokens) {
        for (size_t pos = begin; pos < end;) {
            size_t bestLength = 0, bestDistance = 0;
            int64_t candidate = end - pos >= MinMatch ? FHead[Hash(pos)] : -1;
            for (unsigned depth = 0;
                 depth < ChainDepth && candidate >= 0 && pos - static_cast<size_t>(candidate) <= MaxDistance;
                 ++depth, candidate = FPrev[static_cast<size_t>(candidate)]) {
                const auto from = static_cast<size_t>(candidate);
                size_t length = 0;
                while (pos + length < end && FData[from + length] == FData[pos + length])
                    ++length;
                if (length > bestLength)
                    bestLength = length, bestDistance = pos - from;
            }
            // Symbol 256 (distance 1, length 3) is left to mean the end of the stream.
            if (bestLength == MinMatch && bestDistance == 1)
                bestLength = 0;
            const size_t step = bestLength >= MinMatch ? bestLength : 1;
            for (size_t i = 0; i < step; ++i)
                Insert(pos + i);
            if (step == 1) {
                tokens.push_back({FData[pos], 0, 0});
            } else {
                const uint32_t length = static_cast<uint32_t>(bestLength - MinMatch);
                const unsigned symbol = 256 + (HighBit(static_cast<uint32_t>(bestDistance)) << 4) +
                                        std::min<uint32_t>(length, 15);
                tokens.push_back({static_cast<uint16_t>(symbol), static_cast<uint32_t>(bestLength),
                                  static_cast<uint16_t>(bestDistance)});
            }
            pos += step;
        }
    }

private:
    size_t Hash(size_t pos) const {
        const uint32_t v = FData[pos] | FData[pos + 1] << 8 | FData[pos + 2] << 16;
        return (v * 2654435761u) >> (32 - HashBits);
    }
    void Insert(size_t pos) {
        if (FSize - pos < MinMatch)
            return;
        const size_t h = Hash(pos);
        FPrev[pos] = FHead[h];
        FHead[h] = static_cast<int64_t>(pos);
    }

    const uint8_t* FData;
    size_t FSize;
    std::vector<int64_t> FPrev;
    std::vector<int64_t> FHead;
};

void WriteBlock(const std::vector<TToken>& tokens, std::vector<uint8_t>& out) {
    std::array<uint32_t, SymbolCount> freq{};
    for (const TToken& t : tokens)
        ++freq[t.Symbol];
    // A code of one symbol would leave half the code space unused: give it a partner.
    if (std::count_if(freq.begin(), freq.end(), [](uint32_t f) { return f != 0; }) < 2)
        ++freq[freq[0] ? 1 : 0];
    const TLengths lengths = CodeLengths(freq);
    const auto codes = CanonicalCodes(lengths);
    for (size_t i = 0; i < SymbolCount; i += 2)
        out.push_back(static_cast<uint8_t>(lengths[i] | lengths[i + 1] << 4));

    TBitWriter writer(out);
    for (const TToken& t : tokens) {
        writer.Bits(codes[t.Symbol], lengths[t.Symbol]);
        if (t.Symbol < 256 || t.Length == 0)
            continue;
        const uint32_t length = t.Length - MinMatch;
        if (length >= 15) {
            if (length - 15 < 255) {
                writer.Byte(static_cast<uint8_t>(length - 15));
            } else {
                // A block's match is shorter than 65538: its length fits 16 bits.
                for (uint8_t byte : {uint8_t(255), uint8_t(length), uint8_t(length >> 8)})
                    writer.Byte(byte);
            }
        }
        const unsigned bits = HighBit(t.Distance);
        writer.Bits(t.Distance - (1u << bits), bits);
    }
    writer.Finish();
}

} // namespace

std::vector<uint8_t> EncodeXpressHuffman(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    TMatchFinder finder(data, size);
    std::vector<TToken> tokens;
    size_t begin = 0;
    do {
        const size_t end = std::min(size, begin + BlockInput);
        tokens.clear();
        finder.Tokens(begin, end, tokens);
        if (end == size)
            tokens.push_back({EndOfStream, 0, 0});
        WriteBlock(tokens, out);
        begin = end;
    } while (begin < size);
    return out;
}

} // namespace velmora
