#include "records/RecordFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "protocol/WriteTarget.h"
#include "records/RecordPlace.h"
#include "records/RecordSchema.h"

namespace {

constexpr char SqliteMagic[] = "SQLite format 3";
constexpr int HeaderSize = 100;
constexpr int UserVersionOffset = 60;
// The file format's write and read versions: 2 for a write-ahead log.
constexpr int WriteVersionOffset = 18;
constexpr int WalVersion = 2;

// Another Quado holds a lock SQLite would not wait for (a change of the
// journal, a lock that could deadlock): worth another try later.
bool IsBusy(const QSqlError& error)
{
    const int nCode = SqliteCode(error);
    return nCode == SqliteBusy || nCode == SqliteLocked;
}

bool IsDamage(const QSqlError& error)
{
    const int nCode = SqliteCode(error);
    return nCode == SqliteCorrupt || nCode == SqliteNotADb;
}

QString NextConnectionName()
{
    static std::atomic<int> s_nNext{0};
    return QStringLiteral("quado-records-%1").arg(s_nNext++);
}

} // namespace

QString DefaultRecordsPath(const QString& strInstance)
{
    // The XDG base directory rules: a relative XDG_DATA_HOME is ignored.
    QString strData = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (strData.isEmpty() || QDir::isRelativePath(strData))
        strData = QDir::homePath() + QStringLiteral("/.local/share");
    if (!strInstance.isEmpty())
        return strData + QStringLiteral("/quado/") + strInstance + QStringLiteral("/records.sqlite");
    return strData + QStringLiteral("/quado/records.sqlite");
}

CRecordFile::CRecordFile(const QString& strPath, Mode nMode, Settings settings)
    : m_strPath(strPath)
    , m_nMode(nMode)
    , m_settings(settings)
    , m_strConnection(NextConnectionName())
{
}

CRecordFile::~CRecordFile()
{
    CloseConnection();
}

CRecordFile::Status CRecordFile::Start(QString& strReason, QString& strNotice)
{
    const Status nStatus = Examine(strReason, strNotice);
    if (nStatus != Status::Open)
        return nStatus;
    bool bBusy = false;
    if (m_nMode == Mode::Write && !Prepare(strReason, bBusy)) {
        CloseConnection();
        // Locked by another Quado: the first write tries again.
        return bBusy ? Status::Absent : Status::Off;
    }
    return Status::Open;
}

