#include "usage/XpressHuffman.h"

#include "platform/SystemDecompression.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace velmora {
namespace {

constexpr size_t SymbolCount = 512;
constexpr size_t TableBytes = SymbolCount / 2;
constexpr unsigned MaxCodeBits = 15;
constexpr size_t BlockOutput = 65536;
constexpr unsigned MinMatch = 3;

constexpr unsigned RootBits = 10;
constexpr unsigned SubBits = MaxCodeBits - RootBits;

// Code word to symbol, two levels: the first 10 bits of the next 15 pick a
// root entry; a code word longer than that continues in a 32-entry subtable
// of its root entry. An entry is symbol << 4 | code length, a link to a
// subtable, or 0 where no code word covers the bits.
class TDecodeTable {
public:
    TDecodeTable() { FEntries.reserve((size_t(1) << RootBits) + (SymbolCount << SubBits)); }

    // Canonical codes: shorter codes first, within one length in symbol order.
    // False for lengths that over-subscribe the code space.
    bool Build(const uint8_t* packed) {
        std::array<uint8_t, SymbolCount> lengths;
        std::array<unsigned, MaxCodeBits + 1> count{};
        for (size_t symbol = 0; symbol < SymbolCount; ++symbol) {
            lengths[symbol] = (packed[symbol / 2] >> (4 * (symbol & 1))) & 15;
            ++count[lengths[symbol]];
        }
        count[0] = 0; // unused symbols
        std::array<uint32_t, MaxCodeBits + 1> next{};
        uint32_t code = 0;
        for (unsigned bits = 1; bits <= MaxCodeBits; ++bits) {
            code = (code + count[bits - 1]) << 1;
            next[bits] = code;
            if (code + count[bits] > (uint32_t(1) << bits))
                return false;
        }
        FEntries.assign(size_t(1) << RootBits, 0);
        for (unsigned symbol = 0; symbol < SymbolCount; ++symbol) {
            const unsigned bits = lengths[symbol];
            if (bits == 0)
                continue;
            const uint32_t word = next[bits]++;
            const uint32_t entry = symbol << 4 | bits;
            if (bits <= RootBits) {
                Fill(word << (RootBits - bits), RootBits - bits, entry);
                continue;
            }
            const uint32_t root = word >> (bits - RootBits);
            if (FEntries[root] == 0) {
                FEntries[root] = Link | static_cast<uint32_t>(FEntries.size());
                FEntries.resize(FEntries.size() + (size_t(1) << SubBits), 0);
            }
            const uint32_t rest = word & ((uint32_t(1) << (bits - RootBits)) - 1);
            Fill((FEntries[root] & ~Link) + (rest << (MaxCodeBits - bits)), MaxCodeBits - bits, entry);
        }
        return true;
    }

    // The entry of the code word that starts the next 15 bits.
    uint32_t Lookup(uint32_t next) const {
        const uint32_t entry = FEntries[next >> SubBits];
        return entry & Link ? FEntries[(entry & ~Link) + (next & ((1u << SubBits) - 1))] : entry;
    }

private:
    static constexpr uint32_t Link = uint32_t(1) << 31;

    void Fill(size_t first, unsigned spread, uint32_t entry) {
        std::fill_n(FEntries.begin() + static_cast<ptrdiff_t>(first), size_t(1) << spread, entry);
    }

    std::vector<uint32_t> FEntries;
};

// The bit stream of one block: 16-bit little-endian words read most
// significant bit first, 32 bits ahead. Raw bytes (long match lengths) sit
// right after the words loaded so far.
class TBitReader {
public:
    TBitReader(const uint8_t* data, size_t size, size_t pos) : FData(data), FSize(size), FPos(pos) {}

