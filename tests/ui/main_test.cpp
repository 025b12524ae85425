#include "ui/main.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPaintEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <stdexcept>

#include "FakeServices.h"
#include "core/Canvas.h"
#include "core/Conversion.h"
#include "formats/Errors.h"
#include "ui/ImageView.h"
#include "ui/Panel.h"
#include "ui/StatusBar.h"
#include "ui/UpDown.h"
#include "ui/preview.h"

namespace {

constexpr Rgb kBlackRgb = kStandardColours[kBlack];
constexpr Rgb kRedRgb = kStandardColours[kRed];
constexpr Rgb kSilverRgb = kStandardColours[kSilver];
constexpr Rgb kBlueRgb = kStandardColours[kBlue];

// The main window as the program starts it, with fake services.
class MainWindow : public ::testing::Test {
protected:
    test::FakeServices services;
    TFrmMain window{services};
    TFrmPreview preview{window.Document(), &window};

    void SetUp() override {
        window.SetWindows(nullptr, &preview);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    template <typename W = QWidget>
    W* Find(const char* name) {
        W* widget = window.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    ImageView* Surface() { return window.ImgDrawSurface; }
    const Picture& Bitmap() { return window.Canvas().bitmap(); }
    Rgb ButtonFace() { return ToRgbOf(window.palette().color(QPalette::Button)); }
    static Rgb ToRgbOf(const QColor& c) { return {uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())}; }

    // The middle of a cell's painted square on the enlarged view.
    static QPoint CellCentre(int column, int row) { return {21 * (column - 1) + 11, 21 * (row - 1) + 11}; }

    void Click(int column, int row, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(Surface(), button, modifiers, CellCentre(column, row));
    }
    void PickColour(const char* panel) { QTest::mouseClick(Find<Panel>(panel), Qt::LeftButton); }
    void ClickButton(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    QToolButton* FrameArrow(Qt::ArrowType type) {
        for (QToolButton* arrow : window.UpDown1->findChildren<QToolButton*>())
            if (arrow->arrowType() == type) return arrow;
        return nullptr;
    }
    void NextFrame() { QTest::mouseClick(FrameArrow(Qt::UpArrow), Qt::LeftButton); }
    void PreviousFrame() { QTest::mouseClick(FrameArrow(Qt::DownArrow), Qt::LeftButton); }

    // What is on screen, grabbed from the widget.
    static Rgb Grabbed(QWidget* widget, int x, int y) {
        return ToRgbOf(widget->grab().toImage().pixelColor(x, y));
    }

    // A frame's stored image pixel, as the preview would draw it over the key colour.
    Rgb StoredPixel(int frame, int x, int y) {
        Picture picture(16, 16);
        RenderFrameIcon(*window.Document().FrameAt(frame).icon, picture, kKeyColour);
        return picture.at(x, y);
    }
};

// ---- Layout ----------------------------------------------------------------

TEST(MainWindowBeforeShowing, ShowsARateInTheRateBox) {
    test::FakeServices services;
    TFrmMain window{services};
    window.ShowRate(7);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("7"));
}

TEST_F(MainWindow, IsAFixedWindowTitledZintraEditor) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Zintra Editor"));
    EXPECT_EQ(window.size(), QSize(514, 373));
    EXPECT_EQ(window.minimumSize(), QSize(514, 373));
    EXPECT_EQ(window.maximumSize(), QSize(514, 373));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(window.font().pixelSize(), 11);
    EXPECT_EQ(window.backgroundRole(), QPalette::Button);
}

struct Placement {
    const char* name;
    QRect geometry;  // within the parent's client area
};

TEST_F(MainWindow, ControlsSitWhereTheLayoutPutsThem) {
    const Placement placements[] = {
        {"Panel2", {8, 8, 44, 34}},           {"Image1", {7, 7, 16, 16}},
        {"UpDown1", {27, -1, 13, 31}},        {"Label1", {56, 8, 97, 13}},
        {"Label2", {56, 24, 97, 13}},         {"FlatSpeedButton1", {8, 47, 65, 25}},
        {"FlatSpeedButton2", {81, 47, 80, 25}}, {"FlatSpeedButton9", {8, 80, 153, 25}},
        {"Bevel2", {0, 112, 161, 2}},         {"FlatSpeedButton5", {8, 128, 25, 25}},
        {"FlatSpeedButton3", {33, 128, 25, 25}}, {"FlatSpeedButton4", {58, 128, 25, 25}},
        {"FlatSpeedButton6", {83, 128, 25, 25}}, {"FlatSpeedButton7", {108, 128, 25, 25}},
        {"FlatSpeedButton8", {133, 128, 25, 25}}, {"Label3", {8, 168, 69, 13}},
        {"PnlCurColour", {82, 168, 76, 17}},  {"Panel3", {8, 192, 153, 49}},
        {"Label8", {8, 247, 73, 13}},         {"Edit5", {8, 260, 137, 21}},
        {"UpDown2", {145, 260, 17, 21}},      {"Label4", {0, 336, 169, 13}},
        {"Panel1", {167, 8, 341, 341}},       {"ImgDrawSurface", {0, 0, 337, 337}},
        {"StatusBar1", {0, 354, 514, 19}},
    };
    for (const Placement& p : placements) {
        if (QWidget* w = Find(p.name)) {
            EXPECT_EQ(w->geometry(), p.geometry) << p.name;
        }
    }
}

TEST_F(MainWindow, ChildrenOfPanelsAreInsideTheirBorder) {
    // The drawing surface fills Panel1 inside its two-pixel sunken border.
    EXPECT_EQ(Surface()->mapTo(window.Panel1, QPoint(0, 0)), QPoint(2, 2));
    EXPECT_EQ(window.Image1->mapTo(window.Panel2, QPoint(0, 0)), QPoint(9, 9));
    EXPECT_EQ(window.Image1->mapTo(&window, QPoint(0, 0)), QPoint(17, 17));
}

TEST_F(MainWindow, ControlsCarryTheirTexts) {
    EXPECT_EQ(Find<QLabel>("Label1")->text(), QStringLiteral("Current Frame:"));
    EXPECT_EQ(Find<QLabel>("Label2")->text(), QStringLiteral("1"));
    EXPECT_TRUE(Find<QLabel>("Label2")->font().bold());
    EXPECT_EQ(Find<QLabel>("Label3")->text(), QStringLiteral("Current colour:"));
    EXPECT_EQ(Find<QLabel>("Label8")->text(), QStringLiteral("Frame's Rate:"));
    EXPECT_EQ(Find<QLabel>("Label4")->text(), QStringLiteral("© 2026 Zintra Editor developers"));
    EXPECT_TRUE(Find<QLabel>("Label4")->alignment().testFlag(Qt::AlignHCenter));
    EXPECT_EQ(Find<QPushButton>("FlatSpeedButton1")->text(), QStringLiteral("Add Frame"));
    EXPECT_EQ(Find<QPushButton>("FlatSpeedButton2")->text(), QStringLiteral("Remove Frame"));
    EXPECT_EQ(Find<QPushButton>("FlatSpeedButton9")->text(), QStringLiteral("Preview Animation"));
    EXPECT_EQ(Find<QLineEdit>("Edit5")->text(), QStringLiteral("10"));
}

TEST_F(MainWindow, CopyrightNoticeIsDrawnInTheButtonShadowColour) {
    // A label draws its text in the colour of its foreground role.
    const QLabel* label = window.Label4;
    EXPECT_EQ(label->palette().color(label->foregroundRole()), window.palette().color(QPalette::Dark));
}

struct HintCase {
    const char* name;
    const char* hint;
    bool tooltip;
};

TEST_F(MainWindow, ControlsCarryTheirHintsAndTooltips) {
    const QString rate = QStringLiteral("Frame's Rate (in 1/60th of a second)");
    const HintCase hints[] = {
        {"Panel2", "Current Frame", true},
        {"FlatSpeedButton1", "New Frame", true},
        {"FlatSpeedButton2", "Delete Frame", true},
        {"FlatSpeedButton9", "", false},
        {"FlatSpeedButton5", "New ZN File", true},
        {"FlatSpeedButton3", "Open ZN File", true},
        {"FlatSpeedButton4", "Save ZN File", true},
        {"FlatSpeedButton6", "Animation Information", true},
        {"FlatSpeedButton7", "Copy Current Frame", true},
        {"FlatSpeedButton8", "Paste Frame", true},
        {"Panel3", "Click to select a colour.", false},
        {"Edit5", "Frame's Rate (in 1/60th of a second)", true},
        {"UpDown2", "Frame's Rate (in 1/60th of a second)", true},
        {"ImgDrawSurface", "Right-click to erase.  Hold down Ctrl and click to fill a region.", false},
        {"PnlRed", "", false},
        {"Label4", "", false},
    };
    for (const HintCase& h : hints) {
        QWidget* w = Find(h.name);
        if (!w) continue;
        EXPECT_EQ(w->statusTip(), QString::fromUtf8(h.hint)) << h.name;
        EXPECT_EQ(w->toolTip(), h.tooltip ? QString::fromUtf8(h.hint) : QString()) << h.name;
    }
}

TEST_F(MainWindow, TooltipOfTheFramePanelShowsOverItsChildren) {
    // A child without a tooltip passes the request on to its parent.
    QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), window.Image1->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(window.Image1, &event);
    EXPECT_TRUE(window.Image1->toolTip().isEmpty());
    EXPECT_EQ(window.Panel2->toolTip(), QStringLiteral("Current Frame"));
}

