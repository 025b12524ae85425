// Zintra Editor: start-up. The three windows are made in the order main
// window, information dialog, preview window; the main window is shown
// first, and the event loop runs until it is closed.
#include <QIcon>

#include "ui/Application.h"
#include "ui/QtServices.h"
#include "ui/information.h"
#include "ui/main.h"
#include "ui/preview.h"

#include "ui/icons/zintra-editor.xpm"

int main(int argc, char** argv) {
    TApplication application(argc, argv);
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

    return application.exec();
}
