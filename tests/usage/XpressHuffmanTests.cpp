#include "usage/XpressHuffman.h"

#include "tests/kits/XpressHuffmanEncoder.h"
#include "tests/TestBase.h"

namespace velmora {
namespace {

using TBytes = std::vector<uint8_t>;

// A block's 256-byte table: each symbol's code length, two to a byte, the
// even symbol in the low nibble.
TBytes Table(std::initializer_list<std::pair<unsigned, unsigned>> lengths) {
    TBytes table(256, 0);
    for (auto [symbol, bits] : lengths)
        table[symbol / 2] |= static_cast<uint8_t>(bits << (4 * (symbol % 2)));
    return table;
}

TBytes Concat(std::initializer_list<TBytes> parts) {
    TBytes all;
    for (const TBytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::optional<std::string> Decode(const TBytes& stream, size_t outSize) {
    std::string out(outSize, '\0');
    if (!DecodeXpressHuffman(stream.data(), stream.size(), reinterpret_cast<uint8_t*>(out.data()), outSize))
        return std::nullopt;
    return out;
}

std::string Repeat(const std::string& part, size_t times) {
    return times ? part + Repeat(part, times - 1) : "";
}

// The alphabet as 26 literals: a to v with 5-bit codes, w to z and the end
// of the stream with 4-bit ones.
TBytes AlphabetTable() {
    TBytes table(256, 0);
    for (unsigned symbol = 'a'; symbol <= 'z'; ++symbol)
        table[symbol / 2] |= static_cast<uint8_t>((symbol < 'w' ? 5 : 4) << (4 * (symbol % 2)));
    table[0x80] = 0x04;
    return table;
}
const TBytes AlphabetBits = {0xd8, 0x52, 0x3e, 0xd7, 0x94, 0x11, 0x5b, 0xe9, 0x19, 0x5f,
                             0xf9, 0xd6, 0x7c, 0xdf, 0x8d, 0x04, 0x00, 0x00, 0x00, 0x00};

// "abc" and one match of distance 3 and length 297 (a 16-bit length).
const TBytes AbcStream = Concat({Table({{'a', 3}, {'b', 3}, {'c', 2}, {256, 2}, {256 + 16 + 15, 2}}),
                                 {0xa8, 0xdc, 0x00, 0x00, 0xff, 0x26, 0x01}});

// "ab" and a match of distance 2 and length 20, overlapping its own output
// (a length in one extra byte).
const TBytes OverlapStream =
    Concat({Table({{'a', 2}, {'b', 2}, {256, 2}, {256 + 16 + 15, 2}}), {0x00, 0x1d, 0x00, 0x00, 0x02}});

TEST(XpressHuffmanTest, DecodesExamplesLengthEscapesOverlapsAndBlocks) {
    // The format's own examples: the alphabet as literals, and "abc" repeated
    // by one long match.
    EXPECT_EQ(Decode(Concat({AlphabetTable(), AlphabetBits}), 26), "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(Decode(AbcStream, 300), Repeat("abc", 100));
    EXPECT_EQ(Decode(OverlapStream, 22), Repeat("ab", 11));

    // 65537 zeros in one block, as the system writes them: a literal and a
    // match of distance 1 running 65536 bytes (16-bit length) past the block's end.
    const TBytes zeros =
        Concat({Table({{0, 2}, {256, 2}, {256 + 15, 1}}), {0x00, 0x98, 0x00, 0x00, 0xff, 0xfd, 0xff}});
    EXPECT_EQ(Decode(zeros, 65537), std::string(65537, '\0'));

    // A 32-bit length: an extra byte 255, a zero word, then length - 3.
    const TBytes longRun = Concat({Table({{'x', 2}, {256, 2}, {256 + 15, 1}}),
                                   {0x00, 0x98, 0x00, 0x00, 0xff, 0x00, 0x00, 0x6d, 0x11, 0x01, 0x00}});
    EXPECT_EQ(Decode(longRun, 70001), std::string(70001, 'x'));

    // A full first block (no end symbol), then a second table right after its
    // extra bytes, whose match reaches back into the first block.
    const TBytes twoBlocks = Concat({Table({{'x', 1}, {256 + 15, 1}}),
                                     {0x00, 0x40, 0x00, 0x00, 0xff, 0xfc, 0xff},
                                     Table({{'y', 1}, {256, 2}, {256 + 16, 2}}),
                                     {0x00, 0x68, 0x00, 0x00}});
    EXPECT_EQ(Decode(twoBlocks, 65540), std::string(65535, 'x') + "xyxyx");
}

TEST(XpressHuffmanTest, StopsAtTheRequestedSizeAndRejectsMalformedStreams) {
    EXPECT_EQ(Decode(OverlapStream, 2), "ab");
    EXPECT_EQ(Decode(OverlapStream, 0), "");
    EXPECT_EQ(Decode(OverlapStream, 10), std::nullopt); // the match runs past the end
    EXPECT_EQ(Decode(OverlapStream, 23), std::nullopt); // after the last byte, 256 is a match too

    // An incomplete table is accepted until a gap in it is met: without "v",
    // the last code word in canonical order, the others keep their codes.
    TBytes noV = Concat({AlphabetTable(), AlphabetBits});
    noV[0x3b] = 0x40;
    EXPECT_EQ(Decode(noV, 21), "abcdefghijklmnopqrstu");
    EXPECT_EQ(Decode(noV, 22), std::nullopt);
    EXPECT_EQ(Decode(TBytes(260, 0), 1), std::nullopt); // no code word at all

    TBytes oversubscribed = Concat({AlphabetTable(), AlphabetBits});
    oversubscribed[0x30] = 0x40; // "a" with a 4-bit code: one code word too many
    EXPECT_EQ(Decode(oversubscribed, 26), std::nullopt);

    // The match as the first symbol reaches before the start of the output.
    TBytes early = OverlapStream;
    early[256] = 0x00;
    early[257] = 0xc0;
    EXPECT_EQ(Decode(early, 20), std::nullopt);

    // A 16-bit length below 15 is not a length.
    TBytes shortLength = AbcStream;
    shortLength[shortLength.size() - 2] = 0x0e;
    shortLength.back() = 0x00;
    EXPECT_EQ(Decode(shortLength, 300), std::nullopt);

    // Cut anywhere before its last word (which may hold only the end symbol's
    // bits), a stream lacks what its output needs.
    const std::string text = Repeat("compressed prefetch file, ", 40) + "tail";
    const TBytes stream = EncodeXpressHuffman(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    ASSERT_EQ(Decode(stream, text.size()), text);
    for (size_t cut = 0; cut + 2 < stream.size(); ++cut)
        EXPECT_EQ(Decode(TBytes(stream.begin(), stream.begin() + cut), text.size()), std::nullopt) << cut;
}

} // namespace
} // namespace velmora
