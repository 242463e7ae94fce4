// The main of the GoogleTest executables that need Qt: one application object
// (widgets, so views and tool windows can be made) serves every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QString>

namespace {

QtMessageHandler g_previousHandler = nullptr;

// Qt only warns when an object is used from a thread it does not live on (a
// timer started there never fires), and such a fault shows later as a hang
// or a lost reply: the warning itself fails the test that caused it.
void FailOnThreadFaults(QtMsgType nType, const QMessageLogContext& context, const QString& strMessage)
{
    static const char* const Faults[] = {
        "cannot be started from another thread",
        "cannot be stopped from another thread",
        "Cannot create children for a parent that is in a different thread",
        "Cannot move objects in a different thread",
    };
    for (const char* pszFault : Faults) {
        if (strMessage.contains(QLatin1String(pszFault)))
            ADD_FAILURE() << "Qt: " << strMessage.toStdString();
    }
    if (g_previousHandler)
        g_previousHandler(nType, context, strMessage);
}

} // namespace

int main(int argc, char* argv[])
{
    g_previousHandler = qInstallMessageHandler(FailOnThreadFaults);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
