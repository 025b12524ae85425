// Our image loaders against the GIF readers of their own toolkits, on the
// same animation: a ZN file of N random frames and the GIF zntool converts
// it to. Each toolkit runs in a process of its own (the first argument:
// "pixbuf" or "qt"); within it the two readers take turns, pair after pair,
// each timed in CPU time over enough files to take about 50 ms, and every
// pair gives a ratio (GIF time / ZN time: above 1 means ours is faster).
// Before any timing, both readers' frames are read once and must be equal,
// pixel for pixel (transparent pixels as transparent, whatever their
// colour).
//
// gdk-pixbuf: gdk_pixbuf_animation_new_from_file, as a GTK viewer opens a
// file, and a GdkPixbufLoader fed the file's bytes, as thumbnailers and
// viewers that load in steps do; every frame is then walked with the
// animation's iterator. Qt: a QImageReader on the file reading every frame.
//
// With "info", gdk_pixbuf_get_file_info on ZN files alone, which should
// cost what the first frame costs whatever the number of frames.
//
// LOADER_BENCH_PIXBUF_MODULE and LOADER_BENCH_QT_PLUGINS name other builds
// of the two loaders (a module, and the folder holding imageformats/), to
// time an earlier version the same way.
//
// Usage: loader_bench pixbuf|qt|info [pairs] [frame counts...]
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/DocumentFile.h"
#include "formats/FileBytes.h"

namespace {

using Frames = std::vector<std::vector<uint8_t>>;  // RGBA rows of each frame, clear pixels zeroed

// Random frames of the 16 colours and transparency, so they do not
// compress to nothing, at 0.1 s each.
TDocument RandomAnimation(int frames) {
    std::mt19937 random{uint32_t(frames)};
    TDocument document;
    document.ClearDocument();
    document.title = "Bench";
    document.authorName = "Ann";
    for (int f = 0; f < frames; ++f) {
        IconImage image{kFrameSize, kFrameSize, {}};
        image.pixels.resize(kFrameSize * kFrameSize);
        for (Rgba& p : image.pixels) {
            const unsigned pick = random() % 17;
            p = pick == 16 ? Rgba{0, 0, 0, 0} : Rgba{kStandardColours[pick].r, kStandardColours[pick].g, kStandardColours[pick].b, 255};
        }
        document.AppendFrame(TFrameIcon::Built(std::move(image)), 6);
    }
    return document;
}

void AddFrame(Frames* frames, const uint8_t* pixels, int width, int height, size_t stride, int channels) {
    if (!frames) return;
    std::vector<uint8_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = pixels + size_t(y) * stride + size_t(x) * size_t(channels);
            const uint8_t alpha = channels == 4 ? p[3] : 255;
            for (uint8_t v : {p[0], p[1], p[2], alpha}) out.push_back(alpha ? v : 0);
        }
    frames->push_back(std::move(out));
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS  // the iterator still takes GTimeVal
void WalkAnimation(GdkPixbufAnimation* animation, int count, Frames* frames) {
    if (!animation) std::abort();
    GTimeVal time{0, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &time);
    for (int f = 0; f < count; ++f) {
        GdkPixbuf* pixbuf = gdk_pixbuf_animation_iter_get_pixbuf(iter);
        // Each frame's pixels are read, as a viewer draws them.
        const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
        AddFrame(frames, pixels, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf),
                 size_t(gdk_pixbuf_get_rowstride(pixbuf)), gdk_pixbuf_get_n_channels(pixbuf));
        const int delay = gdk_pixbuf_animation_iter_get_delay_time(iter);
        if (delay < 0) break;
        g_time_val_add(&time, glong(delay) * 1000);
        gdk_pixbuf_animation_iter_advance(iter, &time);
    }
    g_object_unref(iter);
    g_object_unref(animation);
}
G_GNUC_END_IGNORE_DEPRECATIONS

void PixbufFile(const std::string& path, int count, Frames* frames) {
    WalkAnimation(gdk_pixbuf_animation_new_from_file(path.c_str(), nullptr), count, frames);
}

void PixbufLoader(const char* type, const std::vector<uint8_t>& bytes, int count, Frames* frames) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, nullptr);
    // In the pieces gdk-pixbuf's own file reading uses.
    for (size_t at = 0; at < bytes.size(); at += 65536)
        gdk_pixbuf_loader_write(loader, bytes.data() + at, std::min<size_t>(65536, bytes.size() - at), nullptr);
    gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbufAnimation* animation = gdk_pixbuf_loader_get_animation(loader);
    WalkAnimation(animation ? GDK_PIXBUF_ANIMATION(g_object_ref(animation)) : nullptr, count, frames);
    g_object_unref(loader);
}

