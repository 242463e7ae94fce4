#include "records/RecordPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "records/RecordFile.h"

namespace {

QString Native(const QString& strPath)
{
    return QDir::toNativeSeparators(strPath);
}

QString KiB(qint64 nBytes)
{
    return QStringLiteral("%1 KiB").arg(nBytes / 1024);
}

// errno of access(2): 0 when allowed.
int AccessError(const QString& strPath, int nMode)
{
    return ::access(QFile::encodeName(strPath).constData(), nMode) == 0 ? 0 : errno;
}

// What changes whenever anything writes the file: a checkpoint of another
// Quado's log while it is read shows here.
QByteArray FileStamp(const QString& strPath)
{
    struct stat st {};
    if (::stat(QFile::encodeName(strPath).constData(), &st) != 0)
        return QByteArrayLiteral("gone");
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino)) + ':' +
           QByteArray::number(qint64(st.st_size)) + ':' + QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ':' + QByteArray::number(qint64(st.st_ctim.tv_sec)) +
           '.' + QByteArray::number(qint64(st.st_ctim.tv_nsec));
}

} // namespace

int SqliteCode(const QSqlError& error)
{
    bool bOk = false;
    const int nCode = error.nativeErrorCode().toInt(&bOk);
    // Qt turns SQLite's extended codes on; the low byte is the primary one.
    return bOk ? (nCode & 0xFF) : -1;
}

// The folder itself or, while it does not exist, the nearest one above it
// that does: whether the file could be made there.
bool PlaceWritable(const QString& strFolder)
{
    QString strPath = QDir::cleanPath(QDir(strFolder).absolutePath());
    QFileInfo info(strPath);
    while (!info.exists()) {
        const QString strParent = info.absolutePath();
        if (strParent == strPath)
            return false;
        strPath = strParent;
        info = QFileInfo(strPath);
    }
    // Something that is no folder stands where one must be made.
    return info.isDir() && ::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK | X_OK) == 0;
}

QString CurrentUserName()
{
    const uid_t nUid = ::geteuid();
    if (const passwd* pUser = ::getpwuid(nUid); pUser && pUser->pw_name)
        return QString::fromLocal8Bit(pUser->pw_name);
    return QString::number(nUid);
}

QString WhyCannotWrite(const QString& strPath, qint64 nNeedBytes)
{
    const QFileInfo info(strPath);
    const QString strFolder = info.absolutePath();
    const QString strUser = CurrentUserName();
    // The file first: its own permission is what a user sees and can change.
    if (info.exists()) {
        const int nError = AccessError(strPath, W_OK);
        if (nError == EROFS)
            return QStringLiteral("the disk holding %1 is read-only: keep the records on another one (--records FILE)")
                .arg(Native(strPath));
        if (nError != 0)
            return QStringLiteral("%1 is read-only for user %2: let %2 write it, or keep the records in another "
                                  "file (--records FILE)")
                .arg(Native(strPath), strUser);
    }
    // SQLite keeps its journal in a file beside the records, made and
    // removed as it goes.
    if (const int nError = AccessError(strFolder, W_OK | X_OK); nError == EROFS) {
        return QStringLiteral("the disk holding %1 is read-only: keep the records on another one (--records FILE)")
            .arg(Native(strPath));
    } else if (nError != 0) {
        return QStringLiteral("the folder %1 cannot be written by user %2, and the records need it for their "
                              "journal: let %2 write it, or keep the records in another folder (--records FILE)")
            .arg(Native(strFolder), strUser);
    }
    struct statvfs st {};
    if (::statvfs(QFile::encodeName(strFolder).constData(), &st) == 0) {
        // Root may use the blocks a file system keeps back for it.
        const fsblkcnt_t nBlocks = ::geteuid() == 0 ? st.f_bfree : st.f_bavail;
        const qint64 nFree = static_cast<qint64>(nBlocks) * static_cast<qint64>(st.f_frsize);
        if (nFree < nNeedBytes)
            return QStringLiteral("the disk holding %1 is full (%2 free, %3 needed): free some space, then start "
                                  "Quado again")
                .arg(Native(strPath), KiB(nFree), KiB(nNeedBytes));
    }
    return {};
}

