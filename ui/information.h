#pragma once
// The animation information dialog: edits the seven information fields of
// the document, insists on a title and an author name, and writes the
// copyright line and the homepage prefix for the user.
#include <QDialog>

class FramePlacement;
class QComboBox;
class QLineEdit;
class QToolButton;
class TDocument;

// What the dialog needs of the main window, kept narrow so the dialog can
// be shown and tested without it.
class TInformationHost {
public:
    virtual ~TInformationHost() = default;
    virtual TDocument& Document() = 0;
    // The status bar's automatic display of the hint under the mouse.
    virtual void SetAutoHints(bool on) = 0;
    virtual void EnableMainWindow() = 0;
    // The current local year, for the generated copyright line.
    virtual int CurrentYear() = 0;
    // The window the dialog belongs to, if any.
    virtual QWidget* HostWindow() { return nullptr; }
};

class TFrmInformation : public QDialog {
    Q_OBJECT

public:
    // The typing limit of every text box.
    static constexpr int kMaxTyped = 255;

    // A window of its own, with no parent: it must stay usable while the
    // main window is disabled, which would disable a child window with it.
    // The window manager still treats it as the host window's: kept above
    // it, and minimised and restored with it.
    explicit TFrmInformation(TInformationHost& host);
    ~TFrmInformation() override;

    // Every close request passes the close query first; an accepted one
    // stores the boxes before the dialog hides.
    void done(int result) override;

    // The event handlers, public so the main window's tests can drive them.
    void FormShow();
    void EdtTitleChange();
    void EdtNameChange();
    void EdtHomepageExit();
    void FlatSpeedButton1Click();
    bool FormCloseQuery() const;
    void FormClose();

    // Brings the dialog back on top of everything, restored if minimised.
    void BringBack();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Watches the host window: activating it while the dialog keeps it
    // disabled brings the dialog back, so it can never be lost.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Writes a box as the dialog, not the user: the typing limit does not apply.
    void SetBoxText(QLineEdit* box, const QString& text);
    void UpdateOkay();
    QLineEdit* MakeBox(const char* name, int top, const char* hint);

    TInformationHost& m_host;
    FramePlacement* m_placement;
    QMetaObject::Connection m_focusWatch;
    QLineEdit* EdtTitle = nullptr;
    QComboBox* CmbCategories = nullptr;
    QLineEdit* EdtName = nullptr;
    QLineEdit* EdtEmail = nullptr;
    QLineEdit* EdtHomepage = nullptr;
    QLineEdit* EdtCopyright = nullptr;
    QLineEdit* EdtComments = nullptr;
    QToolButton* FlatSpeedButton1 = nullptr;
};
