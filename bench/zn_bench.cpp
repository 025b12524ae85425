// ZN files and frame icons against zlib alone on the same payloads, and
// the nearest standard colour.
#include <benchmark/benchmark.h>
#include <memory>
#include <random>
#include <zlib.h>

#include "builders/HostileFiles.h"
#include "builders/HostilePngs.h"
#include "builders/IconBuilder.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "core/DocumentFile.h"
#include "formats/ImageTarget.h"
#include "formats/ZNFile.h"

namespace {

// An icon's image, whole or as its 16×16 frame, on a budget of its own.
IconImage Decoded(std::span<const uint8_t> icon, ImageTarget::Size size, ReadBudget& budget) {
    ImageTarget target(size);
    DecodeFrameIcon(icon, target, budget);
    return target.take();
}
IconImage Decoded(std::span<const uint8_t> icon, ImageTarget::Size size = ImageTarget::Size::Stored) {
    ReadBudget budget;
    return Decoded(icon, size, budget);
}

IconImage RandomFrame(std::mt19937& random) {
    std::uniform_int_distribution<int> colour(0, 16);  // 16: transparent
    return test::MakeImage(16, 16, [&](int, int) {
        const int c = colour(random);
        return c == 16 ? test::Clear() : test::Opaque(kStandardColours[size_t(c)]);
    });
}

TDocument Animation(int frames) {
    std::mt19937 random(frames);
    TDocument d;
    d.title = "Benchmark";
    d.authorName = "Zintra";
    d.categoryIndex = 5;
    d.CommitFrame(1, TFrameIcon::Built(RandomFrame(random)), 10);
    for (int i = 1; i < frames; ++i) d.AppendFrame(TFrameIcon::Built(RandomFrame(random)), 10 + i % 50);
    return d;
}

void FrameCounts(benchmark::internal::Benchmark* b) {
    for (int n : {1, 100, 1000, 32767}) b->Arg(n);
    b->Unit(benchmark::kMicrosecond);
}

void BM_WriteZN(benchmark::State& state) {
    const TDocument d = Animation(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(EncodeZNFile(d));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WriteZN)->Apply(FrameCounts)->Complexity(benchmark::oN);

void BM_ZlibCompressLevel9(benchmark::State& state) {
    const std::vector<uint8_t> payload = ZNPayload(Animation(int(state.range(0))));
    std::vector<uint8_t> out(compressBound(uLong(payload.size())));
    for (auto _ : state) {
        uLongf size = uLongf(out.size());
        compress2(out.data(), &size, payload.data(), uLong(payload.size()), 9);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ZlibCompressLevel9)->Apply(FrameCounts);

// Reading: inflate, parse, and take every frame's 16×16 image as the
// import does (for these 16×16 frames, decoding them whole).
void BM_ReadZN(benchmark::State& state) {
    const std::vector<uint8_t> file = EncodeZNFile(Animation(int(state.range(0))));
    for (auto _ : state) {
        ReadBudget budget;
        TZNFile reader;
        reader.ReadBytes(file, budget);
        for (int i = 0; i < reader.FrameCount(); ++i) {
            ImageTarget frame(ImageTarget::Size::Frame);
            reader.Icon(i).decode(frame, budget);
            benchmark::DoNotOptimize(frame.take());
        }
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadZN)->Apply(FrameCounts)->Complexity(benchmark::oN);

// The reader alone: inflate and parse, no frame's image. What read and
// Open add to it is the frames' part.
void BM_ReadZNFile(benchmark::State& state) {
    const std::vector<uint8_t> file = EncodeZNFile(Animation(int(state.range(0))));
    for (auto _ : state) {
        ReadBudget budget;
        TZNFile reader;
        reader.ReadBytes(file, budget);
        benchmark::DoNotOptimize(reader.FrameCount());
    }
}
BENCHMARK(BM_ReadZNFile)->Apply(FrameCounts);

// The whole of Open: the same, then each frame made the document's own.
void BM_OpenZN(benchmark::State& state) {
    const std::vector<uint8_t> file = EncodeZNFile(Animation(int(state.range(0))));
    for (auto _ : state) {
        ReadBudget budget;
        benchmark::DoNotOptimize(LoadZNAnimation(file, budget));
    }
}
BENCHMARK(BM_OpenZN)->Apply(FrameCounts);

// The floor: zlib's uncompress, with the reader's window (15 bits) and
// checksum, in one call into a buffer of the payload's size that it reuses,
// so that it pays no page fault (the reader reuses the buffer it let go).
void BM_ZlibInflate(benchmark::State& state) {
    const TDocument d = Animation(int(state.range(0)));
    const std::vector<uint8_t> file = EncodeZNFile(d);
    std::vector<uint8_t> out(ZNPayload(d).size());
    for (auto _ : state) {
        uLongf size = uLongf(out.size());
        uncompress(out.data(), &size, file.data(), uLong(file.size()));
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ZlibInflate)->Apply(FrameCounts);

// The same into memory newly obtained each time, as a reader's must be:
// the first write to each page of it costs a fault.
void BM_ZlibInflateFresh(benchmark::State& state) {
    const TDocument d = Animation(int(state.range(0)));
    const std::vector<uint8_t> file = EncodeZNFile(d);
    const size_t payload = ZNPayload(d).size();
    for (auto _ : state) {
        const std::unique_ptr<uint8_t[]> out(new uint8_t[payload]);
        uLongf size = uLongf(payload);
        uncompress(out.get(), &size, file.data(), uLong(file.size()));
        benchmark::DoNotOptimize(out.get());
    }
}
BENCHMARK(BM_ZlibInflateFresh)->Apply(FrameCounts);

void BM_EncodeFrameIcon(benchmark::State& state) {
    std::mt19937 random(1);
    const IconImage frame = RandomFrame(random);
    for (auto _ : state) benchmark::DoNotOptimize(EncodeFrameIcon(frame));
}
BENCHMARK(BM_EncodeFrameIcon);

void BM_DecodeFrameIcon(benchmark::State& state) {
    std::mt19937 random(1);
    const std::vector<uint8_t> bytes = EncodeFrameIcon(RandomFrame(random));
    for (auto _ : state) benchmark::DoNotOptimize(Decoded(bytes));
}
BENCHMARK(BM_DecodeFrameIcon);

// 256×256 at 32 bits with scattered transparency: a fifth of the pixels
// masked or of alpha 0, a fifth partly transparent.
std::vector<uint8_t> LargeTrueColourIcon() {
    std::mt19937 random(2);
    std::uniform_int_distribution<int> byte(0, 255);
    const IconImage image = test::MakeImage(256, 256, [&](int, int) {
        const int kind = byte(random) % 5;
        return kind == 0 ? test::Clear()
                         : Rgba{uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random)),
                                uint8_t(kind == 1 ? 1 + byte(random) % 254 : 255)};
    });
    return test::BuildIcon(std::vector<test::IconEntry>{{image, 32, -1, {}}});
}

void BM_DecodeFrameIcon256(benchmark::State& state) {
    const std::vector<uint8_t> bytes = LargeTrueColourIcon();
    for (auto _ : state) benchmark::DoNotOptimize(Decoded(bytes));
    state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_DecodeFrameIcon256)->Unit(benchmark::kMicrosecond);

// What the import reads of the same icon: the 256 pixels of its 16×16 frame.
void BM_SampleFrameIcon256(benchmark::State& state) {
    const std::vector<uint8_t> bytes = LargeTrueColourIcon();
    for (auto _ : state) benchmark::DoNotOptimize(Decoded(bytes, ImageTarget::Size::Frame));
}
BENCHMARK(BM_SampleFrameIcon256)->Unit(benchmark::kMicrosecond);

// What each icon decoder path costs against what it charges: the slowest
// time per unit is what the budget's ceiling must be set by.
using IconFile = const std::vector<uint8_t>& (*)();

void BM_IconReadPerUnit(benchmark::State& state, IconFile file, bool sample) {
    const std::vector<uint8_t>& icon = file();
    uint64_t units = 0;
    for (auto _ : state) {
        ReadBudget budget;
        benchmark::DoNotOptimize(Decoded(icon, sample ? ImageTarget::Size::Frame : ImageTarget::Size::Stored, budget));
        units = budget.spent();
    }
    state.counters["units"] = double(units);
    state.counters["s_per_unit"] =
        benchmark::Counter(double(units) * double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// Built on first use, so that other benchmarks do not wait for them.
template <std::vector<uint8_t> (*Build)()>
const std::vector<uint8_t>& Once() {
    static const std::vector<uint8_t> bytes = Build();
    return bytes;
}
std::vector<uint8_t> Bitmap4Bit() {
    return test::BuildIcon(test::MakeImage(16, 16, [](int x, int y) { return test::Opaque(kStandardColours[size_t(x ^ y) % 16]); }), 4);
}
std::vector<uint8_t> SmallPng() {
    return test::IconWithPng(test::PngWriter(16, 16, 8, 6).imageData(test::Speckle).bytes(), 16, 16);
}
std::vector<uint8_t> TextBomb() { return test::TextBombIcon(); }
std::vector<uint8_t> Trailing() { return test::TrailingDeflateIcon(); }
// 1 MiB of the smallest chunks there are: empty private ones, then image data a byte a chunk.
std::vector<uint8_t> TinyChunks() {
    test::PngWriter png(256, 256, 8, 6);
    for (int i = 0; i < 40000; ++i) png.chunk("prVt", {});
    return test::IconWithPng(png.imageData(test::Speckle, 1).bytes(), 256, 256);
}
BENCHMARK_CAPTURE(BM_IconReadPerUnit, bitmap_16x16_4bit_decode, Once<Bitmap4Bit>, false);
BENCHMARK_CAPTURE(BM_IconReadPerUnit, bitmap_256x256_32bit_decode, Once<LargeTrueColourIcon>, false);
BENCHMARK_CAPTURE(BM_IconReadPerUnit, bitmap_256x256_32bit_sample, Once<LargeTrueColourIcon>, true);
BENCHMARK_CAPTURE(BM_IconReadPerUnit, png_16x16_decode, Once<SmallPng>, false);
BENCHMARK_CAPTURE(BM_IconReadPerUnit, png_256x256_rgba_decode, Once<test::LargestRgbaIcon>, false);
BENCHMARK_CAPTURE(BM_IconReadPerUnit, png_256x256_rgba_sample, Once<test::LargestRgbaIcon>, true);
BENCHMARK_CAPTURE(BM_IconReadPerUnit, png_256x256_16bit_interlaced_decode, Once<test::LargestDeepInterlacedIcon>, false);
BENCHMARK_CAPTURE(BM_IconReadPerUnit, png_100_text_chunks_decode, Once<TextBomb>, false);
BENCHMARK_CAPTURE(BM_IconReadPerUnit, png_512MiB_past_last_row_decode, Once<Trailing>, false);
BENCHMARK_CAPTURE(BM_IconReadPerUnit, png_tiny_chunks_decode, Once<TinyChunks>, false);

// The same 256×256 PNG entries through libpng's simplified reader, which
// decoded them before: every chunk inflated and kept, the data inflated to its end.
void BM_SimplifiedPngDecode(benchmark::State& state, IconFile file) {
    const std::span<const uint8_t> png = std::span(file()).subspan(22);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, png.data(), png.size());
        image.format = PNG_FORMAT_RGBA;
        std::vector<uint8_t> pixels(size_t(image.width) * image.height * 4);
        png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK_CAPTURE(BM_SimplifiedPngDecode, png_256x256_rgba, Once<test::LargestRgbaIcon>)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SimplifiedPngDecode, png_256x256_16bit_interlaced, Once<test::LargestDeepInterlacedIcon>)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SimplifiedPngDecode, png_100_text_chunks, Once<TextBomb>)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SimplifiedPngDecode, png_512MiB_past_last_row, Once<Trailing>)->Unit(benchmark::kMillisecond)->Iterations(2);

// Colours of every kind, as a foreign picture brings them.
std::vector<Rgb> RandomColours() {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<Rgb> colours(4096);
    for (Rgb& c : colours) c = {uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random))};
    return colours;
}

