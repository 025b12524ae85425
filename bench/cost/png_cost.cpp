// What decoding a PNG costs per unit it charges, on the pictures that make
// each price count most: the smallest picture (the decoder's own price),
// empty chunks (the chunk's), chunks skipped unread (the byte's), Paeth
// rows (the row byte's), 16-bit rows through gamma and one-bit rows that
// expand eightfold (the pixel's), image data a byte a chunk, and an ICC
// profile behind empty blocks.
#include <map>
#include <vector>

#include "Cost.h"
#include "DeflateStreams.h"
#include "builders/HostileFiles.h"
#include "builders/PngBuilder.h"
#include "formats/PngImage.h"

namespace {

using test::PngWriter;
using Bytes = std::vector<uint8_t>;

Bytes Words(std::initializer_list<uint32_t> values) {
    Bytes out;
    for (uint32_t v : values) test::PutBe32(out, v);
    return out;
}

Bytes OnePixel() { return PngWriter(1, 1, 8, 6).imageData(test::Speckle).bytes(); }
Bytes EmptyChunks() {
    PngWriter png(1, 1, 8, 6);
    for (int i = 0; i < 100000; ++i) png.chunk("prVt", {});
    return png.imageData(test::Speckle).bytes();
}
Bytes SkippedChunks() {
    PngWriter png(1, 1, 8, 6);
    for (int i = 0; i < 16; ++i) png.chunk("prVt", Bytes(size_t(1) << 20, 7));
    return png.imageData(test::Speckle).bytes();
}
Bytes DataByteByByte() { return PngWriter(256, 256, 8, 6).imageData(test::Speckle, 1).bytes(); }
Bytes PaethRows() { return test::BuildHostilePng(test::EnlargedSample(256), {}); }
Bytes DeepRowsThroughGamma() {
    return PngWriter(256, 256, 16, 6, true).chunk("gAMA", Words({80000})).imageData(test::Speckle).bytes();
}
Bytes OneBitRows() { return PngWriter(2048, 256, 1, 0).imageData(test::Speckle).bytes(); }
Bytes ProfileBehindEmptyBlocks() {
    Bytes profile = test::Latin1("profile");
    profile.insert(profile.end(), {0, 0});  // the keyword's end, the compression method
    const Bytes z = test::DeflateBehindEmptyBlocks(Bytes(132, 0), size_t(4) << 20);
    profile.insert(profile.end(), z.begin(), z.end());
    return PngWriter(1, 1, 8, 6).chunk("iCCP", profile).imageData(test::Speckle).bytes();
}
// Stored rows, so that libpng's part shows: every row behind one filter.
Bytes Stored(uint32_t width, uint32_t height, int depth, int type, bool interlaced, uint8_t filter,
             const std::vector<Bytes>& chunks = {}) {
    PngWriter png(width, height, depth, type, interlaced);
    for (const Bytes& chunk : chunks) png.chunk(std::string(chunk.begin(), chunk.begin() + 4), Bytes(chunk.begin() + 4, chunk.end()));
    return png.rowData(png.Scanlines(test::Speckle, filter), size_t(1) << 20, 0, 0, 0).bytes();
}
Bytes StoredRgbaNone() { return Stored(256, 256, 8, 6, false, 0); }
Bytes StoredRgbaPaeth() { return Stored(256, 256, 8, 6, false, 4); }
Bytes StoredRgbPaeth() { return Stored(256, 256, 8, 2, false, 4); }
Bytes StoredDeepGammaPaeth() { return Stored(256, 256, 16, 6, true, 4, {Words({0x67414D41, 80000})}); }
Bytes StoredGreyDeepGammaPaeth() { return Stored(256, 256, 16, 0, false, 4, {Words({0x67414D41, 80000})}); }
Bytes StoredOneBitPaeth() { return Stored(2048, 256, 1, 0, false, 4); }
Bytes StoredPaletteAvg() {
    Bytes palette;
    for (int i = 0; i < 256; ++i) palette.insert(palette.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    Bytes plte = test::Latin1("PLTE"), trns = test::Latin1("tRNS");
    plte.insert(plte.end(), palette.begin(), palette.end());
    trns.insert(trns.end(), 256, 128);
    return Stored(256, 256, 8, 3, false, 3, {plte, trns});
}
Bytes StoredNarrowRows() { return Stored(1, 16384, 8, 6, false, 4); }

Bytes LibpngSmall() { return EncodePng(test::EnlargedSample(16)); }

void BM_DecodePng(benchmark::State& state, const Bytes& (*picture)(), bool sample) {
    const Bytes& png = picture();
    cost::Measure(state, [&](ReadBudget& budget) {
        ImageTarget target(sample ? ImageTarget::Size::Frame : ImageTarget::Size::Stored);
        DecodePng(png, {16384, 16384}, target, budget);
    });
}
BENCHMARK_CAPTURE(BM_DecodePng, one_pixel, cost::Once<OnePixel>, false);
BENCHMARK_CAPTURE(BM_DecodePng, empty_chunks, cost::Once<EmptyChunks>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, skipped_chunks, cost::Once<SkippedChunks>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, data_byte_by_byte, cost::Once<DataByteByByte>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, paeth_rows, cost::Once<PaethRows>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, deep_interlaced_gamma, cost::Once<DeepRowsThroughGamma>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, deep_interlaced_gamma_sampled, cost::Once<DeepRowsThroughGamma>, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, one_bit_rows, cost::Once<OneBitRows>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, profile_behind_empty_blocks, cost::Once<ProfileBehindEmptyBlocks>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, stored_rgba_none, cost::Once<StoredRgbaNone>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, stored_rgba_paeth, cost::Once<StoredRgbaPaeth>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, stored_rgb_paeth, cost::Once<StoredRgbPaeth>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, stored_deep_gamma_interlaced_paeth, cost::Once<StoredDeepGammaPaeth>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, stored_grey_deep_gamma_paeth, cost::Once<StoredGreyDeepGammaPaeth>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, stored_one_bit_paeth, cost::Once<StoredOneBitPaeth>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, stored_palette_average, cost::Once<StoredPaletteAvg>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, stored_narrow_rows, cost::Once<StoredNarrowRows>, false)->Unit(benchmark::kMillisecond);
// Every filter on every kind of pixel, stored: what libpng's unfiltering
// and conversion cost per row byte and per pixel.
void BM_StoredRows(benchmark::State& state) {
    const auto depth = int(state.range(0)), type = int(state.range(1)), filter = int(state.range(2));
    static std::map<int64_t, Bytes> made;
    Bytes& png = made[state.range(0) * 1000 + state.range(1) * 10 + state.range(2)];
    if (png.empty()) {
        std::vector<Bytes> chunks;
        if (type == 3) {
            Bytes plte = test::Latin1("PLTE");
            for (int i = 0; i < (1 << depth); ++i) plte.insert(plte.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
            chunks.push_back(plte);
        }
        if (depth == 16) chunks.push_back(Words({0x67414D41, 80000}));
        png = Stored(depth == 1 ? 2048 : 256, 256, depth, type, false, uint8_t(filter), chunks);
    }
    cost::Measure(state, [&](ReadBudget& budget) {
        ImageTarget target(ImageTarget::Size::Stored);
        DecodePng(png, {16384, 16384}, target, budget);
    });
}
BENCHMARK(BM_StoredRows)
    ->ArgsProduct({{8}, {0, 2, 3, 4, 6}, {0, 1, 2, 3, 4}})
    ->ArgsProduct({{16}, {0, 2, 4, 6}, {0, 1, 2, 3, 4}})
    ->ArgsProduct({{1}, {0, 3}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(BM_DecodePng, libpng_16x16, cost::Once<LibpngSmall>, false);
BENCHMARK_CAPTURE(BM_DecodePng, rgba_256x256, cost::Once<test::LargestRgbaPng>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodePng, rgba_256x256_sampled, cost::Once<test::LargestRgbaPng>, true)->Unit(benchmark::kMillisecond);

}  // namespace
