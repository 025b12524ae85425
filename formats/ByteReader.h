#pragma once
// A checked little-endian reader over a byte buffer. Every read checks the
// bytes that remain first and throws EReadError("Stream read error") rather
// than reading past the end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "formats/Errors.h"

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}

    size_t position() const { return m_pos; }
    size_t size() const { return m_size; }
    size_t remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos == m_size; }

    uint8_t u8() { require(1); return m_data[m_pos++]; }
    uint16_t u16le() {
        require(2);
        uint16_t v = uint16_t(m_data[m_pos] | m_data[m_pos + 1] << 8);
        m_pos += 2;
        return v;
    }
    uint32_t u32le() {
        require(4);
        uint32_t v = uint32_t(m_data[m_pos]) | uint32_t(m_data[m_pos + 1]) << 8 |
                     uint32_t(m_data[m_pos + 2]) << 16 | uint32_t(m_data[m_pos + 3]) << 24;
        m_pos += 4;
        return v;
    }
    int32_t i32le() { return static_cast<int32_t>(u32le()); }
    double f64le() {
        uint64_t bits = u32le();
        bits |= uint64_t(u32le()) << 32;
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    // A view of the next n bytes, valid as long as the underlying buffer.
    std::span<const uint8_t> bytes(size_t n) {
        require(n);
        std::span<const uint8_t> s(m_data + m_pos, n);
        m_pos += n;
        return s;
    }
    std::vector<uint8_t> copy(size_t n) {
        auto s = bytes(n);
        return {s.begin(), s.end()};
    }
    void skip(size_t n) { require(n); m_pos += n; }
    // Moves forward by up to n bytes, stopping at the end of the data.
    void skipClamped(size_t n) { m_pos += n < remaining() ? n : remaining(); }

private:
    void require(size_t n) const {
        if (n > remaining()) throw EReadError(messages::kStreamRead);
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