void QtReader(const std::string& path, int count, Frames* frames) {
    QImageReader reader(QString::fromStdString(path));
    for (int f = 0; f < count; ++f) {
        const QImage image = reader.read();
        if (image.isNull()) std::abort();
        if (!frames) continue;
        const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
        AddFrame(frames, rgba.constBits(), rgba.width(), rgba.height(), size_t(rgba.bytesPerLine()), 4);
    }
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Seconds per run of work, over at least `runs` runs.
double Time(const std::function<void()>& work, int runs) {
    const double start = CpuSeconds();
    for (int i = 0; i < runs; ++i) work();
    return (CpuSeconds() - start) / runs;
}

struct Pair {
    std::string name;
    std::function<void(Frames*)> ours, peer;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string Duration(double seconds) {
    char text[32];
    if (seconds < 1e-3) std::snprintf(text, sizeof text, "%.3g µs", seconds * 1e6);
    else std::snprintf(text, sizeof text, "%.3g ms", seconds * 1e3);
    return text;
}

void Run(const Pair& pair, int pairs) {
    Frames ours, peer;
    pair.ours(&ours);
    pair.peer(&peer);
    if (ours.empty() || ours != peer) {
        std::printf("| %s | wrong result: the frames differ |\n", pair.name.c_str());
        return;
    }
    // Enough runs for about 50 ms each, from a first measure.
    const double once = std::max(Time([&] { pair.ours(nullptr); }, 3), Time([&] { pair.peer(nullptr); }, 3));
    const int runs = std::max(1, int(0.05 / std::max(once, 1e-7)));
    std::vector<double> ratios, oursTimes, peerTimes;
    for (int p = 0; p < pairs; ++p) {
        oursTimes.push_back(Time([&] { pair.ours(nullptr); }, runs));
        peerTimes.push_back(Time([&] { pair.peer(nullptr); }, runs));
        ratios.push_back(peerTimes.back() / oursTimes.back());
    }
    const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("| %s | %s | %s | %.2f [%.2f–%.2f] |\n", pair.name.c_str(), Duration(Median(oursTimes)).c_str(),
                Duration(Median(peerTimes)).c_str(), Median(ratios), *low, *high);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string toolkit = argc > 1 ? argv[1] : "";
    if (toolkit != "pixbuf" && toolkit != "qt" && toolkit != "info") {
        std::fprintf(stderr, "usage: loader_bench pixbuf|qt|info [pairs] [frame counts...]\n");
        return 2;
    }
    const int pairs = argc > 2 ? std::atoi(argv[2]) : 15;
    std::vector<int> counts;
    for (int i = 3; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = toolkit == "info" ? std::vector{1, 1000, 32767} : std::vector{1, 100, 1000};
    const char* module = std::getenv("LOADER_BENCH_PIXBUF_MODULE");
    const char* plugins = std::getenv("LOADER_BENCH_QT_PLUGINS");

    // The files, and the loaders from this build beside the system's.
    const std::string folder = std::filesystem::temp_directory_path() / ("loader_bench." + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string cache = folder + "/loaders.cache";
    const std::string query = std::string(PIXBUF_QUERY_LOADERS) + " " + PIXBUF_MODULE_DIR "/*.so " +
                              (module ? module : ZN_PIXBUF_MODULE) + " > " + cache;
    if (std::system(query.c_str()) != 0) return 1;
    setenv("GDK_PIXBUF_MODULE_FILE", cache.c_str(), 1);
    // GIO names a file's type for gdk-pixbuf: the ZN type from our package.
    const std::string mime = folder + "/share/mime";
    std::filesystem::create_directories(mime + "/packages");
    std::filesystem::copy_file(ZN_MIME_PACKAGE, mime + "/packages/zintra-editor.xml");
    if (std::system(("update-mime-database " + mime + " >/dev/null 2>&1").c_str()) != 0) return 1;
    setenv("XDG_DATA_DIRS", (folder + "/share:/usr/share").c_str(), 1);
    QCoreApplication::addLibraryPath(plugins ? QString::fromLocal8Bit(plugins) : QStringLiteral(QZN_PLUGIN_ROOT));

    if (toolkit == "info") {
        std::printf("| frames | gdk_pixbuf_get_file_info |\n|---|---|\n");
        for (int count : counts) {
            const std::string zn = folder + "/anim-" + std::to_string(count) + ".zn";
            WriteZNFile(zn, RandomAnimation(count));
            int width = 0, height = 0;
            if (!gdk_pixbuf_get_file_info(zn.c_str(), &width, &height) || width != kFrameSize) return 1;
            std::vector<double> times;
            for (int p = 0; p < pairs; ++p)
                times.push_back(Time([&] { gdk_pixbuf_get_file_info(zn.c_str(), &width, &height); }, 20));
            std::printf("| %d | %s |\n", count, Duration(Median(times)).c_str());
        }
        std::filesystem::remove_all(folder);
        return 0;
    }
    std::printf("| frames | ours (ZN) | %s GIF reader | GIF time / ZN time, median [min–max] of %d pairs |\n|---|---|---|---|\n",
                toolkit == "qt" ? "Qt's" : "gdk-pixbuf's", pairs);
    for (int count : counts) {
        const std::string zn = folder + "/anim-" + std::to_string(count) + ".zn";
        const std::string gif = folder + "/anim-" + std::to_string(count) + ".gif";
        WriteZNFile(zn, RandomAnimation(count));
        if (std::system((std::string(ZNTOOL_PATH) + " convert " + zn + " " + gif).c_str()) != 0) return 1;
        const std::string name = std::to_string(count);
        if (toolkit == "qt") {
            Run({name, [&](Frames* f) { QtReader(zn, count, f); }, [&](Frames* f) { QtReader(gif, count, f); }}, pairs);
            continue;
        }
        Run({name + ", from the file", [&](Frames* f) { PixbufFile(zn, count, f); },
             [&](Frames* f) { PixbufFile(gif, count, f); }},
            pairs);
        const auto znBytes = ReadFileBytes(zn, kMaxInputFileBytes), gifBytes = ReadFileBytes(gif, kMaxInputFileBytes);
        Run({name + ", loader fed the bytes", [&](Frames* f) { PixbufLoader("zn", znBytes, count, f); },
             [&](Frames* f) { PixbufLoader("gif", gifBytes, count, f); }},
            pairs);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
