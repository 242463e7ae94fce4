// The main frame's tool windows: showing and hiding them, and placing each
// beside the board the first time it is shown.
#include "app/MainFrame.h"

#include <QScreen>
#include <QWindow>

#include "app/ToolWindowPlacement.h"
#include "board/PaintGeometry.h"
#include "platform/MessageBox.h"
#include "protocol/ISoundPlayer.h"

namespace {

constexpr char ManualDriverRefusalText[] =
    QT_TRANSLATE_NOOP("CMainFrame", "Please disconnect the Dravik Driver device before using the manual driver");
constexpr char ManualDriverRefusalCaption[] = QT_TRANSLATE_NOOP("CMainFrame", "Manual Driver Disabled");

} // namespace

void CMainFrame::ToggleDravikDriver()
{
    m_bDravikDriverShown = !m_bDravikDriverShown;
    ShowToolWindow(DravikDriverWindow(), m_bDravikDriverShown);
}

void CMainFrame::ToggleManualDriver()
{
    if (m_bDravikConnected) {
        QuadoMessageBox(this, tr(ManualDriverRefusalText),
                        tr(ManualDriverRefusalCaption), MessageIcon::Exclamation);
        return;
    }
    m_bManualDriverShown = !m_bManualDriverShown;
    // Its buttons sound as they are pressed.
    if (m_bManualDriverShown && m_pSoundPlayer)
        m_pSoundPlayer->Prepare();
    ShowToolWindow(ManualDriverWindow(), m_bManualDriverShown);
}

QWidget* CMainFrame::DravikDriverWindow()
{
    return &m_dlgDravikDriver;
}

QWidget* CMainFrame::ManualDriverWindow()
{
    return &m_dlgManualDriver;
}

QRect CMainFrame::BoardInView() const
{
    const PaintRect rc = ComputePaintRect(m_wndView.width(), m_wndView.height(), m_wndView.m_bScaleDown,
                                            m_wndView.m_bFitToScreen);
    return QRect(rc.nLeft, rc.nTop, rc.nWidth, rc.nHeight);
}

QRect CMainFrame::BoardOnScreen() const
{
    const QRect rc = BoardInView();
    return QRect(m_wndView.mapToGlobal(rc.topLeft()), rc.size());
}

void CMainFrame::PlaceToolWindow(QWidget* pWindow)
{
    if (m_listPlacedToolWindows.contains(pWindow))
        return;
    m_listPlacedToolWindows.append(pWindow);
    // Until this window is on the screen there is no board to stand beside:
    // the tool window opens centred, and the first one shown so (the
    // adapter window at start) moves beside the board when this window is
    // first activated.
    if (!isVisible() || !windowHandle() || !windowHandle()->isExposed()) {
        if (!m_pAwaitingPlacement && !pWindow->isVisible()) {
            m_pAwaitingPlacement = pWindow;
            m_ptAwaitingPlacement = pWindow->pos();
        }
        return;
    }
    MoveBesideBoard(pWindow);
}

void CMainFrame::MoveBesideBoard(QWidget* pWindow)
{
    const QScreen* pScreen = screen();
    if (!pScreen)
        return;
    // A tool window not yet shown has no frame of its own to measure; the
    // window manager gives it the same borders as this one.
    const QSize szBorders = frameGeometry().size() - geometry().size();
    if (const std::optional<QPoint> pt =
            PlaceBesideBoard(BoardOnScreen(), pScreen->availableGeometry(), pWindow->size() + szBorders))
        pWindow->move(*pt);
}

void CMainFrame::PlaceAwaitingToolWindow()
{
    QWidget* pWindow = m_pAwaitingPlacement;
    m_pAwaitingPlacement = nullptr;
    // A window the user has moved (or hidden) meanwhile stays as it is.
    if (pWindow && pWindow->isVisible() && pWindow->pos() == m_ptAwaitingPlacement)
        MoveBesideBoard(pWindow);
}

void CMainFrame::DoStartupWork()
{
    if (!m_bStartupWorkPending)
        return;
    m_bStartupWorkPending = false;
    if (m_bKeepRecordsAfterStartup)
        SetKeepRecords(true);
    m_dlgDravikDriver.StartDeviceWatch();
    // Unless the user hid it meanwhile; shown now, it goes straight beside
    // the board and takes the keyboard as it would have at start.
    if (m_bDravikDriverShown && !m_dlgDravikDriver.isVisible())
        ShowToolWindow(DravikDriverWindow(), true);
    UpdateKioskStatus();
}

void CMainFrame::ShowToolWindow(QWidget* pWindow, bool bShow)
{
    if (!pWindow)
        return;
    if (bShow) {
        PlaceToolWindow(pWindow);
        pWindow->showNormal();
        pWindow->raise();
        pWindow->activateWindow();
    } else {
        pWindow->hide();
    }
}

// --- Start options, automatic connection and kiosk mode ---
