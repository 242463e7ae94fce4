#include "app/QuadoApp.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

#include "app/MainFrame.h"
#include "app/VenueLink.h"
#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "platform/SoundPlayer.h"

CQuadoApp::CQuadoApp() = default;

CQuadoApp::~CQuadoApp() = default;

bool CQuadoApp::InitInstance(const StartOptions& options)
{
    QCoreApplication::setApplicationName(QString::fromLatin1(AppName));
    QCoreApplication::setOrganizationName(QString::fromLatin1(CompanyName));
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
    QObject::connect(m_pMainWnd.get(), &CMainFrame::Closed, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    m_pMainWnd->ApplyStartOptionsBeforeCreate(options);
    if (!m_pMainWnd->Create()) {
        std::fprintf(stderr, "Quado: the main window could not be created\n");
        m_pMainWnd.reset();
        return false;
    }
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
