#pragma once
// The LZW decoder for one GIF image's data, pulled one row at a time, with
// the table of at most 4096 strings held as (prefix, last index, first
// index, length). A clear code costs no more than any other code: the table
// is forgotten by resetting its size, not by rewriting it. It decodes every
// stream giflib decodes to the same indices; a code beyond the next free
// entry, which giflib turns into made-up indices, is refused here.
#include <array>
#include <cstdint>
#include <functional>
#include <span>

class ReadBudget;

class GifLzwDecoder {
public:
    enum class Result {
        Done,        // every index asked for was decoded
        DataEnds,    // the image's data sub-blocks ended first
        EndCode,     // the end-of-information code came first
        BadCode,     // a code that names no string yet
    };
    // The next data sub-block, or an empty span at the block terminator;
    // throws if the file ends first.
    using NextBlock = std::function<std::span<const uint8_t>()>;

    // minimumCodeSize is the byte before the image's data, 0 to 8.
    GifLzwDecoder(int minimumCodeSize, ReadBudget& budget, NextBlock nextBlock);

    // Fills out with the next indices of the image. Charges the budget for
    // the call, every index decoded and every code read.
    Result decode(std::span<uint8_t> out);
    // Skips what is left of the data up to its terminator, once every index
    // of the image is decoded.
    void skipRest();

private:
    static constexpr int kMaxCodeBits = 12;
    static constexpr int kTableSize = 1 << kMaxCodeBits;
    static constexpr int kNoCode = -1;
    // What decoding costs in budget units, on the worst stream for each
    // (bench/cost/gif_cost.cpp): a call, one a row, however short the row
    // (a frame one pixel wide); indices spelt from long strings (one index
    // repeated); a code, of which a byte holds up to eight (clear codes of
    // one bit).
    static constexpr uint64_t kCallUnits = 4;
    static constexpr uint64_t kIndicesPerUnit = 2;
    static constexpr uint64_t kUnitsPerCode = 2;

public:
    // The most a byte of data can make decode charge: a byte holds up to 8
    // codes, or spells up to 2731 indices (a 12-bit code for a string of
    // up to 4096), each of which may end a call.
    static constexpr uint64_t kUnitsPerByte = 8 * kUnitsPerCode + 2731 * (kCallUnits + 1);

private:

    bool refill();
    bool readCode(int& code);
    void reset();
    void chargeCodes();

    int m_minimumCodeSize;
    int m_clear, m_end;
    ReadBudget& m_budget;
    NextBlock m_nextBlock;

    // The code width, as giflib counts it: it grows once the running count
    // of codes read since a clear passes the widest code of this width.
    int m_width = 0;
    int m_running = 0;
    int m_limit = 0;
    int m_next = 0;  // the entry the next code defines; kTableSize when full
    int m_last = kNoCode;

    std::span<const uint8_t> m_block;
    bool m_terminated = false;
    uint64_t m_bits = 0;
    int m_bitCount = 0;
    uint64_t m_uncharged = 0;

    // A string longer than what was left of the last call's output waits here.
    size_t m_pendingAt = 0, m_pendingEnd = 0;
    std::array<uint8_t, kTableSize> m_pending;

    // Entries m_end + 1 to m_next - 1; the rest is never read, so a decoder
    // (one a frame) starts without clearing them.
    std::array<uint16_t, kTableSize> m_prefix;
    std::array<uint8_t, kTableSize> m_suffix;
    std::array<uint8_t, kTableSize> m_first;
    std::array<uint16_t, kTableSize> m_length;
};
