#include "formats/GifLzwDecoder.h"

#include <algorithm>

#include "formats/ReadBudget.h"

GifLzwDecoder::GifLzwDecoder(int minimumCodeSize, ReadBudget& budget, NextBlock nextBlock)
    : m_minimumCodeSize(minimumCodeSize),
      m_clear(1 << std::clamp(minimumCodeSize, 0, 8)),
      m_end(m_clear + 1),
      m_budget(budget),
      m_nextBlock(std::move(nextBlock)) {
    reset();
}

void GifLzwDecoder::reset() {
    m_width = std::clamp(m_minimumCodeSize, 0, 8) + 1;
    m_limit = 1 << m_width;
    m_running = m_end + 1;
    m_next = m_end + 1;
    m_last = kNoCode;
}

void GifLzwDecoder::chargeCodes() {
    if (m_uncharged == 0) return;
    m_budget.charge(kUnitsPerCode * m_uncharged, "reading GIF image codes");
    m_uncharged = 0;
}

bool GifLzwDecoder::refill() {
    while (m_bitCount < m_width) {
        if (m_block.empty()) {
            // Codes are charged a sub-block at a time, before more are read;
            // the next sub-block is read only once its bits are needed.
            chargeCodes();
            if (m_terminated) return false;
            m_block = m_nextBlock();
            if (m_block.empty()) {
                m_terminated = true;
                return false;
            }
        }
        // As many bytes of this sub-block as the bit buffer holds.
        const size_t n = std::min(m_block.size(), size_t(64 - m_bitCount) / 8);
        for (size_t i = 0; i < n; ++i, m_bitCount += 8) m_bits |= uint64_t(m_block[i]) << m_bitCount;
        m_block = m_block.subspan(n);
    }
    return true;
}

inline bool GifLzwDecoder::readCode(int& code) {
    if (m_bitCount < m_width && !refill()) return false;
    code = int(m_bits & ((uint64_t(1) << m_width) - 1));
    m_bits >>= m_width;
    m_bitCount -= m_width;
    ++m_uncharged;
    // Codes grow a bit once the count since the last clear passes the widest
    // code of the present width; the count stops one past the table's end.
    if (m_running < kTableSize + 1 && ++m_running > m_limit && m_width < kMaxCodeBits) {
        m_limit <<= 1;
        ++m_width;
    }
    return true;
}

GifLzwDecoder::Result GifLzwDecoder::decode(std::span<uint8_t> out) {
    m_budget.charge(kCallUnits + (out.size() + kIndicesPerUnit - 1) / kIndicesPerUnit, "decoding GIF image data");
    if (m_minimumCodeSize < 0 || m_minimumCodeSize > 8) return Result::BadCode;

    size_t at = std::min(out.size(), m_pendingEnd - m_pendingAt);
    std::copy_n(m_pending.begin() + ptrdiff_t(m_pendingAt), at, out.begin());
    m_pendingAt += at;

    const auto firstOf = [this](int code) { return code < m_clear ? uint8_t(code) : m_first[size_t(code)]; };
    const auto lengthOf = [this](int code) { return code < m_clear ? size_t(1) : size_t(m_length[size_t(code)]); };
    Result result = Result::Done;
    while (at < out.size()) {
        int code = 0;
        if (!readCode(code)) {
            result = Result::DataEnds;
            break;
        }
        if (code == m_clear) {
            reset();
            continue;
        }
        if (code == m_end) {
            result = Result::EndCode;
            break;
        }
        // The first code after a clear has no string to extend, so it must
        // be an index; any later one may be the entry it defines itself.
        if ((m_last == kNoCode && code > m_end) || code > m_next) {
            result = Result::BadCode;
            break;
        }
        if (m_last != kNoCode && m_next < kTableSize) {
            // A full table stays as it is until a clear code.
            const size_t entry = size_t(m_next++);
            m_prefix[entry] = uint16_t(m_last);
            m_suffix[entry] = firstOf(code == int(entry) ? m_last : code);
            m_first[entry] = firstOf(m_last);
            m_length[entry] = uint16_t(lengthOf(m_last) + 1);
        }
        m_last = code;

        // The string is spelt from its end; one that does not fit waits.
        const size_t length = lengthOf(code);
        const size_t room = out.size() - at;
        uint8_t* to = length <= room ? out.data() + at : m_pending.data();
        for (size_t i = length - 1; i > 0; --i) {
            to[i] = m_suffix[size_t(code)];
            code = m_prefix[size_t(code)];
        }
        to[0] = uint8_t(code);
        if (length <= room) {
            at += length;
        } else {
            std::copy_n(m_pending.begin(), room, out.begin() + ptrdiff_t(at));
            m_pendingAt = room;
            m_pendingEnd = length;
            at = out.size();
        }
    }
    chargeCodes();
    return result;
}

void GifLzwDecoder::skipRest() {
    while (!m_terminated) m_terminated = m_nextBlock().empty();
}
