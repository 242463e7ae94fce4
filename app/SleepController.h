// The screen asleep while the venue is closed: the closed page over the board
// and the display switched off where the X server can, woken at the opening
// time, by a line from the board (somebody plays after hours) until the idle
// time has passed without one, or by the venue's sleep command until the
// hours next change. The clock can be a test's, like the midnight watch's.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

#include "protocol/GameEvents.h"
#include "protocol/OpeningHours.h"

class CClosedPage;
class CDisplayPower;
class QWidget;

// What was done to the screen: nothing, switched off (DPMS), or covered.
enum class DisplayState { On, Off, Blank };
const char* DisplayStateName(DisplayState nState);

class CSleepController : public QObject {
    Q_OBJECT
public:
    // UTC milliseconds since 1970; the system clock unless a test gives its own.
    using NowSource = std::function<qint64()>;
    // The clock is looked at again after at most this long, as the midnight
    // watch does: a clock set forward or back moves the next change.
    static constexpr int LongestWaitMs = 5 * 60 * 1000;

    // pView is the board view the closed page covers; it and events must
    // outlive the controller. nIdleMs: how long after the last line a game
    // played after hours goes back to sleep.
    CSleepController(COpeningHours hours, QWidget* pView, CGameEvents& events, int nIdleMs,
                     QObject* pParent = nullptr);
    ~CSleepController() override;

    void SetNowSource(NowSource fnNow);
    // Replaces the display switch (tests give one without a server).
    void SetDisplayPower(std::unique_ptr<CDisplayPower> pPower);
    // Looks at the clock now and sets the next wait.
    void Check();

    bool IsOpen() const { return m_bOpen; }
    bool IsAsleep() const { return m_bAsleep; }
    DisplayState Display() const { return m_nDisplay; }
    // The next change of the hours, UTC milliseconds; none within a year.
    std::optional<qint64> NextChangeMs() const { return m_nNextChangeMs; }
    // The venue's set/sleep: asleep or awake whatever the hours say, until
    // they next change.
    void SetSleepOverride(bool bAsleep);
    // The program ends: the screen is switched on again first (the end may
    // not come back to run destructors).
    void End();
    std::optional<bool> SleepOverride() const { return m_bOverride; }
    // "closed until YYYY-MM-DD HH:MM" while closed (or "closed"); empty while open.
    std::string StatusText() const;
    int WaitMs() const { return m_timer.interval(); }
    const CClosedPage* ClosedPage() const;

signals:
    // Open, asleep or the display changed.
    void Changed();

private:
    void OnGameEvent(const GameEvent& event);
    void OnIdle();
    void Apply();
    void Arm();

    COpeningHours m_hours;
    QPointer<CClosedPage> m_pPage;
    std::unique_ptr<CDisplayPower> m_pPower;
    CGameEventSubscription m_eventWatch;
    NowSource m_fnNow;
    QTimer m_timer;
    QTimer m_timerIdle;
    bool m_bChecked = false;
    bool m_bOpen = true;
    std::optional<qint64> m_nNextChangeMs;
    std::optional<bool> m_bOverride;
    // A game after hours: awake while lines come.
    bool m_bWoken = false;
    bool m_bAsleep = false;
    DisplayState m_nDisplay = DisplayState::On;
};
