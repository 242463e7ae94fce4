// Shared by the records tests: games made to order, a records file read back
// with a connection of the test's own, and waiting for what the store tells.
#pragma once

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "protocol/GameEvents.h"
#include "records/DaySummary.h"
#include "records/RecordFile.h"
#include "records/RecordStore.h"
#include "tests/support/EventWait.h"

namespace recordstest {

using testsupport::WaitForEvents;

inline std::chrono::system_clock::time_point At(const QDateTime& dt)
{
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(dt.toMSecsSinceEpoch()));
}

// A game that started at tStart and lasted nSeconds, ended by nCause.
inline GameRecord MakeGame(const QDateTime& tStart, int nSeconds, GameEndCause nCause, const std::wstring& strLevel,
                           const std::wstring& strMax = L"12", const std::string& strSerial = "DRAVIK-0001")
{
    GameRecord game;
    game.tStart = At(tStart);
    game.tEnd = At(tStart.addSecs(nSeconds));
    game.nCause = nCause;
    game.nOutcome = OutcomeOf(nCause);
    game.levelReached = GameLevel::From(strLevel);
    if (!strMax.empty())
        game.strMaxLevel = strMax;
    game.strSerial = strSerial;
    return game;
}

// Today at hh:mm local time.
inline QDateTime Today(int nHour, int nMinute = 0)
{
    return QDateTime(QDate::currentDate(), QTime(nHour, nMinute), Qt::LocalTime);
}

// The file as another program sees it: one row per game as text fields,
// in insertion order, through a connection that only reads.
class CFileReader {
public:
    explicit CFileReader(const QString& strPath, const char* pszName = "test-reader")
        : m_strName(QString::fromLatin1(pszName))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strName);
        db.setDatabaseName(strPath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        m_bOpen = db.open();
    }
    ~CFileReader() { QSqlDatabase::removeDatabase(m_strName); }

    QStringList Rows(const QString& strColumns)
    {
        QStringList rows;
        QSqlQuery query(QSqlDatabase::database(m_strName));
        if (!query.exec(QStringLiteral("SELECT %1 FROM games ORDER BY id").arg(strColumns)))
            return {QStringLiteral("error: ") + query.lastError().text()};
        while (query.next()) {
            QStringList fields;
            for (int i = 0; i < query.record().count(); ++i)
                fields << (query.value(i).isNull() ? QStringLiteral("NULL") : query.value(i).toString());
            rows << fields.join(QLatin1Char('|'));
        }
        return rows;
    }

    QString Pragma(const char* pszName)
    {
        QSqlQuery query(QSqlDatabase::database(m_strName));
        return query.exec(QStringLiteral("PRAGMA %1").arg(QLatin1String(pszName))) && query.next()
                   ? query.value(0).toString()
                   : QStringLiteral("error");
    }

    bool m_bOpen = false;

private:
    QString m_strName;
};

// The environment a venue's script gives quado-demo: no display, connected
// at once, quick games, and an end after three seconds.
inline QProcessEnvironment DemoEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(pszName));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QUADO_DEMO_CONNECT"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QUADO_DEMO_SPEED"), QStringLiteral("20"));
    environment.insert(QStringLiteral("QUADO_DEMO_QUIT_AFTER_MS"), QStringLiteral("3000"));
    return environment;
}

inline QByteArray FileBytes(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything in a folder, hidden files (a journal, a temporary file) too.
inline QStringList Beside(const QString& strFolder)
{
    return QDir(strFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                     QDir::Name);
}

// The journal mode a file is left in, as sqlite3 or an older Quado set it.
inline bool SetJournalMode(const QString& strPath, const char* pszMode)
{
    bool bOk = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("journal-mode"));
        db.setDatabaseName(strPath);
        QSqlQuery query(db);
        bOk = db.open() && query.exec(QStringLiteral("PRAGMA journal_mode = %1").arg(QLatin1String(pszMode)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("journal-mode"));
    return bOk;
}

// Hands the games to the store and waits until it has written them all;
// false when records went off instead.
inline bool AddAndWait(CRecordStore& store, const std::vector<GameRecord>& games)
{
    qsizetype nWritten = 0;
    const QMetaObject::Connection connection = QObject::connect(
        &store, &CRecordStore::GamesWritten, [&nWritten](const RecordedGames& written) { nWritten += written.size(); });
    for (const GameRecord& game : games)
        store.Add(game);
    const bool bDone = WaitForEvents([&] { return nWritten >= static_cast<qsizetype>(games.size()) || store.IsOff(); });
    QObject::disconnect(connection);
    return bDone && !store.IsOff();
}

// Writes the games in one transaction, as the store would.
inline void WriteGames(const QString& strPath, const std::vector<GameRecord>& vecGames)
{
    CRecordFile file(strPath, CRecordFile::Mode::Write);
    QString strReason;
    QString strNotice;
    ASSERT_NE(file.Start(strReason, strNotice), CRecordFile::Status::Off) << strReason.toStdString();
    RecordedGames games;
    for (const GameRecord& game : vecGames)
        games.append(RecordedGame::From(game));
    ASSERT_EQ(file.Write(games, strReason), CRecordFile::WriteResult::Written) << strReason.toStdString();
}

// The file checked and open.
inline ::testing::AssertionResult Started(CRecordFile& file)
{
    QString strReason;
    QString strNotice;
    if (file.Start(strReason, strNotice) == CRecordFile::Status::Open)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << strReason.toStdString();
}

// Every figure and bar of a day read through SQL against those worked out
// from the day's games themselves.
inline void ExpectSameSummary(const DaySummary& sql, const DaySummary& rows, const QDate& day)
{
    const std::string strDay = day.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(sql.nGames, rows.nGames) << strDay;
    EXPECT_EQ(sql.nWins, rows.nWins) << strDay;
    EXPECT_EQ(sql.nBestLevel, rows.nBestLevel) << strDay;
    EXPECT_EQ(sql.nMedianDurationMs, rows.nMedianDurationMs) << strDay;
    EXPECT_EQ(sql.hours, rows.hours) << strDay;
    EXPECT_EQ(sql.levels, rows.levels) << strDay;
}

// The process's local time zone for one test (Qt asks the C library).
class CZone {
public:
    explicit CZone(const char* pszZone)
    {
        if (const char* pszOld = std::getenv("TZ"))
            m_strOld = pszOld;
        m_bHad = std::getenv("TZ") != nullptr;
        setenv("TZ", pszZone, 1);
        tzset();
    }
    ~CZone()
    {
        if (m_bHad)
            setenv("TZ", m_strOld.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_bHad = false;
    std::string m_strOld;
};

} // namespace recordstest
