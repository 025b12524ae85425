#include "TextEncoding.h"

#include "core/HostRead.h"

std::string Utf8FromLatin1(std::string_view text) { return HostText(text); }

std::optional<std::string> Latin1FromUtf8(std::string_view text) {
    const auto decoded = Utf8CodePoints(text);
    if (!decoded) return std::string(text);
    std::string out;
    for (char32_t c : *decoded) {
        if (c >= 0x100) return std::nullopt;
        out += char(c);
    }
    return out;
}

std::string DisplayName(std::string_view name) { return SystemText(name); }
