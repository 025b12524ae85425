// The main window's file commands: Open replaces the document with a ZN
// file or an animated cursor, Save writes it as a ZN file.
#include <QFile>
#include <QLineEdit>
#include <QString>

#include "core/AnimationLoader.h"
#include "core/Canvas.h"
#include "core/Conversion.h"
#include "core/DocumentFile.h"
#include "formats/ZNFile.h"
#include "ui/FileFilter.h"
#include "ui/StatusBar.h"
#include "ui/main.h"

namespace {

const QString kBusyText = QStringLiteral("Shrinking and reducing colours - Please wait...");
const QString kCannotOpen = QStringLiteral("Sorry, but I'm having trouble opening this file. Please try another");
const QString kSaved = QStringLiteral("The ZN file was created successfully!");

// Runs its action when the command is left, however it is left.
template <typename F>
class TOnExit {
public:
    explicit TOnExit(F action) : m_action(std::move(action)) {}
    ~TOnExit() { m_action(); }
    TOnExit(const TOnExit&) = delete;
    TOnExit& operator=(const TOnExit&) = delete;

private:
    F m_action;
};

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

void TFrmMain::CreateFileDialogs() {
    OpenDialog1.filters = NameFilters(
        "Animations (*.zn, *.ani)|*.zn;*.ani|Zintras (*.zn)|*.zn|Animated Cursors (*.ani)|*.ani");
    OpenDialog1.defaultSuffix = DefaultSuffix("*.zn;*.ani");
    SaveDialog1.filters = NameFilters("Zintra File (*.zn)|*.zn");
    SaveDialog1.defaultSuffix = DefaultSuffix("*.zn");
}

void TFrmMain::FlatSpeedButton3Click() {
    const TOnExit restore([this] {
        SetStatusText(0, QString());
        m_services.SetBusyCursor(false);
        setEnabled(true);
    });
    if (!m_services.RunOpenDialog(this, OpenDialog1)) return;
    m_services.SetBusyCursor(true);
    setEnabled(false);
    repaint();

    // The whole file is read and converted before it replaces anything, so
    // a file that cannot be opened leaves the animation as it was.
    TDocument opened;
    Picture firstFrame(kFrameSize, kFrameSize);
    try {
        opened = LoadAnimation(LocalPath(OpenDialog1.fileName), [this] {
            SetStatusText(0, kBusyText);
            StatusBar1->repaint();
        });
        RenderFrameIcon(*opened.FrameAt(1).icon, firstFrame, kKeyColour);
    } catch (const std::exception&) {
        m_services.ShowMessage(this, QStringLiteral("Error"), kCannotOpen, MessageIcon::Error);
        return;
    }

    m_document = std::move(opened);
    ShowFramePosition(1, m_document.Count());
    ShowFrameRate(1);
    Canvas().bitmap() = std::move(firstFrame);
    RedrawCanvas();
}

void TFrmMain::FlatSpeedButton4Click() {
    setEnabled(false);
    m_services.SetBusyCursor(true);
    const TOnExit restore([this] {
        setEnabled(true);
        m_services.SetBusyCursor(false);
    });

    CommitCurrentFrame();
    // Empty means no characters at all here; the dialog itself refuses blanks.
    if ((m_document.title.empty() || m_document.authorName.empty() || m_document.categoryIndex == kNoCategory) &&
        FrmInformation)
        m_services.ShowModal(*FrmInformation);
    if (!m_services.RunSaveDialog(this, SaveDialog1)) return;
    // A save that fails leaves any old file as it was.
    WriteZNFile(LocalPath(SaveDialog1.fileName), m_document);
    m_services.ShowMessage(this, QStringLiteral("Saved"), kSaved, MessageIcon::Information);
}