void BM_NearestStandardIndex(benchmark::State& state) {
    const std::vector<Rgb> colours = RandomColours();
    for (auto _ : state)
        for (Rgb c : colours) benchmark::DoNotOptimize(NearestStandardIndex(c));
    state.SetItemsProcessed(state.iterations() * int64_t(colours.size()));
}
BENCHMARK(BM_NearestStandardIndex);

// The same by the plain rule: the distance to each of the sixteen.
void BM_NearestStandardIndexSixteenWay(benchmark::State& state) {
    const std::vector<Rgb> colours = RandomColours();
    auto nearest = [](Rgb c) {
        int best = 0, bestDistance = 1 << 30;
        for (int i = 0; i < 16; ++i) {
            const Rgb s = kStandardColours[size_t(i)];
            const int d = (c.r - s.r) * (c.r - s.r) + (c.g - s.g) * (c.g - s.g) + (c.b - s.b) * (c.b - s.b);
            if (d < bestDistance) best = i, bestDistance = d;
        }
        return best;
    };
    for (auto _ : state)
        for (Rgb c : colours) benchmark::DoNotOptimize(nearest(c));
    state.SetItemsProcessed(state.iterations() * int64_t(colours.size()));
}
BENCHMARK(BM_NearestStandardIndexSixteenWay);

// A crafted file: 32767 icons of 62 bytes, each announcing 256×256 at 32 bits.
void BM_OpenHollowZN(benchmark::State& state) {
    const std::vector<uint8_t> file = test::HollowZN(kMaxFrames);
    for (auto _ : state) {
        ReadBudget budget;
        benchmark::DoNotOptimize(LoadZNAnimation(file, budget));
    }
}
BENCHMARK(BM_OpenHollowZN)->Unit(benchmark::kMillisecond);

}  // namespace
