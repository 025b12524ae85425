#pragma once
// GIFs crafted to make the import spend time and memory within every cap,
// one family for each thing the reader visits or does (records, sub-blocks,
// codes, rows, frames, disposals), each as costly per byte as it can be; and
// large GIFs as giflib's own encoder writes them, which must open.
#include <sys/types.h>
#include <unistd.h>

#include <fcntl.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "builders/GifBuilder.h"

namespace test {

// `head`, copies of `unit` up to `bytes` in all with `tail`, then `tail`.
inline std::vector<uint8_t> Filled(std::vector<uint8_t> head, const std::vector<uint8_t>& unit, size_t bytes,
                                   const std::vector<uint8_t>& tail = {}) {
    while (head.size() + unit.size() + tail.size() <= bytes) head.insert(head.end(), unit.begin(), unit.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}
// A frame of width × height at the top left, its data as written.
inline GifImage Coded(int width, int height, std::vector<uint8_t> data) {
    GifImage image;
    image.width = width, image.height = height, image.data = std::move(data);
    return image;
}
inline GifImage Dot(std::vector<uint8_t> data = GifCodes(2).pixels({1}).end().data()) { return Coded(1, 1, data); }
inline GifBuilder DotGif() { return GifBuilder(1, 1, {{0, 0, 0}, {255, 255, 255}}).image(Dot()); }
const std::vector<uint8_t> kEmptyExtension{0x21, 0xFF, 0x00};

// A 1×1 GIF whose one pixel comes after `bytes` bytes of clear codes.
inline std::vector<uint8_t> ClearCodeGif(size_t bytes) {
    // At code size 0 a clear code is a single bit: a sub-block of 255 bytes
    // of them is 256 bytes of ones.
    const std::vector<uint8_t> dot = GifCodes(0).pixels({0}).end().data();
    return GifBuilder(1, 1, {{0, 0, 0}, {255, 255, 255}})
        .image(Dot(Filled({0}, std::vector<uint8_t>(256, 0xFF), bytes, {dot.begin() + 1, dot.end()})))
        .bytes();
}

// Empty extensions, one comment of one-byte sub-blocks, or a frame whose
// data goes on after its pixel in one-byte sub-blocks, `bytes` long.
inline std::vector<uint8_t> EmptyExtensionsGif(size_t bytes) {
    return DotGif().raw(Filled({}, kEmptyExtension, bytes)).bytes();
}
inline std::vector<uint8_t> OneByteCommentGif(size_t bytes) {
    return DotGif().raw(Filled({0x21, 0xFE}, {0x01, 'x'}, bytes, {0})).bytes();
}
inline std::vector<uint8_t> OneByteDataBlocksGif(size_t bytes) {
    std::vector<uint8_t> data = GifCodes(2).pixels({1}).end().data();
    data.pop_back();
    return GifBuilder(1, 1, {{0, 0, 0}, {255, 255, 255}}).image(Dot(Filled(data, {0x01, 0x00}, bytes, {0}))).bytes();
}

// `frames` frames of 1 × `height`, an empty extension after each: every row
// a call of its own; after `extensionBytes` of empty extensions.
inline std::vector<uint8_t> TallFramesGif(int frames, int height, bool interlace = false, size_t extensionBytes = 0) {
    GifImage tall = Coded(1, height, GifCodes(2).pixels(std::vector<uint8_t>(size_t(height), 1)).end().data());
    tall.interlace = interlace;
    GifBuilder builder = DotGif().raw(Filled({}, kEmptyExtension, extensionBytes));
    for (int i = 0; i < frames; ++i) builder.image(tall).raw(kEmptyExtension);
    return builder.bytes();
}

// `frames` one-pixel frames with 256 colours of their own each, restoring
// what was under them, spread over the largest screen.
inline std::vector<uint8_t> TinyFramesGif(int frames) {
    GifBuilder builder(4096, 4096, {{0, 0, 0}, {255, 255, 255}});
    for (int i = 0; i < frames; ++i) {
        GifImage dot = Dot(GifCodes(8).pixels({uint8_t(i)}).end().data());
        dot.left = int(i * 2654435761u % 4096), dot.top = int(i * 40503u % 4096);
        dot.colours = std::vector<Rgb>(256, Rgb{uint8_t(i), 9, 9});
        dot.disposal = DISPOSE_PREVIOUS;
        builder.image(dot);
    }
    return builder.bytes();
}

// `frames` different frames of frameWidth × frameHeight in 256 colours, as
// giflib's encoder writes them, spread over a screen of width × height,
// every third restoring what was under it: noise, or flat squares.
inline std::vector<uint8_t> WrittenGif(int width, int height, int frames, int frameWidth, int frameHeight, bool noise) {
    std::vector<Rgb> colours(256);
    for (int i = 0; i < 256; ++i) colours[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 5)};
    GifBuilder builder(width, height, colours);
    for (int f = 0; f < frames; ++f) {
        const auto index = [f, noise](uint32_t x, uint32_t y) {
            return noise ? int((x * 73856093u ^ y * 19349663u ^ uint32_t(f) * 83492791u) * 2654435761u >> 24)
                         : int(x / 16 + y / 16 + uint32_t(f)) % 256;
        };
        GifImage image = GifRect(f * 7919 % (width - frameWidth + 1), f * 97 % (height - frameHeight + 1), frameWidth,
                                 frameHeight, index);
        image.disposal = f % 3 == 2 ? DISPOSE_PREVIOUS : DISPOSE_DO_NOT;
        builder.image(image);
    }
    return builder.bytes();
}

// `frames` white frames of side × side, each restoring what was under it.
inline std::vector<uint8_t> RestoringGif(int frames, int side) {
    GifImage frame;
    frame.width = frame.height = side;
    frame.disposal = DISPOSE_PREVIOUS;
    frame.data = GifCodes(2).pixels(std::vector<uint8_t>(size_t(side) * size_t(side), 1)).end().data();
    GifBuilder builder(side, side, {{0, 0, 0}, {255, 255, 255}});
    for (int i = 0; i < frames; ++i) builder.image(frame);
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
