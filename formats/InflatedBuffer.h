#pragma once
// Memory that a stream is inflated into and then read from in place: each
// byte is written once, by zlib, and never moved. A buffer reserved at
// most kHeapBytes lives on the heap; a larger one, or one that outgrows
// that, in a mapping reserved at its cap, where it can grow to the cap
// without moving, and which is backed by huge pages where the system
// offers them, so that filling it costs a page fault per 2 MiB rather than
// one per 4 KiB (inflating a payload spent a tenth of its time in those
// faults). Below 2 MiB a huge page would cost more to clear than it saves.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/UninitialisedAllocator.h"

class InflatedBuffer {
public:
    // Up to cap bytes.
    explicit InflatedBuffer(size_t cap) : m_cap(cap) {}
    ~InflatedBuffer();
    InflatedBuffer(InflatedBuffer&& other) noexcept;
    InflatedBuffer& operator=(InflatedBuffer&&) = delete;
    InflatedBuffer(const InflatedBuffer&) = delete;

    // Room for min(bytes, cap) bytes, keeping those written.
    void reserve(size_t bytes);
    size_t room() const { return m_capacity - m_size; }
    uint8_t* end() { return m_data + m_size; }
    // n more bytes have been written at end().
    void wrote(size_t n) { m_size += n; }

    size_t size() const { return m_size; }
    size_t cap() const { return m_cap; }
    std::span<const uint8_t> bytes() const { return {m_data, m_size}; }

    // Past this a buffer is mapped.
    static constexpr size_t kHeapBytes = size_t(2) << 20;

private:
    void map();

    size_t m_cap;
    UninitialisedVector<uint8_t> m_heap;
    void* m_mapping = nullptr;
    size_t m_mappingLength = 0;
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};
