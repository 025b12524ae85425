// What a pencil stroke, a fill and a change of frame cost on the canvas.
#include <benchmark/benchmark.h>

#include "core/Canvas.h"
#include "core/Conversion.h"

namespace {

constexpr Rgb kButtonFace{212, 208, 200};

// A frame with something in every cell, so nothing is trivially skipped.
void FillWithPattern(Picture& bitmap) {
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            bitmap.set(x, y, (x * y) % 7 == 0 ? kKeyColour : kStandardColours[size_t((x + 3 * y) % 16)]);
}

void BM_PlotCell(benchmark::State& state) {
    TFrameCanvas canvas(kButtonFace);
    int i = 0;
    for (auto _ : state) {
        // Alternate colours and cells so every call really paints.
        const int position = 10 + 21 * (i % 16);
        canvas.PlotCell(position, position, kStandardColours[size_t(i % 2) * 9], false);
        ++i;
        benchmark::DoNotOptimize(canvas.enlargedView().pixels().data());
    }
}
BENCHMARK(BM_PlotCell);

void BM_RedrawCanvas(benchmark::State& state) {
    TFrameCanvas canvas(kButtonFace);
    FillWithPattern(canvas.bitmap());
    for (auto _ : state) {
        canvas.RedrawCanvas();
        benchmark::DoNotOptimize(canvas.enlargedView().pixels().data());
    }
}
BENCHMARK(BM_RedrawCanvas);

void BM_FloodFillCell(benchmark::State& state) {
    TFrameCanvas canvas(kButtonFace);
    int i = 0;
    for (auto _ : state) {
        // The whole cleared bitmap, back and forth between two colours.
        canvas.FloodFillCell(10, 10, kStandardColours[size_t(i % 2) * 9], false);
        ++i;
        benchmark::DoNotOptimize(canvas.bitmap().pixels().data());
    }
}
BENCHMARK(BM_FloodFillCell);

// Leaving one frame for another: commit the working bitmap as an icon, load
// the other frame's icon over the key colour, and redraw.
void BM_FrameChange(benchmark::State& state) {
    TFrameCanvas canvas(kButtonFace);
    FillWithPattern(canvas.bitmap());
    std::unique_ptr<TFrameIcon> other = MakeFrameIcon(Picture(16, 16, kStandardColours[kRed]));
    for (auto _ : state) {
        std::unique_ptr<TFrameIcon> committed = MakeFrameIcon(canvas.bitmap());
        RenderFrameIcon(*other, canvas.bitmap(), kKeyColour);
        canvas.RedrawCanvas();
        other = std::move(committed);
        benchmark::DoNotOptimize(canvas.enlargedView().pixels().data());
    }
}
BENCHMARK(BM_FrameChange);

}  // namespace
