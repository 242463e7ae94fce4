// The yardstick of the start-up bench: the least a Qt Widgets program does to
// put a main window of Quado's size on the screen.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.resize(1300, 820);
    window.show();
    return application.exec();
}
