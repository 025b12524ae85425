#pragma once
// GIFs crafted to make the import spend time and memory within every cap
// it had: LZW data of nothing but clear codes, long chains of frames that
// save and restore what they cover, and a file far larger than any input.
#include <sys/types.h>
#include <unistd.h>

#include <fcntl.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "builders/GifBuilder.h"

namespace test {

// A 1×1 GIF whose one pixel comes after `bytes` bytes of clear codes.
inline std::vector<uint8_t> ClearCodeGif(size_t bytes) {
    GifImage dot;
    dot.width = dot.height = 1;
    // At code size 0 a clear code is a single bit.
    dot.data = GifCodes(0).clear(int(bytes * 8)).pixels({0}).end().data();
    return GifBuilder(1, 1, {{0, 0, 0}, {255, 255, 255}}).image(dot).bytes();
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
