#include "records/RecordSchema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <iterator>
#include <string_view>

namespace {

// Step N takes a file from version N - 1 to N. A step is never changed once
// released: files of every version are out there.
constexpr const char* const StepOne[] = {
    "CREATE TABLE games ("
    " id INTEGER PRIMARY KEY,"
    " started_utc TEXT NOT NULL,"
    " ended_utc TEXT NOT NULL,"
    " outcome TEXT NOT NULL,"
    " level_reached TEXT NOT NULL DEFAULT '',"
    " level_number INTEGER,"
    " max_level TEXT,"
    " serial TEXT NOT NULL DEFAULT '',"
    " duration_ms INTEGER NOT NULL)",
};
constexpr const char* const StepTwo[] = {
    "ALTER TABLE games ADD COLUMN cause TEXT",
    // The first version kept no cause; where the outcome names it, it is
    // known. An abandoned game's stays unknown (NULL).
    "UPDATE games SET cause = CASE outcome WHEN 'won' THEN 'congrat' WHEN 'lost' THEN 'incorrect'"
    " WHEN 'timeout' THEN 'timeout' END",
    // The Records window and the idle screen read one day at a time.
    "CREATE INDEX games_by_start ON games(started_utc)",
};

// See AddDayIndexes. The level's index holds level_reached too, for the
// levels that are no number; the length's the end, to keep to the day.
constexpr const char* const DayIndexes[][2] = {
    {"games_by_level", "CREATE INDEX IF NOT EXISTS games_by_level ON games(level_number, ended_utc, outcome, level_reached)"},
    {"games_by_length", "CREATE INDEX IF NOT EXISTS games_by_length ON games(duration_ms, ended_utc)"},
};

struct Step {
    const char* const* ppszSql;
    size_t nCount;
};
constexpr Step Steps[] = {{StepOne, std::size(StepOne)}, {StepTwo, std::size(StepTwo)}};
static_assert(std::size(Steps) == RecordsSchemaVersion);

} // namespace

bool MigrateRecords(QSqlDatabase& db, int nFrom, QString& strError)
{
    QSqlQuery query(db);
    for (int nVersion = nFrom; nVersion < RecordsSchemaVersion; ++nVersion) {
        const Step& step = Steps[nVersion];
        for (size_t i = 0; i < step.nCount; ++i) {
            if (!query.exec(QString::fromLatin1(step.ppszSql[i]))) {
                strError = query.lastError().text();
                return false;
            }
        }
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(RecordsSchemaVersion))) {
        strError = query.lastError().text();
        return false;
    }
    return true;
}

bool AddDayIndexes(QSqlDatabase& db, QString& strError)
{
    QSqlQuery query(db);
    for (const auto& index : DayIndexes) {
        if (!query.exec(QString::fromLatin1(index[1]))) {
            strError = query.lastError().text();
            return false;
        }
    }
    return true;
}

bool HasDayIndexes(QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'games'"
                                      " AND name IN (:level, :length)")))
        return false;
    query.bindValue(QStringLiteral(":level"), QString::fromLatin1(DayIndexes[0][0]));
    query.bindValue(QStringLiteral(":length"), QString::fromLatin1(DayIndexes[1][0]));
    return query.exec() && query.next() && query.value(0).toInt() == int(std::size(DayIndexes));
}

QString StoredTimeGlob()
{
    QString strGlob;
    for (const char c : std::string_view("dddd-dd-ddTdd:dd:dd.dddZ"))
        strGlob += c == 'd' ? QStringLiteral("[0-9]") : QString(QLatin1Char(c));
    return strGlob;
}

QString GameColumns(int nVersion)
{
    return QStringLiteral("SELECT id, started_utc, ended_utc, duration_ms, outcome, %1, level_reached, level_number,"
                          " max_level, serial")
        .arg(nVersion >= 2 ? QStringLiteral("cause") : QStringLiteral("NULL"));
}

RecordedGame ReadGame(const QSqlQuery& query)
{
    RecordedGame game;
    game.nId = query.value(0).toLongLong();
    game.nStartMs = ParseUtc(query.value(1).toString()).value_or(0);
    game.nEndMs = ParseUtc(query.value(2).toString()).value_or(game.nStartMs);
    game.nDurationMs = query.value(3).toLongLong();
    game.strOutcome = query.value(4).toString();
    game.strCause = query.value(5).toString();
    game.strLevel = query.value(6).toString();
    if (!query.value(7).isNull())
        game.nLevel = query.value(7).toInt();
    if (!query.value(8).isNull())
        game.strMaxLevel = query.value(8).toString();
    game.strSerial = query.value(9).toString();
    return game;
}

QString InsertGameSql()
{
    return QStringLiteral(
        "INSERT INTO games (started_utc, ended_utc, duration_ms, outcome, cause, level_reached, level_number,"
        " max_level, serial) VALUES (:started, :ended, :duration, :outcome, :cause, :level, :number, :max, :serial)");
}

void BindGame(QSqlQuery& query, const RecordedGame& game)
{
    query.bindValue(QStringLiteral(":started"), FormatUtc(game.nStartMs));
    query.bindValue(QStringLiteral(":ended"), FormatUtc(game.nEndMs));
    query.bindValue(QStringLiteral(":duration"), game.nDurationMs);
    query.bindValue(QStringLiteral(":outcome"), game.strOutcome);
    query.bindValue(QStringLiteral(":cause"), game.strCause.isEmpty() ? QVariant() : QVariant(game.strCause));
    query.bindValue(QStringLiteral(":level"), game.strLevel);
    query.bindValue(QStringLiteral(":number"), game.nLevel ? QVariant(*game.nLevel) : QVariant());
    query.bindValue(QStringLiteral(":max"), game.strMaxLevel ? QVariant(*game.strMaxLevel) : QVariant());
    query.bindValue(QStringLiteral(":serial"), game.strSerial);
}

bool ReadGames(QSqlQuery& query, RecordedGames& games, QString& strError)
{
    games.clear();
    if (!query.exec()) {
        strError = query.lastError().text();
        return false;
    }
    while (query.next())
        games.append(ReadGame(query));
    if (query.lastError().isValid()) {
        strError = query.lastError().text();
        games.clear();
        return false;
    }
    return true;
}
