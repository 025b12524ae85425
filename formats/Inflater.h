#pragma once
// zlib's inflate, with what it costs charged to the read's budget. What
// inflating costs is what the stream makes zlib do, not what it gives: an
// empty dynamic-Huffman block gives nothing, yet zlib builds its code tables
// for it. So the stream is inflated a block at a time (Z_BLOCK) and each
// step is charged for the block it ends, the input it takes and the output
// it gives, at prices measured on the slowest stream for each
// (bench/cost/inflate_cost.cpp). The memory zlib allocates is counted on the
// budget while zlib holds it, and is not work.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <zlib.h>

#include "formats/ReadBudget.h"

class Inflater {
public:
    // A zlib stream (RFC 1950) for `what` ("inflating a ZN file"), with a
    // window of 2^windowBits bytes, or 0 for the one its header declares.
    // Without checked, the stream's checksum is neither computed nor
    // checked, for a reader that stops before the stream's end.
    enum class Checksum { Checked, Unchecked };
    Inflater(ReadBudget& budget, const char* what, int windowBits, Checksum checksum = Checksum::Checked);
    ~Inflater();
    // zlib's state points back at its z_stream: neither copied nor moved.
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // More input, which must stay alive until it has been used.
    void give(std::span<const uint8_t> input);
    size_t unread() const { return m_stream.avail_in; }
    // Inflates into out until it is full, the input is used up or the
    // stream stops; returns the bytes written. Over budget, throws as the
    // budget does; EOutOfResources when the system has no memory for zlib.
    size_t inflate(std::span<uint8_t> out);

    bool ended() const { return m_status == Z_STREAM_END; }
    // The data is not a zlib stream, or is damaged.
    bool damaged() const { return m_status != Z_OK && m_status != Z_STREAM_END; }
    // zlib's words for what is wrong.
    std::string damage() const;

    // Prices, in sixteenths of a unit, measured on the slowest streams
    // (bench/cost/inflate_cost.cpp): a block, charged where it ends, at the
    // costliest header (code lengths for 316 symbols, deep tables); a call;
    // an output byte at runs of zeros, which zlib copies a byte at a time
    // from the byte just written; an input byte at literals behind one- or
    // two-bit codes, the most symbols a byte can hold, beyond their output.
    static constexpr uint64_t kBlockSixteenths = 16 * 400;
    static constexpr uint64_t kCallSixteenths = 16 * 8;
    static constexpr uint64_t kOutputByteSixteenths = 7;
    static constexpr uint64_t kInputByteSixteenths = 18;
    // The most a stream can be charged per byte of it: an empty block of
    // fixed codes takes 10 bits; a byte of compressed zeros gives 1032.
    static constexpr uint64_t kMostUnitsPerInputByte =
        ((kBlockSixteenths + kCallSixteenths) * 8 / 10 + kOutputByteSixteenths * 1032 + kInputByteSixteenths) / 16 + 1;

private:
    void charge(size_t in, size_t out, bool blockEnded);
    // zlib's allocator, on the budget.
    static void* Allocate(void* inflater, uInt items, uInt size);
    static void Free(void* inflater, void* block);
    // Room for zlib's state (about 7 KiB) and the largest window.
    static constexpr size_t kArenaBytes = (size_t(8) << 10) + (size_t(32) << 10);

    ReadBudget& m_budget;
    const char* m_what;
    z_stream m_stream{};
    int m_status = Z_OK;
    uint64_t m_sixteenths = 0;  // charged in whole units; the rest carried
    uint8_t* m_arena = nullptr;
    size_t m_arenaUsed = 0;
};