TEST_F(MainWindow, GlyphButtonsAreFlatWithGlyphsOfTheirSize) {
    const std::pair<const char*, QSize> glyphs[] = {
        {"FlatSpeedButton5", {13, 15}}, {"FlatSpeedButton3", {17, 15}}, {"FlatSpeedButton4", {16, 16}},
        {"FlatSpeedButton6", {16, 16}}, {"FlatSpeedButton7", {19, 17}}, {"FlatSpeedButton8", {17, 15}},
    };
    for (const auto& [name, size] : glyphs) {
        auto* button = Find<QToolButton>(name);
        if (!button) continue;
        EXPECT_TRUE(button->autoRaise()) << name;
        EXPECT_EQ(button->iconSize(), size) << name;
        EXPECT_FALSE(button->icon().isNull()) << name;
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << name;
    }
}

TEST_F(MainWindow, PalettePanelsHoldTheirColoursInTwoRows) {
    struct Swatch {
        const char* name;
        QRect geometry;
        Rgb colour;
    };
    const Swatch swatches[] = {
        {"PnlWhite", {0, 4, 17, 17}, {255, 255, 255}},   {"PnlGrey", {19, 4, 17, 17}, {192, 192, 192}},
        {"PnlRed", {38, 4, 17, 17}, {255, 0, 0}},        {"PnlGreen", {57, 4, 17, 17}, {0, 255, 0}},
        {"PnlYellow", {76, 4, 17, 17}, {255, 255, 0}},   {"PnlBlue", {95, 4, 17, 17}, {0, 0, 255}},
        {"PnlPurple", {114, 4, 17, 17}, {255, 0, 255}},  {"PnlCyan", {133, 4, 17, 17}, {0, 255, 255}},
        {"PnlBlack", {0, 23, 17, 17}, {0, 0, 0}},        {"PnlDGrey", {19, 23, 17, 17}, {128, 128, 128}},
        {"PnlDRed", {38, 23, 17, 17}, {128, 0, 0}},      {"PnlDGreen", {57, 23, 17, 17}, {0, 128, 0}},
        {"PnlDYellow", {76, 23, 17, 17}, {128, 128, 0}}, {"PnlDBlue", {95, 23, 17, 17}, {0, 0, 128}},
        {"PnlDPurple", {114, 23, 17, 17}, {128, 0, 128}}, {"PnlDCyan", {133, 23, 17, 17}, {0, 128, 128}},
    };
    for (const Swatch& s : swatches) {
        auto* panel = Find<Panel>(s.name);
        if (!panel) continue;
        EXPECT_EQ(panel->parentWidget()->parentWidget(), window.Panel3) << s.name;
        EXPECT_EQ(panel->geometry(), s.geometry) << s.name;
        EXPECT_EQ(ToRgbOf(panel->colour()), s.colour) << s.name;
        EXPECT_EQ(Grabbed(panel, 8, 8), s.colour) << s.name;
    }
}

