#include "ui/QtServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>

namespace {

bool RunFileDialog(QWidget* parent, FileDialogState& state, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen) {
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setFileMode(QFileDialog::AnyFile);
        // Saving over a file replaces it without a question.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    dialog.setNameFilters(state.filters);
    if (!state.selectedFilter.isEmpty()) dialog.selectNameFilter(state.selectedFilter);
    dialog.setDefaultSuffix(state.defaultSuffix);
    if (!state.fileName.isEmpty()) dialog.selectFile(state.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    state.fileName = dialog.selectedFiles().constFirst();
    state.selectedFilter = dialog.selectedNameFilter();
    return true;
}

}  // namespace

bool QtWindowServices::RunOpenDialog(QWidget* parent, FileDialogState& state) {
    return RunFileDialog(parent, state, QFileDialog::AcceptOpen);
}

bool QtWindowServices::RunSaveDialog(QWidget* parent, FileDialogState& state) {
    return RunFileDialog(parent, state, QFileDialog::AcceptSave);
}

namespace {

// A message box centred on the screen, as every message of the editor is.
int RunMessageBox(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon,
                  QMessageBox::StandardButtons buttons) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(icon == MessageIcon::Error         ? QMessageBox::Critical
                : icon == MessageIcon::Information ? QMessageBox::Information
                                                   : QMessageBox::NoIcon);
    box.setStandardButtons(buttons);
    box.adjustSize();
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        box.move(screen->availableGeometry().center() - box.rect().center());
    return box.exec();
}

}  // namespace

void QtWindowServices::ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                                   MessageIcon icon) {
    RunMessageBox(parent, caption, text, icon, QMessageBox::Ok);
}

bool QtWindowServices::AskQuestion(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) {
    return RunMessageBox(parent, caption, text, icon, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtWindowServices::ShowModal(QDialog& dialog) { dialog.exec(); }

bool QtWindowServices::HasClipboardImage() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

QImage QtWindowServices::ClipboardImage() const {
    return HasClipboardImage() ? QGuiApplication::clipboard()->image() : QImage();
}

void QtWindowServices::SetClipboardImage(const QImage& image) {
    QGuiApplication::clipboard()->setImage(image);
}

void QtWindowServices::SetBusyCursor(bool busy) {
    // Override cursors stack; keep exactly one while busy.
    if (busy == m_busy) return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

int QtWindowServices::CurrentYear() const { return QDate::currentDate().year(); }
