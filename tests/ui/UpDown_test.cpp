#include "ui/UpDown.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// A spinner bound to an edit box, like the rate box and its spinner.
struct BoundSpinner {
    QWidget window;
    QLineEdit* edit = new QLineEdit(&window);
    UpDown* spinner = new UpDown(&window);

    BoundSpinner(int minimum, int maximum, int position) {
        spinner->setGeometry(100, 0, 17, 21);
        spinner->setRange(minimum, maximum);
        spinner->setPosition(position);
        edit->setText(QString::number(position));
        spinner->setBuddy(edit);
    }
};

QToolButton* Arrow(UpDown& spinner, Qt::ArrowType type) {
    for (QToolButton* button : spinner.findChildren<QToolButton*>())
        if (button->arrowType() == type) return button;
    return nullptr;
}

// ---- Position set from code ---------------------------------------------

TEST(UpDownFromCode, SettingPositionOrMaximumFiresNothing) {
    UpDown spinner(nullptr);
    QSignalSpy changing(&spinner, &UpDown::changing);
    QSignalSpy clicked(&spinner, &UpDown::clicked);
    spinner.setRange(1, 1);
    spinner.setPosition(1);
    spinner.setMaximum(5);
    spinner.setPosition(5);
    EXPECT_EQ(spinner.position(), 5);
    EXPECT_EQ(changing.count(), 0);
    EXPECT_EQ(clicked.count(), 0);
}

TEST(UpDownFromCode, PositionIsKeptWithinTheRange) {
    UpDown spinner(nullptr);
    spinner.setRange(1, 32736);
    spinner.setPosition(40000);
    EXPECT_EQ(spinner.position(), 32736);
    spinner.setPosition(-25536);
    EXPECT_EQ(spinner.position(), 1);
}

TEST(UpDownFromCode, LoweringTheMaximumPullsThePositionDown) {
    UpDown spinner(nullptr);
    spinner.setRange(1, 3);
    spinner.setPosition(3);
    spinner.setMaximum(2);
    EXPECT_EQ(spinner.position(), 2);
}

TEST(UpDownFromCode, RangeHoldsSixteenBitFrameNumbers) {
    UpDown spinner(nullptr);
    spinner.setRange(1, 32767);
    spinner.setPosition(32767);
    EXPECT_EQ(spinner.position(), 32767);
}

TEST(UpDownFromCode, SettingThePositionLeavesTheBuddyText) {
    BoundSpinner s(1, 32736, 10);
    s.edit->setText(QStringLiteral("40000"));
    s.spinner->setPosition(25);
    EXPECT_EQ(s.edit->text(), QStringLiteral("40000"));
}

// ---- Arrows ----------------------------------------------------------------

TEST(UpDownArrows, UpArrowChangesToTheNextPositionAfterChanging) {
    UpDown spinner(nullptr);
    spinner.setRange(1, 3);
    spinner.setPosition(1);
    std::vector<std::string> order;
    QObject::connect(&spinner, &UpDown::changing, [&] { order.push_back("changing at " + std::to_string(spinner.position())); });
    QObject::connect(&spinner, &UpDown::clicked, [&](UpDown::Button b) {
        order.push_back(std::string(b == UpDown::Button::Next ? "next" : "previous") + " to " +
                        std::to_string(spinner.position()));
    });
    spinner.step(UpDown::Button::Next);
    spinner.step(UpDown::Button::Previous);
    EXPECT_EQ(order, (std::vector<std::string>{"changing at 1", "next to 2", "changing at 2", "previous to 1"}));
}

TEST(UpDownArrows, AtEitherEndChangingFiresButNothingChanges) {
    UpDown spinner(nullptr);
    spinner.setRange(1, 2);
    spinner.setPosition(2);
    QSignalSpy changing(&spinner, &UpDown::changing);
    QSignalSpy clicked(&spinner, &UpDown::clicked);
    spinner.step(UpDown::Button::Next);
    EXPECT_EQ(spinner.position(), 2);
    spinner.setPosition(1);
    spinner.step(UpDown::Button::Previous);
    EXPECT_EQ(spinner.position(), 1);
    EXPECT_EQ(changing.count(), 2);
    EXPECT_EQ(clicked.count(), 0);
}

