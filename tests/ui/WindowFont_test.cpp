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

// The width a control's style leaves for its text.
int TextRoom(const QWidget* widget) {
    const QStyle* style = widget->style();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        return style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
    }
    if (qobject_cast<const QAbstractButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(widget);
        return style->subElementRect(QStyle::SE_PushButtonContents, &option, widget).width();
    }
    if (qobject_cast<const QLineEdit*>(widget)) {
        QStyleOptionFrame option;
        option.initFrom(widget);
        option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, widget);
        const int lineEditMargin = 2;  // what QLineEdit keeps each side of its text
        return style->subElementRect(QStyle::SE_LineEditContents, &option, widget).width() - 2 * lineEditMargin;
    }
    const auto* label = qobject_cast<const QLabel*>(widget);
    return widget->contentsRect().width() - (label ? std::max(label->indent(), 0) : 0);
}

// Every text a control shows: its own, a list's entries, and for the rate
// box and the status panels the longest they are given.
QStringList TextsOf(const QWidget* widget, const TFrmMain& main) {
    if (widget == main.Edit5) return {"32,736"};
    if (widget == main.StatusBar1->panel(1)) return {"Coords: 16, 16"};
    if (widget == main.StatusBar1->panel(0)) {
        QStringList hints{"Shrinking and reducing colours - Please wait..."};
        for (const QWidget* control : main.findChildren<QWidget*>()) hints << control->statusTip();
        return hints;
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return {label->text()};
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return {button->text()};
    QStringList items;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

TEST(WindowFont, EveryTextFitsItsControlUncondensed) {
    test::FakeServices services;
    TFrmMain main(services);
    TFrmInformation information(main);
    TFrmPreview preview(main.Document(), &main);
    main.show();  // lays out the status panels
    int measured = 0;
    for (const QWidget* window : {static_cast<QWidget*>(&main), static_cast<QWidget*>(&information),
                                  static_cast<QWidget*>(&preview)})
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
