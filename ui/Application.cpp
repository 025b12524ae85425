#include "ui/Application.h"

#include "ui/ErrorReport.h"
#include "ui/Services.h"

void ShowErrorReport(IWindowServices& services, QWidget* parent, const std::exception& error) {
    services.ShowMessage(parent, QString::fromUtf8(kApplicationTitle),
                         QString::fromStdString(ErrorReportText(error.what())), MessageIcon::Error);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        if (!m_services) throw;
        ShowErrorReport(*m_services, activeWindow(), error);
        return false;
    }
}
