#pragma once
// Deflate streams that make inflating slowest per unit of what it is
// charged, written bit by bit: blocks that give nothing, and literals that
// each need two table look-ups.
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

namespace cost {

class DeflateWriter {
public:
    DeflateWriter() { m_out = {0x78, 0xDA}; }
    void put(uint32_t value, int count) {  // least significant bit first
        m_bits |= uint64_t(value) << m_filled;
        for (m_filled += count; m_filled >= 8; m_filled -= 8, m_bits >>= 8) m_out.push_back(uint8_t(m_bits));
    }
    void code(uint32_t value, int length) {  // Huffman codes, most significant bit first
        for (int i = length - 1; i >= 0; --i) put(value >> i & 1, 1);
    }
    size_t size() const { return m_out.size(); }
    // An empty last block of fixed codes, then the checksum of `given`.
    std::vector<uint8_t> finish(uLong adler = 1) {
        put(1, 1), put(1, 2), put(0, 7);
        if (m_filled) put(0, 8 - m_filled);
        for (int shift = 24; shift >= 0; shift -= 8) m_out.push_back(uint8_t(adler >> shift));
        return m_out;
    }

    // A dynamic block header giving each symbol the code length in
    // lengths (literal/length codes, then distance codes), each sent as a
    // 4-bit code of the code length alphabet 0..15.
    void dynamicHeader(const std::vector<int>& lengths, int literalCodes) {
        put(0, 1), put(2, 2);
        put(uint32_t(literalCodes - 257), 5), put(uint32_t(lengths.size() - size_t(literalCodes) - 1), 5), put(15, 4);
        for (int i = 0; i < 19; ++i) put(kOrder[i] <= 15 ? 4 : 0, 3);
        for (int length : lengths) code(uint32_t(length), 4);  // symbol s has code s: all 16 of length 4
    }

private:
    static constexpr int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    std::vector<uint8_t> m_out;
    uint64_t m_bits = 0;
    int m_filled = 0;
};

// Code lengths of a complete code whose symbols at `first` on, `count` of
// them, get 15 bits, after `shortOnes` symbols of lengths 1, 2, ...
// (count = 2^(15 - shortOnes) ... so that it is complete).
inline std::vector<int> DeepLengths(int symbols, const std::vector<int>& shortSymbols, int first, int count) {
    std::vector<int> lengths(size_t(symbols), 0);
    for (size_t i = 0; i < shortSymbols.size(); ++i) lengths[size_t(shortSymbols[i])] = int(i) + 1;
    for (int s = first; s < first + count; ++s) lengths[size_t(s)] = 15;
    return lengths;
}

// The literal/length code of the deep blocks: literals 0..7 and the end of
// block at lengths 1..9, and the 64 literals 100..163 at 15 bits.
inline std::vector<int> DeepLiteralLengths(int literalCodes) {
    return DeepLengths(literalCodes, {0, 1, 2, 3, 4, 5, 6, 7, 256}, 100, 64);
}
constexpr uint32_t kEndOfBlockCode = 0x1FE;  // its canonical 9-bit code

// Empty blocks whose headers give all 316 symbols deep codes: the largest
// tables to build, about 170 bytes a block.
inline std::vector<uint8_t> EmptyDeepBlocks(size_t bytes) {
    DeflateWriter w;
    std::vector<int> lengths = DeepLiteralLengths(286);
    const std::vector<int> distances = DeepLengths(30, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, 14, 2);
    lengths.insert(lengths.end(), distances.begin(), distances.end());
    while (w.size() < bytes) {
        w.dynamicHeader(lengths, 286);
        w.code(kEndOfBlockCode, 9);
    }
    return w.finish();
}

// Empty blocks of fixed codes (10 bits each), or stored (5 bytes each).
inline std::vector<uint8_t> EmptyFixedBlocks(size_t bytes) {
    DeflateWriter w;
    while (w.size() < bytes) w.put(0, 1), w.put(1, 2), w.put(0, 7);
    return w.finish();
}
inline std::vector<uint8_t> EmptyStoredBlocks(size_t bytes) {
    DeflateWriter w;
    while (w.size() < bytes) w.put(0, 3), w.put(0, 5), w.put(0, 16), w.put(0xFFFF, 16);
    return w.finish();
}

// Literals behind 15-bit codes, in blocks of 64 Ki: each byte given needs a
// second table look-up.
inline std::vector<uint8_t> DeepLiterals(size_t bytes) {
    DeflateWriter w;
    std::mt19937 random(5);
    std::vector<uint8_t> given;
    std::vector<int> lengths = DeepLiteralLengths(257);
    lengths.push_back(0);  // one distance code, unused
    while (w.size() < bytes) {
        w.dynamicHeader(lengths, 257);
        for (int i = 0; i < 65536; ++i) {
            const int literal = 100 + int(random() % 64);
            w.code(uint32_t(0x7FC0 + literal - 100), 15);  // the 64 15-bit codes are the last ones
            given.push_back(uint8_t(literal));
        }
        w.code(kEndOfBlockCode, 9);
    }
    return w.finish(adler32(1, given.data(), uInt(given.size())));
}

}  // namespace cost
