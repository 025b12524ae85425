// Every program that plays, converts or hands on frames gives a frame of the
// same rate the same time, each in its own unit: a rate below 1 shows for
// 1/60 s, and only a unit too narrow for the rate clamps it.
#include <gtest/gtest.h>

// Before Qt, whose "signals" keyword GLib's headers use as a name.
#include "imageformats/pixbuf/ZNPixbufAnimation.h"

#include <QApplication>
#include <QFile>

#include <climits>
#include <fstream>

#include "builders/IconBuilder.h"
#include "builders/ZNBuilder.h"
#include "core/PlaybackSchedule.h"
#include "formats/AnimatedCursor.h"
#include "imageformats/qt/ZNImageHandler.h"
#include "tray/TrayAnimation.h"
#include "ui/preview.h"

extern "C" void fill_vtable(GdkPixbufModule* module);

namespace {

// The tray's schedule in ns, the preview's 50 ms ticks, zntool info, a GIF
// delay in 1/100 s, a cursor's rate in 1/60 s, and both loaders' delay in ms.
const struct { int32_t rate; int64_t trayNs; int previewTicks; const char* info; int gif; int32_t cursor; int loaderMs; } kRows[] = {
    {-30, 16666667, 1, "rate -30 (shown as 1: 0.017 s)", 2, 1, 17},
    {0, 16666667, 1, "rate 0 (shown as 1: 0.017 s)", 2, 1, 17},
    {1, 16666667, 1, "rate 1 (0.017 s)", 2, 1, 17},
    {60, 1000000000, 15, "rate 60 (1 s)", 100, 60, 1000},
    {32736, 545600000000, 8184, "rate 32736 (545.6 s)", 54560, 32736, 545600},
    {INT32_MAX, 35791394116666667, 536870912, "rate 2147483647 (35791394.117 s)", 65535, INT32_MAX, INT_MAX},
};

std::string Zntool(const std::string& arguments) {
    std::string out;
    FILE* pipe = popen((ZNTOOL_PATH " " + arguments).c_str(), "r");
    for (int c; (c = fgetc(pipe)) != EOF;) out += char(c);
    pclose(pipe);
    return out;
}

// The delay in the first graphic control extension (21 F9 04 flags delay).
int GifDelay(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string gif((std::istreambuf_iterator<char>(in)), {}), control = gif.substr(gif.find("\x21\xF9\x04") + 4, 2);
    return uint8_t(control[0]) | uint8_t(control[1]) << 8;
}

int PixbufDelay(const std::string& path) {
    GdkPixbufModule module{};
    fill_vtable(&module);
    FILE* file = std::fopen(path.c_str(), "rb");
    GdkPixbufAnimation* animation = module.load_animation(file, nullptr);
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, nullptr);
    std::fclose(file);
    const int delay = gdk_pixbuf_animation_iter_get_delay_time(iter);
    g_object_unref(iter), g_object_unref(animation);
    return delay;
}

int QtDelay(const std::string& path) {
    QFile file(QString::fromStdString(path));
    ZNImageHandler handler;
    handler.setDevice(file.open(QIODevice::ReadOnly) ? &file : nullptr);
    QImage image;
    return handler.read(&image) ? handler.nextImageDelay() : -1;
}

// Ticks until the preview, just opened, leaves its first frame.
int PreviewTicks(int32_t rate) {
    static int argc = 1;
    static char name[] = "timing", *argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    TDocument document;
    document.CommitFrame(1, TFrameIcon::Built(test::SampleFrame()), rate);
    document.AppendFrame(TFrameIcon::Built(test::SampleFrame()), rate);
    TFrmPreview preview(document);
    preview.show();
    int ticks = 0;
    for (; preview.frameIndex() == 0; ++ticks) preview.Timer1Timer();
    return ticks;
}

}  // namespace

TEST(FrameTiming, EveryHostGivesAFrameTheTimeOfItsRate) {
    const std::string zn = testing::TempDir() + "timing.zn", gif = zn + ".gif", ani = zn + ".ani";
    const auto icon = test::BuildIcon(test::SampleFrame());
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.rate);
        const auto bytes = test::ZNBuilder().currentHeader(2).frame(row.rate, icon).frame(row.rate, icon).compressed();
        std::ofstream(zn, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        PlaybackSchedule tray;
        tray.start(TrayAnimation::Load(QString::fromStdString(zn)).rates, {});
        EXPECT_EQ(tray.nextChange({})->count(), row.trayNs);
        EXPECT_EQ(PreviewTicks(row.rate), row.previewTicks);
        EXPECT_NE(Zntool("info " + zn).find(std::string("1  ") + row.info + "\n"), std::string::npos);
        Zntool("convert " + zn + " " + gif), Zntool("convert " + zn + " " + ani);
        EXPECT_EQ(GifDelay(gif), row.gif);
        TAnimatedCursorImage cursor;
        ReadBudget budget;
        cursor.ReadCursorFile(ani, budget);
        EXPECT_EQ(cursor.FrameRate(0), row.cursor);
        EXPECT_EQ(PixbufDelay(zn), row.loaderMs);
        EXPECT_EQ(QtDelay(zn), row.loaderMs);
    }
}
