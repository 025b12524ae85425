// What loading a file into the tray player costs: the shared loader, then
// every frame rendered once into a 16×16 image (the player's worker does
// both; icons are made from the images as frames are shown).
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <cstdio>
#include <string>

#include "core/DocumentFile.h"
#include "tray/TrayAnimation.h"

namespace {

// A file of n frames in a few colours, each with transparent pixels.
std::string WriteAnimation(int64_t frames) {
    TDocument document;
    document.ClearDocument();
    document.title = "Bench";
    document.authorName = "Bench";
    for (int64_t i = 0; i < frames; ++i) {
        IconImage image{kFrameSize, kFrameSize, {}};
        for (int p = 0; p < kFrameSize * kFrameSize; ++p) {
            const Rgb c = kStandardColours[size_t((p + i) % 16)];
            image.pixels.push_back((p + i) % 17 == 0 ? Rgba{0, 0, 0, 0} : Rgba{c.r, c.g, c.b, 255});
        }
        document.AppendFrame(TFrameIcon::Built(std::move(image)), 1 + int32_t(i % 60));
    }
    const std::string path = "/tmp/zintra-tray-bench-" + std::to_string(frames) + ".zn";
    WriteZNFile(path, document);
    return path;
}

void BM_LoadIntoIcons(benchmark::State& state) {
    const std::string path = WriteAnimation(state.range(0));
    const QString file = QString::fromStdString(path);
    for (auto _ : state) benchmark::DoNotOptimize(TrayAnimation::Load(file));
    std::remove(path.c_str());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadIntoIcons)->Arg(3)->Arg(1024)->Arg(32767)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Pixmaps need a GUI application; no screen is needed to make them.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
