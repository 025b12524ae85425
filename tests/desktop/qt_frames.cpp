// Reads an image through Qt's image plugins as a Qt or KDE viewer does and
// prints what it got in the form of pixbuf_frames.py: with "reader", the
// still image, then every frame of QImageReader with its delay and the
// first again; with "movie", every frame QMovie plays with its delay and the
// first again as it loops. A failure prints "error" and QImageReader's error.
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMovie>

#include <cstdio>

namespace {

void Print(const char* what, const QImage& image, int delay = -1) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray pixels;
    for (int y = 0; y < rgba.height(); ++y)
        pixels.append(reinterpret_cast<const char*>(rgba.constScanLine(y)), rgba.width() * 4);
    if (delay >= 0) std::printf("%s %d %s\n", what, delay, pixels.toHex().constData());
    else std::printf("%s %s\n", what, pixels.toHex().constData());
}

int Reader(const QString& path) {
    QImageReader reader(path);
    const QImage still = reader.read();
    if (still.isNull()) {
        std::printf("error %d %s\n", int(reader.error()), qPrintable(reader.errorString()));
        return 0;
    }
    Print("still", still);
    if (reader.loopCount() != -1) std::printf("loop count %d\n", reader.loopCount());
    const int count = reader.imageCount();
    for (int i = 0; i <= count; ++i) {
        reader.jumpToImage(i % count);
        const QImage frame = reader.read();
        Print("frame", frame, reader.nextImageDelay());
    }
    return 0;
}

int Movie(const QString& path) {
    QMovie movie(path);
    if (!movie.isValid() || !movie.jumpToFrame(0) || movie.currentImage().isNull()) {
        std::printf("error %s\n", qPrintable(movie.lastErrorString()));
        return 0;
    }
    for (int i = 0; i <= movie.frameCount(); ++i) {
        Print("frame", movie.currentImage(), movie.nextFrameDelay());
        movie.jumpToNextFrame();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: desktop_qt_frames reader|movie FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[2]);
    return qstrcmp(argv[1], "movie") == 0 ? Movie(path) : Reader(path);
}
