#include "ui/WindowFont.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOption>
#include <gtest/gtest.h>

#include "FakeServices.h"
#include "ui/StatusBar.h"
#include "ui/information.h"
#include "ui/main.h"
#include "ui/preview.h"

namespace {

TEST(WindowFont, IsTheDesignedFontElseOneThatSetupInstalls) {
    const QFont font = WindowFont();
    EXPECT_EQ(font.families(), (QStringList{"MS Sans Serif", "Carlito"}));
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_TRUE(font.families().contains(QFontInfo(font).family())) << "run tools/setup";
}

template <typename Option>
Option OptionFor(const QWidget* control) {
    Option option;
    option.initFrom(control);
    return option;
}

// The width a control's style leaves for its text.
int TextRoom(const QWidget* control) {
    const QStyle* style = control->style();
    if (qobject_cast<const QComboBox*>(control)) {
        const auto option = OptionFor<QStyleOptionComboBox>(control);
        return style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, control).width();
    }
    if (qobject_cast<const QAbstractButton*>(control)) {
        const auto option = OptionFor<QStyleOptionButton>(control);
        return style->subElementRect(QStyle::SE_PushButtonContents, &option, control).width();
    }
    if (qobject_cast<const QLineEdit*>(control)) {
        auto option = OptionFor<QStyleOptionFrame>(control);
        option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, control);
        // A line edit keeps 2 pixels each side of its text.
        return style->subElementRect(QStyle::SE_LineEditContents, &option, control).width() - 4;
    }
    const auto* label = qobject_cast<const QLabel*>(control);
    return control->contentsRect().width() - (label ? std::max(label->indent(), 0) : 0);
}

// Every text a control shows: its own, a list's entries, and for the rate
// box and the status panels the longest they are given.
QStringList TextsOf(const QWidget* control, const TFrmMain& main) {
    if (control == main.Edit5) return {"32,736"};
    if (control == main.StatusBar1->panel(1)) return {"Coords: 16, 16"};
    QStringList texts;
    if (control == main.StatusBar1->panel(0)) {
        texts << "Shrinking and reducing colours - Please wait...";
        for (const QWidget* other : main.findChildren<QWidget*>()) texts << other->statusTip();
    } else if (const auto* label = qobject_cast<const QLabel*>(control)) {
        texts << label->text();
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        texts << button->text();
    } else if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    }
    return texts;
}

TEST(WindowFont, EveryTextFitsItsControlUncondensed) {
    test::FakeServices services;
    TFrmMain main(services);
    TFrmInformation information(main);
    TFrmPreview preview(main.Document(), &main);
    main.show();  // makes the rate box and lays out the status panels
    int measured = 0;
    for (const QWidget* window : std::initializer_list<const QWidget*>{&main, &information, &preview})
        for (const QWidget* control : window->findChildren<QWidget*>()) {
            const QFontMetrics metrics(control->font());
            EXPECT_EQ(control->font().stretch(), QFont::AnyStretch) << control->objectName().toStdString();
            for (const QString& text : TextsOf(control, main)) {
                EXPECT_LE(metrics.horizontalAdvance(text), TextRoom(control)) << text.toStdString();
                if (qobject_cast<const QLabel*>(control)) {
                    EXPECT_LE(metrics.height(), control->height()) << text.toStdString();
                }
                measured += !text.isEmpty();
            }
        }
    EXPECT_GT(measured, 40);
}

}  // namespace