TEST(UpDownArrows, MouseOnTheArrowButtonsSteps) {
    BoundSpinner s(1, 100, 10);
    s.window.show();
    QTest::mouseClick(Arrow(*s.spinner, Qt::UpArrow), Qt::LeftButton);
    EXPECT_EQ(s.spinner->position(), 11);
    QTest::mouseClick(Arrow(*s.spinner, Qt::DownArrow), Qt::LeftButton);
    QTest::mouseClick(Arrow(*s.spinner, Qt::DownArrow), Qt::LeftButton);
    EXPECT_EQ(s.spinner->position(), 9);
    EXPECT_EQ(s.edit->text(), QStringLiteral("9"));
}

TEST(UpDownArrows, ArrowKeysInTheBuddyStep) {
    BoundSpinner s(1, 100, 10);
    QTest::keyClick(s.edit, Qt::Key_Up);
    QTest::keyClick(s.edit, Qt::Key_Up);
    QTest::keyClick(s.edit, Qt::Key_Down);
    EXPECT_EQ(s.spinner->position(), 11);
    EXPECT_EQ(s.edit->text(), QStringLiteral("11"));
}

// ---- Buddy text ------------------------------------------------------------

TEST(UpDownBuddy, WholeNumberInRangeIsThePosition) {
    BoundSpinner s(1, 32736, 10);
    s.edit->setText(QStringLiteral("250"));
    EXPECT_EQ(s.spinner->position(), 250);
}

TEST(UpDownBuddy, ThousandsSeparatorsAreAllowed) {
    BoundSpinner s(1, 32736, 10);
    s.edit->setText(QStringLiteral("1,234"));
    EXPECT_EQ(s.spinner->position(), 1234);
}

TEST(UpDownBuddy, TextThatIsNoNumberMeansThePreviousPosition) {
    BoundSpinner s(1, 32736, 10);
    s.edit->setText(QStringLiteral("25"));
    EXPECT_EQ(s.spinner->position(), 25);
    for (const char* text : {"abc", "", "12.5", "25x"}) {
        s.edit->setText(QString::fromLatin1(text));
        EXPECT_EQ(s.spinner->position(), 25) << text;
    }
}

TEST(UpDownBuddy, NumberOutsideTheRangeMeansThePreviousPosition) {
    BoundSpinner s(1, 32736, 10);
    for (const char* text : {"40000", "0", "-5", "32737"}) {
        s.edit->setText(QString::fromLatin1(text));
        EXPECT_EQ(s.spinner->position(), 10) << text;
    }
    s.edit->setText(QStringLiteral("32736"));
    EXPECT_EQ(s.spinner->position(), 32736);
}

TEST(UpDownBuddy, StepStartsFromTheTextAndRewritesItWithGrouping) {
    BoundSpinner s(1, 32736, 10);
    s.edit->setText(QStringLiteral("999"));
    s.spinner->step(UpDown::Button::Next);
    EXPECT_EQ(s.spinner->position(), 1000);
    EXPECT_EQ(s.edit->text(), QStringLiteral("1,000"));
    s.spinner->step(UpDown::Button::Previous);
    EXPECT_EQ(s.edit->text(), QStringLiteral("999"));
}

TEST(UpDownBuddy, StepFromUnreadableTextStartsFromThePreviousPosition) {
    BoundSpinner s(1, 32736, 10);
    s.edit->setText(QStringLiteral("abc"));
    s.spinner->step(UpDown::Button::Next);
    EXPECT_EQ(s.edit->text(), QStringLiteral("11"));
}

}  // namespace
