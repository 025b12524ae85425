// Writes the fuzzers' starting corpora with the tests' own builders:
// make_seeds DIR creates DIR/zn, DIR/icon, DIR/ani and DIR/gif.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "builders/GifBuilder.h"
#include "builders/HostileFiles.h"
#include "builders/HostilePngs.h"
#include "builders/HostileGifs.h"
#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "core/Document.h"
#include "core/DocumentFile.h"
#include "formats/ZNFile.h"

namespace fs = std::filesystem;
using namespace test;

namespace {

void Write(const fs::path& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      std::streamsize(bytes.size()));
}

IconImage Striped(int size) {
    return MakeImage(size, size, [](int x, int y) {
        return (x + y) % 5 == 0 ? Clear() : Opaque(kStandardColours[size_t((x / 2 + y) % 16)]);
    });
}

IconImage Shaded(int size) {
    return MakeImage(size, size, [](int x, int y) {
        return Rgba{uint8_t(x * 7), uint8_t(y * 5), 90, uint8_t((x * y) % 256)};
    });
}

// Small PNG entries that reach every part of the PNG reader: each colour
// type, 16 bits, interlace, tRNS, a profile and gamma, every kind of
// ancillary chunk, image data over many chunks and data past the last row.
std::vector<std::vector<uint8_t>> PngEntries() {
    std::vector<uint8_t> palette;
    for (int i = 0; i < 16; ++i) palette.insert(palette.end(), {uint8_t(i * 16), uint8_t(255 - i), 40});
    auto text = [](const char* keyword) { return CompressedText(keyword, std::vector<uint8_t>(4000, 'x')); };
    std::vector<uint8_t> itxt = Latin1(std::string("Title\0\1\0en\0Title\0", 17));
    const auto title = Deflate(Latin1("seed"));
    itxt.insert(itxt.end(), title.begin(), title.end());
    return {
        IconWithPng(PngWriter(16, 16, 4, 3).chunk("PLTE", palette).chunk("tRNS", {0, 128, 255})
                        .chunk("tEXt", Latin1(std::string("Author\0Fuzz", 11))).chunk("zTXt", text("Comment"))
                        .chunk("iTXt", itxt).chunk("sPLT", Latin1(std::string("p\0\x08\1\2\3\4\0\5", 9)))
                        .chunk("prVt", std::vector<uint8_t>(64, 7)).chunk("bKGD", {1})
                        .imageData(Speckle, 13).chunk("tIME", {7, 0xE6, 1, 2, 3, 4, 5}).bytes(), 16, 16),
        IconWithPng(PngWriter(24, 24, 16, 6, true).chunk("iCCP", text("profile")).chunk("gAMA", {0, 1, 0x86, 0xA0})
                        .chunk("sBIT", {10, 10, 10, 10}).imageData(Speckle).bytes(), 24, 24),
        IconWithPng(PngWriter(32, 32, 16, 0).chunk("tRNS", {0, 9}).chunk("sRGB", {0}).imageData(Speckle).bytes(), 32, 32),
        IconWithPng(PngWriter(20, 20, 8, 4, true).chunk("cHRM", std::vector<uint8_t>(32, 1)).imageData(Speckle).bytes(), 20, 20),
        IconWithPng(PngWriter(48, 48, 8, 2).chunk("tRNS", {0, 1, 0, 2, 0, 3}).imageData(Speckle, 1 << 20, 1 << 16).bytes(), 48, 48),
    };
}

std::vector<std::vector<uint8_t>> Icons() {
    return {
        BuildIcon(SampleFrame(), 4),
        BuildIcon(Striped(32), 4),
        BuildIcon(Striped(16), 1),
        BuildIcon(Striped(24), 8),
        BuildIcon(Striped(16), 16),
        BuildIcon(Striped(20), 24),
        BuildIcon(Shaded(32), 32),
        BuildIcon({IconEntry{Striped(16), 4, -1, {}}, IconEntry{Shaded(32), 32, 0, {}}}),
        // Large entries stored as PNG, alone and beside a bitmap.
        BuildIcon({PngEntry(Shaded(48))}),
        BuildIcon({IconEntry{Striped(16), 4, -1, {}}, PngEntry(Striped(256))}),
        {0, 0, 0, 0, 1, 0},
    };
}

