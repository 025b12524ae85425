#pragma once
// What one read of a file may spend. A read (an Open, a zntool command, a
// thumbnail, a tray load) makes one budget and hands it to every decoder it
// reaches; each decoder charges it for the work it is about to do (bytes
// inflated, read, copied or skipped, pixels decoded, composed or sampled,
// codes read) and going over the ceiling fails the read as a damaged file
// would. The ceiling keeps any read within the memory and time aims (256 MiB,
// 2 s), whatever decoder a file reaches; a fuzz harness checks what a read
// spent against its input instead of against the clock.
//
// Memory is not work: what a decoder holds is counted while it is alive
// (hold, and the Held it returns releases it), against a ceiling of its own.
#include <cstdint>
#include <string>
#include <utility>

class ReadBudget {
public:
    // One unit is about the cost of handling one byte; a pixel costs four.
    static constexpr uint64_t kPixel = 4;
    // Well above what any real animation costs (a 64 MiB payload of distinct
    // 32-bit frames: 183 M), and within 1.7 s at the slowest path measured on
    // a 2-core EPYC (16-bit interlaced PNG entries, 5 ns a unit; inflating
    // highly compressible data, 3 ns): the rest of 2 s is for fixed work.
    static constexpr uint64_t kCeiling = uint64_t(320) << 20;
    // What the decoders of one read may hold at once, beside the file's own
    // bytes and the payload they are read from.
    static constexpr uint64_t kMemoryCeiling = uint64_t(96) << 20;

    explicit ReadBudget(uint64_t ceiling = kCeiling, uint64_t memoryCeiling = kMemoryCeiling)
        : m_ceiling(ceiling), m_memoryCeiling(memoryCeiling) {}
    ReadBudget(const ReadBudget&) = delete;
    ReadBudget& operator=(const ReadBudget&) = delete;

    // Spends units on `what` ("inflating a PNG entry"); over the ceiling,
    // throws EReadError "Stream read error" whose cause names what.
    void charge(uint64_t units, const char* what);
    void chargePixels(uint64_t pixels, const char* what);

    uint64_t spent() const { return m_spent; }
    uint64_t ceiling() const { return m_ceiling; }
    uint64_t left() const { return m_ceiling - m_spent; }

    // Memory held until the Held is destroyed or reset.
    class Held {
    public:
        Held() = default;
        Held(Held&& other) noexcept
            : m_budget(std::exchange(other.m_budget, nullptr)), m_bytes(std::exchange(other.m_bytes, 0)) {}
        Held& operator=(Held&& other) noexcept {
            if (this != &other) {
                reset();
                m_budget = std::exchange(other.m_budget, nullptr);
                m_bytes = std::exchange(other.m_bytes, 0);
            }
            return *this;
        }
        ~Held() { reset(); }
        void reset() {
            if (m_budget) m_budget->release(m_bytes);
            m_budget = nullptr;
            m_bytes = 0;
        }
        uint64_t bytes() const { return m_bytes; }

    private:
        friend class ReadBudget;
        Held(ReadBudget* budget, uint64_t bytes) : m_budget(budget), m_bytes(bytes) {}
        ReadBudget* m_budget = nullptr;
        uint64_t m_bytes = 0;
    };

    // Takes bytes of memory for `what`; over the memory ceiling, throws as
    // charge does and holds nothing. acquire and release are the same for
    // memory whose owner frees it through a callback (zlib's, libpng's).
    [[nodiscard]] Held hold(uint64_t bytes, const char* what) {
        acquire(bytes, what);
        return Held(this, bytes);
    }
    void acquire(uint64_t bytes, const char* what);
    void release(uint64_t bytes) { m_held -= bytes < m_held ? bytes : m_held; }
    uint64_t held() const { return m_held; }
    uint64_t mostHeld() const { return m_mostHeld; }
    uint64_t memoryCeiling() const { return m_memoryCeiling; }

private:
    uint64_t m_ceiling;
    uint64_t m_spent = 0;
    uint64_t m_memoryCeiling;
    uint64_t m_held = 0;
    uint64_t m_mostHeld = 0;
};
