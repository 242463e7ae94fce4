// The records file read back: one day's games, its figures, and every game
// from a day on for the export.
#include "records/RecordFile.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>

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

bool CRecordFile::EarliestStartFor(qint64 nFromMs, qint64& nEarliestMs, QString& strError)
{
    QSqlQuery query(m_db);
    // A file started afresh (or replaced by hand) begins its ids again.
    if (!query.exec(QStringLiteral("SELECT MAX(id) FROM games")) || !query.next()) {
        strError = query.lastError().text();
        return false;
    }
    const qint64 nLastId = query.value(0).toLongLong();
    if (nLastId < m_nLongestSeenId)
        m_nLongestSeenId = m_nLongestMs = m_nOddRows = 0;
    if (nLastId > m_nLongestSeenId) {
        // From the times themselves, not the stored length: they are what
        // places a game in its day. In the stored form a time's text sorts
        // as the time does.
        if (!query.prepare(QStringLiteral("SELECT MAX((julianday(ended_utc) - julianday(started_utc)) * 86400000.0),"
                                          " SUM(NOT (started_utc GLOB :form AND ended_utc GLOB :form"
                                          " AND started_utc <= ended_utc AND julianday(started_utc) IS NOT NULL"
                                          " AND julianday(ended_utc) IS NOT NULL))"
                                          " FROM games WHERE id > :seen AND id <= :last")) ||
            (query.bindValue(QStringLiteral(":form"), StoredTimeGlob()),
             query.bindValue(QStringLiteral(":seen"), m_nLongestSeenId),
             query.bindValue(QStringLiteral(":last"), nLastId), !query.exec()) ||
            !query.next()) {
            strError = query.lastError().text();
            return false;
        }
        m_nLongestMs = std::max(m_nLongestMs, static_cast<qint64>(std::ceil(query.value(0).toDouble())));
        m_nOddRows += query.value(1).toLongLong();
        m_nLongestSeenId = nLastId;
    }
    // A second to spare for the rounding of julianday's arithmetic.
    nEarliestMs = nFromMs - m_nLongestMs - 1000;
    return true;
}

bool CRecordFile::Load(qint64 nFromMs, qint64 nToMs, RecordedGames& games, QString& strError)
{
    games.clear();
    if (!OpenIfAppeared(strError))
        return strError.isEmpty();
    qint64 nEarliestMs = 0;
    if (!EarliestStartFor(nFromMs, nEarliestMs, strError))
        return false;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // By the end time, through the index on the start time: no game that
    // ended in the range started before the longest game's length earlier.
    if (!query.prepare(GameColumns(m_nVersion) +
                       QStringLiteral(" FROM games WHERE started_utc >= :earliest AND started_utc < :to"
                                      " AND ended_utc >= :from AND ended_utc < :to ORDER BY started_utc, id"))) {
        strError = query.lastError().text();
        return false;
    }
    query.bindValue(QStringLiteral(":earliest"), FormatUtc(nEarliestMs));
    query.bindValue(QStringLiteral(":from"), FormatUtc(nFromMs));
    query.bindValue(QStringLiteral(":to"), FormatUtc(nToMs));
    return ReadGames(query, games, strError);
}

bool CRecordFile::Figures(const QDate& day, DayFigures& figures, QString& strError)
{
    figures = DayFigures{DayNumberOf(day), 0, std::nullopt};
    if (!OpenIfAppeared(strError))
        return strError.isEmpty();
    const auto [nFrom, nTo] = LocalDayBounds(day);
    qint64 nEarliestMs = 0;
    if (!EarliestStartFor(nFrom, nEarliestMs, strError))
        return false;
    QSqlQuery query(m_db);
    if (!query.prepare(QStringLiteral("SELECT COUNT(*), MAX(level_number) FROM games WHERE started_utc >= :earliest"
                                      " AND started_utc < :to AND ended_utc >= :from AND ended_utc < :to"))) {
        strError = query.lastError().text();
        return false;
    }
    query.bindValue(QStringLiteral(":earliest"), FormatUtc(nEarliestMs));
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