    bool Start() {
        if (FSize - FPos < 4)
            return false;
        FBits = uint32_t(Word(FPos)) << 16 | Word(FPos + 2);
        FPos += 4;
        FExtra = 16;
        return true;
    }
    uint32_t Peek(unsigned bits) const { return bits ? FBits >> (32 - bits) : 0; }
    bool Skip(unsigned bits) {
        FBits <<= bits;
        FExtra -= static_cast<int>(bits);
        if (FExtra >= 0)
            return true;
        if (FSize - FPos < 2)
            return false;
        FBits |= uint32_t(Word(FPos)) << -FExtra;
        FPos += 2;
        FExtra += 16;
        return true;
    }
    bool RawByte(uint32_t& value) {
        if (FSize - FPos < 1)
            return false;
        value = FData[FPos++];
        return true;
    }
    bool RawWord(uint32_t& value) {
        if (FSize - FPos < 2)
            return false;
        value = Word(FPos);
        FPos += 2;
        return true;
    }
    bool RawDword(uint32_t& value) {
        if (FSize - FPos < 4)
            return false;
        value = uint32_t(Word(FPos)) | uint32_t(Word(FPos + 2)) << 16;
        FPos += 4;
        return true;
    }
    size_t Position() const { return FPos; }

private:
    uint16_t Word(size_t at) const { return static_cast<uint16_t>(FData[at] | FData[at + 1] << 8); }

    const uint8_t* FData;
    size_t FSize;
    size_t FPos;
    uint32_t FBits = 0;
    int FExtra = 0;
};

// A match's length: the symbol's low nibble, with 15 escaping to a byte, 255
// to a 16-bit word and a zero word to a 32-bit one (both then hold length - 3).
bool ReadMatchLength(TBitReader& reader, unsigned nibble, size_t& length) {
    if (nibble < 15) {
        length = nibble + MinMatch;
        return true;
    }
    uint32_t value;
    if (!reader.RawByte(value))
        return false;
    if (value < 255) {
        length = value + 15 + MinMatch;
        return true;
    }
    if (!reader.RawWord(value))
        return false;
    if (value == 0 && !reader.RawDword(value))
        return false;
    if (value < 15)
        return false;
    length = size_t(value) + MinMatch;
    return true;
}

void CopyMatch(uint8_t* out, size_t pos, size_t distance, size_t length) {
    uint8_t* to = out + pos;
    const uint8_t* from = to - distance;
    if (distance >= length)
        std::memcpy(to, from, length);
    else if (distance == 1)
        std::memset(to, *from, length);
    else
        for (size_t i = 0; i < length; ++i) // overlapping: repeats the last distance bytes
            to[i] = from[i];
}

} // namespace

bool DecodeXpressHuffman(const uint8_t* data, size_t size, uint8_t* out, size_t outSize) {
    TDecodeTable table;
    size_t pos = 0, written = 0;
    while (written < outSize) {
        // A block holds 64 KiB of output, or a little more when its last match
        // runs over; the next one counts from where it ended.
        if (size - pos < TableBytes || !table.Build(data + pos))
            return false;
        TBitReader reader(data, size, pos + TableBytes);
        if (!reader.Start())
            return false;
        const size_t blockEnd = written + BlockOutput;
        while (written < blockEnd && written < outSize) {
            const uint32_t entry = table.Lookup(reader.Peek(MaxCodeBits));
            if (entry == 0 || !reader.Skip(entry & 15))
                return false;
            const unsigned symbol = entry >> 4;
            if (symbol < 256) {
                out[written++] = static_cast<uint8_t>(symbol);
                continue;
            }
            // 256 ends the stream only after the last byte; before it, it is a
            // match like any other.
            const unsigned distanceBits = (symbol - 256) >> 4;
            size_t length;
            if (!ReadMatchLength(reader, symbol & 15, length))
                return false;
            const size_t distance = reader.Peek(distanceBits) + (size_t(1) << distanceBits);
            if (!reader.Skip(distanceBits) || distance > written || length > outSize - written)
                return false;
            CopyMatch(out, written, distance, length);
            written += length;
        }
        pos = reader.Position();
    }
    return true;
}

bool DecompressXpressHuffman(const uint8_t* data, size_t size, uint8_t* out, size_t outSize) {
    if (std::optional<bool> system = SystemDecompressXpressHuffman(data, size, out, outSize))
        return *system;
    return DecodeXpressHuffman(data, size, out, outSize);
}

} // namespace velmora
