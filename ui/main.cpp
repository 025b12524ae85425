#include "ui/main.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>
#include <algorithm>
#include <optional>

#include "core/Canvas.h"
#include "core/Conversion.h"
#include "core/ViewLayout.h"
#include "formats/OnExit.h"
#include "ui/Application.h"
#include "ui/Glyphs.h"
#include "ui/HintTracker.h"
#include "ui/ImageView.h"
#include "ui/Panel.h"
#include "ui/PalettePanels.h"
#include "ui/PictureImage.h"
#include "ui/StatusBar.h"
#include "ui/UpDown.h"
#include "ui/WindowFont.h"
#include "ui/information.h"
#include "ui/preview.h"

namespace {

constexpr int kInitialRate = 10;
// The client area at scale 1; a fractional scale may add a pixel or two.
constexpr QSize kWindowSize(514, 373);

// The maker's notice, shown under the palette and in the about message.
const QString kCopyrightNotice = QStringLiteral("© 2026 Zintra Editor developers");
const QString kWebAddress = QStringLiteral("https://zintra-editor.example.org");
const QString kEmailAddress = QStringLiteral("editor@zintra-editor.example.org");
const QString kRateHint = QStringLiteral("Frame's Rate (in 1/60th of a second)");

template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, QRect geometry, Args&&... args) {
    W* widget = new W(parent, std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, QRect geometry, const QString& text) {
    QLabel* label = Make<QLabel>(parent, name, geometry);
    label->setText(text);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* MakeTextButton(QWidget* parent, const char* name, QRect geometry, const QString& caption) {
    QPushButton* button = Make<QPushButton>(parent, name, geometry);
    button->setText(caption);
    // Like every command button, worked with the mouse only.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QToolButton* MakeGlyphButton(QWidget* parent, const char* name, QRect geometry, Glyph glyph) {
    QToolButton* button = Make<QToolButton>(parent, name, geometry);
    const QPixmap pixmap = GlyphPixmap(glyph);
    button->setIcon(QIcon(pixmap));
    button->setIconSize(pixmap.size());
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// A hint shown in the status bar and, with tooltip, over the control too.
void SetHint(QWidget* widget, const QString& hint, bool tooltip) {
    widget->setStatusTip(hint);
    if (tooltip) widget->setToolTip(hint);
}

std::optional<TMouseButton> CanvasButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton: return TMouseButton::Left;
    case Qt::MiddleButton: return TMouseButton::Middle;
    case Qt::RightButton: return TMouseButton::Right;
    default: return std::nullopt;
    }
}

void Repaint(ImageView* view, const TPixelRect& rect) {
    if (!rect.empty()) view->updatePicture(QRect(rect.x, rect.y, rect.width, rect.height));
}

}  // namespace

