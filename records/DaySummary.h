// What the Records window shows of one day, worked out from that day's games:
// the four figures, the games in each hour and at each level reached.
#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>

#include <array>
#include <map>
#include <optional>

#include "records/RecordedGame.h"

struct DaySummary {
    int nGames = 0;
    int nWins = 0;
    std::optional<int> nBestLevel;
    std::optional<qint64> nMedianDurationMs;
    // Games by the local hour they ended in, as the day holds the games
    // that ended on it.
    std::array<int, 24> hours{};
    // Games by the level they reached: numbers in order (each one up to the
    // highest while that is a short row), then levels that are no number,
    // then games that ended before any level was shown.
    QList<QPair<QString, int>> levels;
};

// The label of the games that reached no level.
inline constexpr char NoLevelLabel[] = "none";

DaySummary SummariseDay(const QDate& day, const RecordedGames& games);
// The level chart's bars from the games counted at each numbered level, at
// each level that is no number, and before any level.
QList<QPair<QString, int>> LevelBars(const std::map<int, int>& numbers, const std::map<QString, int>& texts,
                                     int nNoLevel);

// The order of a day's list: one of the Records window's columns, rising or
// falling; games alike in it keep the order they started in.
struct GamesOrder {
    enum Key { Start, Length, Outcome, Cause, Level, MaxLevel, Serial };
    Key nKey = Start;
    bool bDescending = true;
    bool operator==(const GamesOrder&) const = default;
};

// "m:ss", or "h:mm:ss" from an hour on.
QString FormatDuration(qint64 nMs);
