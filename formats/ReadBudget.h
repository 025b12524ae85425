#pragma once
// What one read of a file may spend. A read (an Open, a zntool command, a
// thumbnail, a tray load) makes one budget and hands it to every decoder it
// reaches; each decoder charges it for the work it is about to do and for
// the memory it holds, and going over either ceiling fails the read as a
// damaged file would. A fuzz harness checks what a read spent against its
// input instead of against the clock.
//
// THE UNIT IS TIME. One unit stands for at most 5 ns of CPU on the
// development machine (2-core AMD EPYC, Release build), on the worst input
// for each charge point: a decoder prices each thing it counts (a deflate
// block, an input or output byte, a chunk, a record, a pixel, a row) by what
// the slowest input for that path makes it cost, measured by a benchmark in
// bench/cost that reports nanoseconds per unit, never by what it costs on
// average. So kCeiling is about 1.7 s of work whatever path a file takes,
// and the rest of the 2 s aim is left for fixed work. The table of prices
// and measurements is in docs/reliability.md ("What a unit costs").
//
// MEMORY IS NOT WORK. Allocating is cheap; what matters is what is alive at
// once. What a read holds (the file's bytes, the inflated payload, an image,
// zlib's and libpng's allocations) is counted while it is alive, through
// hold (the Held it returns releases it) or acquire and release, against
// kMemoryCeiling, and never charged as units.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

class ReadBudget {
public:
    // The price of a decoded pixel, for decoders that have not measured
    // their own.
    static constexpr uint64_t kPixel = 4;
    // About 1.7 s at 5 ns a unit; far above what any real animation costs
    // (see docs/reliability.md for the costliest real files).
    static constexpr uint64_t kCeiling = uint64_t(320) << 20;
    // Everything one read holds at once, the file's bytes and the payload
    // inflated from them included: a 64 MiB file, the 64 MiB it inflates to
    // and the decoders' working memory. The rest of the 256 MiB aim is the
    // program itself and the document a read builds.
    static constexpr uint64_t kMemoryCeiling = uint64_t(176) << 20;

    explicit ReadBudget(uint64_t ceiling = kCeiling, uint64_t memoryCeiling = kMemoryCeiling)
        : m_ceiling(ceiling), m_memoryCeiling(memoryCeiling) {}
    ReadBudget(const ReadBudget&) = delete;
    ReadBudget& operator=(const ReadBudget&) = delete;
    ~ReadBudget() {
        if (m_alive) *m_alive = nullptr;
    }

    // Spends units on `what` ("inflating a PNG entry"); over the ceiling,
    // throws EReadError "Stream read error" whose cause names what.
    void charge(uint64_t units, const char* what);
    void chargePixels(uint64_t pixels, const char* what);

    uint64_t spent() const { return m_spent; }
    uint64_t ceiling() const { return m_ceiling; }
    uint64_t left() const { return m_ceiling - m_spent; }

    // Memory held until the Held is destroyed or reset. A Held may outlive
    // its budget (a reader kept after its read): it then releases nothing.
    class Held {
    public:
        Held() = default;
        Held(Held&& other) noexcept
            : m_budget(std::move(other.m_budget)), m_bytes(std::exchange(other.m_bytes, 0)) {}
        Held& operator=(Held&& other) noexcept {
            if (this != &other) {
                reset();
                m_budget = std::move(other.m_budget);
                m_bytes = std::exchange(other.m_bytes, 0);
            }
            return *this;
        }
        ~Held() { reset(); }
        void reset() {
            if (m_budget && *m_budget) (*m_budget)->release(m_bytes);
            m_budget.reset();
            m_bytes = 0;
        }
        uint64_t bytes() const { return m_bytes; }

    private:
        friend class ReadBudget;
        Held(std::shared_ptr<ReadBudget*> budget, uint64_t bytes) : m_budget(std::move(budget)), m_bytes(bytes) {}
        std::shared_ptr<ReadBudget*> m_budget;  // null once the budget is gone
        uint64_t m_bytes = 0;
    };

    // Takes bytes of memory for `what`; over the memory ceiling, throws as
    // charge does and holds nothing. acquire and release are the same for
    // memory whose owner frees it through a callback (zlib's, libpng's).
    [[nodiscard]] Held hold(uint64_t bytes, const char* what) {
        acquire(bytes, what);
        return Held(alive(), bytes);
    }
    // Grows a Held of this budget by bytes more, as hold would take them.
    void grow(Held& held, uint64_t bytes, const char* what) {
        acquire(bytes, what);
        if (!held.m_budget) held.m_budget = alive();
        held.m_bytes += bytes;
    }
    void acquire(uint64_t bytes, const char* what);
    // acquire for a callback that cannot throw (zlib's and libpng's
    // allocators): false, holding nothing, when the bytes do not fit.
    bool tryAcquire(uint64_t bytes) noexcept;
    void release(uint64_t bytes) { m_held -= bytes < m_held ? bytes : m_held; }
    // A C library's allocator (zlib's zalloc, libpng's malloc_fn) on this
    // budget: memory counted while it is alive, or nullptr when it does not
    // fit or the system has none. After the library has failed for want of
    // memory, throwIfRefused tells the two apart: over the ceiling it throws
    // as acquire does.
    void* allocate(size_t bytes) noexcept;
    void free(void* block) noexcept;
    void throwIfRefused(const char* what);
    uint64_t held() const { return m_held; }
    uint64_t mostHeld() const { return m_mostHeld; }
    uint64_t memoryCeiling() const { return m_memoryCeiling; }

private:
    // What a Held asks before it releases: made on first use, so that a
    // budget that holds nothing costs no allocation.
    const std::shared_ptr<ReadBudget*>& alive() {
        if (!m_alive) m_alive = std::make_shared<ReadBudget*>(this);
        return m_alive;
    }

    uint64_t m_ceiling;
    uint64_t m_spent = 0;
    uint64_t m_memoryCeiling;
    uint64_t m_held = 0;
    uint64_t m_mostHeld = 0;
    bool m_refused = false;
    std::shared_ptr<ReadBudget*> m_alive;
};
