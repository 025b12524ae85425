#pragma once
// A window onto part of an icon's bytes in which everything beyond the real
// data reads as zero, as missing icon bytes do.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

class ZeroPadded {
public:
    ZeroPadded() = default;
    ZeroPadded(std::span<const uint8_t> all, uint64_t offset, uint64_t length) {
        if (offset < all.size()) {
            const uint64_t available = all.size() - offset;
            m_data = all.subspan(size_t(offset), size_t(length < available ? length : available));
        }
    }
    uint8_t u8(uint64_t at) const { return at < m_data.size() ? m_data[size_t(at)] : 0; }
    // The bytes that are really there.
    std::span<const uint8_t> available() const { return m_data; }
    // The first n bytes as one span: the data itself when it is long enough,
    // else a copy padded with zeros.
    std::span<const uint8_t> first(size_t n, std::vector<uint8_t>& storage) const {
        if (m_data.size() >= n) return m_data.first(n);
        storage.assign(n, 0);
        std::copy(m_data.begin(), m_data.end(), storage.begin());
        return storage;
    }

private:
    std::span<const uint8_t> m_data;
};