// Files that once cost far more than their size, kept by name.
std::vector<std::pair<std::string, std::vector<uint8_t>>> IconRegressions() {
    return {
        {"png-100-text-chunks-of-7.9MB.ico", TextBombIcon(100)},
        {"png-512MiB-past-last-row.ico", TrailingDeflateIcon()},
        {"png-8MB-profile.ico", HugeProfileIcon()},
        {"png-256x256-rgba.ico", LargestRgbaIcon()},
        {"png-256x256-16bit-interlaced.ico", LargestDeepInterlacedIcon()},
        {"png-512KiB-of-empty-blocks.ico", EmptyBlocksIcon(512 << 10)},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const fs::path root = argv[1];

    const auto icons = Icons();
    for (size_t i = 0; i < icons.size(); ++i) Write(root / "icon", "icon" + std::to_string(i), icons[i]);
    const auto pngs = PngEntries();
    for (size_t i = 0; i < pngs.size(); ++i) Write(root / "icon", "png" + std::to_string(i), pngs[i]);
    for (const auto& [name, bytes] : IconRegressions()) Write(root / "icon", name, bytes);

    TDocument document;
    document.title = "Seed";
    document.authorName = "Fuzz";
    document.email = "a@b.c";
    document.categoryIndex = 3;
    document.CommitFrame(1, TFrameIcon::Built(SampleFrame()), 10);
    document.AppendFrame(TFrameIcon::Built(Striped(16)), 20);
    Write(root / "zn", "current.zn", EncodeZNFile(document));
    Write(root / "zn", "uncompressed.zn", ZNPayload(document));
    const auto legacy = ZNBuilder().legacyHeader("1.0", "  318", " 5", " 2", "Legacy")
        .bytes(icons[0]).bytes(icons[0]).payload();
    Write(root / "zn", "legacy.zn", legacy);
    Write(root / "zn", "legacy-compressed.zn", ZNBuilder::Compress(legacy));
    Write(root / "zn", "old-version.zn",
          ZNBuilder().currentHeader(2, 2.0).frame(10, icons[1]).frame(5, icons[6]).compressed());

    Write(root / "ani", "cursor.ani", SampleCursor(icons));

    // The crafted files of the memory and time tests, as regression inputs,
    // all under the harnesses' 1 MiB. Those whose every mutation would take
    // the fuzzer a second are scaled down to what still goes over the
    // ceiling, or past the time-out, if the reader stops doing less work:
    // 2000 frames decoded each would cost 500 M units, 4 GiB past the last
    // rows would take minutes to inflate.
    Write(root / "zn", "text-chunks-1000.zn", TextFloodZN(1000));
    Write(root / "zn", "text-chunks-100.zn", TextFloodZN(100));
    Write(root / "ani", "text-chunks-100.ani", TextFloodCursor(100));
    Write(root / "zn", "gib-past-last-row-4.zn", TrailingDataZN(4, 1024));
    Write(root / "ani", "gib-past-last-row.ani", TrailingDataCursor(1024));
    Write(root / "zn", "one-entry-2000-frames.zn", SharedEntryZN(2000, EnlargedSample(256), {}));
    Write(root / "zn", "one-16bit-interlaced-entry-2000-frames.zn",
          SharedEntryZN(2000, Black(256), {.sixteenBit = true, .interlaced = true}));
    Write(root / "zn", "hollow-icons-8000.zn", HollowZN(8000));
    // Work that gives nothing, and text fields of megabytes: 4 MiB of
    // empty blocks in an entry, 1 MiB short of the harness's limit before
    // a payload, and strings of 8 MiB, which inflate in a few milliseconds.
    Write(root / "zn", "empty-blocks-in-an-entry-4MiB.zn", EmptyBlocksInAnEntryZN(4 << 20));
    Write(root / "zn", "empty-blocks-before-the-payload.zn", EmptyBlocksBeforeThePayloadZN(1000 << 10));
    Write(root / "zn", "comments-of-8MiB-cr.zn", LongTextZN(false, std::string(8 << 20, '\r')));
    Write(root / "zn", "title-of-8MiB.zn", LongTextZN(true, std::string(8 << 20, 'T')));
    Write(root / "ani", "png-of-512KiB-empty-blocks.ani", CursorOfIcons({EmptyBlocksIcon(512 << 10)}));

    // Every disposal, transparency, a local table, interlace, a frame
    // partly outside the screen and a comment.
    const std::vector<Rgb> colours(kStandardColours.begin(), kStandardColours.end());
    auto stripes = [](int left, int top, int width, int height, int disposal) {
        GifImage image = GifRect(left, top, width, height, [](int x, int y) { return (x + y) % 16; });
        image.disposal = disposal;
        image.transparent = disposal;
        return image;
    };
    GifImage interlaced = stripes(2, 2, 9, 11, DISPOSE_DO_NOT);
    interlaced.interlace = true;
    interlaced.colours = {{10, 20, 30}, {200, 100, 50}, {250, 250, 250}};
    Write(root / "gif", "animation.gif",
          GifBuilder(16, 16, colours)
              .comment("seed")
              .image(stripes(0, 0, 16, 16, DISPOSAL_UNSPECIFIED))
              .image(stripes(4, 4, 8, 8, DISPOSE_BACKGROUND))
              .image(stripes(8, 8, 12, 12, DISPOSE_PREVIOUS))
              .image(interlaced)
              .bytes());

    // Image data as no encoder of giflib's writes it: runs of clear codes,
    // code sizes 0 and 8 for few colours, a full table kept without a clear;
    // frames that save, clear and restore one after another; a large screen.
    std::vector<uint8_t> noise;
    for (unsigned i = 0; i < 4000; ++i) noise.push_back(uint8_t((i * 2654435761u) >> 29));
    auto coded = [](int width, int height, std::vector<uint8_t> data, int disposal = DISPOSE_DO_NOT) {
        GifImage image;
        image.width = width;
        image.height = height;
        image.data = std::move(data);
        image.disposal = disposal;
        return image;
    };
    Write(root / "gif", "clear-codes.gif", ClearCodeGif(3000));
    Write(root / "gif", "codes.gif",
          GifBuilder(80, 50, colours)
              .image(coded(80, 50, GifCodes(4).clear(50).pixels(noise).clear(9).end().data(7)))
              .image(coded(60, 10, GifCodes(0).pixels(std::vector<uint8_t>(600, 0)).data(), DISPOSE_PREVIOUS))
              .image(coded(20, 20, GifCodes(8).pixels({noise.begin(), noise.begin() + 400}).end().data()))
              .bytes());
    std::vector<uint8_t> wide;
    for (unsigned i = 0; i < 30000; ++i) wide.push_back(uint8_t((i * 2654435761u) >> 24));
    Write(root / "gif", "full-table.gif",
          GifBuilder(200, 150, std::vector<Rgb>(256, Rgb{9, 8, 7}))
              .image(coded(200, 150, GifCodes(8).pixels(wide, true).end().data()))
              .bytes());
    Write(root / "gif", "restoring.gif", RestoringGif(16, 90));
    GifBuilder chain(64, 64, colours);
    const int disposals[] = {DISPOSE_PREVIOUS, DISPOSE_BACKGROUND, DISPOSE_DO_NOT};
    for (int f = 0; f < 24; ++f) chain.image(stripes(f % 7 * 5, f % 5 * 7, 30 + f, 20 + f, disposals[f % 3]));
    Write(root / "gif", "disposal-chain.gif", chain.bytes());
    Write(root / "gif", "large-screen.gif",
          GifBuilder(2000, 1000, colours)
              .image(stripes(1990, 990, 20, 20, DISPOSE_BACKGROUND))
              .image(stripes(0, 0, 8, 8, DISPOSE_PREVIOUS))
              .bytes());

    // Each costly family of the tests, small: every record, sub-block,
    // row and frame it visits charged.
    Write(root / "gif", "empty-extensions.gif", EmptyExtensionsGif(3000));
    Write(root / "gif", "one-byte-comment.gif", OneByteCommentGif(3000));
    Write(root / "gif", "one-byte-data-blocks.gif", OneByteDataBlocksGif(3000));
    Write(root / "gif", "tall-frames.gif", TallFramesGif(4, 3000));
    Write(root / "gif", "tall-interlaced-frames.gif", TallFramesGif(4, 3000, true));
    Write(root / "gif", "tiny-frames.gif", TinyFramesGif(40));
    Write(root / "gif", "written-wide-screen.gif", WrittenGif(1920, 1080, 4, 24, 24, true));
    return 0;
}
