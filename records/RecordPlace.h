// Whether a records file can be written, decided before anything in it is
// changed, and why not in the user's words: the file read-only for this
// user, its folder closed, its disk full or read-only. CRecordFile's reasons
// and its read-only opening are in RecordPlace.cpp too.
#pragma once

#include <QString>
#include <QtGlobal>

class QSqlError;

// SQLite's primary result codes that matter to the records.
enum SqliteResult : int {
    SqliteBusy = 5,
    SqliteLocked = 6,
    SqliteReadOnly = 8,
    SqliteIoErr = 10,
    SqliteCorrupt = 11,
    SqliteFull = 13,
    SqliteCantOpen = 14,
    SqliteNotADb = 26,
};
// The primary code of a failure through Qt's driver; -1 without one.
int SqliteCode(const QSqlError& error);

// What SQLite needs beside the file before it writes at all: the index of the
// write-ahead log, the log of a few games, the journal that switches to it.
inline constexpr qint64 RecordsMinFreeBytes = 1024 * 1024;

// The folder, or while it does not exist the nearest one above it that does,
// can be written in: whether a file could be made there.
bool PlaceWritable(const QString& strFolder);

// The user this process runs as, by name (by number without one).
QString CurrentUserName();

// Empty when the file at strPath (or a new one there) can be written with
// nNeedBytes free beside it; else what stands in the way and what to do.
QString WhyCannotWrite(const QString& strPath, qint64 nNeedBytes);

// Empty when the user may read the file; else why not.
QString WhyCannotRead(const QString& strPath);

// SQLite's own words on a failure, put after the plain ones.
QString DatabaseSays(const QString& strWords);
