#pragma once
// Builds RIFF bytes in tests: chunks in any order, lists, odd sizes with
// their pad bytes, and sizes that lie; plus the chunks of an animated cursor.
#include <cstdint>
#include <string_view>
#include <vector>

namespace test {

using Bytes = std::vector<uint8_t>;

inline void PutId(Bytes& out, std::string_view id) {
    for (size_t i = 0; i < 4; ++i) out.push_back(i < id.size() ? uint8_t(id[i]) : uint8_t(' '));
}
inline void PutLe32(Bytes& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(v >> shift));
}
inline Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A chunk whose size field says declaredSize whatever data holds, with no
// pad byte: for sizes that lie and for truncated chunks.
inline Bytes RawChunk(std::string_view id, uint32_t declaredSize, const Bytes& data = {}) {
    Bytes out;
    PutId(out, id);
    PutLe32(out, declaredSize);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}
// A well-formed chunk: header, data, and a zero pad byte when the size is odd.
inline Bytes Chunk(std::string_view id, const Bytes& data) {
    Bytes out = RawChunk(id, uint32_t(data.size()), data);
    if (data.size() % 2) out.push_back(0);
    return out;
}
// A "LIST" chunk of the given type holding the given chunks.
inline Bytes List(std::string_view type, const std::vector<Bytes>& chunks) {
    Bytes body;
    PutId(body, type);
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return Chunk("LIST", body);
}
// A RIFF form; its size field covers the chunks unless declaredSize is given.
inline Bytes Riff(std::string_view form, const std::vector<Bytes>& chunks, int64_t declaredSize = -1) {
    Bytes body;
    PutId(body, form);
    const Bytes all = Concat(chunks);
    body.insert(body.end(), all.begin(), all.end());
    return RawChunk("RIFF", declaredSize >= 0 ? uint32_t(declaredSize) : uint32_t(body.size()), body);
}
inline Bytes Truncated(Bytes bytes, size_t keep) {
    bytes.resize(keep);
    return bytes;
}

// Little-endian 32-bit words, as the "rate" and "seq " chunks hold them.
inline Bytes Words(const std::vector<int32_t>& values) {
    Bytes out;
    for (int32_t v : values) PutLe32(out, uint32_t(v));
    return out;
}
// A text chunk's data: the characters as they stand, no closing zero.
inline Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

// The fields of an animated cursor's "anih" header that a reader uses.
struct AniHeader {
    int32_t frames = 1;
    int32_t steps = 1;
    int32_t rate = 10;
    uint32_t flags = 1;  // bit 0: frames are icon resources
};
// The 36 bytes of the header: size, frames, steps, width, height, bits per
// pixel, planes, default rate, flags.
inline Bytes HeaderData(const AniHeader& h) {
    Bytes out;
    PutLe32(out, 36);
    PutLe32(out, uint32_t(h.frames));
    PutLe32(out, uint32_t(h.steps));
    for (int i = 0; i < 4; ++i) PutLe32(out, 0);
    PutLe32(out, uint32_t(h.rate));
    PutLe32(out, h.flags);
    return out;
}
inline Bytes HeaderChunk(const AniHeader& h) { return Chunk("anih", HeaderData(h)); }

// A cursor as drawing programs write one: title and creator, header, a rate
// per frame, a step sequence in stored order and one "icon" per image.
inline Bytes SampleCursor(const std::vector<Bytes>& icons) {
    std::vector<Bytes> iconChunks;
    std::vector<int32_t> rates, steps;
    for (size_t i = 0; i < icons.size(); ++i) {
        iconChunks.push_back(Chunk("icon", icons[i]));
        rates.push_back(int32_t(5 + i));
        steps.push_back(int32_t(i));
    }
    const auto count = int32_t(icons.size());
    return Riff("ACON", {List("INFO", {Chunk("INAM", Text("Sample")), Chunk("IART", Text("Zintra"))}),
                         HeaderChunk({.frames = count, .steps = count, .rate = 6, .flags = 3}),
                         Chunk("rate", Words(rates)), Chunk("seq ", Words(steps)), List("fram", iconChunks)});
}

}  // namespace test
