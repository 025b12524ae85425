// zintra-tray: plays Zintra animations in the system tray.
//
//   zintra-tray [FILE|FOLDER]...
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

#include "tray/SessionEnd.h"
#include "tray/SingleInstance.h"
#include "tray/TrayPlayer.h"
#include "tray/TrayWait.h"

#include "ui/icons/zintra-editor.xpm"

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
    // From here on, the end of the session ends the player as Quit does.
    SessionEnd sessionEnd;
    QObject::connect(&sessionEnd, &SessionEnd::requested, &application, &QCoreApplication::quit);

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

    // Quit and the session's end alike keep the list for the next start.
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &player, &TrayPlayer::save);

    TrayWait trayWait(player);
    const int status = application.exec();
    // A read under way is abandoned, not waited for: the session's end
    // gives a program moments, and a read of a large file or a slow disk
    // may take longer. Its thread ends with the process.
    if (player.isReading()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