CRecordFile::Status CRecordFile::Examine(QString& strReason, QString& strNotice)
{
    const QFileInfo info(m_strPath);
    const QString strName = QDir::toNativeSeparators(m_strPath);
    if (!info.exists()) {
        if (m_nMode == Mode::ReadOnly) {
            strReason = QStringLiteral("there are no records at %1").arg(strName);
            return Status::Off;
        }
        if (!PlaceWritable(info.absolutePath())) {
            strReason = QStringLiteral("cannot write in %1").arg(QDir::toNativeSeparators(info.absolutePath()));
            return Status::Off;
        }
        return Status::Absent;
    }
    if (!info.isFile()) {
        strReason = QString::fromLocal8Bit(RefuseNonFile(QFile::encodeName(m_strPath).toStdString()));
        if (strReason.isEmpty())
            strReason = QStringLiteral("%1 is not a file").arg(strName);
        return Status::Off;
    }
    // The header first, with plain reads: a file that is no SQLite database
    // or comes from a newer Quado is found without SQLite touching it.
    QFile file(m_strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        strReason = WhyCannotRead(m_strPath);
        if (strReason.isEmpty())
            strReason = QStringLiteral("cannot read %1: %2").arg(strName, file.errorString());
        return Status::Off;
    }
    const QByteArray header = file.read(HeaderSize);
    // The size as the read saw it: another Quado making the file may write
    // its first page between the read and a later look at the size, and
    // the empty file read would then pass for a damaged one.
    const qint64 nSize = header.isEmpty() ? 0 : file.size();
    file.close();
    m_bWalAtRest = false;
    int nHeaderVersion = 0;
    // SQLite takes an empty file for an empty database.
    if (nSize > 0) {
        if (header.size() < HeaderSize || !header.startsWith(QByteArray(SqliteMagic, sizeof SqliteMagic))) {
            if (m_nMode == Mode::ReadOnly) {
                strReason = QStringLiteral("%1 is not a records file").arg(strName);
                return Status::Off;
            }
            return MoveAside(strReason, strNotice) ? Status::Absent : Status::Off;
        }
        const auto* p = reinterpret_cast<const uchar*>(header.constData() + UserVersionOffset);
        const int nVersion = static_cast<int>((uint(p[0]) << 24) | (uint(p[1]) << 16) | (uint(p[2]) << 8) | p[3]);
        if (nVersion > RecordsSchemaVersion || nVersion < 0) {
            strReason = QStringLiteral("%1 comes from a newer Quado (records version %2)").arg(strName).arg(nVersion);
            return Status::Off;
        }
        nHeaderVersion = nVersion;
        m_bWalAtRest = header.at(WriteVersionOffset) == WalVersion;
    }
    // Whether the file can be written is decided before SQLite opens it to
    // write: a journal switched or an upgrade begun on a full disk would
    // change the user's file and leave it unreadable while the disk is full.
    // An upgrade's log holds a copy of the pages it rewrites, and the index.
    if (m_nMode == Mode::Write) {
        strReason = WhyCannotWrite(m_strPath,
                                   RecordsMinFreeBytes + (nHeaderVersion < RecordsSchemaVersion ? 2 * nSize : 0));
        if (!strReason.isEmpty())
            return Status::Off;
    }
    if (!OpenConnection(strReason))
        return Status::Off;
    // The version again through SQLite: a journal not yet written back may
    // hold a newer one than the header.
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        const QSqlError error = query.lastError();
        query = QSqlQuery();
        CloseConnection();
        if (IsBusy(error) && m_nMode == Mode::Write)
            return Status::Absent;
        if (IsDamage(error) && m_nMode == Mode::Write)
            return MoveAside(strReason, strNotice) ? Status::Absent : Status::Off;
        strReason = ReadReason(error);
        return Status::Off;
    }
    m_nVersion = query.value(0).toInt();
    if (m_nVersion > RecordsSchemaVersion || m_nVersion < 0) {
        strReason = QStringLiteral("%1 comes from a newer Quado (records version %2)").arg(strName).arg(m_nVersion);
        query = QSqlQuery();
        CloseConnection();
        return Status::Off;
    }
    // A file whose pages do not hold together would fail some later write
    // or read; it is found now, before anything is added to it.
    const bool bChecked = query.exec(QStringLiteral("PRAGMA quick_check")) && query.next();
    const bool bIntact = bChecked && query.value(0).toString() == QLatin1String("ok");
    if (!bIntact) {
        const QSqlError error = query.lastError();
        query = QSqlQuery();
        CloseConnection();
        if (!bChecked && IsBusy(error) && m_nMode == Mode::Write)
            return Status::Absent;
        if (m_nMode == Mode::Write && (!bChecked ? IsDamage(error) : true))
            return MoveAside(strReason, strNotice) ? Status::Absent : Status::Off;
        strReason = bChecked ? QStringLiteral("%1 is damaged").arg(strName) : ReadReason(error);
        return Status::Off;
    }
    query = QSqlQuery();
    m_bDayIndexes = HasDayIndexes(m_db);
    return Status::Open;
}

bool CRecordFile::OpenConnection(QString& strReason)
{
    CloseConnection();
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strConnection);
    if (!m_db.isValid()) {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_strConnection);
        strReason = QStringLiteral("Qt's SQLite driver is missing (package libqt6sql6-sqlite)");
        return false;
    }
    QString strOptions = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (m_nMode == Mode::ReadOnly) {
        m_db.setDatabaseName(ReadOnlyUri());
        strOptions += QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI");
    } else {
        m_db.setDatabaseName(m_strPath);
    }
    m_db.setConnectOptions(strOptions);
    if (!m_db.open()) {
        strReason = m_nMode == Mode::ReadOnly ? ReadReason(m_db.lastError())
                                              : QStringLiteral("cannot open %1%2").arg(QDir::toNativeSeparators(m_strPath),
                                                                                     DatabaseSays(m_db.lastError().databaseText()));
        CloseConnection();
        return false;
    }
    m_bOpen = true;
    return true;
}

void CRecordFile::CloseConnection()
{
    if (m_bPrepared && m_db.isOpen()) {
        // At rest the file goes back to the journal every reader knows: one
        // file, a whole backup when copied, readable from a full or
        // read-only disk, where a reader of the log would have to make its
        // index beside it. A reader still inside keeps the log (no wait
        // for it); the last one out writes it back.
        QSqlQuery query(m_db);
        query.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
        query.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
    }
    m_bPrepared = false;
    if (m_db.isValid())
        m_db.close();
    m_db = QSqlDatabase();
    m_bOpen = false;
    if (QSqlDatabase::contains(m_strConnection))
        QSqlDatabase::removeDatabase(m_strConnection);
}

