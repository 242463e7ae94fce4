#include "app/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "app/AboutDlg.h"
#include "app/CommandIds.h"
#include "app/FullScreenBar.h"
#include "app/FullScreenNotice.h"
#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "board/PaintGeometry.h"
#include "protocol/ISoundPlayer.h"

namespace {

constexpr char FrameTitle[] = "Quado";

} // namespace

CMainFrame::CMainFrame(ISoundPlayer* pSoundPlayer, StartupWork nStartupWork)
    : m_dlgDravikDriver(nStartupWork == StartupWork::AfterFirstPaint ? CQuadoDravikDriver::DeviceWatch::Deferred
                                                                      : CQuadoDravikDriver::DeviceWatch::AtOnce)
    , m_pSoundPlayer(pSoundPlayer)
    , m_bStartupWorkPending(nStartupWork == StartupWork::AfterFirstPaint)
{
    // The tool windows are constructed between the view and the flags (see
    // the member list), hidden; once all members exist they receive their
    // links: this frame, &m_pView and &m_bMute.
    m_pView = &m_wndView;
    m_dlgDravikDriver.SetLinks(this, &m_pView, &m_bMute, m_pSoundPlayer);
    m_dlgManualDriver.m_pMainFrame = this;
    m_dlgManualDriver.m_ppView = &m_pView;
    m_dlgManualDriver.m_pbMute = &m_bMute;
    m_dlgManualDriver.m_pbDravikConnected = &m_bDravikConnected;
    for (CQuadoDriverDialogButton* pButton : m_dlgManualDriver.Buttons()) {
        pButton->m_ppView = &m_pView;
        pButton->m_pbMute = &m_bMute;
        pButton->m_pSoundPlayer = m_pSoundPlayer;
    }
    ConnectRecords();
    ConnectSpeech();
    connect(&m_wndView, &CChildView::LitQuadrantChanged, this, &CMainFrame::LitQuadrantChanged);
    connect(&m_wndView, &CChildView::PanelTextChanged, this, &CMainFrame::PanelTextChanged);
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create()
{
    setWindowTitle(QString::fromLatin1(FrameTitle));
    CreateMenus();
    resize(DefaultWidth, DefaultHeight);

    if (!m_wndView.Create(this))
        return false;
    setCentralWidget(&m_wndView);
    m_wndView.m_pMainFrame = this;

    if (m_bStartupWorkPending) {
        // The first paint of the board starts the rest (see eventFilter).
        m_wndView.installEventFilter(this);
        QTimer::singleShot(StartupWorkLatestMs, this, &CMainFrame::DoStartupWork);
    } else if (m_bDravikDriverShown) {
        ShowToolWindow(DravikDriverWindow(), true);
        m_bFocusToDravikDriver = true;
    }
    // The application's icon is every window's; a frame made without one
    // (in tests) has its own. Decoding it twice cost a start 2 ms.
    if (QGuiApplication::windowIcon().isNull())
        setWindowIcon(LoadIconResource(AssetId::IconApp));
    UpdateCommandUI();
    return true;
}

void CMainFrame::ToggleMute()
{
    m_bMute = !m_bMute;
    if (m_bMute && m_pSoundPlayer)
        m_pSoundPlayer->Stop();
    emit MuteChanged(m_bMute);
}

void CMainFrame::ToggleFullScreen()
{
    const bool bBefore = m_bFullScreen;
    if (m_bFullScreen)
        LeaveFullScreen();
    else
        EnterFullScreen();
    if (m_bFullScreen != bBefore)
        emit FullScreenChanged(m_bFullScreen);
    // Escape in the board view comes here without passing the menu.
    UpdateCommandUI();
}

void CMainFrame::EnterFullScreen()
{
    const WindowPlacement wpCurrent{windowState(), normalGeometry()};
    QScreen* pScreen = FullScreenTarget();
    if (!pScreen)
        return;
    // The whole monitor, not its available area: panels and docks are covered.
    const QRect rcFullScreen = pScreen->geometry();

    CFullScreenBar* pBar = CreateFullScreenBar();
    if (!pBar)
        return;
    connect(pBar, &CFullScreenBar::Command, this, [this](int nCommandId) { OnCommand(nCommandId); });
    m_wpPrev = wpCurrent;
    m_rcFullScreen = rcFullScreen;
    m_pFullScreenBar = pBar;
    m_pFullScreenBar->FloatAt(m_rcFullScreen.topLeft() + QPoint(FullScreenBarOffset, FullScreenBarOffset));
    m_bFullScreen = true;
    // A kiosk has nobody to press its button; Escape still leaves.
    if (m_bKiosk)
        m_pFullScreenBar->hide();

    menuBar()->hide();
    setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | Qt::WindowFullScreen);
    // Without a window manager nothing acts on the full-screen state, so the
    // monitor's rectangle is also asked for directly. Through the native
    // window: the widget's own setGeometry would drop the full-screen state
    // and overwrite the saved normal geometry.
    if (QWindow* pWindow = windowHandle())
        pWindow->setGeometry(m_rcFullScreen);
    // A window manager keeps a tool window over its owner; without one only
    // the stacking order does.
    if (!m_bKiosk)
        m_pFullScreenBar->raise();
    ShowFullScreenNotice();
}

void CMainFrame::ShowFullScreenNotice()
{
    // An audience in kiosk mode is not told how to end the show.
    if (m_bKiosk)
        return;
    if (!m_pFullScreenNotice) {
        m_pFullScreenNotice = new CFullScreenNotice(&m_wndView);
        // It follows the picture as the window grows to the monitor.
        m_wndView.installEventFilter(this);
    }
    m_pFullScreenNotice->Start(BoardInView());
}

