// The main frame on the monitor it was told to use (--screen): placed there
// before it is first shown, full screen covering that monitor, and moved
// when the monitor goes (to the primary one) and when it comes back.
#include "app/MainFrame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "app/FullScreenBar.h"
#include "app/ScreenChoice.h"

namespace {

// rc moved (not resized, unless it is larger) to lie centred in rcArea.
QRect CentredIn(const QRect& rc, const QRect& rcArea)
{
    QRect rcResult(QPoint(0, 0), rc.size().boundedTo(rcArea.size()));
    rcResult.moveCenter(rcArea.center());
    return rcResult;
}

} // namespace

QScreen* CMainFrame::FullScreenTarget() const
{
    if (m_pScreenChoice && m_pScreenChoice->Screen())
        return m_pScreenChoice->Screen();
    if (QScreen* pScreen = screen())
        return pScreen;
    return QGuiApplication::primaryScreen();
}

void CMainFrame::FollowScreen(const QString& strChoice)
{
    if (m_pScreenChoice)
        return;
    m_pScreenChoice = new CScreenChoice(strChoice, this);
    connect(m_pScreenChoice, &CScreenChoice::ScreenChanged, this, &CMainFrame::MoveToScreen);
    MoveToScreen(m_pScreenChoice->Screen());
}

void CMainFrame::MoveToScreen(QScreen* pScreen)
{
    if (!pScreen)
        return;
    if (!m_bFullScreen) {
        setScreen(pScreen);
        setGeometry(CentredIn(normalGeometry().isValid() ? normalGeometry() : geometry(), pScreen->availableGeometry()));
        return;
    }
    // Leaving full screen later lands on this monitor too.
    m_wpPrev.rcNormal = CentredIn(m_wpPrev.rcNormal, pScreen->availableGeometry());
    m_rcFullScreen = pScreen->geometry();
    // A full-screen window stays on the monitor it filled: it goes through
    // the normal state to the new monitor and fills that one.
    const Qt::WindowStates nStates = windowState();
    setWindowState(nStates & ~Qt::WindowFullScreen);
    if (QWindow* pWindow = windowHandle()) {
        pWindow->setScreen(pScreen);
        pWindow->setGeometry(m_rcFullScreen);
    }
    setWindowState(nStates | Qt::WindowFullScreen);
    // Without a window manager nothing acts on the state (see EnterFullScreen).
    if (QWindow* pWindow = windowHandle())
        pWindow->setGeometry(m_rcFullScreen);
    if (m_pFullScreenBar)
        m_pFullScreenBar->FloatAt(m_rcFullScreen.topLeft() + QPoint(FullScreenBarOffset, FullScreenBarOffset));
}
