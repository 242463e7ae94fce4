// A day's figures through the indexes on the level and the length: a day of
// a hundred thousand games is counted without a sort, the index entries of
// each level read in their order and the median found by walking lengths
// upwards, so the Records window opens on such a day as on a quiet one.
#include "records/RecordFile.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <map>

#include "records/RecordPlace.h"
#include "records/RecordSchema.h"

namespace {

// Every level number in the file, one index step each: the levels of a day
// are then read level by level in the index's order, and SQLite groups them
// as they come instead of sorting the day's games to group them.
constexpr char LevelsSql[] =
    "WITH RECURSIVE levels(n) AS (SELECT MIN(level_number) FROM games INDEXED BY games_by_level"
    " UNION ALL SELECT (SELECT MIN(level_number) FROM games INDEXED BY games_by_level WHERE level_number > levels.n)"
    " FROM levels WHERE levels.n IS NOT NULL)";

// The games that ended in [:from, :to) by level reached, with their wins;
// the levels that are no number (the level number NULL) by their text.
constexpr char LevelCountsSql[] =
    " SELECT level_number, NULL, COUNT(*), SUM(outcome = 'won') FROM games INDEXED BY games_by_level"
    " WHERE level_number IN (SELECT n FROM levels) AND ended_utc >= :from AND ended_utc < :to GROUP BY level_number"
    " UNION ALL SELECT NULL, level_reached, COUNT(*), SUM(outcome = 'won') FROM games INDEXED BY games_by_level"
    " WHERE level_number IS NULL AND ended_utc >= :from AND ended_utc < :to GROUP BY level_reached";

// The games that ended in each local hour [:hN, :hN+1): two ranges of the
// level's index per level, no game read.
QString HourCountsSql()
{
    QString strSql = QString::fromLatin1(LevelsSql) + QStringLiteral(", hours(h, t0, t1) AS (VALUES ");
    for (int h = 0; h < 24; ++h)
        strSql += QStringLiteral("%1(%2, :h%2, :h%3)").arg(h ? QStringLiteral(", ") : QString()).arg(h).arg(h + 1);
    return strSql + QStringLiteral(
                        ") SELECT h, (SELECT COUNT(*) FROM games INDEXED BY games_by_level"
                        " WHERE level_number IN (SELECT n FROM levels) AND ended_utc >= t0 AND ended_utc < t1)"
                        " + (SELECT COUNT(*) FROM games INDEXED BY games_by_level"
                        " WHERE level_number IS NULL AND ended_utc >= t0 AND ended_utc < t1) FROM hours");
}

// Walking the lengths upwards to the day's middle one passes about half the
// file's games; sorting the day's own costs some ten times as much a game.
// Below this share of the file, the day is sorted.
constexpr qint64 WalkShare = 16;

} // namespace

void CRecordFile::AddDayIndexesIfRoom()
{
    m_bDayIndexes = HasDayIndexes(m_db);
    if (m_bDayIndexes)
        return;
    // The indexes take some half the room the games do, and the log holds
    // their pages before the file does: without room for both, the file is
    // read as before rather than left to fill the disk the games need.
    if (!WhyCannotWrite(m_strPath, RecordsMinFreeBytes + 2 * QFileInfo(m_strPath).size()).isEmpty())
        return;
    QSqlQuery query(m_db);
    QString strError;
    if (query.exec(QStringLiteral("BEGIN IMMEDIATE")) && AddDayIndexes(m_db, strError) &&
        query.exec(QStringLiteral("COMMIT"))) {
        m_bDayIndexes = true;
        return;
    }
    query.exec(QStringLiteral("ROLLBACK"));
}

bool CRecordFile::SummaryByIndexes(const QDate& day, DaySummary& summary, QString& strError)
{
    const std::array<qint64, 25> hourStarts = LocalHourStarts(day);
    const QString strFrom = FormatUtc(hourStarts[0]);
    const QString strTo = FormatUtc(hourStarts[24]);
    const auto failed = [&](const QSqlQuery& query) {
        strError = query.lastError().text();
        summary = DaySummary();
        return false;
    };

    QSqlQuery levels(m_db);
    levels.setForwardOnly(true);
    if (!levels.prepare(QString::fromLatin1(LevelsSql) + QString::fromLatin1(LevelCountsSql)))
        return failed(levels);
    levels.bindValue(QStringLiteral(":from"), strFrom);
    levels.bindValue(QStringLiteral(":to"), strTo);
    if (!levels.exec())
        return failed(levels);
    std::map<int, int> numbers;
    std::map<QString, int> texts;
    int nNoLevel = 0;
    while (levels.next()) {
        const int nCount = levels.value(2).toInt();
        summary.nGames += nCount;
        summary.nWins += levels.value(3).toInt();
        if (!levels.value(0).isNull()) {
            const int nLevel = levels.value(0).toInt();
            numbers[nLevel] += nCount;
            summary.nBestLevel = std::max(summary.nBestLevel.value_or(nLevel), nLevel);
        } else if (const QString strLevel = levels.value(1).toString(); !strLevel.isEmpty()) {
            texts[strLevel] += nCount;
        } else {
            nNoLevel += nCount;
        }
    }
    if (levels.lastError().isValid())
        return failed(levels);
    summary.levels = LevelBars(numbers, texts, nNoLevel);
    if (summary.nGames == 0)
        return true;

    QSqlQuery hours(m_db);
    hours.setForwardOnly(true);
    if (!hours.prepare(HourCountsSql()))
        return failed(hours);
    for (size_t h = 0; h < hourStarts.size(); ++h)
        hours.bindValue(QStringLiteral(":h%1").arg(h), FormatUtc(hourStarts[h]));
    if (!hours.exec())
        return failed(hours);
    while (hours.next()) {
        const int nHour = hours.value(0).toInt();
        if (nHour >= 0 && nHour < 24)
            summary.hours[static_cast<size_t>(nHour)] = hours.value(1).toInt();
    }
    if (hours.lastError().isValid())
        return failed(hours);

    // The file's last id stands for its count of games: rows are only added.
    if (summary.nGames * WalkShare < m_nLongestSeenId) {
        QSqlQuery sorted(m_db);
        sorted.setForwardOnly(true);
        return PrepareDay(sorted, day,
                          QStringLiteral("SELECT duration_ms FROM games WHERE %1 ORDER BY duration_ms LIMIT :n OFFSET :k"),
                          strError) &&
               MedianLength(sorted, summary, strError);
    }
    QSqlQuery walk(m_db);
    walk.setForwardOnly(true);
    if (!walk.prepare(QStringLiteral("SELECT duration_ms FROM games INDEXED BY games_by_length"
                                     " WHERE ended_utc >= :from AND ended_utc < :to ORDER BY duration_ms"
                                     " LIMIT :n OFFSET :k")))
        return failed(walk);
    walk.bindValue(QStringLiteral(":from"), strFrom);
    walk.bindValue(QStringLiteral(":to"), strTo);
    return MedianLength(walk, summary, strError);
}
