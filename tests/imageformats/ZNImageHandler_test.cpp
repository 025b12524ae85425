// The Qt plugin as a guest: it steps through the frames as QImageReader
// asks, and readers on several threads at once each get every frame.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>

#include <atomic>
#include <thread>

#include "builders/IconBuilder.h"
#include "builders/ZNBuilder.h"
#include "imageformats/qt/ZNImageHandler.h"

using namespace test;

namespace {

// Four frames whose red is 0, 60, 120 and 180: frame i by its colour.
QByteArray FourFrames() {
    ZNBuilder file;
    file.currentHeader(4);
    for (int i = 0; i < 4; ++i) file.frame(6, BuildIcon(MakeImage(16, 16, [&](int, int) { return Opaque({uint8_t(60 * i), 0, 0}); }), 32));
    const auto bytes = file.compressed();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}
int FrameOf(const QImage& image) { return image.isNull() ? -1 : qRed(image.pixel(5, 5)) / 60; }

}  // namespace

TEST(ZNImageHandler, JumpToNextImageStepsOverOneFrameUntilNoneFollows) {
    QByteArray bytes = FourFrames();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ZNImageHandler handler;
    handler.setDevice(&buffer);
    QImage image;
    EXPECT_TRUE(handler.jumpToNextImage() && handler.read(&image) && FrameOf(image) == 1);
    int jumps = 0;
    while (jumps < 100 && handler.jumpToNextImage()) ++jumps;
    EXPECT_EQ(jumps, 1);
    EXPECT_TRUE(handler.read(&image) && FrameOf(image) == 3);
    EXPECT_FALSE(handler.read(&image));
}

// Thumbnail views read on a pool of threads; this runs under ASan too.
TEST(ZNImagePlugin, ReadersOnSeveralThreadsAtOnceEachGetEveryFrame) {
    QCoreApplication::addLibraryPath(QStringLiteral(QZN_PLUGIN_ROOT));
    const QByteArray bytes = FourFrames();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 20; ++round) {
                QByteArray data = bytes;
                QBuffer buffer(&data);
                buffer.open(QIODevice::ReadOnly);
                QImageReader reader(&buffer);  // known by content alone
                for (int i = 0; i < 4; ++i) wrong += FrameOf(reader.read()) != i;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}
