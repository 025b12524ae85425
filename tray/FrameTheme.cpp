#include "tray/FrameTheme.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSaveFile>
#include <QSet>

#include "tray/PanelIcon.h"

namespace {

struct ThemeFolder {
    int picture;   // the side of the pictures it holds
    int size;      // the size it matches, within the threshold
    int threshold; // 0: that size only
};

// A picture of k×16 pixels serves every size from k×16 to k×16+15: the
// range is centred on k×16+7 with a threshold of 8, and where two ranges
// meet (k×16+15) the later folder in the list wins a tie, so the ranges come
// largest first. The fixed 22 and 24 are the nearer exact match at their
// sizes, for panels that load a picture at exactly the size they draw.
constexpr ThemeFolder kFolders[] = {
    {64, 71, 8}, {48, 55, 8}, {32, 39, 8}, {16, 23, 8}, {22, 22, 0}, {24, 24, 0},
};

QString FolderName(const ThemeFolder& f) { return QStringLiteral("%1x%1").arg(f.picture); }

QByteArray IndexTheme() {
    QByteArray text = "[Icon Theme]\nName=Zintra frames\nComment=The frames zintra-tray plays\nDirectories=";
    QStringList names;
    for (const ThemeFolder& f : kFolders) names << FolderName(f);
    text += names.join(QLatin1Char(',')).toLatin1() + "\n";
    for (const ThemeFolder& f : kFolders) {
        text += "\n[" + FolderName(f).toLatin1() + "]\nSize=" + QByteArray::number(f.size) + "\n";
        text += f.threshold ? "Type=Threshold\nThreshold=" + QByteArray::number(f.threshold) + "\n" : "Type=Fixed\n";
    }
    return text;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

}  // namespace

QString FrameIconName(const QImage& frame) {
    const QImage argb = frame.convertToFormat(QImage::Format_ARGB32);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (int y = 0; y < argb.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(argb.constScanLine(y)), argb.width() * 4));
    return QStringLiteral("zintra-frame-") + QString::fromLatin1(hash.result().toHex().left(20));
}

FrameTheme::FrameTheme(QString folder) : m_folder(std::move(folder)) { QDir(m_folder).removeRecursively(); }

FrameTheme::~FrameTheme() { QDir(m_folder).removeRecursively(); }

QString FrameTheme::themePath() const { return m_folder + QStringLiteral("/icons"); }

bool FrameTheme::write(const std::vector<QImage>& frames) {
    QStringList names;
    QSet<QString> distinct;
    for (const QImage& frame : frames) {
        names << FrameIconName(frame);
        distinct.insert(names.back());
        if (size_t(distinct.size()) > kMostFrames) return false;
    }
    const QString theme = themePath() + QStringLiteral("/hicolor/");
    bool written = QDir().mkpath(theme) && WriteFile(theme + QStringLiteral("index.theme"), IndexTheme());
    for (const ThemeFolder& f : kFolders) written = written && QDir().mkpath(theme + FolderName(f));
    QSet<QString> done;
    for (size_t i = 0; written && i < frames.size(); ++i) {
        if (done.contains(names[qsizetype(i)])) continue;
        done.insert(names[qsizetype(i)]);
        for (const ThemeFolder& f : kFolders) {
            const QImage picture = FramePicture(frames[i], QSize(f.picture, f.picture));
            written = written && picture.save(theme + FolderName(f) + QLatin1Char('/') + names[qsizetype(i)] +
                                              QStringLiteral(".png"), "PNG");
        }
    }
    if (!written) {
        QDir(m_folder).removeRecursively();
        return false;
    }
    m_names = names;
    return true;
}
