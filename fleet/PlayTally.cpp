#include "fleet/PlayTally.h"

#include <ctime>

CPlayTally::CPlayTally(CGameEvents& events)
    : m_subscription(events, [this](const GameEvent& event) { OnEvent(event); })
{
}

int CPlayTally::LocalDay(std::chrono::system_clock::time_point when)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    return DayFigures::DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

DayFigures CPlayTally::Today(std::chrono::system_clock::time_point now) const
{
    // A day without a game yet reads as none, not as the last day played.
    const int nToday = LocalDay(now);
    return nToday == m_day.nDay ? m_day : DayFigures{nToday, 0, std::nullopt};
}

void CPlayTally::OnEvent(const GameEvent& event)
{
    switch (event.nKind) {
    case GameEvent::Kind::GameStarted:
        m_level.reset();
        if (event.game.strMaxLevel)
            m_strMaxLevel = event.game.strMaxLevel;
        break;
    case GameEvent::Kind::LevelShown:
        m_level = event.level;
        if (event.game.strMaxLevel)
            m_strMaxLevel = event.game.strMaxLevel;
        break;
    case GameEvent::Kind::GameEnded: {
        m_level.reset();
        ++m_nGames[static_cast<size_t>(event.game.nOutcome)];
        const int nDay = LocalDay(event.game.tEnd);
        if (nDay != m_day.nDay)
            m_day = DayFigures{nDay, 0, std::nullopt};
        ++m_day.nGames;
        if (const std::optional<int>& nLevel = event.game.levelReached.nNumber;
            nLevel && (!m_day.nBestLevel || *nLevel > *m_day.nBestLevel))
            m_day.nBestLevel = nLevel;
        break;
    }
    case GameEvent::Kind::Connected:
        ++m_nConnections;
        break;
    case GameEvent::Kind::Disconnected:
    case GameEvent::Kind::Line:
        break;
    }
}
