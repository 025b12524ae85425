#include "TextEncoding.h"

#include <cstdint>
#include <vector>

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The code points of valid UTF-8 (shortest forms, no surrogates), or
// nothing when the text is not valid UTF-8.
std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view text) {
    std::vector<char32_t> out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = uint8_t(text[i]);
        int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                   : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        if (length == 0 || size_t(length) > text.size() - i) return std::nullopt;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = uint8_t(text[i + size_t(k)]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = c << 6 | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return std::nullopt;
        out.push_back(c);
        i += size_t(length);
    }
    return out;
}

}  // namespace

std::string Utf8FromLatin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) AppendUtf8(out, char32_t(uint8_t(ch)));
    return out;
}

std::optional<std::string> Latin1FromUtf8(std::string_view text) {
    const auto decoded = DecodeUtf8(text);
    if (!decoded) return std::string(text);
    std::string out;
    for (char32_t c : *decoded) {
        if (c >= 0x100) return std::nullopt;
        out += char(c);
    }
    return out;
}

std::string DisplayName(std::string_view name) {
    return DecodeUtf8(name) ? std::string(name) : Utf8FromLatin1(name);
}
