// Times KDE's ANI plugin reading every frame of each animated cursor listed
// in a manifest (key, path, frames, digest; tab-separated), the way a Qt 5
// program would through QImageReader. Answers on standard output, one
// tab-separated line each:
//   peer <column>        unavailable <why>
//   wrong <key> <why>    time <key> <nanoseconds>
//
//   kde_ani_bench MANIFEST [--benchmark_...]
#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/peers/FastestRunReporter.h"
#include "bench/peers/PixelDigest.h"

namespace {

struct Cursor {
    std::string key;
    QByteArray bytes;
    int frames = 0;
    uint64_t digest = 0;
};

// Reads frames until the plugin has no more; adds them to the digest when given.
int DecodeEveryFrame(const QByteArray& bytes, PixelDigest* digest) {
    QByteArray data = QByteArray::fromRawData(bytes.constData(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ani");
    int frames = 0;
    QImage image;
    while (reader.read(&image)) {
        ++frames;
        if (digest) {
            const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
            digest->addRows(rgba.constBits(), rgba.width(), rgba.height(), size_t(rgba.bytesPerLine()), 4);
        }
    }
    return frames;
}

std::string Check(const Cursor& cursor) {
    PixelDigest digest;
    const int frames = DecodeEveryFrame(cursor.bytes, &digest);
    if (frames != cursor.frames) return std::to_string(frames) + " frames of " + std::to_string(cursor.frames);
    if (digest.value() != cursor.digest) return "pixels differ from the file's";
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kde_ani_bench MANIFEST [--benchmark_...]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);  // plugin paths as a Qt program has them
    std::printf("peer\tKDE's image-format plugin (Qt %s)\n", qVersion());
    if (!QImageReader::supportedImageFormats().contains("ani")) {
        std::printf("unavailable\tits \"ani\" plugin is not installed (kimageformat-plugins)\n");
        return 0;
    }

    std::vector<Cursor> cursors;
    std::ifstream manifest(argv[1]);
    for (std::string line; std::getline(manifest, line);) {
        std::istringstream fields(line);
        Cursor cursor;
        std::string path;
        std::getline(fields, cursor.key, '\t');
        std::getline(fields, path, '\t');
        fields >> cursor.frames >> cursor.digest;
        QFile file(QString::fromStdString(path));
        if (file.open(QIODevice::ReadOnly)) cursor.bytes = file.readAll();
        cursors.push_back(cursor);
    }
    for (const Cursor& cursor : cursors) {
        if (const std::string problem = Check(cursor); !problem.empty()) {
            std::printf("wrong\t%s\t%s\n", cursor.key.c_str(), problem.c_str());
            continue;
        }
        benchmark::RegisterBenchmark((cursor.key + "/kde").c_str(), [&cursor](benchmark::State& state) {
            for (auto _ : state) benchmark::DoNotOptimize(DecodeEveryFrame(cursor.bytes, nullptr));
        })->Unit(benchmark::kMicrosecond);
    }
    std::fflush(stdout);

    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& [name, ns] : reporter.fastest())
        std::printf("time\t%s\t%.1f\n", name.substr(0, name.find('/')).c_str(), ns);
    benchmark::Shutdown();
}
