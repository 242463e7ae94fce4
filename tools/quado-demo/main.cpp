// quado-demo: Quado as a user meets it, with one simulated adapter ("DEMO0001")
// in the adapter list whose game board plays endless games once connected.
// No board, no adapter, no root needed. It takes quado's start options, and
// --replug-every SECONDS pulls the simulated adapter out for one second every
// so often, to watch automatic connection bring the game back. Its records go
// to a temporary file that ends with the run unless --records (or --instance)
// names one, so a demo never adds to the real records.
//
// For tests and screenshots only, a few environment variables:
//   QUADO_DEMO_CONNECT=1          connect the first adapter once the windows are up
//   QUADO_DEMO_SPEED=<factor>     the board plays that many times faster
//   QUADO_DEMO_QUIT_AFTER_MS=<n>  print what was seen, disconnect and end after n ms
//   QUADO_DEMO_SEED=<n>           another sequence of games
//   QUADO_DEMO_HOLD_AT_LEVEL=<n>  the board stops after its first "Level n":
//                                 a game stays in progress; with it, what
//                                 is seen is printed as with QUIT_AFTER_MS
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/MainFrame.h"
#include "app/QuadoApp.h"
#include "app/StartOptions.h"
#include "device/SimulatedAdapter.h"
#include "device/SimulatedHidBackend.h"
#include "tools/quado-demo/DemoBoard.h"
#include "tools/quado-demo/DemoObserver.h"
#include "platform/DeviceNotifier.h"
#include "tools/common/HidrawInjection.h"

namespace {

constexpr char DemoAdapterPath[] = "/dev/hidraw-demo0";
constexpr char DemoAdapterSerial[] = "DEMO0001";
constexpr uint32_t DefaultSeed = 20240607u;
// Lets the windows come up and take their first focus before the click.
constexpr int AutoConnectDelayMs = 300;
// How long a replug leaves the adapter out.
constexpr int ReplugAwayMs = 1000;
constexpr char DemoHidId[] = "0003:000010C4:00008253";

double EnvNumber(const char* pszName, double fDefault)
{
    const char* pszValue = std::getenv(pszName);
    if (!pszValue || !*pszValue)
        return fDefault;
    char* pszEnd = nullptr;
    const double fValue = std::strtod(pszValue, &pszEnd);
    return (*pszEnd == '\0' && fValue > 0) ? fValue : fDefault;
}

} // namespace

int main(int argc, char* argv[])
{
    StartOptions options;
    if (const int nExit = HandleStartOptions(argc, argv, true, &options); nExit >= 0)
        return nExit;

    // The backend outlives the application object and its windows, which
    // close the adapter on their way out.
    CSimulatedHidBackend backend;
    SetHidBackend(&backend);
    const std::shared_ptr<CSimulatedAdapter> pAdapter = backend.AddAdapter(DemoAdapterPath, DemoAdapterSerial);

    int nResult = 0;
    {
        QApplication application(argc, argv);
        // Made before theApp, so it outlives the frame,
        // which writes the last game as it closes.
        QTemporaryDir recordsDir;
        // A named exhibit's demo keeps that exhibit's records: the name says
        // where they belong.
        if (options.bRecords && options.strRecordsFile.empty() && options.instance.strName.empty()) {
            if (recordsDir.isValid())
                options.strRecordsFile = recordsDir.filePath(QStringLiteral("records.sqlite")).toStdString();
            else
                options.bRecords = false;
        }
        CDemoBoard board(pAdapter, static_cast<uint32_t>(EnvNumber("QUADO_DEMO_SEED", DefaultSeed)),
                         EnvNumber("QUADO_DEMO_SPEED", 1.0));
        CQuadoApp theApp;
        if (!theApp.InitInstance(options)) {
            SetHidBackend(nullptr);
            return 1;
        }
        CMainFrame& frame = *theApp.MainFrame();
        const double fHoldAtLevel = EnvNumber("QUADO_DEMO_HOLD_AT_LEVEL", 0);
        board.HoldAtLevel(static_cast<int>(fHoldAtLevel));
        board.Start();

        std::unique_ptr<CDemoObserver> pObserver;
        const double fQuitAfterMs = EnvNumber("QUADO_DEMO_QUIT_AFTER_MS", 0);
        if (fQuitAfterMs > 0 || fHoldAtLevel > 0) {
            pObserver = std::make_unique<CDemoObserver>(frame);
            pObserver->Start();
        }
        if (fQuitAfterMs > 0)
            QTimer::singleShot(static_cast<int>(fQuitAfterMs), pObserver.get(), &CDemoObserver::Finish);
        if (EnvNumber("QUADO_DEMO_CONNECT", 0) > 0) {
            QTimer::singleShot(AutoConnectDelayMs, &frame,
                               [&frame] { frame.AdapterLink().ConnectQuietly(0); });
        }
        QTimer timerReplug;
        if (options.fReplugEverySeconds > 0) {
            // The same adapter model comes back, so the board's game goes on
            // where the unplug held it.
            QObject::connect(&timerReplug, &QTimer::timeout, &frame, [&backend, pAdapter, &frame] {
                backend.RemoveDevice(DemoAdapterPath);
                InjectHidrawUevent({HidrawUevent::Action::Remove, DemoAdapterPath, {}});
                QTimer::singleShot(ReplugAwayMs, &frame, [&backend, pAdapter] {
                    SimulatedDeviceSetup setup;
                    setup.strPath = DemoAdapterPath;
                    setup.strSerial = DemoAdapterSerial;
                    backend.AddAdapter(setup, pAdapter);
                    InjectHidrawUevent({HidrawUevent::Action::Add, DemoAdapterPath, DemoHidId});
                });
            });
            timerReplug.start(static_cast<int>(options.fReplugEverySeconds * 1000));
        }
        nResult = theApp.Run();
    }
    SetHidBackend(nullptr);
    return nResult;
}
