#include "imageformats/ZNImageFrames.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string_view>
#include <zlib.h>

#include "core/FrameTiming.h"

namespace {

// The payload's signature: "ZN", then "FIL" and an 8-byte version in the
// current layout, or a legacy header of decimal text fields (version,
// icon size, speed code, frame count) at these offsets and widths.
constexpr std::string_view kMagic = "ZN", kCurrent = "ZNFIL";
constexpr size_t kVersionAt = 5, kCurrentHeaderBytes = 13;
constexpr struct {
    size_t at, width;
} kLegacyFields[] = {{2, 3}, {5, 5}, {10, 2}, {12, 2}};
constexpr size_t kLegacyHeaderBytes = 14;
// Versions written so far are below 4; anything past this is not a version.
constexpr double kMostPlausibleVersion = 100;

std::string_view Text(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool PlausibleVersion(std::span<const uint8_t> bytes) {
    uint64_t bits = 0;
    for (size_t i = 0; i < 8; ++i) bits |= uint64_t(bytes[kVersionAt + i]) << (8 * i);
    const double version = std::bit_cast<double>(bits);
    return std::isfinite(version) && version >= 0 && version <= kMostPlausibleVersion;
}

// Decimal text as the reader takes it: spaces and controls around a number
// with an optional sign and, for the version, a point.
bool DecimalField(std::string_view text) {
    while (!text.empty() && uint8_t(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && uint8_t(text.back()) <= 32) text.remove_suffix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
           std::count(text.begin(), text.end(), '.') <= 1;
}

bool PlausiblePayload(std::span<const uint8_t> payload) {
    const std::string_view text = Text(payload);
    if (text.starts_with(kCurrent)) return payload.size() >= kCurrentHeaderBytes && PlausibleVersion(payload);
    if (!text.starts_with(kMagic) || payload.size() < kLegacyHeaderBytes) return false;
    return std::all_of(std::begin(kLegacyFields), std::end(kLegacyFields),
                       [&](const auto& field) { return DecimalField(text.substr(field.at, field.width)); });
}

// RFC 1950: deflate with a window of at most 32 KiB, no preset dictionary,
// and a check value that makes the two bytes a multiple of 31.
bool ZlibHeader(std::span<const uint8_t> head) {
    if (head.size() < 2) return false;
    const unsigned cmf = head[0], flg = head[1];
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && !(flg & 0x20) && (cmf * 256 + flg) % 31 == 0;
}

}  // namespace

ZNImageFrames::ZNImageFrames(TDocument document) : m_document(std::move(document)) {
    std::vector<int32_t> rates(size_t(m_document.Count()));
    for (int n = 1; n <= m_document.Count(); ++n) rates[size_t(n - 1)] = m_document.FrameAt(n).rate;
    m_ends = FrameEnds(rates, 1000);
}

const IconImage& ZNImageFrames::image(int i) const { return m_document.FrameAt(i + 1).icon->image(); }

int ZNImageFrames::delayMs(int i) const { return DelayMilliseconds(m_ends[size_t(i)] - (i ? m_ends[size_t(i - 1)] : 0)); }

bool LooksLikeZN(std::span<const uint8_t> head) {
    head = head.first(std::min(head.size(), kZNSniffBytes));
    if (PlausiblePayload(head)) return true;
    if (!ZlibHeader(head)) return false;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    uint8_t out[std::max(kCurrentHeaderBytes, kLegacyHeaderBytes)];
    stream.next_in = const_cast<Bytef*>(head.data());
    stream.avail_in = uInt(head.size());
    stream.next_out = out;
    stream.avail_out = sizeof out;
    // Only as far as the payload's header: the rest may not be at hand.
    const int status = inflate(&stream, Z_SYNC_FLUSH);
    const size_t inflated = sizeof out - stream.avail_out;
    inflateEnd(&stream);
    return (status == Z_OK || status == Z_STREAM_END) && PlausiblePayload({out, inflated});
}
