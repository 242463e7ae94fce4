#include "app/SleepController.h"

#include <QDateTime>
#include <QWidget>

#include <algorithm>

#include "app/ClosedPage.h"
#include "app/DisplayPower.h"

const char* DisplayStateName(DisplayState nState)
{
    switch (nState) {
    case DisplayState::Off:
        return "off";
    case DisplayState::Blank:
        return "blank";
    case DisplayState::On:
        break;
    }
    return "on";
}

CSleepController::CSleepController(COpeningHours hours, QWidget* pView, CGameEvents& events, int nIdleMs,
                                   QObject* pParent)
    : QObject(pParent)
    , m_hours(std::move(hours))
    , m_pPage(new CClosedPage(pView))
    , m_pPower(std::make_unique<CDisplayPower>())
    , m_fnNow([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CSleepController::Check);
    m_timerIdle.setSingleShot(true);
    m_timerIdle.setInterval(std::max(1, nIdleMs));
    connect(&m_timerIdle, &QTimer::timeout, this, &CSleepController::OnIdle);
    m_eventWatch = CGameEventSubscription(events, [this](const GameEvent& event) { OnGameEvent(event); });
    Check();
}

CSleepController::~CSleepController()
{
    // The screen is left on and the board seen again, whoever ends first.
    m_pPower.reset();
    delete m_pPage.data();
}

void CSleepController::End()
{
    m_timer.stop();
    m_timerIdle.stop();
    m_pPower.reset();
}

void CSleepController::SetNowSource(NowSource fnNow)
{
    m_fnNow = std::move(fnNow);
    Check();
}

void CSleepController::SetDisplayPower(std::unique_ptr<CDisplayPower> pPower)
{
    m_pPower = std::move(pPower);
    m_bAsleep = false;
    m_nDisplay = DisplayState::On;
    Apply();
}

void CSleepController::Check()
{
    const qint64 nNow = m_fnNow();
    const HoursState state = m_hours.StateAt(static_cast<std::time_t>(nNow / 1000));
    const bool bChanged = !m_bChecked || state.bOpen != m_bOpen;
    m_bChecked = true;
    m_bOpen = state.bOpen;
    m_nNextChangeMs.reset();
    if (state.tNextChange)
        m_nNextChangeMs = static_cast<qint64>(*state.tNextChange) * 1000;
    if (bChanged) {
        // The hours changed: what the venue or a late game asked for ends.
        m_bOverride.reset();
        m_bWoken = false;
        m_timerIdle.stop();
    }
    Arm();
    Apply();
    if (bChanged)
        emit Changed();
}

void CSleepController::Arm()
{
    qint64 nWait = LongestWaitMs;
    if (m_nNextChangeMs)
        nWait = std::clamp<qint64>(*m_nNextChangeMs - m_fnNow(), 1, LongestWaitMs);
    m_timer.start(static_cast<int>(nWait));
}

void CSleepController::SetSleepOverride(bool bAsleep)
{
    // The clock first: a command that comes after the hours changed (or
    // after the clock was set) is about the new spell, not the old one.
    Check();
    m_bOverride = bAsleep;
    m_bWoken = false;
    m_timerIdle.stop();
    Apply();
}

void CSleepController::OnGameEvent(const GameEvent& event)
{
    if (event.nKind != GameEvent::Kind::Line)
        return;
    if (!m_bAsleep && !m_bWoken)
        return;
    // Somebody plays after hours: awake for the game, asleep again once
    // the board has been quiet for the idle time.
    m_bWoken = true;
    m_timerIdle.start();
    Apply();
}

void CSleepController::OnIdle()
{
    m_bWoken = false;
    Apply();
}

void CSleepController::Apply()
{
    const bool bWanted = m_bOverride.value_or(!m_bOpen);
    const bool bAsleep = bWanted && !m_bWoken;
    if (m_pPage) {
        // Where the picture stays lit, black is the calmest it can be.
        const bool bCanSwitch = m_pPower && m_pPower->IsAvailable();
        m_pPage->SetBlack(!bCanSwitch);
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(m_fnNow());
        m_pPage->SetNextOpening(!m_bOpen && m_nNextChangeMs ? QDateTime::fromMSecsSinceEpoch(*m_nNextChangeMs)
                                                            : QDateTime(),
                                now);
    }
    if (bAsleep == m_bAsleep)
        return;
    m_bAsleep = bAsleep;
    if (bAsleep) {
        if (m_pPage) {
            m_pPage->show();
            m_pPage->raise();
        }
        m_nDisplay = m_pPower && m_pPower->SwitchOff() ? DisplayState::Off : DisplayState::Blank;
    } else {
        if (m_pPower)
            m_pPower->SwitchOn();
        if (m_pPage)
            m_pPage->hide();
        m_nDisplay = DisplayState::On;
    }
    emit Changed();
}

const CClosedPage* CSleepController::ClosedPage() const
{
    return m_pPage.data();
}

std::string CSleepController::StatusText() const
{
    if (m_bOpen)
        return {};
    if (!m_nNextChangeMs)
        return "closed";
    return "closed until " + QDateTime::fromMSecsSinceEpoch(*m_nNextChangeMs).toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
}