TFrmMain::TFrmMain(IWindowServices& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_services(services) {
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    setFont(WindowFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    CreateControls();
    FitToScale();
    // A file dropped anywhere on the window opens.
    setAcceptDrops(true);
    CreateFileDialogs();
    ConnectHandlers();
    m_hints = new HintTracker(this, [this](const QString& hint) { StatusBar1->setPanelText(0, hint); });
}

TFrmMain::~TFrmMain() = default;

void TFrmMain::CreateControls() {
    Panel2 = Make<Panel>(this, "Panel2", {8, 8, 44, 34}, Panel::Border::Single);
    SetHint(Panel2, QStringLiteral("Current Frame"), true);
    Image1 = Make<ImageView>(Panel2->client(), "Image1", {7, 7, 16, 16});
    UpDown1 = Make<UpDown>(Panel2->client(), "UpDown1", {27, -1, 13, 31});
    UpDown1->setRange(1, 1);
    UpDown1->setPosition(1);

    Label1 = MakeLabel(this, "Label1", {56, 8, 97, 13}, QStringLiteral("Current Frame:"));
    Label2 = MakeLabel(this, "Label2", {56, 24, 97, 13}, QStringLiteral("1"));
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);

    FlatSpeedButton1 = MakeTextButton(this, "FlatSpeedButton1", {8, 47, 65, 25}, QStringLiteral("Add Frame"));
    SetHint(FlatSpeedButton1, QStringLiteral("New Frame"), true);
    FlatSpeedButton2 = MakeTextButton(this, "FlatSpeedButton2", {81, 47, 80, 25}, QStringLiteral("Remove Frame"));
    SetHint(FlatSpeedButton2, QStringLiteral("Delete Frame"), true);
    FlatSpeedButton2->setEnabled(false);
    FlatSpeedButton9 = MakeTextButton(this, "FlatSpeedButton9", {8, 80, 153, 25}, QStringLiteral("Preview Animation"));

    Bevel2 = Make<QFrame>(this, "Bevel2", {0, 112, 161, 2});
    Bevel2->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    FlatSpeedButton5 = MakeGlyphButton(this, "FlatSpeedButton5", {8, 128, 25, 25}, Glyph::New);
    SetHint(FlatSpeedButton5, QStringLiteral("New ZN File"), true);
    FlatSpeedButton3 = MakeGlyphButton(this, "FlatSpeedButton3", {33, 128, 25, 25}, Glyph::Open);
    SetHint(FlatSpeedButton3, QStringLiteral("Open ZN File"), true);
    FlatSpeedButton4 = MakeGlyphButton(this, "FlatSpeedButton4", {58, 128, 25, 25}, Glyph::Save);
    SetHint(FlatSpeedButton4, QStringLiteral("Save ZN File"), true);
    FlatSpeedButton6 = MakeGlyphButton(this, "FlatSpeedButton6", {83, 128, 25, 25}, Glyph::Information);
    SetHint(FlatSpeedButton6, QStringLiteral("Animation Information"), true);
    FlatSpeedButton7 = MakeGlyphButton(this, "FlatSpeedButton7", {108, 128, 25, 25}, Glyph::Copy);
    SetHint(FlatSpeedButton7, QStringLiteral("Copy Current Frame"), true);
    FlatSpeedButton8 = MakeGlyphButton(this, "FlatSpeedButton8", {133, 128, 25, 25}, Glyph::Paste);
    SetHint(FlatSpeedButton8, QStringLiteral("Paste Frame"), true);

    Label3 = MakeLabel(this, "Label3", {8, 168, 69, 13}, QStringLiteral("Current colour:"));
    PnlCurColour = Make<Panel>(this, "PnlCurColour", {82, 168, 76, 17}, Panel::Border::Lowered);
    PnlCurColour->setColour(ToQColor(kStandardColours[kBlack]));

    Panel3 = Make<Panel>(this, "Panel3", {8, 192, 153, 49}, Panel::Border::None);
    SetHint(Panel3, QStringLiteral("Click to select a colour."), false);
    for (size_t i = 0; i < kPalettePanels.size(); ++i) {
        const TPalettePanel& entry = kPalettePanels[i];
        Panel* panel = Make<Panel>(Panel3->client(), entry.name, {entry.x, entry.row == 1 ? 4 : 23, 17, 17},
                                   Panel::Border::Single);
        panel->setColour(ToQColor(kPaletteColours[i]));
        PaletteButtons[i] = panel;
    }

    Label8 = MakeLabel(this, "Label8", {8, 247, 73, 13}, QStringLiteral("Frame's Rate:"));
    UpDown2 = Make<UpDown>(this, "UpDown2", {145, 260, 17, 21});
    SetHint(UpDown2, kRateHint, true);
    UpDown2->setRange(kMinRate, kMaxRate);
    UpDown2->setPosition(kInitialRate);

    Label4 = MakeLabel(this, "Label4", {0, 336, 169, 13}, kCopyrightNotice);
    Label4->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label4->setAutoFillBackground(false);
    // The button-shadow colour; a role rather than a colour, so it follows
    // the system's palette.
    Label4->setForegroundRole(QPalette::Dark);
    Label4->installEventFilter(this);

    Panel1 = Make<Panel>(this, "Panel1", {167, 8, 341, 341}, Panel::Border::Single);
    ImgDrawSurface = Make<ImageView>(Panel1->client(), "ImgDrawSurface", {0, 0, kEnlargedViewSize, kEnlargedViewSize},
                                     ImageView::Layout::Grid);
    SetHint(ImgDrawSurface, QStringLiteral("Right-click to erase.  Hold down Ctrl and click to fill a region."), false);
    // Coordinates follow the mouse with no button held, too.
    ImgDrawSurface->setMouseTracking(true);

    StatusBar1 = Make<StatusBar>(this, "StatusBar1", {0, 354, 514, 19}, std::vector<int>{400, 50});
}

void TFrmMain::CreateRateBox() {
    Edit5 = Make<QLineEdit>(this, "Edit5", {8, 260, 137, 21});
    Edit5->setText(QString::number(kInitialRate));
    SetHint(Edit5, kRateHint, true);
    // A file dropped on the rate box opens like anywhere else on the window,
    // rather than pasting its name into the box.
    Edit5->setAcceptDrops(false);
    UpDown2->setBuddy(Edit5);
    Edit5->show();
}

QLineEdit* TFrmMain::RateBox() {
    if (!Edit5) CreateRateBox();
    return Edit5;
}

void TFrmMain::ConnectHandlers() {
    const auto bind = [this](QAbstractButton* button, void (TFrmMain::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };
    bind(FlatSpeedButton5, &TFrmMain::FlatSpeedButton5Click);
    bind(FlatSpeedButton3, &TFrmMain::FlatSpeedButton3Click);
    bind(FlatSpeedButton4, &TFrmMain::FlatSpeedButton4Click);
    bind(FlatSpeedButton1, &TFrmMain::FlatSpeedButton1Click);
    bind(FlatSpeedButton2, &TFrmMain::FlatSpeedButton2Click);
    bind(FlatSpeedButton7, &TFrmMain::FlatSpeedButton7Click);
    bind(FlatSpeedButton8, &TFrmMain::FlatSpeedButton8Click);
    bind(FlatSpeedButton9, &TFrmMain::FlatSpeedButton9Click);
    bind(FlatSpeedButton6, &TFrmMain::FlatSpeedButton6Click);

    connect(UpDown1, &UpDown::changing, this, [this] { RunCommand([this] { UpDown1Changing(); }); });
    connect(UpDown1, &UpDown::clicked, this, [this] { RunCommand([this] { UpDown1Click(); }); });

    for (Panel* panel : PaletteButtons)
        connect(panel, &Panel::clicked, this, [this, panel] { RunCommand([this, panel] { PnlBlackClick(panel); }); });

    connect(ImgDrawSurface, &ImageView::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
                RunCommand([=, this] { ImgDrawSurfaceMouseDown(button, shift, x, y); });
            });
    connect(ImgDrawSurface, &ImageView::mouseMove, this, [this](Qt::KeyboardModifiers shift, int x, int y) {
        RunCommand([=, this] { ImgDrawSurfaceMouseMove(shift, x, y); });
    });
    connect(ImgDrawSurface, &ImageView::mouseUp, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
                RunCommand([=, this] { ImgDrawSurfaceMouseUp(button, shift, x, y); });
            });
}

