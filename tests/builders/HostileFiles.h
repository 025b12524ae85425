#pragma once
// Small files crafted to make a reader spend memory and time: icons that
// announce far more pixels than they hold, cursors whose chunks announce or
// touch millions of frame records, and PNG entries that inflate far past
// what their pixels need. Shared by the memory tests, the benchmarks and the
// fuzzers' seeds.
#include <climits>
#include <functional>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "builders/HostilePngs.h"
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

// ---- PNG entries -------------------------------------------------------------

// The sample frame enlarged to size×size: every frame samples back to it.
// mark changes a pixel no sampling takes, so that entries can differ.
inline IconImage EnlargedSample(int size, uint8_t mark = 0) {
    const IconImage frame = SampleFrame();
    const int scale = size / kFrameSize;
    IconImage image = MakeImage(size, size, [&](int x, int y) { return frame.at(x / scale, y / scale); });
    if (scale > 1) image.pixels[size_t(size) + 1].r = mark;
    return image;
}

// A current ZN file of these icons, each frame at rate 10.
inline Bytes ZNOfIcons(const std::vector<Bytes>& icons, int level = 9) {
    ZNBuilder zn;
    zn.currentHeader(int32_t(icons.size()));
    for (const Bytes& icon : icons) zn.frame(10, icon);
    return zn.compressed(level);
}

// A cursor of these icons, each frame at rate 10, with a title and a
// creator so that it converts as it stands.
inline Bytes CursorOfIcons(const std::vector<Bytes>& icons) {
    std::vector<Bytes> chunks;
    for (const Bytes& icon : icons) chunks.push_back(Chunk("icon", icon));
    return Riff("ACON", {List("INFO", {Chunk("INAM", Text("Crafted")), Chunk("IART", Text("Zintra"))}),
                         HeaderChunk({.frames = int32_t(icons.size())}), List("fram", chunks)});
}

// The sample frame as a 16×16 PNG entry after `chunks` zTXt chunks that
// inflate to 7.9 MB of text each: in a ZN file 12 KB for 1000 chunks, 1.5 KB
// for 100; in a cursor 771 KB for 100.
inline Bytes TextFloodIcon(int chunks) {
    return HostilePngIcon(SampleFrame(), {.textChunks = chunks, .textBytes = 7'900'000});
}
inline Bytes TextFloodZN(int chunks) { return ZNOfIcons({TextFloodIcon(chunks)}); }
inline Bytes TextFloodCursor(int chunks) { return CursorOfIcons({TextFloodIcon(chunks)}); }

// frames different 256×256 entries whose pixel streams go on for
// trailingMiB MiB of zeros past the last row: 64 of 1 GiB each fill the ZN
// payload's 64 MiB in 117 KB; one in a cursor is 1 MiB.
inline std::vector<Bytes> TrailingDataIcons(int frames, size_t trailingMiB) {
    std::vector<Bytes> icons;
    for (int i = 0; i < frames; ++i)
        icons.push_back(HostilePngIcon(EnlargedSample(256, uint8_t(i)), {.trailingMiB = trailingMiB}));
    return icons;
}
inline Bytes TrailingDataZN(int frames, size_t trailingMiB) { return ZNOfIcons(TrailingDataIcons(frames, trailingMiB)); }
inline Bytes TrailingDataCursor(size_t trailingMiB) { return CursorOfIcons(TrailingDataIcons(1, trailingMiB)); }

// frames frames showing one 256×256 RGBA entry of the image: 183 KB for
// 32767 frames of the enlarged sample, 16-bit and interlaced ones of black.
inline Bytes SharedEntryZN(int frames, const IconImage& image, const HostilePng& how) {
    return ZNOfIcons(std::vector<Bytes>(size_t(frames), HostilePngIcon(image, how)));
}
inline IconImage Black(int size) {
    return MakeImage(size, size, [](int, int) { return Opaque(kStandardColours[kBlack]); });
}

// ---- Work that gives nothing ---------------------------------------------------

