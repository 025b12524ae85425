// The Qt plugin as a guest: it steps through the frames as QImageReader asks,
// prints nothing however a file fails, and readers on several threads at
// once each get every frame.
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

constexpr Rgb kColours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};

// Four frames, each of one colour.
QByteArray FourFrames() {
    ZNBuilder file;
    file.currentHeader(4);
    for (Rgb c : kColours) file.frame(6, BuildIcon(MakeImage(16, 16, [&](int, int) { return Opaque(c); })));
    const auto bytes = file.compressed();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// Which frame an image is, by its colour; -1 for none.
int FrameOf(const QImage& image) {
    for (int i = 0; i < 4; ++i)
        if (!image.isNull() && image.pixel(5, 5) == qRgb(kColours[i].r, kColours[i].g, kColours[i].b)) return i;
    return -1;
}

}  // namespace

TEST(ZNImageHandler, JumpToNextImageStepsOverOneFrameUntilNoneFollows) {
    QByteArray bytes = FourFrames();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ZNImageHandler handler;
    handler.setDevice(&buffer);
    QImage image;
    ASSERT_TRUE(handler.jumpToNextImage());
    ASSERT_TRUE(handler.read(&image));
    EXPECT_EQ(FrameOf(image), 1);
    int jumps = 0;
    while (jumps < 100 && handler.jumpToNextImage()) ++jumps;
    EXPECT_EQ(jumps, 1);
    ASSERT_TRUE(handler.read(&image));
    EXPECT_EQ(FrameOf(image), 3);
    EXPECT_FALSE(handler.read(&image));
}

TEST(ZNImageHandler, AFileItCannotReadPrintsNothing) {
    static QStringList said;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { said << text; });
    const auto bytes = ZNBuilder().currentHeader(2).compressed();
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    ZNImageHandler handler;
    handler.setDevice(&buffer);
    QImage image;
    EXPECT_TRUE(handler.canRead());
    EXPECT_FALSE(handler.read(&image));
    qInstallMessageHandler(previous);
    EXPECT_TRUE(said.isEmpty()) << said.join('\n').toStdString();
}

// Thumbnail views read on a pool of threads; run under ASan or TSan too.
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