void CMainFrame::LeaveFullScreen()
{
    // The bar's own button may have sent this command: it goes away at
    // once on screen and is deleted once that click has been handled.
    m_pFullScreenBar->hide();
    m_pFullScreenBar->deleteLater();
    m_pFullScreenBar = nullptr;
    m_bFullScreen = false;
    if (m_pFullScreenNotice)
        m_pFullScreenNotice->Dismiss();

    menuBar()->show();
    // Back through the normal state, so that the saved rectangle becomes
    // the normal geometry again whatever state follows.
    setWindowState(Qt::WindowNoState);
    setGeometry(m_wpPrev.rcNormal);
    if (m_wpPrev.nShowState & (Qt::WindowMinimized | Qt::WindowMaximized))
        setWindowState(m_wpPrev.nShowState);
}

CFullScreenBar* CMainFrame::CreateFullScreenBar()
{
    return CFullScreenBar::Create(this);
}

void CMainFrame::ToggleScaleDown()
{
    m_wndView.m_bScaleDown = !m_wndView.m_bScaleDown;
    m_wndView.update();
}

void CMainFrame::SetShapesShown(bool bShown)
{
    m_wndView.SetShapesShown(bShown);
    m_dlgManualDriver.SetShapesShown(bShown);
}

void CMainFrame::ToggleFitToScreen()
{
    m_bFitToScreen = !m_bFitToScreen;
    m_wndView.m_bFitToScreen = m_bFitToScreen;
    m_wndView.update();
    emit FitToScreenChanged(m_bFitToScreen);
}

void CMainFrame::OnAppAbout()
{
    CAboutDlg dlg(this);
    dlg.exec();
}

bool CMainFrame::event(QEvent* pEvent)
{
    const bool bResult = QMainWindow::event(pEvent);
    if (pEvent->type() == QEvent::WindowActivate)
        OnFocusArrival();
    // A window without the keyboard never sees a held key's release: the
    // press ends now, as a lost mouse release does.
    if (pEvent->type() == QEvent::WindowDeactivate || pEvent->type() == QEvent::Hide)
        m_dlgManualDriver.EndKeyPress();
    return bResult;
}

void CMainFrame::keyPressEvent(QKeyEvent* pEvent)
{
    if (m_dlgManualDriver.ColourKeyEvent(pEvent)) {
        pEvent->accept();
        return;
    }
    QMainWindow::keyPressEvent(pEvent);
}

void CMainFrame::keyReleaseEvent(QKeyEvent* pEvent)
{
    if (m_dlgManualDriver.ColourKeyEvent(pEvent)) {
        pEvent->accept();
        return;
    }
    QMainWindow::keyReleaseEvent(pEvent);
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    // Once this paint has reached the screen.
    if (pWatched == &m_wndView && pEvent->type() == QEvent::Paint && m_bStartupWorkPending)
        QMetaObject::invokeMethod(this, &CMainFrame::DoStartupWork, Qt::QueuedConnection);
    if (pWatched == &m_wndView && pEvent->type() == QEvent::Resize && m_pFullScreenNotice)
        m_pFullScreenNotice->PlaceOver(BoardInView());
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void CMainFrame::OnFocusArrival()
{
    PlaceAwaitingToolWindow();
    if (m_bFocusToDravikDriver) {
        m_bFocusToDravikDriver = false;
        if (QWidget* pDriver = DravikDriverWindow()) {
            // Activating another window from inside this one's activation
            // would be undone by it: do it once this activation is over.
            QMetaObject::invokeMethod(
                pDriver, [pDriver] { pDriver->raise(); pDriver->activateWindow(); }, Qt::QueuedConnection);
            return;
        }
    }
    m_wndView.setFocus(Qt::ActiveWindowFocusReason);
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    QMainWindow::closeEvent(pEvent);
    if (pEvent->isAccepted())
        emit Closed();
}

void CMainFrame::EndRun()
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    // Nothing may connect again, nor start what the first paint would have.
    m_bStartupWorkPending = false;
    m_bKeepRecordsAfterStartup = false;
    m_autoConnect.Control().SetEnabled(false);
    m_timerIdle.stop();
    // The day's figures the venue is told last count the game about to be
    // abandoned: the records hold it once its write is done.
    const std::optional<GameRecord>& game = m_dlgDravikDriver.GameEvents().OpenGame();
    if (game && m_today && DateOf(*m_today) == QDate::currentDate()) {
        ++m_today->nGames;
        const std::optional<int> nLevel = game->levelReached.nNumber;
        if (nLevel && (!m_today->nBestLevel || *nLevel > *m_today->nBestLevel))
            m_today->nBestLevel = nLevel;
    }
    // Told to every observer while all of them still exist: the records,
    // the venue's tally and its broker link.
    m_dlgDravikDriver.EndForExit();
    ReleaseRecordStore();
    UpdateCommandUI();
}

void CMainFrame::OnDravikConnectionChanged(bool bConnected)
{
    // The board has one driver at a time: a connection closes the manual one.
    if (bConnected && m_bManualDriverShown) {
        m_bManualDriverShown = false;
        m_dlgManualDriver.hide();
    }
    m_bDravikConnected = bConnected;
    // The board's first tone may come at any moment now.
    if (bConnected && m_pSoundPlayer)
        m_pSoundPlayer->Prepare();
    UpdateCommandUI();
}
