#include "records/LocalDayWatch.h"

#include <QDateTime>

#include <algorithm>

#include "records/RecordedGame.h"

CLocalDayWatch::CLocalDayWatch(QObject* pParent)
    : QObject(pParent)
    , m_fnNow([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    // A coarse timer may end a little early, before midnight; Check then
    // finds the same day and waits the rest.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CLocalDayWatch::Check);
    m_today = LocalDayOf(NowMs());
    Arm();
}

void CLocalDayWatch::SetNowSource(NowSource fnNow)
{
    m_fnNow = std::move(fnNow);
    Check();
}

void CLocalDayWatch::Check()
{
    const QDate today = LocalDayOf(NowMs());
    const bool bChanged = today != m_today;
    m_today = today;
    // Armed before telling: a listener that looks at the clock again
    // (or sets a new one) finds the watch already up to date.
    Arm();
    if (bChanged)
        emit DayChanged(m_today);
}

void CLocalDayWatch::Arm()
{
    const qint64 nToMidnight = LocalDayStart(m_today.addDays(1)) - NowMs();
    m_timer.start(static_cast<int>(std::clamp<qint64>(nToMidnight, 1, LongestWaitMs)));
}
