// Zintra Editor: start-up. The three windows are made in the order main
// window, information dialog, preview window, all hidden; the event loop
// then shows the main window and runs until it is closed.
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
    TFrmInformation FrmInformation(FrmMain);
    TFrmPreview FrmPreview(FrmMain.Document(), &FrmMain);
    FrmMain.SetWindows(&FrmInformation, &FrmPreview);

    FrmMain.show();
    return application.exec();
}