TEST_F(MainWindow, CoordinatesPanelRunsFrom400ToTheRightEdge) {
    ASSERT_EQ(window.StatusBar1->panelCount(), 2);
    QLabel* coords = window.StatusBar1->panel(1);
    EXPECT_EQ(window.StatusBar1->panel(0)->x(), 0);
    EXPECT_LE(window.StatusBar1->panel(0)->width(), 400);
    EXPECT_EQ(coords->x(), 400);
    EXPECT_EQ(coords->geometry().right(), window.StatusBar1->width() - 1);
    QTest::mouseMove(Surface(), QPoint(336, 336));
    ASSERT_EQ(window.StatusText(1), QStringLiteral("Coords: 16, 16"));
    EXPECT_LE(QFontMetrics(coords->font()).horizontalAdvance(coords->text()) + coords->indent(),
              coords->contentsRect().width());
}

// ---- Start --------------------------------------------------------------

TEST_F(MainWindow, StartsWithOneBlankFrame) {
    EXPECT_EQ(window.Document().Count(), 1);
    EXPECT_EQ(window.Document().FrameAt(1).rate, 50);
    EXPECT_EQ(window.Document().categoryIndex, kNoCategory);
    EXPECT_EQ(window.UpDown1->position(), 1);
    EXPECT_EQ(window.UpDown1->maximum(), 1);
    EXPECT_EQ(window.Label2->text(), QStringLiteral("1"));
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("10"));
    EXPECT_EQ(window.UpDown2->position(), 10);
    EXPECT_EQ(window.UpDown2->minimum(), 1);
    EXPECT_EQ(window.UpDown2->maximum(), 32736);
    EXPECT_FALSE(window.FlatSpeedButton2->isEnabled());
    EXPECT_TRUE(window.FlatSpeedButton8->isEnabled());
    EXPECT_EQ(Bitmap(), Picture(16, 16, kKeyColour));
    EXPECT_EQ(ToRgbOf(window.PnlCurColour->colour()), kBlackRgb);
}

TEST_F(MainWindow, StartingDrawsTheEmptyGridAndActualSizeView) {
    EXPECT_EQ(Grabbed(Surface(), 11, 11), kKeyColour);
    EXPECT_EQ(Grabbed(Surface(), 21, 100), kGridColour);
    EXPECT_EQ(Grabbed(Surface(), 100, 315), kGridColour);
    EXPECT_EQ(Grabbed(Surface(), 0, 0), kKeyColour);
    EXPECT_EQ(Grabbed(window.Image1, 5, 5), ButtonFace());
}

// ---- Status bar hints ----------------------------------------------------

