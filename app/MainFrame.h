// The one main window: menu, the board view filling the client area, the
// state that ties the view, the sound player and the tool windows together.
// Owned by CQuadoApp; the board view and the tool windows call back into it.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QRect>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

#include "app/Language.h"
#include "app/StartOptions.h"
#include "board/ChildView.h"
#include "board/IMainFrame.h"
#include "drivers/AutoConnect.h"
#include "drivers/QuadoDravikDriver.h"
#include "drivers/QuadoDriverDialog.h"
#include "fleet/PlayTally.h"
#include "records/LocalDayWatch.h"
#include "records/RecordStore.h"
#include "records/IRecordsWindow.h"
#include "speech/SpeechOutput.h"

class CFullScreenBar;
class CFullScreenNotice;
class CScreenChoice;
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
    // Where the full-screen bar stands, from the monitor's top-left corner.
    static constexpr int FullScreenBarOffset = 100;

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
    // The adapter link, for every room that follows or drives it; the
    // adapter window is only its view.
    CAdapterLink& AdapterLink() { return m_dlgDravikDriver.Link(); }
    // The menu action that carries a command id, null if none.
    QAction* FindCommand(int nCommandId) const;
    // Brings every check mark and enabled state up to date with the flags.
    void UpdateCommandUI() override;

    void ToggleMute();
    void ToggleFullScreen() override;
    void ToggleScaleDown();
    void ToggleFitToScreen();
    // Options > Shapes on the Board, on the board and the manual driver's buttons.
    void SetShapesShown(bool bShown);
    bool ShowsShapes() const { return m_wndView.ShapesShown(); }
    void ToggleDravikDriver() override;
    void ToggleManualDriver() override;
    bool IsFullScreen() const override { return m_bFullScreen; }
    void OnDravikConnectionChanged(bool bConnected) override;
    void OnAppAbout();
    void ToggleConnectAutomatically();

    // --- Options > Language (MainFrameLanguage.cpp) ---
    // Every window's words change at once, menus included; false, with the
    // language kept, when its catalogue is missing.
    bool SetLanguage(UiLanguage nLanguage);

    // --- Start options and kiosk mode ---
    // Before Create: which windows come up. After Create: the rest.
    void ApplyStartOptionsBeforeCreate(const StartOptions& options);
    void ApplyStartOptionsAfterShow(const StartOptions& options);
    // The kiosk's line at the foot of the screen, from the adapter window's
    // status line; shown only while kiosk mode is on and not connected.
    void UpdateKioskStatus();
    // The pointer hides after this long at rest over the board in kiosk mode.
    static constexpr int KioskPointerHideMs = 3000;

    // --- The chosen monitor (MainFrameScreen.cpp) ---
    // Before the window is shown: it, full screen and the kiosk go to that
    // monitor (--screen), and follow it as monitors come and go.
    void FollowScreen(const QString& strChoice);
    // Null unless a monitor was chosen.
    CScreenChoice* ScreenChoice() const { return m_pScreenChoice; }

    // --- Records of play (MainFrameRecords.cpp) ---
    // The idle screen's wait with --kiosk, and how often the day's figures
    // are read again while it shows (the day may change under it).
    static constexpr int DefaultIdleRecordsMs = 120 * 1000;
    static constexpr int IdleRefreshMs = 60 * 1000;
    // How long the status bar tells that records went off.
    static constexpr int RecordsNoticeMs = 60 * 1000;
    // Where the records go, whether they are kept, the idle screen.
    void ApplyRecordsOptions(const StartOptions& options);
    // The file the records go to; takes effect when they are next switched on.
    void SetRecordsFile(const QString& strPath, RecordFileSettings settings = {});
    // Options > Keep Records. On, the file is checked at once (on the
    // store's thread); off, nothing touches it.
    void SetKeepRecords(bool bKeep);
    void ToggleKeepRecords();
    bool IsKeepingRecords() const;
    // Options > Show Records When Idle, after nDelayMs without a board line.
    void SetIdleRecords(bool bOn, int nDelayMs = DefaultIdleRecordsMs);
    void ToggleIdleRecords();
    void ToggleRecordsWindow();
    // File > Export Records...: asks where, then ExportRecordsTo.
    void OnExportRecords();
    void ExportRecordsTo(const QString& strFile);
    // The program's end, before anything is taken down, whatever ends it:
    // automatic connection off, the adapter let go (a game in progress ends
    // abandoned, cause closing, and goes to the records), the records file
    // handed to the store's thread to close. Returns at once; once is enough.
    void EndRun();
    bool IsEnded() const { return m_bEnded; }
    // Why records went off by themselves this run (empty otherwise): for the
    // status line and the Records window.
    const QString& RecordsOffReason() const { return m_strRecordsOff; }

    // --- What a venue sees and steers (app/VenueLink.h), each told when it
    // changes ---
    bool IsMuted() const { return m_bMute; }
    // Options > Speak Texts (MainFrameSpeech.cpp): the panel's texts said
    // aloud, whatever Mute says. Unavailable, with the reason, when no
    // engine can be had; turning it on then does nothing and returns false.
    bool IsSpeakOn() const { return m_speech.IsOn(); }
    bool IsSpeakAvailable() const { return m_speech.IsAvailable(); }
    const QString& SpeakUnavailableReason() const { return m_speech.UnavailableReason(); }
    bool SetSpeak(bool bOn);
    void ToggleSpeak() { SetSpeak(!IsSpeakOn()); }
    CSpeechOutput& Speech() { return m_speech; }
    bool IsFitToScreen() const { return m_bFitToScreen; }
    // The quadrant the board shows lit, and the panel's text.
    int LitQuadrant() const { return m_wndView.m_nLitQuadrant; }
    const std::wstring& PanelText() const { return m_wndView.PanelText(); }
    // The client area's picture at one device pixel per pixel.
    QImage Screenshot() { return m_wndView.PictureAt(1.0); }
    // The board view, for watching its paints.
    QWidget* BoardView() { return &m_wndView; }
    // Automatic connection (Options > Connect Automatically).
    CAutoConnect& AutoConnect() { return m_autoConnect.Control(); }
    // Today's games and best level from the records of play; none while
    // they are not kept.
    std::optional<DayFigures> RecordedDayFigures() const { return m_fnDayFigures ? m_fnDayFigures() : std::nullopt; }
    // Options > Show Records When Idle as it stands; none where the records
    // wiring is not there.
    std::optional<bool> ShowsRecordsWhenIdle() const
    {
        return m_fnShowRecordsWhenIdle ? std::optional<bool>(m_bIdleRecords) : std::nullopt;
    }
    // Options > Show Records When Idle as the menu sets it; false when the
    // records wiring is not there to do it.
    bool SetShowRecordsWhenIdle(bool bOn)
    {
        if (!m_fnShowRecordsWhenIdle)
            return false;
        m_fnShowRecordsWhenIdle(bOn);
        return true;
    }

    // --- The frame's parts and state as they stand, for the tools, the
    // benches and the tests ---
    CChildView& View() { return m_wndView; }
    const CChildView& View() const { return m_wndView; }
    // The board the driver windows play on: the view, or what a test put there.
    IQuadoBoard* const& Board() const { return m_pView; }
    const bool* MuteFlag() const { return &m_bMute; }
    CQuadoDravikDriver& DravikDriver() { return m_dlgDravikDriver; }
    CQuadoDriverDialog& ManualDriver() { return m_dlgManualDriver; }
    bool IsDravikConnected() const { return m_bDravikConnected; }
    bool IsDravikDriverShown() const { return m_bDravikDriverShown; }
    bool IsManualDriverShown() const { return m_bManualDriverShown; }
    bool IsFocusToDravikDriver() const { return m_bFocusToDravikDriver; }
    bool IsKiosk() const { return m_bKiosk; }
    CFullScreenBar* FullScreenBar() const { return m_pFullScreenBar; }
    CFullScreenNotice* FullScreenNotice() const { return m_pFullScreenNotice; }
    const QRect& FullScreenRect() const { return m_rcFullScreen; }
    const WindowPlacement& PlacementBeforeFullScreen() const { return m_wpPrev; }
    QLabel* KioskStatus() const { return m_pKioskStatus; }
    QTimer* PointerTimer() const { return m_pPointerTimer; }
    CLocalDayWatch& DayWatch() { return m_dayWatch; }
    CRecordStore* RecordStore() const { return m_pRecordStore.get(); }
    // Null until the Records window is first asked for.
    IRecordsWindow* RecordsWindowIfMade() const { return m_pRecordsWindow.get(); }

    // Test seams: state a test sets to reach a case without the hardware or
    // the wait that would bring it.
    void SetBoardForTest(IQuadoBoard* pBoard) { m_pView = pBoard; }
    void SetDravikConnectedForTest(bool bConnected) { m_bDravikConnected = bConnected; }
    void SetManualDriverShownForTest(bool bShown) { m_bManualDriverShown = bShown; }
    void SetFocusToDravikDriverForTest(bool bFocus) { m_bFocusToDravikDriver = bFocus; }
    void SetKioskForTest(bool bKiosk) { m_bKiosk = bKiosk; }
    void SetIdleRecordsDelayForTest(int nDelayMs) { m_nIdleRecordsMs = nDelayMs; }

