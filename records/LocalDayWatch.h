// Tells when the local calendar day changes, by itself: a timer to the next
// local midnight (as the time zone has it, summer time and all), so the day's
// figures roll over with no game and no board line to prompt them.
#pragma once

#include <QDate>
#include <QObject>
#include <QTimer>

#include <functional>

class CLocalDayWatch : public QObject {
    Q_OBJECT
public:
    // UTC milliseconds since 1970; the system clock unless a test gives its own.
    using NowSource = std::function<qint64()>;

    // However far midnight is, the clock is looked at again after this long:
    // a clock set forward or back (a board computer without a battery gets
    // its time from the network after boot) moves midnight, and the timer
    // runs on the monotonic clock, which does not follow.
    static constexpr int LongestWaitMs = 5 * 60 * 1000;

    explicit CLocalDayWatch(QObject* pParent = nullptr);

    void SetNowSource(NowSource fnNow);
    qint64 NowMs() const { return m_fnNow(); }
    // The local day as last looked at.
    const QDate& Today() const { return m_today; }
    // How long the timer waits this time.
    int WaitMs() const { return m_timer.interval(); }

    // Looks at the clock now: tells a new day, and sets the next wait.
    void Check();

signals:
    void DayChanged(const QDate& today);

private:
    void Arm();

    NowSource m_fnNow;
    QDate m_today;
    QTimer m_timer;
};
