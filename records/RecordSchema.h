// The records file's tables, version by version, and the steps that bring a
// file of an older version up to date.
#pragma once

#include <QString>

#include "records/RecordedGame.h"

class QSqlDatabase;
class QSqlQuery;

// A file carries its version in SQLite's user_version; a newer one than this
// is never written.
// 1: the games with their times, outcome, levels and adapter.
// 2: what ended each game (cause), and an index on the start time.
inline constexpr int RecordsSchemaVersion = 2;

// Brings the open file from version nFrom to RecordsSchemaVersion, setting
// user_version; the caller holds the transaction. False with a reason.
bool MigrateRecords(QSqlDatabase& db, int nFrom, QString& strError);

// Indexes through which a day's figures are counted without reading or
// sorting the day's games: by level reached (with the outcome, so the wins
// come with it) and by length (the median). No stored column changes, so
// they are no step of the version: an older Quado reads and writes a file
// that has them, and a file without them is read as before, only slower.
// Made in the caller's transaction; IF NOT EXISTS, so any file may be given.
bool AddDayIndexes(QSqlDatabase& db, QString& strError);
// The file has every one of them.
bool HasDayIndexes(QSqlDatabase& db);

// A GLOB pattern that matches a time exactly in the form FormatUtc writes.
QString StoredTimeGlob();

// The SELECT list that reads a game from a file of version nVersion, in the
// order ReadGame expects; "FROM games" follows.
QString GameColumns(int nVersion);
RecordedGame ReadGame(const QSqlQuery& query);

// Runs the prepared query and reads every game it gives. A page that cannot
// be read stops the rows early: part of a day shown as the whole of it would
// misstate the day, so then games is left empty and strError says why.
bool ReadGames(QSqlQuery& query, RecordedGames& games, QString& strError);

// INSERT of one game with named values (see BindGame).
QString InsertGameSql();
void BindGame(QSqlQuery& query, const RecordedGame& game);