private:
    // Declaration order is destruction order reversed: the tool windows go
    // before the view.
    IQuadoBoard* m_pView = nullptr;
    CChildView m_wndView;
    // Before the tool windows: a game still running as the program closes
    // ends when the adapter window goes, and is kept.
    QString m_strRecordsPath;
    RecordFileSettings m_recordSettings;
    std::unique_ptr<CRecordStore> m_pRecordStore;
    // Keep Records as asked before the first picture, which the store waits for.
    bool m_bKeepRecordsAfterStartup = false;
    QString m_strRecordsOff;
    std::unique_ptr<IRecordsWindow> m_pRecordsWindow;
    bool m_bRecordsWindowShown = false;
    bool m_bIdleRecords = false;
    int m_nIdleRecordsMs = DefaultIdleRecordsMs;
    // Runs from the last board line; when it fires the idle screen shows,
    // and then it fires again every IdleRefreshMs while nobody plays.
    QTimer m_timerIdle;
    bool m_bIdle = false;
    std::optional<DayFigures> m_today;
    // Local midnight, when today's figures start again from none.
    CLocalDayWatch m_dayWatch;
    bool m_bMute = false;
    // Follows the view's panel text; goes after the tool windows, which may
    // still clear the panel as they close.
    CSpeechOutput m_speech;
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
    CDravikAutoConnect m_autoConnect{m_dlgDravikDriver.Link()};
    bool m_bKiosk = false;
    QLabel* m_pKioskStatus = nullptr;
    // The kiosk line follows the link; ends before the adapter window goes.
    CGameEventSubscription m_kioskLinkWatch;
    QTimer* m_pPointerTimer = nullptr;

    ISoundPlayer* m_pSoundPlayer = nullptr;
    // "Press Esc to leave full screen", over the board for a few seconds
    // after full screen is entered; made at the first entry.
    CFullScreenNotice* m_pFullScreenNotice = nullptr;

    // --- For the venue's reports and commands (app/VenueLink.h) ---
    // Today's games and best level from the records of play; unset, the
    // venue counts them from the game events itself.
    DayFiguresProvider m_fnDayFigures;
    // Options > Show Records When Idle; unset, the venue's idle_records
    // command is refused as not available.
    std::function<void(bool)> m_fnShowRecordsWhenIdle;

