// Widget tests run on the offscreen platform, so they need no display and
// see the same pixels everywhere, in a fixed locale for digit grouping.
#include <QLocale>
#include <gtest/gtest.h>

#include "ui/Application.h"

namespace {

QtMessageHandler g_defaultHandler = nullptr;

// The offscreen platform says so whenever a window is raised; that is noise here.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
    g_defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    g_defaultHandler = qInstallMessageHandler(QuietMessages);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
