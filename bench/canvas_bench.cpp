// What a pencil stroke, a fill and a change of frame cost on the canvas.
#include <benchmark/benchmark.h>

#include "core/Canvas.h"
#include "core/Conversion.h"

namespace {

constexpr Rgb kButtonFace{212, 208, 200};

// A frame with something in every cell; shift moves every colour along, so
// two shifts apart differ in every pixel.
void FillWithPattern(Picture& bitmap, int shift = 0) {
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int n = (x + 3 * y + shift) % 17;
            bitmap.set(x, y, n == 16 ? kKeyColour : kStandardColours[size_t(n)]);
        }
}

void BM_PlotCell(benchmark::State& state) {
    TFrameCanvas canvas(kButtonFace);
    int i = 0;
    for (auto _ : state) {
        // Along the diagonal, changing colour at every pass, so every call
        // really paints its square.
        const int position = 10 + 21 * (i % 16);
        canvas.PlotCell(position, position, kStandardColours[size_t(i / 16 % 2) * 9], false);
        ++i;
        benchmark::DoNotOptimize(canvas.enlargedView().pixels().data());
    }
}
BENCHMARK(BM_PlotCell);

// A fast stroke: each move jumps from one corner to the other, so it paints
// the 16 cells of the diagonal; the colour changes at every move, so every
// cell really is painted. Items are cells, to set beside BM_PlotCell.
void BM_StrokeMove(benchmark::State& state) {
    TFrameCanvas canvas(kButtonFace);
    const int corners[2] = {10, 10 + 21 * 15};
    int i = 0;
    for (auto _ : state) {
        canvas.SelectColour(size_t(i % 2) * 8);  // PnlWhite, PnlBlack
        canvas.MouseDown(TMouseButton::Left, false, corners[i % 2], corners[i % 2]);
        canvas.MouseMove(false, corners[1 - i % 2], corners[1 - i % 2]);
        canvas.MouseUp();
        ++i;
        benchmark::DoNotOptimize(canvas.enlargedView().pixels().data());
    }
    // The press paints the first cell; the move the line of 16, the first again.
    state.SetItemsProcessed(state.iterations() * 17);
}
BENCHMARK(BM_StrokeMove);

void BM_RedrawCanvas(benchmark::State& state) {
    // Every cell changes at every redraw, the most a redraw has to paint.
    TFrameCanvas canvas(kButtonFace);
    Picture frames[2] = {Picture(16, 16), Picture(16, 16)};
    FillWithPattern(frames[0], 0);
    FillWithPattern(frames[1], 1);
    int i = 0;
    for (auto _ : state) {
        canvas.bitmap() = frames[i++ % 2];  // 768 bytes, next to nothing
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

// Leaving one frame for another that differs in every pixel: commit the
// working bitmap as an icon, load the other frame's icon over the key colour
// (ClearCanvas is part of that fill), and redraw.
void BM_FrameChange(benchmark::State& state) {
    TFrameCanvas canvas(kButtonFace);
    FillWithPattern(canvas.bitmap(), 0);
    canvas.RedrawCanvas();
    Picture other(16, 16);
    FillWithPattern(other, 1);
    std::unique_ptr<TFrameIcon> next = MakeFrameIcon(other);
    for (auto _ : state) {
        std::unique_ptr<TFrameIcon> committed = MakeFrameIcon(canvas.bitmap());
        RenderFrameIcon(*next, canvas.bitmap(), kKeyColour);
        canvas.RedrawCanvas();
        next = std::move(committed);
        benchmark::DoNotOptimize(canvas.enlargedView().pixels().data());
    }
}
BENCHMARK(BM_FrameChange);

}  // namespace