TEST_F(MainWindow, StatusPanelShowsTheHintUnderTheMouse) {
    QTest::mouseMove(window.FlatSpeedButton1, QPoint(5, 5));
    EXPECT_EQ(window.StatusText(0), QStringLiteral("New Frame"));
    QTest::mouseMove(Find("PnlRed"), QPoint(8, 8));
    EXPECT_EQ(window.StatusText(0), QStringLiteral("Click to select a colour."));
    QTest::mouseMove(window.UpDown1, QPoint(5, 5));
    EXPECT_EQ(window.StatusText(0), QStringLiteral("Current Frame"));
    QTest::mouseMove(Surface(), QPoint(50, 50));
    EXPECT_EQ(window.StatusText(0), QStringLiteral("Right-click to erase.  Hold down Ctrl and click to fill a region."));
    QTest::mouseMove(window.Label1, QPoint(5, 5));
    EXPECT_EQ(window.StatusText(0), QString());
    ASSERT_FALSE(window.FlatSpeedButton2->isEnabled());
    QTest::mouseMove(window.FlatSpeedButton2, QPoint(5, 5));
    EXPECT_EQ(window.StatusText(0), QStringLiteral("Delete Frame"));
}

TEST_F(MainWindow, AutomaticHintsCanBeSwitchedOff) {
    QTest::mouseMove(window.FlatSpeedButton1, QPoint(5, 5));
    window.SetAutoHints(false);
    EXPECT_FALSE(window.AutoHints());
    QTest::mouseMove(window.FlatSpeedButton7, QPoint(5, 5));
    EXPECT_EQ(window.StatusText(0), QStringLiteral("New Frame"));
    window.SetAutoHints(true);
    QTest::mouseMove(window.FlatSpeedButton8, QPoint(5, 5));
    EXPECT_EQ(window.StatusText(0), QStringLiteral("Paste Frame"));
}

// ---- Drawing -------------------------------------------------------------

TEST_F(MainWindow, LeftClickPaintsTheCellInTheCurrentColour) {
    Click(3, 12);
    EXPECT_EQ(Bitmap().at(2, 11), kBlackRgb);
    EXPECT_EQ(Bitmap().at(3, 11), kKeyColour);
    EXPECT_EQ(window.StatusText(1), QStringLiteral("Coords: 3, 12"));
    EXPECT_EQ(Grabbed(Surface(), 21 * 2 + 1, 21 * 11 + 1), kBlackRgb);
    EXPECT_EQ(Grabbed(Surface(), 21 * 2 + 20, 21 * 11 + 20), kBlackRgb);
    EXPECT_EQ(Grabbed(Surface(), 21 * 3, 21 * 11 + 5), kGridColour);
    EXPECT_EQ(Grabbed(window.Image1, 2, 11), kBlackRgb);
    EXPECT_EQ(Grabbed(window.Image1, 3, 11), ButtonFace());
}

TEST_F(MainWindow, PlottingRepaintsOnlyTheCellAndItsPixel) {
    // Records the areas each view is asked to repaint.
    struct PaintLog : QObject {
        QRegion enlarged, actual;
        QWidget *surface, *image;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                const QRegion& region = static_cast<QPaintEvent*>(event)->region();
                if (watched == surface) enlarged += region;
                if (watched == image) actual += region;
            }
            return false;
        }
    } log;
    log.surface = Surface();
    log.image = window.Image1;
    Surface()->installEventFilter(&log);
    window.Image1->installEventFilter(&log);
    Click(3, 12);
    QApplication::processEvents();
    EXPECT_EQ(log.enlarged.boundingRect(), QRect(43, 232, 20, 20));
    EXPECT_EQ(log.actual.boundingRect(), QRect(2, 11, 1, 1));
}

TEST_F(MainWindow, PaletteClickChangesTheCurrentColour) {
    PickColour("PnlGrey");
    EXPECT_EQ(ToRgbOf(window.PnlCurColour->colour()), kSilverRgb);
    EXPECT_EQ(Grabbed(window.PnlCurColour, 30, 8), kSilverRgb);
    Click(1, 1);
    EXPECT_EQ(Bitmap().at(0, 0), kSilverRgb);
}

TEST_F(MainWindow, MiddleButtonDrawsToo) {
    PickColour("PnlBlue");
    Click(16, 16, Qt::MiddleButton);
    EXPECT_EQ(Bitmap().at(15, 15), kBlueRgb);
}

TEST_F(MainWindow, DragPaintsEveryCellUnderTheMouseUntilRelease) {
    PickColour("PnlRed");
    QTest::mousePress(Surface(), Qt::LeftButton, Qt::NoModifier, CellCentre(1, 2));
    QTest::mouseMove(Surface(), CellCentre(2, 2));
    QTest::mouseMove(Surface(), CellCentre(3, 2));
    QTest::mouseRelease(Surface(), Qt::LeftButton, Qt::NoModifier, CellCentre(3, 2));
    QTest::mouseMove(Surface(), CellCentre(5, 2));
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Bitmap().at(x, 1), kRedRgb) << x;
    EXPECT_EQ(Bitmap().at(4, 1), kKeyColour);
    EXPECT_EQ(window.StatusText(1), QStringLiteral("Coords: 5, 2"));
    EXPECT_EQ(Grabbed(Surface(), CellCentre(2, 2).x(), CellCentre(2, 2).y()), kRedRgb);
}

