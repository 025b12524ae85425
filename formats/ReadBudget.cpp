#include "formats/ReadBudget.h"

#include "formats/Errors.h"

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
    if (bytes > m_memoryCeiling - m_held)
        throw EReadError(messages::kStreamRead,
                         std::string("the file asks for more memory than any animation needs (") + what + ")");
    m_held += bytes;
    if (m_held > m_mostHeld) m_mostHeld = m_held;
}
