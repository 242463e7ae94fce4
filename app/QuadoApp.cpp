#include "app/QuadoApp.h"

#include <QApplication>
#include <QIcon>
#include <QSessionManager>
#include <QTimer>

#include <unistd.h>

#include <cstdio>

#include "app/InstanceSettings.h"
#include "app/Language.h"
#include "app/MainFrame.h"
#include "app/SleepController.h"
#include "app/VenueLink.h"
#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "fleet/IBrokerLink.h"
#include "fleet/StopSignals.h"
#include "platform/MessageBox.h"
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
    if (m_bRecordsLeftOpen || BrokerThreadsLeftRunning() > 0) {
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
    if (m_pSleep)
        m_pSleep->End();
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
    // Before any window exists, so each is made in its language.
    if (const UiLanguage nLanguage = StartLanguage(options.strLanguage); !ApplyLanguage(nLanguage))
        std::fprintf(stderr, "Quado: no catalogue for language %s, the words stay English\n", LanguageCode(nLanguage));

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
    VenueOptions venue = options.venue;
    if (!options.strOpeningHours.empty()) {
        HoursRefusal refusal;
        // Checked when the options were read; a test's options may not be.
        std::optional<COpeningHours> hours = COpeningHours::Parse(options.strOpeningHours, refusal);
        if (!hours) {
            std::fprintf(stderr, "Quado: --opening-hours: %s\n", refusal.Text().c_str());
            return false;
        }
        // A game after hours ends its waking as the idle screen would come.
        const double fIdleSeconds =
            options.fIdleRecordsSeconds > 0 ? options.fIdleRecordsSeconds : KioskIdleRecordsSeconds;
        m_pSleep = std::make_unique<CSleepController>(std::move(*hours), m_pMainWnd->BoardView(),
                                                      m_pMainWnd->AdapterLink().GameEvents(),
                                                      static_cast<int>(fIdleSeconds * 1000));
        venue.bOpeningHours = true;
    }
    if (CVenueLink::IsWanted(venue)) {
        CSoundPlayer* pPlayer = m_pSoundPlayer.get();
        m_pVenue = std::make_unique<CVenueLink>(*m_pMainWnd, venue, ProgramVersion(), [pPlayer] {
            return AudioDeviceCounts{pPlayer->GetDeviceLosses(), pPlayer->GetDeviceReturns()};
        });
        m_pVenue->SetSleep(m_pSleep.get());
        // The exhibit runs on without its reports rather than not at all,
        // and with whatever parts did start.
        if (std::string strError; !m_pVenue->Start(strError)) {
            std::fprintf(stderr, "Quado: MQTT is off: %s\n", strError.c_str());
            // Once the first picture is up; the board runs on under the box.
            const QString strText =
                QCoreApplication::translate("CQuadoApp", "MQTT is off: %1").arg(QString::fromStdString(strError));
            QTimer::singleShot(0, m_pMainWnd.get(), [pFrame = m_pMainWnd.get(), strText] {
                QuadoMessageBox(pFrame, strText, QCoreApplication::translate("CQuadoApp", "Quado"),
                                MessageIcon::Exclamation);
            });
        }
    }
    return true;
}