TEST_F(MainWindow, FastStrokeLeavesNoGaps) {
    // One reported move across six cells, with the pencil, then the eraser.
    const auto stroke = [this](Qt::MouseButton button) {
        QTest::mousePress(Surface(), button, Qt::NoModifier, CellCentre(1, 3));
        QTest::mouseMove(Surface(), CellCentre(7, 3));
        QTest::mouseRelease(Surface(), button, Qt::NoModifier, CellCentre(7, 3));
    };
    stroke(Qt::LeftButton);
    for (int x = 0; x < 7; ++x) EXPECT_EQ(Bitmap().at(x, 2), kBlackRgb) << x;
    EXPECT_EQ(Grabbed(Surface(), CellCentre(4, 3).x(), CellCentre(4, 3).y()), kBlackRgb);
    stroke(Qt::RightButton);
    EXPECT_EQ(Bitmap(), Picture(16, 16, kKeyColour));
}

TEST_F(MainWindow, DragBeyondTheRightEdgePaintsTheLastColumn) {
    QTest::mousePress(Surface(), Qt::LeftButton, Qt::NoModifier, CellCentre(14, 4));
    QTest::mouseMove(Surface(), QPoint(400, CellCentre(14, 4).y()));
    QTest::mouseRelease(Surface(), Qt::LeftButton, Qt::NoModifier, QPoint(400, CellCentre(14, 4).y()));
    EXPECT_EQ(Bitmap().at(15, 3), kBlackRgb);
    EXPECT_EQ(window.StatusText(1), QStringLiteral("Coords: 16, 4"));
}

TEST_F(MainWindow, MovingWithoutAButtonOnlyShowsTheCoordinates) {
    QTest::mouseMove(Surface(), QPoint(2, 330));
    EXPECT_EQ(window.StatusText(1), QStringLiteral("Coords: 1, 16"));
    EXPECT_EQ(Bitmap(), Picture(16, 16, kKeyColour));
}

TEST_F(MainWindow, RightClickErasesToTransparent) {
    Click(5, 5);
    Click(5, 5, Qt::RightButton);
    EXPECT_EQ(Bitmap().at(4, 4), kKeyColour);
    EXPECT_EQ(Grabbed(Surface(), CellCentre(5, 5).x(), CellCentre(5, 5).y()), kKeyColour);
    EXPECT_EQ(Grabbed(window.Image1, 4, 4), ButtonFace());
    // A later left stroke draws again in the current colour.
    Click(6, 5);
    EXPECT_EQ(Bitmap().at(5, 4), kBlackRgb);
}

