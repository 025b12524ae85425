#pragma once
// Builds ZN payloads and files in tests, field by field, so that tests can
// write both valid files and every kind of damaged one.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>
#include <zlib.h>

#include "builders/IconBuilder.h"

namespace test {

class ZNBuilder {
public:
    ZNBuilder& bytes(std::string_view text) {
        m_out.insert(m_out.end(), text.begin(), text.end());
        return *this;
    }
    ZNBuilder& bytes(const std::vector<uint8_t>& data) {
        m_out.insert(m_out.end(), data.begin(), data.end());
        return *this;
    }
    ZNBuilder& u8(uint8_t v) { m_out.push_back(v); return *this; }
    ZNBuilder& i32(int32_t v) { PutU32(m_out, uint32_t(v)); return *this; }
    ZNBuilder& f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        PutU32(m_out, uint32_t(bits));
        PutU32(m_out, uint32_t(bits >> 32));
        return *this;
    }
    ZNBuilder& string(std::string_view text) { return i32(int32_t(text.size())).bytes(text); }

    // "ZNFIL", version, category, the six strings, speed and frame count.
    ZNBuilder& currentHeader(int32_t frames, double version = 3.0, uint8_t category = 0,
                             std::string_view title = "Title", std::string_view author = "Author") {
        return bytes("ZNFIL").f64(version).u8(category).string(title).string(author)
            .string("").string("~x").string("~x").string("~x").u8(5).i32(frames);
    }
    ZNBuilder& frame(int32_t rate, const std::vector<uint8_t>& icon) {
        return i32(rate).i32(int32_t(icon.size())).bytes(icon);
    }
    // "ZN", then fixed-width decimal fields and a 12-byte title.
    ZNBuilder& legacyHeader(std::string_view version, std::string_view iconSize, std::string_view speed,
                            std::string_view count, std::string_view title) {
        bytes("ZN").bytes(Fixed(version, 3)).bytes(Fixed(iconSize, 5)).bytes(Fixed(speed, 2))
            .bytes(Fixed(count, 2));
        std::string t(title);
        t.resize(12, '\0');
        return bytes(t);
    }

    std::vector<uint8_t> payload() const { return m_out; }
    std::vector<uint8_t> compressed(int level = 9) const { return Compress(m_out, level); }

    static std::vector<uint8_t> Compress(const std::vector<uint8_t>& data, int level = 9) {
        uLongf size = compressBound(uLong(data.size()));
        std::vector<uint8_t> out(size);
        compress2(out.data(), &size, data.data(), uLong(data.size()), level);
        out.resize(size);
        return out;
    }

private:
    static std::string Fixed(std::string_view text, size_t width) {
        std::string s(text);
        s.resize(width, ' ');
        return s;
    }
    std::vector<uint8_t> m_out;
};

}  // namespace test
