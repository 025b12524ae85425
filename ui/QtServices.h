#pragma once
// The window services as Qt provides them.
#include "ui/Services.h"

class QtWindowServices : public IWindowServices {
public:
    bool RunOpenDialog(QWidget* parent, FileDialogState& state) override;
    bool RunSaveDialog(QWidget* parent, FileDialogState& state) override;
    void ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                     MessageIcon icon) override;
    bool AskQuestion(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) override;
    void ShowModal(QDialog& dialog) override;
    bool HasClipboardImage() const override;
    QImage ClipboardImage() const override;
    void SetClipboardImage(const QImage& image) override;
    void SetBusyCursor(bool busy) override;
    int CurrentYear() const override;

private:
    bool m_busy = false;
};
