#include "formats/InflatedBuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
using Storage = InflatedBuffer::Storage;

void Release(const Storage& storage) {
    if (storage.mapping) ::munmap(storage.mapping, storage.mappingLength);
    else std::free(storage.data);
}

// The last buffer of each kind let go, for the next read to fill again
// without a page fault.
class Spares {
public:
    // A spare of at least capacity bytes (heap) or mapping bytes (mapped),
    // or none.
    Storage take(bool mapped, size_t bytes) {
        const std::lock_guard lock(m_mutex);
        Storage& spare = mapped ? m_mapping : m_heap;
        const size_t size = mapped ? spare.mappingLength : spare.capacity;
        if (!spare.data || size < bytes) return {};
        return std::exchange(spare, {});
    }
    // Keeps the larger of storage and the spare of its kind, and releases the other.
    void give(Storage storage) {
        if (!storage.data) return;
        if (storage.mapping && storage.capacity > InflatedBuffer::kSpareBytes) {
            // Only so much of a spare stays resident.
            auto* from = storage.data + InflatedBuffer::kSpareBytes;
            ::madvise(from, storage.capacity - InflatedBuffer::kSpareBytes, MADV_DONTNEED);
        }
        {
            const std::lock_guard lock(m_mutex);
            Storage& spare = storage.mapping ? m_mapping : m_heap;
            if (!spare.data || spare.capacity < storage.capacity) std::swap(spare, storage);
        }
        if (storage.data) Release(storage);
    }

private:
    std::mutex m_mutex;
    Storage m_heap;
    Storage m_mapping;
};

Spares& TheSpares() {
    static Spares* spares = new Spares;  // never destroyed: buffers may outlive static destruction
    return *spares;
}

}  // namespace

InflatedBuffer::~InflatedBuffer() { replace({}); }

void InflatedBuffer::replace(const Storage& storage) {
    const Storage old = std::exchange(m_storage, storage);
    if (old.data == m_inline) return;
    if (old.capacity >= kSpareFrom) TheSpares().give(old);
    else Release(old);
}

void InflatedBuffer::reserve(size_t bytes) {
    bytes = std::min(bytes, m_cap);
    if (bytes <= m_storage.capacity) return;
    if (m_storage.mapping || bytes > kHeapBytes) return map();
    if (bytes <= kInlineBytes) return replace({m_inline, kInlineBytes});  // only at first: nothing written yet
    // A small buffer comes warm from the allocator, and faster than a spare.
    Storage grown = bytes >= kSpareFrom ? TheSpares().take(false, bytes) : Storage{};
    if (!grown.data) {
        grown.data = static_cast<uint8_t*>(std::malloc(bytes));
        if (!grown.data) throw std::bad_alloc();
        grown.capacity = bytes;
    }
    if (m_size) std::memcpy(grown.data, m_storage.data, m_size);
    replace(grown);
}

void InflatedBuffer::map() {
    if (m_storage.mapping) return;  // reserved at the cap already
    // Reserved, not committed: only the pages written to ever exist. The
    // extra huge page lets the start be aligned to one.
    const size_t length = m_cap + kHugePage;
    Storage mapped = TheSpares().take(true, length);
    if (!mapped.data) {
        void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (mapping == MAP_FAILED) throw std::bad_alloc();
        const auto address = reinterpret_cast<uintptr_t>(mapping);
        auto* start = reinterpret_cast<uint8_t*>((address + kHugePage - 1) & ~(kHugePage - 1));
        ::madvise(start, m_cap, MADV_HUGEPAGE);  // a hint: where it fails, small pages serve
        mapped = {start, m_cap, mapping, length};
    }
    if (m_size) std::memcpy(mapped.data, m_storage.data, m_size);
    replace(mapped);
}
