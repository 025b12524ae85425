#pragma once
// Memory that a stream is inflated into and then read from in place: each
// byte is written once, by zlib. A buffer reserved at most kHeapBytes lives
// on the heap; a larger one, or one that outgrows that, in a mapping
// reserved at its cap, where it can grow to the cap without moving, and
// which is backed by huge pages where the system offers them, so that
// filling it costs a page fault per 2 MiB rather than one per 4 KiB. Below
// 2 MiB a huge page would cost more to clear than it saves.
//
// A payload of a few frames fits in the buffer itself, which then takes no
// allocation of its own.
//
// Memory written for the first time costs a page fault per page, as much
// as inflating into it again: the process keeps the last buffer of each
// kind let go (from kSpareFrom to kHeapBytes, and a mapping with at most kSpareBytes
// of it resident), and the next read reuses it.
#include <cstddef>
#include <cstdint>
#include <span>

class InflatedBuffer {
public:
    // Up to cap bytes.
    explicit InflatedBuffer(size_t cap) : m_cap(cap) {}
    ~InflatedBuffer();
    // Its bytes are read in place: it stays where it was made.
    InflatedBuffer(const InflatedBuffer&) = delete;
    InflatedBuffer& operator=(const InflatedBuffer&) = delete;

    // Room for min(bytes, cap) bytes, keeping those written.
    void reserve(size_t bytes);
    size_t room() const { return m_storage.capacity - m_size; }
    uint8_t* end() { return m_storage.data + m_size; }
    // n more bytes have been written at end().
    void wrote(size_t n) { m_size += n; }

    size_t size() const { return m_size; }
    size_t cap() const { return m_cap; }
    std::span<const uint8_t> bytes() const { return {m_storage.data, m_size}; }

    // Up to this a buffer holds its bytes itself.
    static constexpr size_t kInlineBytes = 4096;
    // Past this a buffer is mapped.
    static constexpr size_t kHeapBytes = size_t(2) << 20;
    // Smaller buffers come from the allocator, and go back to it.
    static constexpr size_t kSpareFrom = size_t(64) << 10;
    // What a spare mapping keeps resident.
    static constexpr size_t kSpareBytes = size_t(16) << 20;

    // Memory of either kind: heap memory has no mapping.
    struct Storage {
        uint8_t* data = nullptr;
        size_t capacity = 0;
        void* mapping = nullptr;
        size_t mappingLength = 0;
    };

private:
    void map();
    // Takes storage in place of what the buffer had, which it lets go.
    void replace(const Storage& storage);

    size_t m_cap;
    Storage m_storage;
    size_t m_size = 0;
    uint8_t m_inline[kInlineBytes];
};
