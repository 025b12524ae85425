#pragma once
// The main editor window: the frame canvas, the frame and rate spinners,
// the palette, the command buttons and the status bar. It owns the one
// animation document and the working bitmap for the whole run.
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/Document.h"
#include "ui/Services.h"
#include "ui/information.h"

class HintTracker;
class ImageView;
class Panel;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class StatusBar;
class TFrameCanvas;
class TFrmPreview;
class UpDown;

class TFrmMain : public QWidget, public TInformationHost {
    Q_OBJECT
public:
    explicit TFrmMain(IWindowServices& services, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // The other two windows, created after this one at start-up.
    void SetWindows(TFrmInformation* information, TFrmPreview* preview);

    TDocument& Document() override { return m_document; }
    const TDocument& Document() const { return m_document; }
    IWindowServices& Services() { return m_services; }
    // The working bitmap and its views; they exist from FormShow to FormClose.
    TFrameCanvas& Canvas();
    bool HasCanvas() const { return m_canvas != nullptr; }

    // Shared steps of the commands.
    // Stores the working bitmap and the rate box's rate into the current frame.
    void CommitCurrentFrame();
    // Draws frame n's icon into the working bitmap over the key colour; the
    // views are redrawn by RedrawCanvas.
    void LoadFrame(int n);
    // Frame n's rate into the rate box and the rate spinner.
    void ShowFrameRate(int n);
    void ShowRate(int32_t rate);
    // The current frame number and the frame count into the frame spinner and
    // Label2.
    void ShowFramePosition(int position, int count);
    // Redraws both views from the working bitmap.
    void RedrawCanvas();

    // Whether status panel 0 follows the hint under the mouse; the
    // information dialog turns this off while it is open.
    void SetAutoHints(bool on) override;
    bool AutoHints() const;
    // The information dialog re-enables the window as it closes.
    void EnableMainWindow() override { setEnabled(true); }
    int CurrentYear() override { return m_services.CurrentYear(); }
    QWidget* HostWindow() override { return this; }
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;

    // Runs a command; an error it does not handle itself reaches the
    // application's error report.
    void RunCommand(const std::function<void()>& command);

    // Event handlers, named after their controls.
    void FormShow();
    void FormClose();
    void FlatSpeedButton5Click();  // New
    void FlatSpeedButton3Click();  // Open, in FileCommands.cpp
    void FlatSpeedButton4Click();  // Save, in FileCommands.cpp
    // Open's work once a path is chosen: for the dialog, the command line
    // and a dropped file alike.
    void OpenFile(const QString& path);
    // Opens path from the event loop, once the running event is done.
    void OpenSoon(const QString& path);
    void FlatSpeedButton1Click();  // Add Frame
    void FlatSpeedButton2Click();  // Remove Frame
    void UpDown1Changing();
    void UpDown1Click();
    void FlatSpeedButton7Click();  // Copy Current Frame
    void FlatSpeedButton8Click();  // Paste Frame
    void FlatSpeedButton9Click();  // Preview Animation
    void FlatSpeedButton6Click();  // Animation Information
    void Label4Click();            // about message
    void PnlBlackClick(Panel* sender);
    void ImgDrawSurfaceMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void ImgDrawSurfaceMouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void ImgDrawSurfaceMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

    // The controls, by their names.
    Panel* Panel2;
    ImageView* Image1;
    UpDown* UpDown1;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* FlatSpeedButton1;
    QPushButton* FlatSpeedButton2;
    QPushButton* FlatSpeedButton9;
    QFrame* Bevel2;
    QToolButton* FlatSpeedButton5;
    QToolButton* FlatSpeedButton3;
    QToolButton* FlatSpeedButton4;
    QToolButton* FlatSpeedButton6;
    QToolButton* FlatSpeedButton7;
    QToolButton* FlatSpeedButton8;
    QLabel* Label3;
    Panel* PnlCurColour;
    Panel* Panel3;
    std::array<Panel*, 16> PaletteButtons;  // in the order of kPaletteColours
    QLabel* Label8;
    QLineEdit* Edit5 = nullptr;  // made once the window is on screen, or when first needed
    UpDown* UpDown2;
    QLabel* Label4;
    Panel* Panel1;
    ImageView* ImgDrawSurface;
    StatusBar* StatusBar1;
    // The two file dialogs' settings, remembered between showings.
    FileDialogState OpenDialog1;
    FileDialogState SaveDialog1;

    TFrmInformation* FrmInformation = nullptr;
    TFrmPreview* FrmPreview = nullptr;

    // Shows the window; the first showing then makes the rate box.
    void setVisible(bool visible) override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A .zn or .ani file dropped on the window opens, unless a dialog is up.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    // The fixed size: 514×373, or a little more where the screen's scale
    // would make that a fraction of a device pixel.
    void FitToScale();
    // The rate box lays out its text as it is made, and the first text laid
    // out loads the font database, which costs as much as all the rest of
    // start-up: so it is made just after the window is put on screen.
    void CreateRateBox();
    // The rate box, made now if the window has not been shown yet, so that
    // no command depends on the order in which the window came up.
    QLineEdit* RateBox();
    // The open and save dialogs' filters and default extensions.
    void CreateFileDialogs();
    // Open's work on one file, busy meanwhile: the animation is replaced,
    // or the failure reported. Where a save of the file was cut short and
    // left a recovery copy, the user is offered it instead: returns the
    // copy when taken.
    QString ReadIntoWindow(const QString& path);
    // Open's last steps, however it ends: no status text, normal cursor,
    // window enabled.
    void FinishOpen();
    bool TakesDrops() const;
    void ConnectHandlers();
    // Repaints only what the last canvas operation changed.
    void ShowCanvasChanges();

    IWindowServices& m_services;
    TDocument m_document;
    std::unique_ptr<TFrameCanvas> m_canvas;
    HintTracker* m_hints = nullptr;
    int m_commandsRunning = 0;
};
