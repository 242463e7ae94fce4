// Quado's entry point: one application object, one message loop.
#include <QApplication>

#include "app/QuadoApp.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Widgets must go before the QApplication: the app object lives inside.
    CQuadoApp theApp;
    if (!theApp.InitInstance())
        return 1;
    return application.exec();
}
