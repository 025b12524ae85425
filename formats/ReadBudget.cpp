#include "formats/ReadBudget.h"

#include <cstdlib>
#include <cstring>

#include "formats/Errors.h"

namespace {
// Each block starts with its size, so that free can release what it held.
constexpr size_t kSizeHeader = alignof(std::max_align_t);
}  // namespace

void ReadBudget::charge(uint64_t units, const char* what) {
    if (units > left()) {
        m_spent = m_ceiling;
        throw EReadError(messages::kStreamRead,
                         std::string("the file asks for more work than any animation needs (") + what + ")");
    }
    m_spent += units;
}

void ReadBudget::chargePixels(uint64_t pixels, const char* what) {
    // Saturates rather than wraps, so a huge count still fails.
    charge(pixels > UINT64_MAX / kPixel ? UINT64_MAX : pixels * kPixel, what);
}

void ReadBudget::acquire(uint64_t bytes, const char* what) {
    if (!tryAcquire(bytes))
        throw EReadError(messages::kStreamRead,
                         std::string("the file asks for more memory than any animation needs (") + what + ")");
}

bool ReadBudget::tryAcquire(uint64_t bytes) noexcept {
    if (bytes > m_memoryCeiling - m_held) return false;
    m_held += bytes;
    if (m_held > m_mostHeld) m_mostHeld = m_held;
    return true;
}

void* ReadBudget::allocate(size_t bytes) noexcept {
    if (bytes > SIZE_MAX - kSizeHeader || !tryAcquire(bytes + kSizeHeader)) {
        m_refused = true;
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(std::malloc(bytes + kSizeHeader));
    if (!block) {
        release(bytes + kSizeHeader);
        return nullptr;
    }
    std::memcpy(block, &bytes, sizeof bytes);
    return block + kSizeHeader;
}

void ReadBudget::free(void* block) noexcept {
    if (!block) return;
    auto* start = static_cast<unsigned char*>(block) - kSizeHeader;
    size_t bytes;
    std::memcpy(&bytes, start, sizeof bytes);
    release(bytes + kSizeHeader);
    std::free(start);
}

void ReadBudget::throwIfRefused(const char* what) {
    if (std::exchange(m_refused, false)) acquire(m_memoryCeiling + 1, what);
}
