#pragma once
// The preview window: plays the document's frames in a loop at their rates,
// at actual size, while it is shown.
#include <QDialog>
#include <cstdint>

#include "core/Picture.h"

class FramePlacement;
class ImageView;
class Panel;
class QTimer;
class TDocument;

class TFrmPreview : public QDialog {
    Q_OBJECT
public:
    TFrmPreview(const TDocument& document, QWidget* parent = nullptr);

    // One tick of playback; Timer1 calls it every 50 ms while shown.
    void Timer1Timer();

    int64_t elapsed() const { return m_elapsed; }
    int frameIndex() const { return m_frameIndex; }
    QTimer* timer() const { return Timer1; }

    Panel* Panel1;
    ImageView* Image1;
    QTimer* Timer1;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();

    const TDocument& m_document;
    FramePlacement* m_placement;
    Picture m_image{16, 16};
    // Advanced by 4 sixtieths per 50 ms tick (not 3): frames run at about
    // three quarters of their rates, as they always have. Wider than the
    // rates so that a huge rate cannot overflow it.
    int64_t m_elapsed = 0;
    int m_frameIndex = 0;
};
