#include "app/QuadoApp.h"

#include <QApplication>
#include <QIcon>
#include <QSessionManager>

#include <unistd.h>

#include <cstdio>

#include "app/InstanceSettings.h"
#include "app/MainFrame.h"
#include "app/VenueLink.h"
#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "fleet/MqttLink.h"
#include "fleet/StopSignals.h"
#include "platform/SoundPlayer.h"
#include "records/RecordStore.h"

CQuadoApp::CQuadoApp() = default;

CQuadoApp::~CQuadoApp()
{
    // A run that never reached its loop (or a test's) still ends in order.
    EndRun();
}

int CQuadoApp::Run()
{
    const int nResult = QApplication::exec();
    EndRun();
    if (m_bRecordsLeftOpen || CMqttLink::ThreadsLeftRunning() > 0) {
        // Exit handlers (OpenSSL's, SQLite's, the toolkit's) would run under
        // a thread still inside those libraries. The file is safe: SQLite
        // keeps it whole whatever moment the process ends at.
        std::fflush(nullptr);
        _exit(nResult);
    }
    return nResult;
}

void CQuadoApp::EndRun()
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    // A signal during the end ends the program at once.
    CStopSignals::Disarm();
    if (m_pMainWnd)
        m_pMainWnd->EndRun();
    // Only now: it has seen the game end and the adapter go.
    if (m_pVenue)
        m_pVenue->End();
    // The records file was handed over first, and has been writing meanwhile.
    m_bRecordsLeftOpen = !CRecordStore::WaitForClosed(RecordsEndWait);
    QCoreApplication::quit();
}

bool CQuadoApp::InitInstance(const StartOptions& options)
{
    QCoreApplication::setApplicationName(QString::fromLatin1(AppName));
    QCoreApplication::setOrganizationName(QString::fromLatin1(CompanyName));
    UseInstanceSettings(QString::fromStdString(options.instance.strName));
    QApplication::setWindowIcon(LoadIconResource(AssetId::IconApp));
    // The run ends with the main window, even while a tool window (a
    // separate top-level window) is still up.
    QApplication::setQuitOnLastWindowClosed(false);
    // The menu bar stays in the window, where full screen and kiosk hide
    // it; a desktop's global menu would keep showing it. Asking the session
    // bus for one also cost every start a round trip (or, without a bus, a
    // failed attempt to start one).
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);

    // The audio stack is loaded and the device opened once sound is wanted
    // (an adapter connects, the manual driver opens, a sound is asked for),
    // not before the first picture.
    m_pSoundPlayer = std::make_unique<CSoundPlayer>(CSoundPlayer::Opening::WhenWanted);
    m_pMainWnd = std::make_unique<CMainFrame>(m_pSoundPlayer.get(), CMainFrame::StartupWork::AfterFirstPaint);
    // Every way out comes to EndRun: the signals a service manager, a
    // terminal or a hang-up send (from the start on: an exhibit stopped
    // while still starting ends as well) ...
    m_pStopSignals = std::make_unique<CStopSignals>();
    QObject::connect(m_pStopSignals.get(), &CStopSignals::StopRequested, qApp, [this] { EndRun(); },
                     Qt::QueuedConnection);
    // ... the window (close box, File > Exit) ...
    QObject::connect(m_pMainWnd.get(), &CMainFrame::Closed, qApp, [this] { EndRun(); }, Qt::QueuedConnection);
    // ... and the session ending (the loop's own end, too, see Run).
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp, [this](QSessionManager&) { EndRun(); },
                     Qt::DirectConnection);
    m_pMainWnd->ApplyStartOptionsBeforeCreate(options);
    if (!m_pMainWnd->Create()) {
        std::fprintf(stderr, "Quado: the main window could not be created\n");
        m_pMainWnd.reset();
        return false;
    }
    if (!options.instance.strScreen.empty())
        m_pMainWnd->FollowScreen(QString::fromStdString(options.instance.strScreen));
    m_pMainWnd->show();
    m_pMainWnd->activateWindow();
    m_pMainWnd->ApplyStartOptionsAfterShow(options);
    if (CVenueLink::IsWanted(options.venue)) {
        CSoundPlayer* pPlayer = m_pSoundPlayer.get();
        m_pVenue = std::make_unique<CVenueLink>(*m_pMainWnd, options.venue, ProgramVersion(), [pPlayer] {
            return AudioDeviceCounts{pPlayer->GetDeviceLosses(), pPlayer->GetDeviceReturns()};
        });
        // The exhibit runs on without its reports rather than not at all.
        if (std::string strError; !m_pVenue->Start(strError)) {
            std::fprintf(stderr, "Quado: %s\n", strError.c_str());
            m_pVenue.reset();
        }
    }
    return true;
}
