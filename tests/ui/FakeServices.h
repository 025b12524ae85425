#pragma once
// Window services for widget tests: records what the commands ask for and
// never opens a modal loop.
#include <QDialog>
#include <functional>
#include <vector>

#include "ui/Services.h"

namespace test {

struct ShownMessage {
    QString caption;
    QString text;
    MessageIcon icon;
};

class FakeServices : public IWindowServices {
public:
    // What the next file dialogs answer: a path, or empty for Cancel.
    QString openAnswer, saveAnswer;
    std::vector<ShownMessage> messages;
    // Questions asked, and what each is answered.
    std::vector<ShownMessage> questions;
    bool answer = false;
    std::vector<QDialog*> modalWindows;
    // Runs while a window is "modal", e.g. to tick the preview.
    std::function<void(QDialog&)> whileModal;
    QImage clipboard;
    std::function<void()> clipboardWriteFails;
    bool busy = false;
    int year = 2026;

    bool RunOpenDialog(QWidget*, FileDialogState& state) override { return Answer(openAnswer, state); }
    bool RunSaveDialog(QWidget*, FileDialogState& state) override { return Answer(saveAnswer, state); }
    void ShowMessage(QWidget*, const QString& caption, const QString& text, MessageIcon icon) override {
        messages.push_back({caption, text, icon});
    }
    bool AskQuestion(QWidget*, const QString& caption, const QString& text, MessageIcon icon) override {
        questions.push_back({caption, text, icon});
        return answer;
    }
    void ShowModal(QDialog& dialog) override {
        modalWindows.push_back(&dialog);
        dialog.show();
        if (whileModal) whileModal(dialog);
        dialog.close();
    }
    bool HasClipboardImage() const override { return !clipboard.isNull(); }
    QImage ClipboardImage() const override { return clipboard; }
    void SetClipboardImage(const QImage& image) override {
        if (clipboardWriteFails) clipboardWriteFails();
        clipboard = image;
    }
    void SetBusyCursor(bool on) override { busy = on; }
    int CurrentYear() const override { return year; }

private:
    static bool Answer(const QString& answer, FileDialogState& state) {
        if (answer.isEmpty()) return false;
        state.fileName = answer;
        return true;
    }
};

}  // namespace test
