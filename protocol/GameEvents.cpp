#include "protocol/GameEvents.h"

#include <algorithm>
#include <climits>

const char* OutcomeName(GameOutcome nOutcome)
{
    switch (nOutcome) {
    case GameOutcome::Won:
        return "won";
    case GameOutcome::Lost:
        return "lost";
    case GameOutcome::TimedOut:
        return "timeout";
    case GameOutcome::Abandoned:
        break;
    }
    return "abandoned";
}

const char* EndCauseName(GameEndCause nCause)
{
    switch (nCause) {
    case GameEndCause::Congrat:
        return "congrat";
    case GameEndCause::Incorrect:
        return "incorrect";
    case GameEndCause::Timeout:
        return "timeout";
    case GameEndCause::Press:
        return "press";
    case GameEndCause::New:
        return "new";
    case GameEndCause::Disconnect:
        return "disconnect";
    case GameEndCause::AdapterLost:
        return "adapter_lost";
    case GameEndCause::Closing:
        break;
    }
    return "closing";
}

const char* DisconnectReasonName(DisconnectReason nReason)
{
    switch (nReason) {
    case DisconnectReason::User:
        return "user";
    case DisconnectReason::AdapterLost:
        return "adapter_lost";
    case DisconnectReason::Closing:
        break;
    }
    return "closing";
}

GameOutcome OutcomeOf(GameEndCause nCause)
{
    switch (nCause) {
    case GameEndCause::Congrat:
        return GameOutcome::Won;
    case GameEndCause::Incorrect:
        return GameOutcome::Lost;
    case GameEndCause::Timeout:
        return GameOutcome::TimedOut;
    default:
        return GameOutcome::Abandoned;
    }
}

GameLevel GameLevel::From(std::wstring_view text)
{
    GameLevel level{std::wstring(text), std::nullopt};
    // Only plain decimal digits count as a number: "3" is, "3a" and "-1" are not.
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return level;
    int nValue = 0;
    for (const wchar_t c : text)
        nValue = nValue * 10 + (c - L'0');
    level.nNumber = nValue;
    return level;
}

int CGameEvents::Subscribe(Observer observer)
{
    // During a publish the list must not move under the observer that runs.
    (m_nPublishing > 0 ? m_joining : m_observers).emplace_back(m_nNextId, std::move(observer));
    return m_nNextId++;
}

void CGameEvents::Unsubscribe(int nId)
{
    // While a publish runs the entry is only marked (id 0): the observer
    // may be the one running.
    for (auto* pList : {&m_observers, &m_joining}) {
        for (auto& entry : *pList) {
            if (entry.first == nId)
                entry.first = 0;
        }
    }
    if (m_nPublishing == 0)
        std::erase_if(m_observers, [](const auto& entry) { return entry.first == 0; });
}

std::chrono::system_clock::time_point CGameEvents::Now() const
{
    return m_clock ? m_clock() : std::chrono::system_clock::now();
}

namespace {

GameEvent EventOf(GameEvent::Kind nKind)
{
    GameEvent event;
    event.nKind = nKind;
    return event;
}

} // namespace

void CGameEvents::Publish(GameEvent&& event)
{
    event.tWhen = Now();
    // By index, and only those there when it began: an observer may
    // subscribe or leave (itself or another) while it is told.
    ++m_nPublishing;
    const size_t nCount = m_observers.size();
    for (size_t i = 0; i < nCount; ++i) {
        if (m_observers[i].first != 0)
            m_observers[i].second(event);
    }
    if (--m_nPublishing > 0)
        return;
    std::erase_if(m_observers, [](const auto& entry) { return entry.first == 0; });
    for (auto& entry : m_joining) {
        if (entry.first != 0)
            m_observers.push_back(std::move(entry));
    }
    m_joining.clear();
}

void CGameEvents::OnLine()
{
    ++m_nLines;
    m_tLastLine = std::chrono::steady_clock::now();
    Publish(EventOf(GameEvent::Kind::Line));
}

void CGameEvents::OnNew()
{
    if (m_game)
        EndGame(GameEndCause::New);
    GameRecord game;
    game.tStart = game.tEnd = Now();
    game.strMaxLevel = m_strMaxLevel;
    game.strSerial = m_strSerial;
    m_game = game;
    GameEvent event = EventOf(GameEvent::Kind::GameStarted);
    event.game = *m_game;
    Publish(std::move(event));
}

void CGameEvents::OnLevel(std::wstring_view number)
{
    GameLevel level = GameLevel::From(number);
    if (m_game) {
        GameLevel& reached = m_game->levelReached;
        // A number never goes down; text without one stands until a number comes.
        const bool bHigher = !reached.nNumber || (level.nNumber && *level.nNumber >= *reached.nNumber);
        if (bHigher)
            reached = level;
        m_game->strMaxLevel = m_strMaxLevel;
    }
    GameEvent event = EventOf(GameEvent::Kind::LevelShown);
    event.level = std::move(level);
    if (m_game)
        event.game = *m_game;
    Publish(std::move(event));
}

void CGameEvents::OnMaxLevel(std::wstring_view maxLevel)
{
    m_strMaxLevel = std::wstring(maxLevel);
    if (m_game)
        m_game->strMaxLevel = m_strMaxLevel;
}

void CGameEvents::OnEnd(GameEndCause nCause)
{
    if (m_game)
        EndGame(nCause);
}

void CGameEvents::EndGame(GameEndCause nCause)
{
    GameRecord game = std::move(*m_game);
    m_game.reset();
    game.tEnd = std::max(game.tStart, Now());
    game.nCause = nCause;
    game.nOutcome = OutcomeOf(nCause);
    GameEvent event = EventOf(GameEvent::Kind::GameEnded);
    event.game = std::move(game);
    Publish(std::move(event));
}

void CGameEvents::OnConnected(const std::string& strSerial)
{
    m_bConnected = true;
    m_strSerial = strSerial;
    GameEvent event = EventOf(GameEvent::Kind::Connected);
    event.strSerial = strSerial;
    Publish(std::move(event));
}

void CGameEvents::OnDisconnected(DisconnectReason nReason)
{
    if (m_game)
        EndGame(nReason == DisconnectReason::AdapterLost ? GameEndCause::AdapterLost
                : nReason == DisconnectReason::Closing   ? GameEndCause::Closing
                                                         : GameEndCause::Disconnect);
    if (!m_bConnected)
        return;
    m_bConnected = false;
    GameEvent event = EventOf(GameEvent::Kind::Disconnected);
    event.strSerial = m_strSerial;
    event.nReason = nReason;
    Publish(std::move(event));
}
