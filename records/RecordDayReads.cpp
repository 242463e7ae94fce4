// One local day as the Records window shows it, read through SQL: its figures
// and charts counted by SQLite, and its list a page at a time, so that a day
// of many thousands of games opens as quickly as a quiet one.
#include "records/RecordFile.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "records/ShownNames.h"
#include "records/RecordSchema.h"

namespace {

// A shown text as an SQL literal.
QString Literal(const QString& str)
{
    QString strQuoted = str;
    strQuoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + strQuoted + QLatin1Char('\'');
}

// Outcome and cause sort as they read in the list, whatever the stored name.
QString ShownTextSql(const char* pszColumn, const char* const* ppszStored, size_t nCount,
                     QString (*fnShown)(const QString&))
{
    QString strSql = QStringLiteral("CASE %1").arg(QLatin1String(pszColumn));
    for (size_t i = 0; i < nCount; ++i) {
        const QString strStored = QString::fromLatin1(ppszStored[i]);
        strSql += QStringLiteral(" WHEN %1 THEN %2").arg(Literal(strStored), Literal(fnShown(strStored)));
    }
    return strSql + QStringLiteral(" ELSE COALESCE(%1, '') END").arg(QLatin1String(pszColumn));
}

// What each column sorts by: the plain value the list's sort role gives.
QString OrderSql(const GamesOrder& order)
{
    static const char* const Outcomes[] = {"won", "lost", "timeout", "abandoned"};
    static const char* const Causes[] = {"congrat", "incorrect", "timeout", "press",
                                         "new",     "disconnect", "adapter_lost", "closing"};
    QString strKey;
    switch (order.nKey) {
    case GamesOrder::Start:
        strKey = QStringLiteral("started_utc");
        break;
    case GamesOrder::Length:
        strKey = QStringLiteral("duration_ms");
        break;
    case GamesOrder::Outcome:
        strKey = ShownTextSql("outcome", Outcomes, std::size(Outcomes), &OutcomeText);
        break;
    case GamesOrder::Cause:
        strKey = ShownTextSql("cause", Causes, std::size(Causes), &CauseText);
        break;
    case GamesOrder::Level:
        // Numbers in their order, below every level that is no number.
        strKey = QStringLiteral("COALESCE(level_number, -1)");
        break;
    case GamesOrder::MaxLevel:
        strKey = QStringLiteral("COALESCE(max_level, '')");
        break;
    case GamesOrder::Serial:
        strKey = QStringLiteral("serial");
        break;
    }
    return QStringLiteral(" ORDER BY %1 %2, started_utc, id")
        .arg(strKey, order.bDescending ? QStringLiteral("DESC") : QStringLiteral("ASC"));
}

} // namespace

bool CRecordFile::PrepareDay(QSqlQuery& query, const QDate& day, const QString& strSql, QString& strError)
{
    const auto [nFrom, nTo] = LocalDayBounds(day);
    qint64 nEarliestMs = 0;
    if (!EarliestStartFor(nFrom, nEarliestMs, strError))
        return false;
    // By the end time, through the index on the start time (see Load).
    if (!query.prepare(strSql.arg(QStringLiteral("started_utc >= :earliest AND started_utc < :to"
                                                 " AND ended_utc >= :from AND ended_utc < :to")))) {
        strError = query.lastError().text();
        return false;
    }
    query.bindValue(QStringLiteral(":earliest"), FormatUtc(nEarliestMs));
    query.bindValue(QStringLiteral(":from"), FormatUtc(nFrom));
    query.bindValue(QStringLiteral(":to"), FormatUtc(nTo));
    return true;
}

bool CRecordFile::Summary(const QDate& day, DaySummary& summary, QString& strError)
{
    summary = DaySummary();
    if (!OpenIfAppeared(strError))
        return strError.isEmpty();
    if (m_bDayIndexes) {
        // Also counts the rows whose times would set the two reads apart.
        qint64 nEarliestMs = 0;
        if (!EarliestStartFor(LocalDayBounds(day).first, nEarliestMs, strError))
            return false;
        if (m_nOddRows == 0)
            return SummaryByIndexes(day, summary, strError);
    }
    return SummaryByRows(day, summary, strError);
}

