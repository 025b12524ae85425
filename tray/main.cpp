// zintra-tray: plays Zintra animations in the system tray.
//
//   zintra-tray [FILE|FOLDER]...
#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

#include "tray/SingleInstance.h"
#include "tray/TrayPlayer.h"

#include "ui/icons/zintra-editor.xpm"

namespace {

// Trays often start after the programs a session starts at login.
constexpr int kTrayWaitMs = 30'000;
constexpr int kTrayPollMs = 250;

// Runs the event loop meanwhile, so later starts can hand files over.
bool WaitForSystemTray() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) return true;
    const QDeadlineTimer deadline(kTrayWaitMs);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (QSystemTrayIcon::isSystemTrayAvailable() || deadline.hasExpired()) loop.quit();
    });
    poll.start(kTrayPollMs);
    loop.exec();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace

int main(int argc, char** argv) {
    // An XEmbed icon is some 22×16 pixels: X shared memory saves no copying
    // there, but its completion event wakes the player once more a frame.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("zintra-tray"));
    application.setOrganizationName(QStringLiteral("zintra"));
    application.setDesktopFileName(QStringLiteral("zintra-tray"));
    // The player has no window; closing a file dialog must not end it.
    application.setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays Zintra animations (.zn and .ani files) in the system tray. A folder adds its\n"
        "animations, sorted by name; with nothing named, plays what was played last time."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE|FOLDER"), QStringLiteral("Animations to play."),
                                 QStringLiteral("[FILE|FOLDER]..."));
    parser.process(application);
    QStringList paths;
    for (const QString& argument : parser.positionalArguments()) paths << QFileInfo(argument).absoluteFilePath();

    const QString socketPath = SingleInstance::SocketPath();
    if (SingleInstance::HandOver(socketPath, paths)) return 0;
    SingleInstance instance;
    if (!instance.listen(socketPath))
        std::fprintf(stderr, "zintra-tray: cannot listen on %s; later starts will not find this player\n",
                     qPrintable(socketPath));

    TrayPlayer player{QIcon(QPixmap(zintra_editor_xpm))};
    QObject::connect(&instance, &SingleInstance::filesReceived, &player, &TrayPlayer::addFiles);
    if (paths.isEmpty()) player.restore();
    else player.addFiles(paths);

    if (!WaitForSystemTray()) {
        std::fputs("zintra-tray: no system tray is available\n", stderr);
        return 1;
    }
    player.show();
    return application.exec();
}