void TFrmMain::SetWindows(TFrmInformation* information, TFrmPreview* preview) {
    FrmInformation = information;
    FrmPreview = preview;
}

TFrameCanvas& TFrmMain::Canvas() {
    Q_ASSERT(m_canvas);
    return *m_canvas;
}

void TFrmMain::RunCommand(const std::function<void()>& command) {
    // Counted, so that nothing is dropped on the window while a command's
    // dialog or message box is up.
    ++m_commandsRunning;
    const OnExit done([this] { --m_commandsRunning; });
    try {
        command();
    } catch (const std::exception& error) {
        ShowErrorReport(m_services, this, error);
    }
}

// ---- Window life ---------------------------------------------------------

void TFrmMain::setVisible(bool visible) {
    QWidget::setVisible(visible);
    if (visible) RateBox();
}

void TFrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous() || m_canvas) return;
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    FormShow();
}

void TFrmMain::FitToScale() {
    const qreal scale = devicePixelRatioF();
    const QSize size(WholeDeviceLength(kWindowSize.width(), scale), WholeDeviceLength(kWindowSize.height(), scale));
    setFixedSize(size);
    // The status bar keeps to the bottom edge and spans the window.
    const QRect bar = StatusBar1->geometry();
    StatusBar1->setGeometry(bar.x(), bar.y(), size.width(), size.height() - bar.y());
}

