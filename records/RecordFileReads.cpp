// The records file read back: one day's games, its figures, and every game
// from a day on for the export.
#include "records/RecordFile.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "records/RecordSchema.h"

bool CRecordFile::OpenIfAppeared(QString& strError)
{
    if (m_bOpen)
        return true;
    if (!QFileInfo::exists(m_strPath))
        return false;
    QString strNotice;
    const Status nStatus = Start(strError, strNotice);
    // Held by another Quado for now: no games to read yet, no error.
    if (nStatus == Status::Absent)
        strError.clear();
    return nStatus == Status::Open;
}

bool CRecordFile::ForEach(std::optional<qint64> nFromMs, const std::function<bool(const RecordedGame&)>& visit,
                          QString& strError)
{
    if (!OpenIfAppeared(strError))
        return strError.isEmpty();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    QString strSql = GameColumns(m_nVersion) + QStringLiteral(" FROM games");
    if (nFromMs)
        strSql += QStringLiteral(" WHERE ended_utc >= :from");
    strSql += QStringLiteral(" ORDER BY started_utc, id");
    if (!query.prepare(strSql)) {
        strError = query.lastError().text();
        return false;
    }
    if (nFromMs)
        query.bindValue(QStringLiteral(":from"), FormatUtc(*nFromMs));
    if (!query.exec()) {
        strError = query.lastError().text();
        return false;
    }
    while (query.next()) {
        if (!visit(ReadGame(query)))
            break;
    }
    if (query.lastError().isValid()) {
        strError = query.lastError().text();
        return false;
    }
    return true;
}

bool CRecordFile::Load(qint64 nFromMs, qint64 nToMs, RecordedGames& games, QString& strError)
{
    games.clear();
    if (!OpenIfAppeared(strError))
        return strError.isEmpty();
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // A game cannot end before it starts: the index on the start time
    // leaves out every later day.
    if (!query.prepare(GameColumns(m_nVersion) +
                       QStringLiteral(" FROM games WHERE started_utc < :to AND ended_utc >= :from AND ended_utc < :to"
                                      " ORDER BY started_utc, id"))) {
        strError = query.lastError().text();
        return false;
    }
    query.bindValue(QStringLiteral(":from"), FormatUtc(nFromMs));
    query.bindValue(QStringLiteral(":to"), FormatUtc(nToMs));
    if (!query.exec()) {
        strError = query.lastError().text();
        return false;
    }
    while (query.next())
        games.append(ReadGame(query));
    // A page that cannot be read stops the rows early: part of a day shown
    // as the whole of it would misstate the day.
    if (query.lastError().isValid()) {
        strError = query.lastError().text();
        games.clear();
        return false;
    }
    return true;
}

bool CRecordFile::Figures(const QDate& day, TodayFigures& figures, QString& strError)
{
    figures = TodayFigures{day, 0, std::nullopt};
    if (!OpenIfAppeared(strError))
        return strError.isEmpty();
    const auto [nFrom, nTo] = LocalDayBounds(day);
    QSqlQuery query(m_db);
    if (!query.prepare(QStringLiteral("SELECT COUNT(*), MAX(level_number) FROM games"
                                      " WHERE started_utc < :to AND ended_utc >= :from AND ended_utc < :to"))) {
        strError = query.lastError().text();
        return false;
    }
    query.bindValue(QStringLiteral(":from"), FormatUtc(nFrom));
    query.bindValue(QStringLiteral(":to"), FormatUtc(nTo));
    if (!query.exec() || !query.next()) {
        strError = query.lastError().text();
        return false;
    }
    figures.nGames = query.value(0).toInt();
    if (!query.value(1).isNull())
        figures.nBestLevel = query.value(1).toInt();
    return true;
}
