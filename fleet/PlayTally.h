// What the game event stream has told since start, kept for the venue's
// reports: games by outcome, adapter connections, the level of the game on
// the board, and today's games and best level. Plain C++, UI thread only.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "protocol/DayFigures.h"
#include "protocol/GameEvents.h"

// Gives today's figures from elsewhere (the records of play, while they are
// kept) instead of the tally's own count since start; none: use the tally.
using DayFiguresProvider = std::function<std::optional<DayFigures>()>;

class CPlayTally {
public:
    explicit CPlayTally(CGameEvents& events);
    CPlayTally(const CPlayTally&) = delete;
    CPlayTally& operator=(const CPlayTally&) = delete;

    uint64_t GamesEnded(GameOutcome nOutcome) const { return m_nGames[static_cast<size_t>(nOutcome)]; }
    uint64_t AdapterConnections() const { return m_nConnections; }
    // Games that ended on the local calendar day of `now`.
    DayFigures Today(std::chrono::system_clock::time_point now = std::chrono::system_clock::now()) const;
    // The level shown last in the running game; none between games.
    const std::optional<GameLevel>& CurrentLevel() const { return m_level; }
    // The board's highest level once it has told it.
    const std::optional<std::wstring>& MaxLevel() const { return m_strMaxLevel; }

    // The local calendar day as yyyymmdd, as the day's figures number it.
    static int LocalDay(std::chrono::system_clock::time_point when);

private:
    void OnEvent(const GameEvent& event);

    std::array<uint64_t, 4> m_nGames{};
    uint64_t m_nConnections = 0;
    std::optional<GameLevel> m_level;
    std::optional<std::wstring> m_strMaxLevel;
    DayFigures m_day;
    // Last: ends before what its observer touches goes.
    CGameEventSubscription m_subscription;
};