bool TFrmMain::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ScreenChangeInternal) FitToScale();
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (event->type() == QEvent::DevicePixelRatioChange) FitToScale();
#endif
    return handled;
}

void TFrmMain::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) FormClose();
}

void TFrmMain::FormShow() {
    m_canvas = std::make_unique<TFrameCanvas>(ToRgb(palette().color(QPalette::Button)));
    ImgDrawSurface->setPicture(&m_canvas->enlargedView());
    Image1->setPicture(&m_canvas->actualView());
    m_canvas->ClearCanvas();
    RedrawCanvas();
    m_document.NewDocument();
}

void TFrmMain::FormClose() {
    ImgDrawSurface->setPicture(nullptr);
    Image1->setPicture(nullptr);
    m_canvas.reset();
    m_document.ClearDocument();
}

// ---- Shared steps --------------------------------------------------------

void TFrmMain::CommitCurrentFrame() {
    // The rate spinner's 16-bit position, widened with its sign.
    const int32_t rate = UpDown2->position();
    // A text that is no rate was not used; show the rate that was.
    if (!UpDown2->buddyValue()) RateBox()->setText(QString::number(rate));
    m_document.CommitFrame(UpDown1->position(), MakeFrameIcon(Canvas().bitmap()), rate);
}

void TFrmMain::LoadFrame(int n) {
    RenderFrameIcon(*m_document.FrameAt(n).icon, Canvas().bitmap(), kKeyColour);
}

void TFrmMain::ShowFrameRate(int n) { ShowRate(m_document.FrameAt(n).rate); }

void TFrmMain::ShowRate(int32_t rate) {
    RateBox()->setText(QString::number(rate));
    // A rate beyond the spinner's range (only a file holds one) is shown in
    // full; the spinner takes the nearest rate it can hold.
    UpDown2->setPosition(std::clamp<int32_t>(rate, kMinRate, kMaxRate));
}

void TFrmMain::ShowFramePosition(int position, int count) {
    UpDown1->setMaximum(count);
    UpDown1->setPosition(position);
    Label2->setText(QString::number(position));
}

void TFrmMain::RedrawCanvas() {
    Canvas().RedrawCanvas();
    ShowCanvasChanges();
}

void TFrmMain::ShowCanvasChanges() {
    const TCanvasChanges changes = Canvas().TakeChanges();
    Repaint(ImgDrawSurface, changes.enlarged);
    Repaint(Image1, changes.actual);
}

// ---- Status bar ----------------------------------------------------------

void TFrmMain::SetAutoHints(bool on) { m_hints->setEnabled(on); }

bool TFrmMain::AutoHints() const { return m_hints->isEnabled(); }

void TFrmMain::SetStatusText(int panel, const QString& text) { StatusBar1->setPanelText(panel, text); }

QString TFrmMain::StatusText(int panel) const { return StatusBar1->panelText(panel); }

// ---- Commands --------------------------------------------------------------

void TFrmMain::FlatSpeedButton5Click() {
    UpDown1->setPosition(1);
    UpDown1->setMaximum(1);
    RateBox()->setText(QString::number(kInitialRate));
    UpDown2->setPosition(kInitialRate);
    Label2->setText(QStringLiteral("1"));
    m_document.ClearDocument();
    Canvas().ClearCanvas();
    RedrawCanvas();
    m_document.NewDocument();
}

void TFrmMain::FlatSpeedButton1Click() {
    // Frame numbers are 16-bit: at the largest there is no room for another.
    if (m_document.Count() >= kMaxFrames) return;
    CommitCurrentFrame();
    const int count = m_document.AddFrame();
    UpDown1->setMaximum(count);
    UpDown1->setPosition(UpDown1->maximum());
    Label2->setText(QString::number(UpDown1->position()));
    Canvas().ClearCanvas();
    UpDown1->update();
    RedrawCanvas();
    FlatSpeedButton2->setEnabled(true);
}