QString WhyCannotRead(const QString& strPath)
{
    if (AccessError(strPath, R_OK) == EACCES)
        return QStringLiteral("%1 cannot be read by user %2: let %2 read it, or run the export as its owner")
            .arg(Native(strPath), CurrentUserName());
    return {};
}

QString DatabaseSays(const QString& strWords)
{
    return strWords.isEmpty() ? QString() : QStringLiteral(" (SQLite: %1)").arg(strWords);
}

QString CRecordFile::Reason(const QSqlError& error) const
{
    const QString strName = QDir::toNativeSeparators(m_strPath);
    const QString strSays = DatabaseSays(error.databaseText());
    switch (SqliteCode(error)) {
    case SqliteFull:
        return QStringLiteral("the disk holding %1 is full: free some space, then start Quado again").arg(strName);
    case SqliteReadOnly:
    case SqliteCantOpen:
        if (const QString strWhy = WhyCannotWrite(m_strPath, 0); !strWhy.isEmpty())
            return strWhy + strSays;
        return QStringLiteral("cannot write %1%2").arg(strName, strSays);
    case SqliteCorrupt:
    case SqliteNotADb:
        return QStringLiteral("%1 is damaged; it is moved aside at the next start").arg(strName);
    case SqliteIoErr:
        return QStringLiteral("cannot write %1: the disk reports an input/output error%2").arg(strName, strSays);
    default:
        return QStringLiteral("cannot write %1%2").arg(strName, strSays);
    }
}

QString CRecordFile::ReadReason(const QSqlError& error) const
{
    const QString strName = QDir::toNativeSeparators(m_strPath);
    const QString strSays = DatabaseSays(error.databaseText());
    if (const QString strWhy = WhyCannotRead(m_strPath); !strWhy.isEmpty())
        return strWhy + strSays;
    switch (SqliteCode(error)) {
    case SqliteReadOnly:
    case SqliteCantOpen:
        // A write cut off by a crash: only a writer may undo its half.
        if (QFileInfo::exists(m_strPath + QStringLiteral("-journal")))
            return QStringLiteral("%1 was left in the middle of a write (%1-journal beside it): start Quado with "
                                  "it once to finish that%2")
                .arg(strName, strSays);
        // A log left by a Quado that did not end cleanly, with no index
        // beside it: reading it means making the index first.
        return QStringLiteral("cannot read %1: its write-ahead log needs an index beside it that cannot be made; "
                              "start Quado with it once (or sqlite3 as a user who may write the folder)%2")
            .arg(strName, strSays);
    case SqliteCorrupt:
    case SqliteNotADb:
        return QStringLiteral("%1 is damaged%2").arg(strName, strSays);
    default:
        return QStringLiteral("cannot read %1%2").arg(strName, strSays);
    }
}

QString CRecordFile::ReadOnlyUri()
{
    // A reader leaves nothing beside the file. In the journal every reader
    // knows, and with a log another Quado keeps (its index beside it), a
    // read-only open makes nothing. A file left in the log's format with no
    // log is whole in itself, but SQLite would make an index and an empty
    // log to read it: it is read as unchangeable instead, and whether
    // anything wrote it meanwhile is looked at when the reading is done.
    const QString strAbsolute = QFileInfo(m_strPath).absoluteFilePath();
    QString strUri = QStringLiteral("file:") +
                     QString::fromLatin1(QFile::encodeName(strAbsolute).toPercentEncoding("/")) +
                     QStringLiteral("?mode=ro");
    m_stamp.clear();
    if (m_bWalAtRest && !QFileInfo::exists(m_strPath + QStringLiteral("-wal"))) {
        m_stamp = FileStamp(m_strPath);
        strUri += QStringLiteral("&immutable=1");
    }
    return strUri;
}

bool CRecordFile::SnapshotHeld() const
{
    return m_stamp.isEmpty() || FileStamp(m_strPath) == m_stamp;
}