// The sample frame as a 16×16 PNG entry whose image data starts with
// emptyBytes of empty dynamic-Huffman blocks (60 MiB make a 185 KB ZN file),
// and a ZN file whose own stream does.
inline Bytes EmptyBlocksIcon(uint64_t emptyBytes) {
    return HostilePngIcon(SampleFrame(), {.emptyBlockBytes = emptyBytes});
}
inline Bytes EmptyBlocksInAnEntryZN(uint64_t emptyBytes) {
    ZNBuilder zn;
    zn.currentHeader(1).frame(10, EmptyBlocksIcon(emptyBytes));
    return zn.compressed(6);
}
inline Bytes EmptyBlocksBeforeThePayloadZN(uint64_t emptyBytes) {
    ZNBuilder zn;
    zn.currentHeader(1).frame(10, EncodeFrameIcon(SampleFrame()));
    return DeflateBehindEmptyBlocks(zn.payload(), emptyBytes);
}

// A one-frame ZN file whose title, or comments, hold text.
inline Bytes LongTextZN(bool inTitle, const std::string& text, int level = 9) {
    ZNBuilder zn;
    zn.bytes("ZNFIL").f64(3.0).u8(0).string(inTitle ? text : "Title").string("Author").string("")
        .string("~x").string("~x").string(inTitle ? "~x" : text).u8(5).i32(1)
        .frame(10, EncodeFrameIcon(SampleFrame()));
    return zn.compressed(level);
}
inline std::string RandomLetters(size_t n) {
    std::mt19937 random(24);
    std::string text(n, 'a');
    for (char& c : text) c = char('a' + random() % 26);
    return text;
}

// ---- Large files real writers make ---------------------------------------------

// PNG entries, each of `pictures` pictures written by libpng with its
// default settings, told apart `variants` times by a text chunk.
inline std::vector<Bytes> LibpngEntries(int pictures, int variants, int side,
                                        const std::function<Rgba(int x, int y, int picture)>& pixel) {
    std::vector<Bytes> icons;
    constexpr size_t kAfterHeader = 8 + 25;  // signature, IHDR chunk
    for (int p = 0; p < pictures; ++p) {
        const Bytes png = EncodePng(MakeImage(side, side, [&](int x, int y) { return pixel(x, y, p); }));
        for (int v = 0; v < variants; ++v) {
            Bytes tagged(png.begin(), png.begin() + kAfterHeader);
            const Bytes text = PngChunk("tEXt", Latin1("Frame" + std::string(1, '\0') + std::to_string(v)));
            tagged.insert(tagged.end(), text.begin(), text.end());
            tagged.insert(tagged.end(), png.begin() + kAfterHeader, png.end());
            icons.push_back(IconWithPng(tagged, side, side));
        }
    }
    return icons;
}

// frames different 16×16 frames of noise written by libpng: 8 MB for 8000.
inline Bytes SmallLibpngFramesZN(int frames) {
    return ZNOfIcons(LibpngEntries(frames, 1, 16, [](int x, int y, int i) {
        const auto sample = [&](int c) { return uint8_t(Speckle(uint32_t(x + 16 * i), uint32_t(y), c)); };
        return Rgba{sample(0), sample(1), sample(2), 255};
    }));
}

// 250 different 256×256 pictures of noise: a 64 MiB payload.
inline Bytes LargeLibpngFramesZN() {
    return ZNOfIcons(LibpngEntries(25, 10, 256, [](int x, int y, int p) {
        return Rgba{uint8_t(Speckle(x, y, p)), uint8_t(Speckle(x, y, p + 1)), uint8_t(Speckle(x, y, p + 2)), 255};
    }), 1);
}

// frames different frames as our own writer writes them: 5 MB for 32767.
inline Bytes OwnWriterZN(int frames) {
    std::mt19937 random{uint32_t(frames)};
    std::vector<Bytes> icons;
    for (int i = 0; i < frames; ++i)
        icons.push_back(EncodeFrameIcon(MakeImage(16, 16, [&](int, int) {
            const auto c = random() % 17;  // 16: transparent
            return c == 16 ? Clear() : Opaque(kStandardColours[c]);
        })));
    return ZNOfIcons(icons);
}

// A cursor of 2000 different 256×256 pictures: the sample frame enlarged
// with a square of noise.
inline Bytes LargeLibpngCursor() {
    const IconImage sample = EnlargedSample(256);
    return CursorOfIcons(LibpngEntries(40, 50, 256, [&](int x, int y, int p) {
        if (x >= 8 && x < 80 && y >= 8 && y < 80) return Rgba{uint8_t(Speckle(x, y, p)), uint8_t(Speckle(x, y, p + 1)), 0, 255};
        return sample.at(x, y);
    }));
}

}  // namespace test
