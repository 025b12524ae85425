// The main window's file commands: Open replaces the document with a ZN
// file or an animated cursor, Save writes it as a ZN file. A file named on
// the command line or dropped on the window opens as Open opens it.
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <exception>
#include <thread>

#include "core/AnimationLoader.h"
#include "core/Canvas.h"
#include "core/Conversion.h"
#include "core/DocumentFile.h"
#include "formats/OnExit.h"
#include "formats/RecoveryCopy.h"
#include "formats/SafeSave.h"
#include "formats/ZNFile.h"
#include "ui/FileFilter.h"
#include "ui/StatusBar.h"
#include "ui/main.h"

namespace {

const QString kBusyText = QStringLiteral("Shrinking and reducing colours - Please wait...");
const QString kCannotOpen = QStringLiteral("Sorry, but I'm having trouble opening this file. Please try another");
const QString kRecoveryOffer = QStringLiteral(
    "\n\nA save of this file was cut short and left a recovery copy of it:\n%1\n\nOpen the recovery copy?");
const QString kSaved = QStringLiteral("The ZN file was created successfully!");
const QString kCopyKept = QStringLiteral("\n\nIts recovery copy could not be removed:\n%1");

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The one local .zn or .ani file a drag carries; empty for anything else.
QString DroppedAnimation(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls[0].isLocalFile()) return {};
    const QString path = urls[0].toLocalFile();
    return KindOfPath(LocalPath(path)) == AnimationKind::Other ? QString() : path;
}

// A dropped file is only ever read, never moved: a file manager deletes the
// source of a move once the drop has succeeded.
bool AcceptAsCopy(QDropEvent& event) {
    if (!(event.possibleActions() & Qt::CopyAction)) return false;
    event.setDropAction(Qt::CopyAction);
    event.accept();
    return true;
}

// Keeps a window open while a save it started is under way.
class CloseRefusal : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close) return false;
        event->ignore();
        return true;
    }
};

// Saves on a thread of its own while this one goes on handling events, so
// the window keeps painting while the save waits for the disk or for
// another program to let go of the file; returns once the save is done,
// throwing what it threw.
SaveResult SaveWhileEventsRun(QWidget& window, const std::string& path, const std::vector<uint8_t>& bytes) {
    CloseRefusal refusal;
    window.installEventFilter(&refusal);
    QEventLoop loop;
    SaveResult result;
    std::exception_ptr error;
    std::thread saver([&] {
        try {
            result = WriteFileAtomically(path, bytes);
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    saver.join();
    if (error) std::rethrow_exception(error);
    return result;
}

}  // namespace

void TFrmMain::CreateFileDialogs() {
    OpenDialog1.filters = NameFilters(
        "Animations (*.zn, *.ani)|*.zn;*.ani|Zintras (*.zn)|*.zn|Animated Cursors (*.ani)|*.ani");
    OpenDialog1.defaultSuffix = DefaultSuffix("*.zn;*.ani");
    SaveDialog1.filters = NameFilters("Zintra File (*.zn)|*.zn");
    SaveDialog1.defaultSuffix = DefaultSuffix("*.zn");
}

void TFrmMain::FlatSpeedButton3Click() {
    if (m_services.RunOpenDialog(this, OpenDialog1)) OpenFile(OpenDialog1.fileName);
    else FinishOpen();
}

void TFrmMain::OpenFile(const QString& path) {
    const QString copy = ReadIntoWindow(path);
    if (copy.isEmpty()) return;
    // Saving the copy over the file it stands for recovers that file.
    SaveDialog1.fileName = path;
    ReadIntoWindow(copy);
}

QString TFrmMain::ReadIntoWindow(const QString& path) {
    const OnExit restore([this] { FinishOpen(); });
    m_services.SetBusyCursor(true);
    setEnabled(false);
    repaint();

    // The whole file is read and converted before it replaces anything, so
    // a file that cannot be opened leaves the animation as it was.
    TDocument opened;
    Picture firstFrame(kFrameSize, kFrameSize);
    try {
        ReadBudget budget;  // the one budget of this read
        opened = LoadAnimation(LocalPath(path), budget, [this] {
            SetStatusText(0, kBusyText);
            StatusBar1->repaint();
        });
        RenderFrameIcon(*opened.FrameAt(1).icon, firstFrame, kKeyColour);
    } catch (const std::exception&) {
        const std::vector<std::string> copies = FindRecoveryCopies(LocalPath(path));
        if (copies.empty()) {
            m_services.ShowMessage(this, QStringLiteral("Error"), kCannotOpen, MessageIcon::Error);
            return {};
        }
        const QString copy = QFile::decodeName(copies.front().c_str());
        const bool take = m_services.AskQuestion(this, QStringLiteral("Error"), kCannotOpen + kRecoveryOffer.arg(copy),
                                                 MessageIcon::Error);
        return take ? copy : QString();
    }

    m_document = std::move(opened);
    ShowFramePosition(1, m_document.Count());
    ShowFrameRate(1);
    Canvas().bitmap() = std::move(firstFrame);
    RedrawCanvas();
    return {};
}

void TFrmMain::FinishOpen() {
    SetStatusText(0, QString());
    m_services.SetBusyCursor(false);
    setEnabled(true);
}

void TFrmMain::OpenSoon(const QString& path) {
    // Queued, so the open runs from the event loop like any command, after
    // start-up or the drop that asked for it has finished.
    QTimer::singleShot(0, this, [this, path] { RunCommand([this, &path] { OpenFile(path); }); });
}

bool TFrmMain::TakesDrops() const {
    return isEnabled() && m_commandsRunning == 0 && !QApplication::activeModalWidget();
}

void TFrmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (TakesDrops() && !DroppedAnimation(*event->mimeData()).isEmpty() && AcceptAsCopy(*event)) return;
    event->ignore();
}

void TFrmMain::dropEvent(QDropEvent* event) {
    const QString path = DroppedAnimation(*event->mimeData());
    if (!TakesDrops() || path.isEmpty() || !AcceptAsCopy(*event)) {
        event->ignore();
        return;
    }
    // Opened after the drop has returned: the file manager waits for the
    // drop to finish, and an error message would keep it waiting.
    OpenSoon(path);
}

void TFrmMain::FlatSpeedButton4Click() {
    setEnabled(false);
    m_services.SetBusyCursor(true);
    const OnExit restore([this] {
        setEnabled(true);
        m_services.SetBusyCursor(false);
    });

    CommitCurrentFrame();
    // Empty means no characters at all here; the dialog itself refuses blanks.
    if ((m_document.title.empty() || m_document.authorName.empty() || m_document.categoryIndex == kNoCategory) &&
        FrmInformation)
        m_services.ShowModal(*FrmInformation);
    if (!m_services.RunSaveDialog(this, SaveDialog1)) return;
    // Everything is encoded before the disk is touched, and a save that
    // fails leaves any old file as it was.
    const SaveResult saved = SaveWhileEventsRun(*this, LocalPath(SaveDialog1.fileName), EncodeZNFile(m_document));
    const QString kept = saved.keptCopy.empty() ? QString() : kCopyKept.arg(QFile::decodeName(saved.keptCopy.c_str()));
    m_services.ShowMessage(this, QStringLiteral("Saved"), kSaved + kept, MessageIcon::Information);
}