bool CRecordFile::MedianLength(QSqlQuery& query, DaySummary& summary, QString& strError)
{
    // The middle length (of an even count, the mean of the middle two).
    query.bindValue(QStringLiteral(":n"), summary.nGames % 2 ? 1 : 2);
    query.bindValue(QStringLiteral(":k"), (summary.nGames - 1) / 2);
    if (!query.exec()) {
        strError = query.lastError().text();
        return false;
    }
    qint64 nSum = 0;
    int nRead = 0;
    while (query.next()) {
        nSum += query.value(0).toLongLong();
        ++nRead;
    }
    if (query.lastError().isValid() || nRead == 0) {
        strError = query.lastError().text();
        return false;
    }
    summary.nMedianDurationMs = nSum / nRead;
    return true;
}

bool CRecordFile::SummaryByRows(const QDate& day, DaySummary& summary, QString& strError)
{
    // The local hour a game ended in: how many of the day's hour starts after
    // the first lie at or before its end (an hour a clock change skips
    // starts where the next one does, and so holds none).
    const std::array<qint64, 25> hourStarts = LocalHourStarts(day);
    constexpr qint64 HourMs = 3600 * 1000LL;
    bool bEvenHours = true;
    for (size_t h = 0; h < hourStarts.size(); ++h)
        bEvenHours = bEvenHours && hourStarts[h] == hourStarts[0] + qint64(h) * HourMs;
    // A day whose clocks do not change has hours of an hour each from its
    // start: the hour is counted from the time itself, more cheaply than by
    // comparing it with every hour's start.
    QString strHour = QStringLiteral("CAST(ROUND((julianday(ended_utc) - julianday(:h0)) * 86400000.0) AS INTEGER) / %1")
                          .arg(HourMs);
    if (!bEvenHours) {
        strHour = QStringLiteral("0");
        for (int h = 1; h < 24; ++h)
            strHour += QStringLiteral(" + (ended_utc >= :h%1)").arg(h);
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!PrepareDay(query, day,
                    QStringLiteral("SELECT ") + strHour +
                        QStringLiteral(", level_number, CASE WHEN level_number IS NULL THEN level_reached END,"
                                       " outcome = 'won', COUNT(*) FROM games WHERE %1 GROUP BY 1, 2, 3, 4"),
                    strError))
        return false;
    if (bEvenHours) {
        query.bindValue(QStringLiteral(":h0"), FormatUtc(hourStarts[0]));
    } else {
        for (int h = 1; h < 24; ++h)
            query.bindValue(QStringLiteral(":h%1").arg(h), FormatUtc(hourStarts[static_cast<size_t>(h)]));
    }
    if (!query.exec()) {
        strError = query.lastError().text();
        return false;
    }
    std::map<int, int> numbers;
    std::map<QString, int> texts;
    int nNoLevel = 0;
    while (query.next()) {
        const int nHour = query.value(0).toInt();
        const int nCount = query.value(4).toInt();
        summary.nGames += nCount;
        summary.nWins += query.value(3).toInt() ? nCount : 0;
        if (nHour >= 0 && nHour < 24)
            summary.hours[static_cast<size_t>(nHour)] += nCount;
        if (!query.value(1).isNull()) {
            const int nLevel = query.value(1).toInt();
            numbers[nLevel] += nCount;
            summary.nBestLevel = std::max(summary.nBestLevel.value_or(nLevel), nLevel);
        } else if (const QString strLevel = query.value(2).toString(); !strLevel.isEmpty()) {
            texts[strLevel] += nCount;
        } else {
            nNoLevel += nCount;
        }
    }
    if (query.lastError().isValid()) {
        strError = query.lastError().text();
        summary = DaySummary();
        return false;
    }
    summary.levels = LevelBars(numbers, texts, nNoLevel);
    if (summary.nGames == 0)
        return true;

    // Sorted by SQLite rather than read out game by game.
    QSqlQuery median(m_db);
    median.setForwardOnly(true);
    return PrepareDay(median, day,
                      QStringLiteral("SELECT duration_ms FROM games WHERE %1 ORDER BY duration_ms LIMIT :n OFFSET :k"),
                      strError) &&
           MedianLength(median, summary, strError);
}

bool CRecordFile::LoadPage(const QDate& day, const GamesOrder& order, int nOffset, int nCount, RecordedGames& games,
                           QString& strError)
{
    games.clear();
    if (!OpenIfAppeared(strError))
        return strError.isEmpty();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!PrepareDay(query, day,
                    GameColumns(m_nVersion) + QStringLiteral(" FROM games WHERE %1") + OrderSql(order) +
                        QStringLiteral(" LIMIT :n OFFSET :k"),
                    strError))
        return false;
    query.bindValue(QStringLiteral(":n"), nCount);
    query.bindValue(QStringLiteral(":k"), nOffset);
    return ReadGames(query, games, strError);
}