bool CRecordFile::Prepare(QString& strReason, bool& bBusy)
{
    bBusy = false;
    QSqlQuery query(m_db);
    const auto failed = [&](const QSqlError& error) {
        bBusy = IsBusy(error);
        strReason = Reason(error);
        return false;
    };
    // The write-ahead log lets another Quado (or the export) read while this
    // one writes; FULL makes each finished game survive a power cut.
    QStringList pragmas = {QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("PRAGMA synchronous = FULL")};
    if (m_settings.nMaxPageCount > 0)
        pragmas << QStringLiteral("PRAGMA max_page_count = %1").arg(m_settings.nMaxPageCount);
    for (const QString& strPragma : pragmas) {
        if (!query.exec(strPragma))
            return failed(query.lastError());
    }
    // Another Quado may be bringing the same file up to date: the version
    // is read again once this one holds the write lock.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failed(query.lastError());
    QString strError;
    bool bOk = query.exec(QStringLiteral("PRAGMA user_version")) && query.next();
    if (bOk) {
        m_nVersion = query.value(0).toInt();
        if (m_nVersion > RecordsSchemaVersion) {
            query.exec(QStringLiteral("ROLLBACK"));
            strReason = QStringLiteral("%1 comes from a newer Quado (records version %2)")
                            .arg(QDir::toNativeSeparators(m_strPath))
                            .arg(m_nVersion);
            return false;
        }
        if (m_nVersion < RecordsSchemaVersion)
            bOk = MigrateRecords(m_db, m_nVersion, strError);
    }
    if (bOk && query.exec(QStringLiteral("COMMIT"))) {
        m_nVersion = RecordsSchemaVersion;
        m_bPrepared = true;
        AddDayIndexesIfRoom();
        return true;
    }
    const QSqlError error = query.lastError();
    query.exec(QStringLiteral("ROLLBACK"));
    if (!strError.isEmpty()) {
        strReason = strError;
        return false;
    }
    return failed(error);
}

bool CRecordFile::MoveAside(QString& strReason, QString& strNotice)
{
    const QString strStamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString strTarget = m_strPath + QStringLiteral(".corrupt-") + strStamp;
    for (int n = 2; QFileInfo::exists(strTarget); ++n)
        strTarget = m_strPath + QStringLiteral(".corrupt-%1-%2").arg(strStamp).arg(n);
    if (!QFile::rename(m_strPath, strTarget)) {
        strReason = QStringLiteral("%1 cannot be read as records and cannot be moved aside")
                        .arg(QDir::toNativeSeparators(m_strPath));
        return false;
    }
    // Its journal goes with it: left behind, SQLite would replay the damaged
    // file's pages into the fresh one.
    for (const char* pszSuffix : {"-wal", "-shm", "-journal"}) {
        const QString strSuffix = QString::fromLatin1(pszSuffix);
        if (QFileInfo::exists(m_strPath + strSuffix))
            QFile::rename(m_strPath + strSuffix, strTarget + strSuffix);
    }
    m_strMovedTo = strTarget;
    strNotice = QStringLiteral("%1 could not be read as records; it was moved to %2 and a new file is started")
                    .arg(QDir::toNativeSeparators(m_strPath), QDir::toNativeSeparators(strTarget));
    return true;
}

CRecordFile::WriteResult CRecordFile::Write(RecordedGames& games, QString& strReason)
{
    if (!m_bOpen) {
        // The first game makes the file, and the folder it lives in; or the
        // file another Quado made meanwhile is checked first.
        const QFileInfo info(m_strPath);
        if (!QDir().mkpath(info.absolutePath())) {
            strReason = QStringLiteral("cannot write in %1").arg(QDir::toNativeSeparators(info.absolutePath()));
            return WriteResult::Failed;
        }
        QString strNotice;
        if (info.exists() && Examine(strReason, strNotice) == Status::Off)
            return WriteResult::Failed;
        if (!info.exists()) {
            strReason = WhyCannotWrite(m_strPath, RecordsMinFreeBytes);
            if (!strReason.isEmpty())
                return WriteResult::Failed;
        }
        if (!strNotice.isEmpty())
            std::fprintf(stderr, "Quado: records: %s\n", qPrintable(strNotice));
        bool bBusy = false;
        if (!m_bOpen && !OpenConnection(strReason))
            return WriteResult::Failed;
        if (!Prepare(strReason, bBusy)) {
            CloseConnection();
            return bBusy ? WriteResult::Busy : WriteResult::Failed;
        }
    }
    QSqlQuery query(m_db);
    const auto failed = [&](const QSqlError& error) {
        const int nCode = SqliteCode(error);
        query.exec(QStringLiteral("ROLLBACK"));
        if (nCode == SqliteBusy || nCode == SqliteLocked)
            return WriteResult::Busy;
        strReason = Reason(error);
        return WriteResult::Failed;
    };
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failed(query.lastError());
    if (!query.prepare(InsertGameSql()))
        return failed(query.lastError());
    for (RecordedGame& game : games) {
        BindGame(query, game);
        if (!query.exec())
            return failed(query.lastError());
        game.nId = query.lastInsertId().toLongLong();
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        return failed(query.lastError());
    return WriteResult::Written;
}