TEST_F(MainWindow, CtrlClickFillsTheRegion) {
    PickColour("PnlRed");
    for (int row = 1; row <= 16; ++row) Click(8, row);  // a red wall in column 8
    PickColour("PnlBlue");
    Click(2, 2, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(Bitmap().at(0, 0), kBlueRgb);
    EXPECT_EQ(Bitmap().at(6, 15), kBlueRgb);
    EXPECT_EQ(Bitmap().at(7, 5), kRedRgb);
    EXPECT_EQ(Bitmap().at(8, 5), kKeyColour);
    EXPECT_EQ(Grabbed(Surface(), CellCentre(1, 16).x(), CellCentre(1, 16).y()), kBlueRgb);
    EXPECT_EQ(Grabbed(window.Image1, 0, 15), kBlueRgb);
    EXPECT_EQ(Grabbed(window.Image1, 15, 15), ButtonFace());
}

TEST_F(MainWindow, CtrlRightClickEmptiesTheRegion) {
    PickColour("PnlRed");
    Click(1, 1, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(Bitmap(), Picture(16, 16, kRedRgb));
    Click(4, 4, Qt::RightButton, Qt::ControlModifier);
    EXPECT_EQ(Bitmap(), Picture(16, 16, kKeyColour));
    EXPECT_EQ(Grabbed(window.Image1, 9, 9), ButtonFace());
}

// ---- Frames --------------------------------------------------------------

TEST_F(MainWindow, AddFrameCommitsAppendsAndShowsTheNewFrame) {
    PickColour("PnlRed");
    Click(1, 1);
    ClickButton(window.FlatSpeedButton1);
    Click(2, 2);
    ClickButton(window.FlatSpeedButton1);
    EXPECT_EQ(window.Document().Count(), 3);
    EXPECT_EQ(window.UpDown1->position(), 3);
    EXPECT_EQ(window.UpDown1->maximum(), 3);
    EXPECT_EQ(window.Label2->text(), QStringLiteral("3"));
    EXPECT_TRUE(window.FlatSpeedButton2->isEnabled());
    EXPECT_EQ(Bitmap(), Picture(16, 16, kKeyColour));
    EXPECT_EQ(window.Document().FrameAt(1).rate, 10);
    EXPECT_EQ(window.Document().FrameAt(2).rate, 10);
    EXPECT_EQ(window.Document().FrameAt(3).rate, 50);
    EXPECT_EQ(StoredPixel(1, 0, 0), kRedRgb);
    EXPECT_EQ(StoredPixel(1, 1, 1), kKeyColour);
    EXPECT_EQ(StoredPixel(2, 1, 1), kRedRgb);
    EXPECT_EQ(StoredPixel(2, 0, 0), kKeyColour);
    EXPECT_EQ(Grabbed(Surface(), CellCentre(2, 2).x(), CellCentre(2, 2).y()), kKeyColour);
}

TEST_F(MainWindow, AddFrameFromAnEarlierFrameAppendsAtTheEnd) {
    ClickButton(window.FlatSpeedButton1);
    Click(1, 1);  // frame 2
    ClickButton(window.FlatSpeedButton1);
    Click(1, 2);  // frame 3
    PreviousFrame();
    PreviousFrame();
    ASSERT_EQ(window.UpDown1->position(), 1);
    ClickButton(window.FlatSpeedButton1);
    EXPECT_EQ(window.Document().Count(), 4);
    EXPECT_EQ(window.UpDown1->position(), 4);
    EXPECT_EQ(StoredPixel(2, 0, 0), kBlackRgb);
    EXPECT_EQ(StoredPixel(3, 0, 1), kBlackRgb);
    EXPECT_EQ(StoredPixel(3, 0, 0), kKeyColour);
}

TEST_F(MainWindow, AddFrameDoesNothingAtTheLargestFrameNumber) {
    while (window.Document().Count() < kMaxFrames) window.Document().AppendFrame(std::make_unique<TFrameIcon>(), 10);
    window.ShowFramePosition(1, kMaxFrames);
    Click(1, 1);
    ClickButton(window.FlatSpeedButton1);
    EXPECT_EQ(window.Document().Count(), kMaxFrames);
    EXPECT_EQ(window.UpDown1->position(), 1);
    EXPECT_EQ(Bitmap().at(0, 0), kBlackRgb);
    EXPECT_TRUE(window.Document().FrameAt(1).icon->empty());
}

TEST_F(MainWindow, ArrowsMoveBetweenFramesCommittingFirst) {
    ClickButton(window.FlatSpeedButton1);
    PickColour("PnlRed");
    Click(4, 4);  // frame 2, not yet committed
    PreviousFrame();
    EXPECT_EQ(window.UpDown1->position(), 1);
    EXPECT_EQ(window.Label2->text(), QStringLiteral("1"));
    EXPECT_EQ(StoredPixel(2, 3, 3), kRedRgb);
    EXPECT_EQ(Bitmap(), Picture(16, 16, kKeyColour));
    EXPECT_TRUE(window.FlatSpeedButton2->isEnabled());
    EXPECT_TRUE(window.Edit5->hasSelectedText());
    NextFrame();
    EXPECT_EQ(window.UpDown1->position(), 2);
    EXPECT_EQ(Bitmap().at(3, 3), kRedRgb);
    EXPECT_EQ(Grabbed(Surface(), CellCentre(4, 4).x(), CellCentre(4, 4).y()), kRedRgb);
    EXPECT_EQ(Grabbed(window.Image1, 3, 3), kRedRgb);
}

TEST_F(MainWindow, UpArrowOnTheLastFrameLoadsNothing) {
    ClickButton(window.FlatSpeedButton1);
    Click(7, 7);
    window.Edit5->setText(QStringLiteral("33"));
    NextFrame();
    EXPECT_EQ(window.UpDown1->position(), 2);
    EXPECT_EQ(Bitmap().at(6, 6), kBlackRgb);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("33"));
    // The arrow press still committed the frame.
    EXPECT_EQ(window.Document().FrameAt(2).rate, 33);
}

TEST_F(MainWindow, ShowingAFrameShowsItsRate) {
    window.Edit5->setText(QStringLiteral("1,234"));
    ClickButton(window.FlatSpeedButton1);
    window.Edit5->setText(QStringLiteral("7"));
    PreviousFrame();
    EXPECT_EQ(window.Document().FrameAt(1).rate, 1234);
    EXPECT_EQ(window.Document().FrameAt(2).rate, 7);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("1234"));
    EXPECT_EQ(window.UpDown2->position(), 1234);
}

TEST_F(MainWindow, RateThatIsNoNumberCommitsThePreviousPosition) {
    window.UpDown2->step(UpDown::Button::Next);  // the spinner now holds 11
    ASSERT_EQ(window.Edit5->text(), QStringLiteral("11"));
    ClickButton(window.FlatSpeedButton1);
    window.Edit5->setText(QStringLiteral("abc"));
    PreviousFrame();
    EXPECT_EQ(window.Document().FrameAt(2).rate, 11);
}

TEST_F(MainWindow, CommittingShowsTheRateThatWasUsed) {
    const std::pair<const char*, const char*> cases[] = {{"abc", "10"}, {"40000", "10"}, {"", "10"}, {"1,234", "1,234"}};
    for (const auto& [typed, shown] : cases) {
        window.Edit5->setText(QString::fromLatin1(typed));
        ClickButton(window.FlatSpeedButton1);
        EXPECT_EQ(window.Edit5->text(), QString::fromLatin1(shown)) << typed;
        EXPECT_EQ(window.Document().FrameAt(window.Document().Count() - 1).rate,
                  QLocale().toInt(QString::fromLatin1(shown))) << typed;
        window.Edit5->setText(QStringLiteral("10"));
    }
}

TEST_F(MainWindow, RateOutsideTheRangeCommitsThePreviousPosition) {
    window.Edit5->setText(QStringLiteral("40000"));
    ClickButton(window.FlatSpeedButton1);
    EXPECT_EQ(window.Document().FrameAt(1).rate, 10);
    window.Edit5->setText(QStringLiteral("32736"));
    PreviousFrame();
    EXPECT_EQ(window.Document().FrameAt(2).rate, 32736);
}

