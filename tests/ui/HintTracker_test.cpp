#include "ui/HintTracker.h"

#include <QApplication>
#include <QEnterEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A window with an area that has a hint, two children without one, and a
// control with its own hint.
struct HintWindow {
    QWidget window;
    QWidget* area = new QWidget(&window);
    QWidget* inner = new QWidget(area);
    QWidget* innermost = new QWidget(inner);
    QWidget* button = new QWidget(&window);
    QWidget* plain = new QWidget(&window);
    QString shown = QStringLiteral("(nothing yet)");
    HintTracker* tracker = new HintTracker(&window, [this](const QString& hint) { shown = hint; });

    HintWindow() {
        area->setStatusTip(QStringLiteral("Click to select a colour."));
        button->setStatusTip(QStringLiteral("New Frame"));
    }
};

void Enter(QWidget* widget) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(widget, &event);
}

void Leave(QWidget* widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

TEST(HintTracker, ShowsTheControlsOwnHint) {
    HintWindow w;
    Enter(w.button);
    EXPECT_EQ(w.shown, QStringLiteral("New Frame"));
}

TEST(HintTracker, ControlWithoutHintShowsItsNearestParentsHint) {
    HintWindow w;
    Enter(w.innermost);
    EXPECT_EQ(w.shown, QStringLiteral("Click to select a colour."));
}

TEST(HintTracker, ControlWithoutHintAnywhereShowsNothing) {
    HintWindow w;
    Enter(w.button);
    Enter(w.plain);
    EXPECT_EQ(w.shown, QString());
}

TEST(HintTracker, LeavingAControlShowsItsParentsHint) {
    HintWindow w;
    Enter(w.button);
    Leave(w.button);
    EXPECT_EQ(w.shown, QString());
    Enter(w.inner);
    Leave(w.inner);
    EXPECT_EQ(w.shown, QStringLiteral("Click to select a colour."));
    Leave(&w.window);
    EXPECT_EQ(w.shown, QString());
}

TEST(HintTracker, WhileOffTheLastTextStays) {
    HintWindow w;
    Enter(w.button);
    w.tracker->setEnabled(false);
    Enter(w.area);
    Leave(w.button);
    EXPECT_EQ(w.shown, QStringLiteral("New Frame"));
    w.tracker->setEnabled(true);
    Enter(w.area);
    EXPECT_EQ(w.shown, QStringLiteral("Click to select a colour."));
}

TEST(HintTracker, OtherWindowsAreIgnored) {
    HintWindow w;
    QWidget other;
    other.setStatusTip(QStringLiteral("elsewhere"));
    Enter(&other);
    EXPECT_EQ(w.shown, QStringLiteral("(nothing yet)"));
}

}  // namespace