signals:
    // The window has been closed (File > Exit or the close box); the
    // application ends its run on it.
    void Closed();
    void MuteChanged(bool bMuted);
    void SpeakChanged(bool bOn);
    void FullScreenChanged(bool bFullScreen);
    void FitToScreenChanged(bool bFit);
    void LitQuadrantChanged(int nQuadrant);
    void PanelTextChanged();

protected:
    // Makes the floating bar of full-screen mode, not yet shown; null when
    // it cannot be made, and full screen is then not entered.
    virtual CFullScreenBar* CreateFullScreenBar();

    bool event(QEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    // Colour keys reach the manual driver's buttons from here, whichever
    // widget of this window has the focus.
    void keyPressEvent(QKeyEvent* pEvent) override;
    void keyReleaseEvent(QKeyEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void CreateMenus();
    void CreateLanguageMenu();
    void RetranslateMenus();
    void RetranslateLanguageMenu();
    void UpdateLanguageUI();
    QMenu* m_pLanguageMenu = nullptr;
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
    // Records of play.
    void ConnectRecords();
    void OnGameEvent(const GameEvent& event);
    void OnIdleTimer();
    void OnTodayChanged(const DayFigures& figures);
    void OnDayChanged(const QDate& today);
    void ShowIdleFigures();
    // Speak Texts.
    void ConnectSpeech();
    void CheckSpeechInstalled() { m_speech.CheckInstalled(); }
    void UpdateSpeakCommand();
    bool m_bSpeakShown = false;
    void TellRecords(const QString& strText);
    // Hands the store to its thread to close (CRecordStore::CloseLater).
    void ReleaseRecordStore();
    QWidget* RecordsWindow();

    QList<const QWidget*> m_listPlacedToolWindows;
    QWidget* m_pAwaitingPlacement = nullptr;
    QPoint m_ptAwaitingPlacement;

    // The monitor full screen covers: the chosen one, else the window's.
    QScreen* FullScreenTarget() const;
    void MoveToScreen(QScreen* pScreen);
    CScreenChoice* m_pScreenChoice = nullptr;

    // --- Start-up work after the first paint ---
    void DoStartupWork();
    bool m_bStartupWorkPending = false;
    bool m_bEnded = false;
};
