#include "formats/Inflater.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "formats/Errors.h"

namespace {

// What zlib adds to data_type when it returned at the end of a block.
constexpr int kAtBlockBoundary = 128;

}  // namespace

void* Inflater::Allocate(void* inflater, uInt items, uInt size) {
    auto& self = *static_cast<Inflater*>(inflater);
    const size_t bytes = (size_t(items) * size + 15) & ~size_t(15);  // both 32-bit: no overflow in 64
    // zlib's state and then its window, usually, from one allocation.
    if (!self.m_arena) {
        self.m_arena = static_cast<uint8_t*>(self.m_budget.allocate(kArenaBytes));
        if (!self.m_arena) return nullptr;
    }
    if (bytes <= kArenaBytes - self.m_arenaUsed) return self.m_arena + std::exchange(self.m_arenaUsed, self.m_arenaUsed + bytes);
    return self.m_budget.allocate(bytes);
}

void Inflater::Free(void* inflater, void* block) {
    auto& self = *static_cast<Inflater*>(inflater);
    auto* at = static_cast<uint8_t*>(block);
    if (self.m_arena && at >= self.m_arena && at < self.m_arena + kArenaBytes) return;  // freed with the arena
    self.m_budget.free(block);
}

Inflater::Inflater(ReadBudget& budget, const char* what, int windowBits, Checksum checksum)
    : m_budget(budget), m_what(what) {
    m_stream.zalloc = Allocate;
    m_stream.zfree = Free;
    m_stream.opaque = this;
    if (const int status = inflateInit2(&m_stream, windowBits); status != Z_OK) {
        m_budget.free(m_arena);  // no destructor runs
        m_budget.throwIfRefused(m_what);
        throw EOutOfResources(messages::kOutOfResources, std::string(m_what) + ": zlib has no memory");
    }
    if (checksum == Checksum::Unchecked) inflateValidate(&m_stream, 0);
}

Inflater::~Inflater() {
    inflateEnd(&m_stream);
    m_budget.free(m_arena);
}

void Inflater::give(std::span<const uint8_t> input) {
    m_stream.next_in = const_cast<Bytef*>(input.data());
    m_stream.avail_in = uInt(std::min<size_t>(input.size(), UINT_MAX));
}

size_t Inflater::inflate(std::span<uint8_t> out) {
    size_t written = 0;
    while (m_status == Z_OK && written < out.size()) {
        const uInt room = uInt(std::min<size_t>(out.size() - written, UINT_MAX));
        const uInt input = m_stream.avail_in;
        m_stream.next_out = out.data() + written;
        m_stream.avail_out = room;
        // Returns at the end of each block, so that every block is paid for.
        const int status = ::inflate(&m_stream, Z_BLOCK);
        written += room - m_stream.avail_out;
        const bool blockEnded = (m_stream.data_type & kAtBlockBoundary) != 0 || status == Z_STREAM_END;
        charge(input - m_stream.avail_in, room - m_stream.avail_out, blockEnded);
        if (status == Z_BUF_ERROR) break;  // no progress: wants input
        if (status == Z_MEM_ERROR) {
            m_budget.throwIfRefused(m_what);
            throw EOutOfResources(messages::kOutOfResources, std::string(m_what) + ": zlib has no memory");
        }
        m_status = status;
    }
    return written;
}

std::string Inflater::damage() const {
    return m_stream.msg ? m_stream.msg : m_status == Z_NEED_DICT ? "needs a preset dictionary" : zError(m_status);
}

void Inflater::charge(size_t in, size_t out, bool blockEnded) {
    // A block is paid for where it ends: every block that starts ends, or
    // the stream is damaged and the read fails.
    m_sixteenths += kCallSixteenths + (blockEnded ? kBlockSixteenths : 0) + in * kInputByteSixteenths +
                    out * kOutputByteSixteenths;
    const uint64_t units = m_sixteenths / 16;
    m_sixteenths %= 16;
    m_budget.charge(units, m_what);
}
