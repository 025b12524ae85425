#pragma once
// The application object: its title, and the error report for any error
// that reaches the event loop without a command having handled it.
#include <QApplication>
#include <exception>

class IWindowServices;

inline constexpr const char* kApplicationTitle = "Zintra Editor";

// Shows the error's message as the application's error report.
void ShowErrorReport(IWindowServices& services, QWidget* parent, const std::exception& error);

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    // Where unhandled errors are reported; none until set.
    void setServices(IWindowServices* services) { m_services = services; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    IWindowServices* m_services = nullptr;
};
