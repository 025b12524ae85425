// Zintra Editor: start-up. The three windows are made in the order main
// window, information dialog, preview window; the main window is shown
// first, and the event loop runs until it is closed. A file named on the
// command line opens once the window is shown.
#include <QIcon>
#include <cstdio>

#include "ui/Application.h"
#include "ui/CommandLine.h"
#include "ui/QtServices.h"
#include "ui/information.h"
#include "ui/main.h"
#include "ui/preview.h"

#include "ui/icons/zintra-editor.xpm"

namespace {

void Print(std::FILE* stream, const QString& text) { std::fputs(text.toLocal8Bit().constData(), stream); }

}  // namespace

int main(int argc, char** argv) {
    // Help and version need no window system, so they work without a display.
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i) rawArguments << QString::fromLocal8Bit(argv[i]);
    const TEditorCommandLine early = ParseEditorCommandLine(rawArguments);
    if (early.action == TEditorCommandLine::Action::Help || early.action == TEditorCommandLine::Action::Version) {
        Print(stdout, early.action == TEditorCommandLine::Action::Help ? EditorHelpText() : EditorVersionText());
        return 0;
    }

    TApplication application(argc, argv);
    const TEditorCommandLine commandLine = ParseEditorCommandLine(application.arguments().mid(1));
    if (commandLine.action == TEditorCommandLine::Action::Wrong) {
        Print(stderr, QStringLiteral("zintra-editor: %1\nTry 'zintra-editor --help' for more information.\n")
                          .arg(commandLine.error));
        return 2;
    }
    Print(stderr, IgnoredFilesText(commandLine));
    application.setApplicationName(QStringLiteral("zintra-editor"));
    application.setDesktopFileName(QStringLiteral("zintra-editor"));
    application.setWindowIcon(QIcon(QPixmap(zintra_editor_xpm)));

    QtWindowServices services;
    application.setServices(&services);

    TFrmMain FrmMain(services);
    // On screen before the other two windows are made: their text boxes need
    // the font database, and loading it takes as long as the rest of start-up.
    FrmMain.show();
    TFrmInformation FrmInformation(FrmMain);
    TFrmPreview FrmPreview(FrmMain.Document(), &FrmMain);
    FrmMain.SetWindows(&FrmInformation, &FrmPreview);

    if (!commandLine.file.isEmpty()) FrmMain.OpenSoon(commandLine.file);
    return application.exec();
}
