#pragma once
// GIFs crafted to make the import spend time and memory within every cap:
// one family for each thing the reader visits or does (records, sub-blocks,
// codes, rows, frames, disposals), each as costly per byte as it can be; and
// large GIFs that giflib's own encoder writes, which must open.
#include <sys/types.h>
#include <unistd.h>

#include <fcntl.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "builders/GifBuilder.h"

namespace test {

namespace gif {
const std::vector<Rgb> kTwoColours{{0, 0, 0}, {255, 255, 255}};
// A frame whose data is given as written.
inline GifImage Coded(int left, int top, int width, int height, std::vector<uint8_t> data) {
    GifImage image;
    image.left = left, image.top = top, image.width = width, image.height = height;
    image.data = std::move(data);
    return image;
}
// Image data: the code size, then `codes` in sub-blocks of 255 bytes.
inline std::vector<uint8_t> Blocks(int codeSize, const std::vector<uint8_t>& codes) {
    std::vector<uint8_t> out{uint8_t(codeSize)};
    out.reserve(codes.size() + codes.size() / 255 + 3);
    for (size_t at = 0; at < codes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), codes.begin() + ptrdiff_t(at), codes.begin() + ptrdiff_t(at + n));
    }
    out.push_back(0);
    return out;
}
inline GifImage Dot() { return Coded(0, 0, 1, 1, GifCodes(2).pixels({1}).end().data()); }
// Copies of `record` after a one-pixel frame, up to about `bytes` bytes.
inline std::vector<uint8_t> Repeated(const std::vector<uint8_t>& record, size_t bytes) {
    std::vector<uint8_t> out;
    out.reserve(bytes);
    while (out.size() + record.size() <= bytes) out.insert(out.end(), record.begin(), record.end());
    return GifBuilder(1, 1, kTwoColours).image(Dot()).raw(std::move(out)).bytes();
}
}  // namespace gif

// A 1×1 GIF whose one pixel comes after `bytes` bytes of clear codes.
inline std::vector<uint8_t> ClearCodeGif(size_t bytes) {
    // At code size 0 a clear code is a single bit: a byte of ones holds eight.
    std::vector<uint8_t> codes(bytes, 0xFF);
    const std::vector<uint8_t> dot = GifCodes(0).pixels({0}).end().data();  // code size, one sub-block, 0
    codes.insert(codes.end(), dot.begin() + 2, dot.end() - 1);
    return GifBuilder(1, 1, gif::kTwoColours).image(gif::Coded(0, 0, 1, 1, gif::Blocks(0, codes))).bytes();
}

// Extensions of no data at all ("21 FF 00"), about `bytes` of them.
inline std::vector<uint8_t> EmptyExtensionsGif(size_t bytes) { return gif::Repeated({0x21, 0xFF, 0x00}, bytes); }

// One comment of one-byte sub-blocks, about `bytes` long.
inline std::vector<uint8_t> OneByteCommentGif(size_t bytes) {
    std::vector<uint8_t> comment{0x21, 0xFE};
    comment.reserve(bytes + 3);
    while (comment.size() + 3 <= bytes) comment.insert(comment.end(), {0x01, 'x'});
    comment.push_back(0x00);
    return GifBuilder(1, 1, gif::kTwoColours).image(gif::Dot()).raw(std::move(comment)).bytes();
}

// A one-pixel frame whose data goes on, after its pixel, in one-byte
// sub-blocks, about `bytes` of them.
inline std::vector<uint8_t> OneByteDataBlocksGif(size_t bytes) {
    std::vector<uint8_t> data = GifCodes(2).pixels({1}).end().data();
    data.pop_back();
    data.reserve(bytes + 1);
    while (data.size() + 2 <= bytes) data.insert(data.end(), {0x01, 0x00});
    data.push_back(0x00);
    return GifBuilder(1, 1, gif::kTwoColours).image(gif::Coded(0, 0, 1, 1, std::move(data))).bytes();
}

// `frames` frames of 1 × `height` pixels, on a screen of one pixel, with
// an empty extension between every two: each row a call of its own. With
// `extensionBytes` of empty extensions before them, for both at once.
inline std::vector<uint8_t> TallFramesGif(int frames, int height, bool interlace = false, size_t extensionBytes = 0) {
    GifImage tall = gif::Coded(0, 0, 1, height, GifCodes(2).pixels(std::vector<uint8_t>(size_t(height), 1)).end().data());
    tall.interlace = interlace;
    GifBuilder builder(1, 1, gif::kTwoColours);
    std::vector<uint8_t> extensions;
    extensions.reserve(extensionBytes);
    while (extensions.size() + 3 <= extensionBytes) extensions.insert(extensions.end(), {0x21, 0xFF, 0x00});
    if (!extensions.empty()) builder.raw(std::move(extensions));
    for (int i = 0; i < frames; ++i) builder.image(tall).raw({0x21, 0xFF, 0x00});
    return builder.bytes();
}