void TFrmMain::FlatSpeedButton2Click() {
    if (m_document.Count() <= 1) return;
    const int n = UpDown1->position();
    // What the working bitmap holds is dropped, not committed.
    m_document.RemoveFrame(n);
    if (n > m_document.Count()) UpDown1->setPosition(m_document.Count());
    const int current = UpDown1->position();
    Label2->setText(QString::number(current));
    LoadFrame(current);
    ShowFrameRate(current);
    RedrawCanvas();
    UpDown1->setMaximum(UpDown1->maximum() - 1);
    if (m_document.Count() == 1) FlatSpeedButton2->setEnabled(false);
}

void TFrmMain::UpDown1Changing() { CommitCurrentFrame(); }

void TFrmMain::UpDown1Click() {
    const int n = UpDown1->position();
    Label2->setText(QString::number(n));
    LoadFrame(n);
    ShowFrameRate(n);
    if (UpDown1->maximum() > 1) FlatSpeedButton2->setEnabled(true);
    RedrawCanvas();
    RateBox()->selectAll();
    RateBox()->setFocus();
}

void TFrmMain::FlatSpeedButton7Click() { m_services.SetClipboardImage(ToQImage(Canvas().bitmap())); }

void TFrmMain::FlatSpeedButton8Click() {
    const QImage image = m_services.ClipboardImage();
    if (image.isNull()) return;
    if (PasteFrame(FromQImage(image), Canvas().bitmap())) RedrawCanvas();
}

void TFrmMain::FlatSpeedButton9Click() {
    CommitCurrentFrame();
    if (FrmPreview) m_services.ShowModal(*FrmPreview);
}

void TFrmMain::FlatSpeedButton6Click() {
    if (!FrmInformation) return;
    // Modeless: the dialog enables this window again as it closes.
    setEnabled(false);
    FrmInformation->show();
    FrmInformation->raise();
    FrmInformation->activateWindow();
}

void TFrmMain::Label4Click() {
    const QString title = QString::fromUtf8(kApplicationTitle);
    m_services.ShowMessage(this, title,
                           title + u'\n' + kCopyrightNotice + u'\n' + u'\n' + kWebAddress + u'\n' + kEmailAddress,
                           MessageIcon::None);
}

void TFrmMain::PnlBlackClick(Panel* sender) {
    for (size_t i = 0; i < PaletteButtons.size(); ++i)
        if (PaletteButtons[i] == sender) {
            Canvas().SelectColour(i);
            PnlCurColour->setColour(ToQColor(Canvas().currentColour()));
            return;
        }
}

// ---- Drawing ---------------------------------------------------------------

void TFrmMain::ImgDrawSurfaceMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    const std::optional<TMouseButton> canvasButton = CanvasButton(button);
    if (!canvasButton) return;
    const TCell cell = Canvas().MouseDown(*canvasButton, shift.testFlag(Qt::ControlModifier), x, y);
    StatusBar1->setPanelText(1, QString::fromStdString(CoordsText(cell)));
    ShowCanvasChanges();
}

void TFrmMain::ImgDrawSurfaceMouseMove(Qt::KeyboardModifiers shift, int x, int y) {
    const TCell cell = Canvas().MouseMove(shift.testFlag(Qt::ControlModifier), x, y);
    StatusBar1->setPanelText(1, QString::fromStdString(CoordsText(cell)));
    ShowCanvasChanges();
}

void TFrmMain::ImgDrawSurfaceMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) { Canvas().MouseUp(); }

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
    // A label takes no clicks of its own: a left press and release on it is one.
    if (watched == Label4 && (event->type() == QEvent::MouseButtonPress ||
                              event->type() == QEvent::MouseButtonRelease)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        if (event->type() == QEvent::MouseButtonRelease && Label4->rect().contains(mouse->position().toPoint()))
            RunCommand([this] { Label4Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
