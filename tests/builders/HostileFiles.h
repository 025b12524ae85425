#pragma once
// Small files crafted to make a reader spend memory and time: icons that
// announce far more pixels than they hold, and cursors whose chunks announce
// or touch millions of frame records. Shared by the memory tests and the
// benchmarks.
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"

namespace test {

// 62 bytes: an icon header, one directory entry and a bitmap header that
// announces 256×256 at 32 bits, and nothing more (the rest reads as zero).
inline Bytes HollowIcon() {
    Bytes icon;
    PutU16(icon, 0);
    PutU16(icon, 1);
    PutU16(icon, 1);
    const uint32_t data = 40 + 256 * 256 * 4 + 256 * 32 / 8;
    icon.push_back(0);  // width and height: 256 is stored as 0
    icon.push_back(0);
    PutU16(icon, 32);
    PutU16(icon, 1);
    PutU16(icon, 32);
    PutU32(icon, data);
    PutU32(icon, 22);
    PutU32(icon, 40);
    PutU32(icon, 256);
    PutU32(icon, 512);
    PutU16(icon, 1);
    PutU16(icon, 32);
    for (int i = 0; i < 6; ++i) PutU32(icon, 0);
    return icon;
}

// A compressed ZN file of that many hollow icons: 7.9 KB for 32767.
inline Bytes HollowZN(int frames) {
    ZNBuilder zn;
    zn.currentHeader(frames);
    const Bytes icon = HollowIcon();
    for (int i = 0; i < frames; ++i) zn.frame(10, icon);
    return zn.compressed();
}

// The same icons as an animated cursor: 2.3 MB for 32767.
inline Bytes HollowCursor(int frames) {
    Bytes fram;
    PutId(fram, "fram");
    const Bytes chunk = Chunk("icon", HollowIcon());
    for (int i = 0; i < frames; ++i) fram.insert(fram.end(), chunk.begin(), chunk.end());
    return Riff("ACON", {HeaderChunk({.frames = frames}), Chunk("LIST", fram)});
}

// A header announcing 2^31 − 1 frames, then a chunk that touches `repeat`
// records of them (each chunk appended repeat times when chunk is not a
// "rate" chunk), then one small frame: about 64 MB each.
inline Bytes Flooded(const Bytes& flood, size_t repeat) {
    Bytes file = Riff("ACON", {HeaderChunk({.frames = INT32_MAX})});
    file.reserve(file.size() + flood.size() * repeat + 400);
    for (size_t i = 0; i < repeat; ++i) file.insert(file.end(), flood.begin(), flood.end());
    const Bytes images = List("fram", {Chunk("icon", EncodeFrameIcon(SampleFrame()))});
    file.insert(file.end(), images.begin(), images.end());
    return file;
}
// A "rate" chunk of 16 M values 7.
inline Bytes RateFlood() { return Flooded(Chunk("rate", Words(std::vector<int32_t>(16'000'000, 7))), 1); }
// 5.5 M "seq " chunks, each renumbering one record to a frame never stored.
inline Bytes SequenceFlood() { return Flooded(Chunk("seq ", Words({1 << 30})), 5'500'000); }

// 700 k headers of 2^31 − 1 frames each, then 90 images: 63 M frames.
inline Bytes HeaderFlood() {
    const Bytes header = HeaderChunk({.frames = INT32_MAX});
    Bytes file = Riff("ACON", {});
    for (int i = 0; i < 700'000; ++i) file.insert(file.end(), header.begin(), header.end());
    const std::vector<Bytes> icons(90, Chunk("icon", EncodeFrameIcon(SampleFrame())));
    const Bytes images = List("fram", icons);
    file.insert(file.end(), images.begin(), images.end());
    return file;
}

}  // namespace test