TEST_F(MainWindow, RateFromAFileBeyondTheSpinnersRangeIsShownInFull) {
    window.ShowRate(40000);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("40000"));
    EXPECT_GE(window.UpDown2->position(), 1);
    EXPECT_LE(window.UpDown2->position(), 32736);
    window.ShowRate(-3);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("-3"));
    EXPECT_EQ(window.UpDown2->position(), 1);
}

TEST_F(MainWindow, RemovingTheLastFrameMakesThePreviousOneCurrent) {
    window.Edit5->setText(QStringLiteral("21"));
    Click(1, 1);
    ClickButton(window.FlatSpeedButton1);
    ClickButton(window.FlatSpeedButton1);
    ClickButton(window.FlatSpeedButton2);
    EXPECT_EQ(window.Document().Count(), 2);
    EXPECT_EQ(window.UpDown1->position(), 2);
    EXPECT_EQ(window.UpDown1->maximum(), 2);
    EXPECT_EQ(window.Label2->text(), QStringLiteral("2"));
    EXPECT_TRUE(window.FlatSpeedButton2->isEnabled());
    ClickButton(window.FlatSpeedButton2);
    EXPECT_EQ(window.Document().Count(), 1);
    EXPECT_EQ(window.UpDown1->maximum(), 1);
    EXPECT_FALSE(window.FlatSpeedButton2->isEnabled());
    EXPECT_EQ(Bitmap().at(0, 0), kBlackRgb);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("21"));
}

TEST_F(MainWindow, RemovingTheFirstFrameShowsTheNextAsFrameOne) {
    ClickButton(window.FlatSpeedButton1);
    PickColour("PnlRed");
    Click(9, 9);
    window.Edit5->setText(QStringLiteral("44"));
    ClickButton(window.FlatSpeedButton1);
    PreviousFrame();
    PreviousFrame();
    ClickButton(window.FlatSpeedButton2);
    EXPECT_EQ(window.UpDown1->position(), 1);
    EXPECT_EQ(window.UpDown1->maximum(), 2);
    EXPECT_EQ(window.Label2->text(), QStringLiteral("1"));
    EXPECT_EQ(Bitmap().at(8, 8), kRedRgb);
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("44"));
    EXPECT_EQ(Grabbed(Surface(), CellCentre(9, 9).x(), CellCentre(9, 9).y()), kRedRgb);
}

TEST_F(MainWindow, RemoveFrameDropsUncommittedStrokes) {
    ClickButton(window.FlatSpeedButton1);
    PreviousFrame();
    Click(3, 3);  // frame 1, never committed
    ClickButton(window.FlatSpeedButton2);
    EXPECT_EQ(window.Document().Count(), 1);
    EXPECT_EQ(Bitmap(), Picture(16, 16, kKeyColour));
}

TEST_F(MainWindow, RemoveFrameWithOneFrameDoesNothing) {
    Click(3, 3);
    window.RunCommand([this] { window.FlatSpeedButton2Click(); });
    EXPECT_EQ(window.Document().Count(), 1);
    EXPECT_EQ(Bitmap().at(2, 2), kBlackRgb);
}

TEST_F(MainWindow, NewStartsAFreshDocumentAndKeepsRemoveFrameAsItWas) {
    window.Document().title = "Old";
    Click(3, 3);
    ClickButton(window.FlatSpeedButton1);
    window.Edit5->setText(QStringLiteral("99"));
    ClickButton(window.FlatSpeedButton5);
    EXPECT_EQ(window.Document().Count(), 1);
    EXPECT_EQ(window.Document().title, "");
    EXPECT_EQ(window.UpDown1->position(), 1);
    EXPECT_EQ(window.UpDown1->maximum(), 1);
    EXPECT_EQ(window.Label2->text(), QStringLiteral("1"));
    EXPECT_EQ(window.Edit5->text(), QStringLiteral("10"));
    EXPECT_EQ(window.UpDown2->position(), 10);
    EXPECT_EQ(Bitmap(), Picture(16, 16, kKeyColour));
    EXPECT_TRUE(window.FlatSpeedButton2->isEnabled());
    EXPECT_EQ(Grabbed(Surface(), CellCentre(3, 3).x(), CellCentre(3, 3).y()), kKeyColour);
    // The drawing colour is not reset.
    PickColour("PnlRed");
    ClickButton(window.FlatSpeedButton5);
    EXPECT_EQ(ToRgbOf(window.PnlCurColour->colour()), kRedRgb);
}

// ---- Clipboard -----------------------------------------------------------

TEST_F(MainWindow, CopyPutsTheWorkingBitmapOnTheClipboard) {
    PickColour("PnlRed");
    Click(2, 1);
    ClickButton(window.FlatSpeedButton7);
    ASSERT_EQ(services.clipboard.size(), QSize(16, 16));
    EXPECT_EQ(services.clipboard.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(services.clipboard.pixel(0, 0), qRgb(240, 240, 240));
    EXPECT_EQ(window.Document().FrameAt(1).rate, 50);  // nothing committed
}

TEST_F(MainWindow, CopiedFramePastesBackIntoAnotherFrame) {
    PickColour("PnlDCyan");
    Click(16, 1);
    ClickButton(window.FlatSpeedButton7);
    ClickButton(window.FlatSpeedButton1);
    ClickButton(window.FlatSpeedButton8);
    EXPECT_EQ(Bitmap().at(15, 0), kStandardColours[kTeal]);
    EXPECT_EQ(Bitmap().at(0, 0), kKeyColour);
    EXPECT_EQ(Grabbed(window.Image1, 15, 0), kStandardColours[kTeal]);
    EXPECT_TRUE(window.Document().FrameAt(2).icon->empty());  // changes at the next commit
}

TEST_F(MainWindow, PasteReducesToTheStandardColours) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(qRgb(250, 10, 10));
    image.setPixel(3, 4, qRgb(200, 200, 200));
    services.clipboard = image;
    ClickButton(window.FlatSpeedButton8);
    EXPECT_EQ(Bitmap().at(0, 0), kRedRgb);
    EXPECT_EQ(Bitmap().at(3, 4), kSilverRgb);
}

