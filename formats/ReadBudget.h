#pragma once
// What one read of a file may spend. A read (an Open, a zntool command, a
// thumbnail, a tray load) makes one budget and hands it to every decoder it
// reaches; each decoder charges it for the work it is about to do (bytes
// inflated, read, copied or skipped, pixels decoded, composed or sampled,
// codes read) and going over the ceiling fails the read as a damaged file
// would. The ceiling keeps any read within the memory and time aims (256 MiB,
// 2 s), whatever decoder a file reaches; a fuzz harness checks what a read
// spent against its input instead of against the clock.
#include <cstdint>
#include <string>

class ReadBudget {
public:
    // One unit is about the cost of handling one byte; a pixel costs four.
    static constexpr uint64_t kPixel = 4;
    // Well above what any real animation costs (a 64 MiB payload of distinct
    // 32-bit frames: 183 M), and within 1.7 s at the slowest path measured on
    // a 2-core EPYC (16-bit interlaced PNG entries, 5 ns a unit; inflating
    // highly compressible data, 3 ns): the rest of 2 s is for fixed work.
    static constexpr uint64_t kCeiling = uint64_t(320) << 20;

    explicit ReadBudget(uint64_t ceiling = kCeiling) : m_ceiling(ceiling) {}
    ReadBudget(const ReadBudget&) = delete;
    ReadBudget& operator=(const ReadBudget&) = delete;

    // Spends units on `what` ("inflating a PNG entry"); over the ceiling,
    // throws EReadError "Stream read error" whose cause names what.
    void charge(uint64_t units, const char* what);
    void chargePixels(uint64_t pixels, const char* what);

    uint64_t spent() const { return m_spent; }
    uint64_t ceiling() const { return m_ceiling; }
    uint64_t left() const { return m_ceiling - m_spent; }

private:
    uint64_t m_ceiling;
    uint64_t m_spent = 0;
};