// `frames` one-pixel frames, each with a colour table of 256 entries of
// its own, restoring what was under it, spread over the largest screen.
inline std::vector<uint8_t> TinyFramesGif(int frames, int side = 4096) {
    GifBuilder builder(side, side, gif::kTwoColours);
    std::vector<Rgb> colours(256);
    for (int i = 0; i < 256; ++i) colours[size_t(i)] = {uint8_t(i), uint8_t(i * 3), uint8_t(i * 7)};
    for (int i = 0; i < frames; ++i) {
        GifImage dot = gif::Coded(int(i * 2654435761u % unsigned(side)), int(i * 40503u % unsigned(side)), 1, 1,
                                  GifCodes(8).pixels({uint8_t(i)}).end().data());
        dot.colours = colours;
        dot.disposal = DISPOSE_PREVIOUS;
        builder.image(dot);
    }
    return builder.bytes();
}

// LZW data as costly per byte as it can be: indices that never repeat a
// pair (every code a new entry, table cleared when full), or one index
// repeated (every code the longest string so far).
inline std::vector<uint8_t> CodesGif(int frames, int side, bool runs) {
    std::vector<uint8_t> indices(size_t(side) * size_t(side), 1);
    uint32_t state = 1;
    if (!runs)
        for (uint8_t& index : indices) index = uint8_t((state = state * 1664525u + 1013904223u) >> 24);
    std::vector<Rgb> colours(256, Rgb{7, 7, 7});
    GifBuilder builder(side, side, colours);
    const GifImage frame = gif::Coded(0, 0, side, side, GifCodes(8).pixels(indices).end().data());
    for (int i = 0; i < frames; ++i) builder.image(frame);
    return builder.bytes();
}

// `frames` white frames of side × side, each restoring what was under it.
inline std::vector<uint8_t> RestoringGif(int frames, int side) {
    GifImage frame;
    frame.width = frame.height = side;
    frame.disposal = DISPOSE_PREVIOUS;
    frame.data = GifCodes(2).pixels(std::vector<uint8_t>(size_t(side) * size_t(side), 1)).end().data();
    GifBuilder builder(side, side, gif::kTwoColours);
    for (int i = 0; i < frames; ++i) builder.image(frame);
    return builder.bytes();
}

// `frames` frames of frameWidth × frameHeight in 256 colours, as giflib's
// encoder writes them: each different, spread over a screen of width ×
// height, every third one restoring what was under it. Noise compresses
// as little as real pictures at worst; flat areas much better.
inline std::vector<uint8_t> WrittenGif(int width, int height, int frames, int frameWidth, int frameHeight, bool noise) {
    std::vector<Rgb> colours(256);
    for (int i = 0; i < 256; ++i) colours[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 5)};
    GifBuilder builder(width, height, colours);
    for (int f = 0; f < frames; ++f) {
        const int left = int(unsigned(f) * 7919u % unsigned(width - frameWidth + 1));
        const int top = int(unsigned(f) * 104729u % unsigned(height - frameHeight + 1));
        GifImage image = GifRect(left, top, frameWidth, frameHeight, [f, noise](int x, int y) {
            return noise ? int((uint32_t(x * 73856093 ^ y * 19349663 ^ f * 83492791) * 2654435761u) >> 24)
                         : (x / 16 + y / 16 + f) % 256;
        });
        image.disposal = f % 3 == 2 ? DISPOSE_PREVIOUS : DISPOSE_DO_NOT;
        builder.image(image);
    }
    return builder.bytes();
}

// A GIF that every viewer opens, padded at its end to `bytes` bytes, which
// the file system stores as a hole.
inline void WriteHugeGif(const std::string& path, off_t bytes) {
    GifImage dot = GifRect(0, 0, 1, 1, [](int, int) { return 1; });
    const std::vector<uint8_t> gif = GifBuilder(1, 1, {{0, 0, 0}, {255, 255, 255}}).image(dot).bytes();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written =
        fd >= 0 && ::write(fd, gif.data(), gif.size()) == ssize_t(gif.size()) && ::ftruncate(fd, bytes) == 0;
    if (fd >= 0) ::close(fd);
    if (!written) throw std::runtime_error("cannot write " + path);
}

}  // namespace test
