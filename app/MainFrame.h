// The one main window: menu, the board view filling the client area, the
// state that ties the view, the sound player and the tool windows together.
// Owned by CQuadoApp; the board view and the tool windows call back into it.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QRect>

#include "app/StartOptions.h"
#include "board/ChildView.h"
#include "board/IMainFrame.h"
#include "drivers/AutoConnect.h"
#include "drivers/QuadoDravikDriver.h"
#include "drivers/QuadoDriverDialog.h"

class CFullScreenBar;
class CFullScreenNotice;
class IQuadoBoard;
class ISoundPlayer;
class QAction;
class QLabel;

// What is saved before full screen and restored after it: the show state
// (maximised, minimised) and the geometry of the normal state.
struct WindowPlacement {
    Qt::WindowStates nShowState = Qt::WindowNoState;
    QRect rcNormal;
};

class CMainFrame : public QMainWindow, public IMainFrame {
    Q_OBJECT
public:
    static constexpr int DefaultWidth = 1300;
    static constexpr int DefaultHeight = 820;

    // What the first picture does not need: listing and watching the
    // adapters, and showing the adapter window. At once, or once the board
    // has first been painted (the program's own start).
    enum class StartupWork { AtOnce, AfterFirstPaint };
    // Done after this long even when no paint comes (a window kept hidden).
    static constexpr int StartupWorkLatestMs = 1000;

    // pSoundPlayer is not owned and must outlive the frame.
    explicit CMainFrame(ISoundPlayer* pSoundPlayer, StartupWork nStartupWork = StartupWork::AtOnce);
    ~CMainFrame() override;

    // Builds the menu and the view's window, hands the view its frame link,
    // shows the adapter window when due. False when the view cannot be made.
    bool Create();

    // Runs the command with that id as the menu would; false when no one
    // handles it.
    bool OnCommand(int nCommandId);
    // The menu action that carries a command id, null if none.
    QAction* FindCommand(int nCommandId) const;
    // Brings every check mark and enabled state up to date with the flags.
    void UpdateCommandUI() override;

    void ToggleMute();
    void ToggleFullScreen() override;
    void ToggleScaleDown();
    void ToggleFitToScreen();
    void ToggleDravikDriver() override;
    void ToggleManualDriver() override;
    bool IsFullScreen() const override { return m_bFullScreen; }
    void OnDravikConnectionChanged(bool bConnected) override;
    void OnAppAbout();
    void ToggleConnectAutomatically();

    // --- Start options and kiosk mode ---
    // Before Create: which windows come up. After Create: the rest.
    void ApplyStartOptionsBeforeCreate(const StartOptions& options);
    void ApplyStartOptionsAfterShow(const StartOptions& options);
    // The kiosk's line at the foot of the screen, from the adapter window's
    // status line; shown only while kiosk mode is on and not connected.
    void UpdateKioskStatus();
    // The pointer hides after this long at rest over the board in kiosk mode.
    static constexpr int KioskPointerHideMs = 3000;

    // Declaration order is destruction order reversed: the tool windows go
    // before the view.
    IQuadoBoard* m_pView = nullptr;
    CChildView m_wndView;
    bool m_bMute = false;
    bool m_bFullScreen = false;
    // Options > Fit to Screen: a client larger than the canvas shows it as
    // large as fits.
    bool m_bFitToScreen = false;
    // Exists exactly while m_bFullScreen is set.
    CFullScreenBar* m_pFullScreenBar = nullptr;
    WindowPlacement m_wpPrev;
    QRect m_rcFullScreen;
    // The adapter driver window comes before the manual driver window, which
    // is thus destroyed first; its destruction ends an open connection.
    CQuadoDravikDriver m_dlgDravikDriver;
    CQuadoDriverDialog m_dlgManualDriver;
    bool m_bManualDriverShown = false;
    bool m_bDravikConnected = false;
    bool m_bDravikDriverShown = true;
    bool m_bFocusToDravikDriver = false;
    // After the tool windows: goes first, while the adapter window still exists.
    CDravikAutoConnect m_autoConnect{m_dlgDravikDriver};
    bool m_bKiosk = false;
    QLabel* m_pKioskStatus = nullptr;
    // The kiosk line follows the link; ends before the adapter window goes.
    CGameEventSubscription m_kioskLinkWatch;
    QTimer* m_pPointerTimer = nullptr;

    ISoundPlayer* m_pSoundPlayer = nullptr;
    // "Press Esc to leave full screen", over the board for a few seconds
    // after full screen is entered; made at the first entry.
    CFullScreenNotice* m_pFullScreenNotice = nullptr;

signals:
    // The window has been closed (File > Exit or the close box); the
    // application ends its run on it.
    void Closed();

protected:
    // Makes the floating bar of full-screen mode, not yet shown; null when
    // it cannot be made, and full screen is then not entered.
    virtual CFullScreenBar* CreateFullScreenBar();

    bool event(QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    // Colour keys reach the manual driver's buttons from here, whichever
    // widget of this window has the focus.
    void keyPressEvent(QKeyEvent* pEvent) override;
    void keyReleaseEvent(QKeyEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void CreateMenus();
    void EnterFullScreen();
    void LeaveFullScreen();
    void OnFocusArrival();
    QWidget* DravikDriverWindow();
    QWidget* ManualDriverWindow();
    void ShowToolWindow(QWidget* pWindow, bool bShow);
    // The board's picture in screen coordinates.
    QRect BoardOnScreen() const;
    QRect BoardInView() const;
    // The first show of a tool window puts it beside the board when there
    // is room; one shown before this window has its place waits for it.
    void PlaceToolWindow(QWidget* pWindow);
    void PlaceAwaitingToolWindow();
    void MoveBesideBoard(QWidget* pWindow);
    void ShowFullScreenNotice();

    QList<const QWidget*> m_listPlacedToolWindows;
    QWidget* m_pAwaitingPlacement = nullptr;
    QPoint m_ptAwaitingPlacement;

    // --- Start-up work after the first paint ---
    void DoStartupWork();
    bool m_bStartupWorkPending = false;
};
