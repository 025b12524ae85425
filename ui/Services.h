#pragma once
// What the editor's commands need from the window system, behind one small
// interface: the real editor uses QtWindowServices, tests put a fake in its
// place so that no command ever waits in a modal loop.
#include <QImage>
#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

enum class MessageIcon { None, Information, Error };

// A file dialog's settings and what it remembers between showings: each
// dialog opens with the file name and the filter last chosen in it.
struct FileDialogState {
    QStringList filters;      // e.g. "Zintra File (*.zn)", first entry shown first
    QString defaultSuffix;    // added to a name typed without an extension
    QString fileName;         // last chosen path, empty at first
    QString selectedFilter;   // last chosen filter, empty at first
};

class IWindowServices {
public:
    virtual ~IWindowServices() = default;

    // Open dialog for an existing file. False when cancelled; otherwise the
    // chosen path and filter are stored in state.
    virtual bool RunOpenDialog(QWidget* parent, FileDialogState& state) = 0;
    // Save dialog; an existing file is chosen without a question.
    virtual bool RunSaveDialog(QWidget* parent, FileDialogState& state) = 0;

    // A message box with one OK button, centred on the screen.
    virtual void ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                             MessageIcon icon) = 0;
    // A question with Yes and No buttons, centred on the screen: true for Yes.
    virtual bool AskQuestion(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) = 0;
    // Shows a window modally and returns when it has been closed.
    virtual void ShowModal(QDialog& dialog) = 0;

    virtual bool HasClipboardImage() const = 0;
    // The clipboard's picture; a null image when it holds none.
    virtual QImage ClipboardImage() const = 0;
    virtual void SetClipboardImage(const QImage& image) = 0;

    // The hourglass while busy, the normal cursor otherwise.
    virtual void SetBusyCursor(bool busy) = 0;
    // The current local year, for the copyright line.
    virtual int CurrentYear() const = 0;
};
