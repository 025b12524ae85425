#include "formats/InflatedBuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
}  // namespace

InflatedBuffer::~InflatedBuffer() {
    if (m_mapping) ::munmap(m_mapping, m_mappingLength);
}

InflatedBuffer::InflatedBuffer(InflatedBuffer&& other) noexcept
    : m_cap(other.m_cap),
      m_heap(std::move(other.m_heap)),
      m_mapping(std::exchange(other.m_mapping, nullptr)),
      m_mappingLength(std::exchange(other.m_mappingLength, 0)),
      m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {
    // A moved vector keeps its storage, so the heap bytes have not moved.
}

void InflatedBuffer::reserve(size_t bytes) {
    bytes = std::min(bytes, m_cap);
    if (bytes <= m_capacity) return;
    if (m_mapping || bytes > kHeapBytes) return map();
    m_heap.resize(m_size);  // only the bytes written are kept
    m_heap.reserve(bytes);  // exactly: resize alone may take up to twice as much
    m_heap.resize(bytes);
    m_data = m_heap.data();
    m_capacity = bytes;
}

void InflatedBuffer::map() {
    if (m_mapping) return;  // reserved at the cap already
    // Reserved, not committed: only the pages written to ever exist. The
    // extra huge page lets the start be aligned to one.
    const size_t length = m_cap + kHugePage;
    void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapping == MAP_FAILED) throw std::bad_alloc();
    const auto address = reinterpret_cast<uintptr_t>(mapping);
    auto* start = reinterpret_cast<uint8_t*>((address + kHugePage - 1) & ~(kHugePage - 1));
    ::madvise(start, m_cap, MADV_HUGEPAGE);  // a hint: where it fails, small pages serve
    if (m_size) std::memcpy(start, m_data, m_size);
    m_heap = {};
    m_mapping = mapping;
    m_mappingLength = length;
    m_data = start;
    m_capacity = m_cap;
}
