// One kept game as the records hold it, and the times in the form the file
// stores them: UTC, ISO 8601 with milliseconds ("2026-06-01T14:03:22.120Z").
#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <array>
#include <chrono>
#include <optional>

#include "protocol/DayFigures.h"

struct GameRecord;

struct RecordedGame {
    qint64 nId = 0;
    // Milliseconds since 1970 (UTC).
    qint64 nStartMs = 0;
    qint64 nEndMs = 0;
    qint64 nDurationMs = 0;
    QString strOutcome; // "won", "lost", "timeout", "abandoned"
    QString strCause;   // "congrat" ... "adapter_lost"; empty when the file did not keep it
    QString strLevel;   // as the board sent it; empty when no level was shown
    std::optional<int> nLevel;
    std::optional<QString> strMaxLevel;
    QString strSerial;

    static RecordedGame From(const GameRecord& game);
};

using RecordedGames = QList<RecordedGame>;

// A local day as the records name it and as the day's figures carry it.
std::chrono::year_month_day DayOf(const QDate& date);
QDate DateOf(const std::chrono::year_month_day& day);

QString FormatUtc(qint64 nMs);
// Reads what FormatUtc writes (and other ISO 8601 forms, more slowly).
std::optional<qint64> ParseUtc(const QString& str);

// A local day's bounds in UTC milliseconds: [first, second).
std::pair<qint64, qint64> LocalDayBounds(const QDate& day);
// The UTC start of each local hour of the day, and of the next day: 25 values.
std::array<qint64, 25> LocalHourStarts(const QDate& day);
