// What the Records window shows of one day, worked out from that day's games:
// the four figures, the games in each hour and at each level reached.
#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>

#include <array>
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

// "m:ss", or "h:mm:ss" from an hour on.
QString FormatDuration(qint64 nMs);
