#include "ui/preview.h"

#include <QHideEvent>
#include <QShowEvent>
#include <QTimer>

#include "core/Conversion.h"
#include "core/Document.h"
#include "core/FrameTiming.h"
#include "ui/FramePlacement.h"
#include "ui/ImageView.h"
#include "ui/Panel.h"
#include "ui/PictureImage.h"
#include "ui/WindowFont.h"

namespace {
constexpr int kOuterWidth = 70;
constexpr int kOuterHeight = 78;
constexpr int kTickMs = 50;
constexpr int kSixtiethsPerTick = 4;
}  // namespace

TFrmPreview::TFrmPreview(const TDocument& document, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_document(document),
      m_placement(new FramePlacement(this)) {
    setObjectName(QStringLiteral("FrmPreview"));
    setWindowTitle(QStringLiteral("Preview"));
    setFont(WindowFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    Panel1 = new Panel(this, Panel::Border::Single);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Image1 = new ImageView(Panel1->client());
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(24, 16, 16, 16);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTickMs);
    // A late tick is not made up: the next one simply follows.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TFrmPreview::Timer1Timer);

    FormCreate();
}

void TFrmPreview::FormCreate() {
    // The outer size, frame included; every showing keeps it.
    m_placement->setOuterSize({kOuterWidth, kOuterHeight});
    m_placement->place();
}

void TFrmPreview::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    m_placement->place();
    FormShow();
}

void TFrmPreview::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Panel1->setGeometry(rect());
}

void TFrmPreview::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) FormClose();
}

void TFrmPreview::FormShow() {
    m_elapsed = 0;
    m_frameIndex = 0;
    Timer1->start();
}

void TFrmPreview::FormClose() { Timer1->stop(); }

void TFrmPreview::Timer1Timer() {
    const int32_t rate = ShownRate(m_document.FrameAt(m_frameIndex + 1).rate);
    m_elapsed += kSixtiethsPerTick;
    if (m_elapsed < rate) return;
    // The counter restarts at 1, not 0, so later frames run a little shorter.
    m_elapsed = 1;
    if (++m_frameIndex >= m_document.Count()) m_frameIndex = 0;
    RenderFrameIcon(*m_document.FrameAt(m_frameIndex + 1).icon, m_image,
                    ToRgb(palette().color(QPalette::Button)));
    Image1->setPicture(&m_image);
    Image1->update();
}
