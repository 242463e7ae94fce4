// One kept game as the records hold it, and the times in the form the file
// stores them: UTC, ISO 8601 with milliseconds ("2026-06-01T14:03:22.120Z").
#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <array>
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

// A local day as the day's figures number it (yyyymmdd) and back; an invalid
// date is day 0 and day 0 an invalid date.
int DayNumberOf(const QDate& day);
QDate DateOf(const DayFigures& figures);

QString FormatUtc(qint64 nMs);
// Reads what FormatUtc writes (and other ISO 8601 forms, more slowly).
std::optional<qint64> ParseUtc(const QString& str);

// A game belongs to the local day on which it ended: the day's figures, its
// games and the export's days all go by the end time.
QDate LocalDayOf(qint64 nMs);
// The first instant of a local day in UTC milliseconds. Where the clocks
// jump over midnight (America/Santiago on 2024-09-08 begins at 01:00) that is
// the first local time the day has.
qint64 LocalDayStart(const QDate& day);
// A local day's bounds in UTC milliseconds: [first, second); 23, 24 or 25
// hours long (none for a day a time zone skipped).
std::pair<qint64, qint64> LocalDayBounds(const QDate& day);
// The UTC start of each local hour of the day, and of the next day: 25 values.
std::array<qint64, 25> LocalHourStarts(const QDate& day);