TEST_F(MainWindow, PasteOfATransparentPictureGivesTransparentPixels) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(qRgba(0, 0, 255, 0));
    image.setPixel(5, 5, qRgba(0, 0, 255, 255));
    services.clipboard = image;
    Click(1, 1);
    ClickButton(window.FlatSpeedButton8);
    EXPECT_EQ(Bitmap().at(0, 0), kKeyColour);
    EXPECT_EQ(Bitmap().at(5, 5), kBlueRgb);
}

TEST_F(MainWindow, PasteOfASmallPictureEnlargesIt) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 0));
    image.setPixel(1, 0, qRgb(255, 255, 0));
    services.clipboard = image;
    ClickButton(window.FlatSpeedButton8);
    EXPECT_EQ(Bitmap().at(2, 0), kStandardColours[kYellow]);
    EXPECT_EQ(Bitmap().at(3, 1), kStandardColours[kYellow]);
    EXPECT_EQ(Bitmap().at(4, 0), kBlackRgb);
}

TEST_F(MainWindow, PasteWithoutAPictureDoesNothing) {
    Click(1, 1);
    ClickButton(window.FlatSpeedButton8);
    EXPECT_EQ(Bitmap().at(0, 0), kBlackRgb);
    EXPECT_TRUE(services.messages.empty());
}

// ---- Preview, about and errors -------------------------------------------

TEST_F(MainWindow, PreviewCommitsThenShowsThePreviewModally) {
    Click(6, 6);
    window.Edit5->setText(QStringLiteral("4"));
    int ticks = 0;
    services.whileModal = [&](QDialog& dialog) {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(preview.timer()->isActive());
        preview.Timer1Timer();
        ++ticks;
    };
    ClickButton(window.FlatSpeedButton9);
    ASSERT_EQ(services.modalWindows.size(), 1u);
    EXPECT_EQ(services.modalWindows[0], &preview);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(window.Document().FrameAt(1).rate, 4);
    EXPECT_EQ(StoredPixel(1, 5, 5), kBlackRgb);
    // The one frame's time was up at the first tick, so it was drawn.
    ASSERT_NE(preview.Image1->picture(), nullptr);
    EXPECT_EQ(preview.Image1->picture()->at(5, 5), kBlackRgb);
    EXPECT_FALSE(preview.isVisible());
    EXPECT_FALSE(window.FlatSpeedButton2->isEnabled());
}

TEST_F(MainWindow, LabelClickShowsTheAboutMessage) {
    QTest::mouseClick(window.Label4, Qt::LeftButton, Qt::NoModifier, QPoint(80, 6));
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("Zintra Editor"));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::None);
    const QStringList lines = services.messages[0].text.split(u'\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("Zintra Editor"));
    EXPECT_EQ(lines[1], window.Label4->text());
    EXPECT_EQ(lines[2], QString());
    EXPECT_EQ(lines[3], QStringLiteral("https://zintra-editor.example.org"));
    EXPECT_EQ(lines[4], QStringLiteral("editor@zintra-editor.example.org"));
}

TEST_F(MainWindow, ErrorsOfACommandReachTheErrorReport) {
    services.clipboardWriteFails = [] { throw std::runtime_error("Clipboard is busy"); };
    ClickButton(window.FlatSpeedButton7);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].caption, QStringLiteral("Zintra Editor"));
    EXPECT_EQ(services.messages[0].text, QStringLiteral("Clipboard is busy."));
    EXPECT_EQ(services.messages[0].icon, MessageIcon::Error);
}

TEST_F(MainWindow, EditorErrorsKeepTheirOwnFullStop) {
    services.clipboardWriteFails = [] { throw EZNError(messages::kNotZN); };
    ClickButton(window.FlatSpeedButton7);
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, QStringLiteral("This is not a valid ZN File."));
}

TEST_F(MainWindow, CommandsStillWorkAfterAnError) {
    services.clipboardWriteFails = [] { throw std::runtime_error("Clipboard is busy"); };
    ClickButton(window.FlatSpeedButton7);
    ClickButton(window.FlatSpeedButton1);
    EXPECT_EQ(window.Document().Count(), 2);
}

TEST_F(MainWindow, ClosingReleasesTheBitmapAndTheDocument) {
    window.close();
    EXPECT_FALSE(window.HasCanvas());
    EXPECT_EQ(window.Document().Count(), 0);
    EXPECT_EQ(Surface()->picture(), nullptr);
}

}  // namespace
