// The yardstick for the editor's start-up: a bare Qt window of the editor's
// size, shown as soon as the application exists.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(514, 373);
    window.show();
    return application.exec();
}
