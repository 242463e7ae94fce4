// One connection to a records file, on the thread that made it: the checks
// before anything is written, moving a damaged file aside, writes and reads.
#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <optional>

#include "records/DaySummary.h"
#include "records/RecordedGame.h"

// $XDG_DATA_HOME/quado/records.sqlite, or ~/.local/share/quado/records.sqlite;
// a named exhibit's (--instance NAME) in quado/NAME/ there instead.
QString DefaultRecordsPath(const QString& strInstance = {});

struct RecordFileSettings {
    // SQLite's limit on the file's pages; 0 leaves SQLite's own. Lets a
    // test run out of room as on a full disk.
    int nMaxPageCount = 0;
};

// The store's thread holds one for writing; an export from the command line
// holds one that only reads and leaves nothing beside the file. What the
// checks refuse, before anything in the file changes: something that is no
// file, a file or folder this user cannot write, a full disk, a file that is
// no database or is damaged, one from a newer Quado. At rest (closed) the
// file is in SQLite's rollback journal mode: one file, readable anywhere.
class CRecordFile {
public:
    enum class Mode { Write, ReadOnly };
    using Settings = RecordFileSettings;
    enum class Status {
        Open,   // checked and open
        Absent, // no file yet; the first write makes it (Write mode)
        Off,    // nothing may be written (or read) this run; see the reason
    };
    enum class WriteResult { Written, Busy, Failed };

    // How long SQLite waits for another process's transaction.
    static constexpr int BusyTimeoutMs = 5000;

    CRecordFile(const QString& strPath, Mode nMode, Settings settings = {});
    ~CRecordFile();
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;

    // Checks the place and the file, if any, and opens it. A file that is
    // no SQLite database or fails SQLite's check is moved aside (Write mode;
    // strNotice says where) and the status is Absent. Nothing is written
    // before the checks have passed.
    Status Start(QString& strReason, QString& strNotice);
    // In one transaction; ids are filled in. Failed: strReason says why and
    // the file is left as the last transaction left it.
    WriteResult Write(RecordedGames& games, QString& strReason);

    // The games that ended in [nFromMs, nToMs), by start time. An absent
    // file holds none; a row that cannot be read fails the whole read.
    bool Load(qint64 nFromMs, qint64 nToMs, RecordedGames& games, QString& strError);
    // The games that ended on the local day.
    bool Figures(const QDate& day, DayFigures& figures, QString& strError);
    // What the Records window shows of a local day, counted by SQLite
    // without reading the day's games. RecordDayReads.cpp.
    bool Summary(const QDate& day, DaySummary& summary, QString& strError);
    // nCount of the day's games from the nOffset-th on, in that order.
    bool LoadPage(const QDate& day, const GamesOrder& order, int nOffset, int nCount, RecordedGames& games,
                  QString& strError);
    // Every game that ended at nFromMs or later (all without it), by start
    // time; stops early when visit returns false.
    bool ForEach(std::optional<qint64> nFromMs, const std::function<bool(const RecordedGame&)>& visit,
                 QString& strError);

    // Read-only mode: false when the file, read as unchangeable, was written
    // by another Quado while it was read (the reading may mix both).
    bool SnapshotHeld() const;

    bool IsOpen() const { return m_bOpen; }
    const QString& Path() const { return m_strPath; }
    // The name the damaged file got; empty if none was moved.
    const QString& MovedTo() const { return m_strMovedTo; }

private:
    Status Examine(QString& strReason, QString& strNotice);
    bool OpenConnection(QString& strReason);
    void CloseConnection();
    // Pragmas, then the schema brought up to date. Write mode only. bBusy:
    // it failed on another Quado's lock, and may work on another try.
    bool Prepare(QString& strReason, bool& bBusy);
    bool MoveAside(QString& strReason, QString& strNotice);
    // A reason for a failed write, or read, in the user's words first.
    QString Reason(const QSqlError& error) const;
    QString ReadReason(const QSqlError& error) const;
    // Read-only mode: how SQLite is to open the file (see RecordPlace.cpp).
    QString ReadOnlyUri();
    // Opens a file made by another process since Start found none.
    bool OpenIfAppeared(QString& strError);
    // The earliest start a game that ended at nFromMs or later can have, so
    // a day's read keeps to the index on the start time. RecordFileReads.cpp.
    bool EarliestStartFor(qint64 nFromMs, qint64& nEarliestMs, QString& strError);
    // Write mode, once the schema is up to date: the day's indexes, unless
    // the disk lacks the room (a file without them works as before).
    // RecordDayFigures.cpp.
    void AddDayIndexesIfRoom();
    // Summary through the day's indexes; only when m_nOddRows is 0.
    bool SummaryByIndexes(const QDate& day, DaySummary& summary, QString& strError);
    // Summary by the day's games, sorted: any file.
    bool SummaryByRows(const QDate& day, DaySummary& summary, QString& strError);
    // Reads the day's median length from a query ordered by length, its
    // :n and :k left to bind; summary.nGames is the day's count.
    bool MedianLength(QSqlQuery& query, DaySummary& summary, QString& strError);
    // The WHERE clause of the games that ended on the day, its values bound
    // by BindDay. False when the file cannot tell (strError) or is absent.
    bool PrepareDay(QSqlQuery& query, const QDate& day, const QString& strSql, QString& strError);

    QString m_strPath;
    Mode m_nMode;
    Settings m_settings;
    QString m_strConnection;
    QSqlDatabase m_db;
    bool m_bOpen = false;
    // The pragmas and the schema are done: the file is this run's to write.
    bool m_bPrepared = false;
    // The header says write-ahead log (as Quado leaves a file while it runs).
    bool m_bWalAtRest = false;
    // Read as unchangeable: the file's identity and times then.
    QByteArray m_stamp;
    int m_nVersion = 0;
    QString m_strMovedTo;
    // The longest game among the rows up to m_nLongestSeenId: rows are only
    // ever added, so each read looks at the new ones alone.
    qint64 m_nLongestSeenId = 0;
    qint64 m_nLongestMs = 0;
    // Among those rows, the ones whose times are not both in the stored form
    // with the start no later than the end: a day's read by its end alone
    // (SummaryByIndexes) would count them where the list, kept to the start
    // too, does not show them.
    qint64 m_nOddRows = 0;
    // The file has the day's indexes (see AddDayIndexes).
    bool m_bDayIndexes = false;
};
