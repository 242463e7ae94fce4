// The indexes a day's figures are counted through: an older file gains them
// when the writer opens it and shows the same figures; a busy day, a quiet
// one, a day whose clocks change read the same with them as without them and
// as the day's own games say; rows whose times the two reads would place
// apart keep the figures to the games the list shows; a disk with no room
// for the indexes keeps the records going without them.
#include "tests/records/RecordsTestSupport.h"

#include "records/RecordFile.h"

using namespace recordstest;

namespace {

class DayIndexes : public ::testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    static void WriteGames(const QString& strPath, const std::vector<GameRecord>& vecGames)
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

    // Runs each statement on a connection of the test's own; false on the
    // first that fails.
    static bool Exec(const QString& strPath, const QStringList& statements)
    {
        bool bOk = true;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("by-hand"));
            db.setDatabaseName(strPath);
            bOk = db.open();
            QSqlQuery query(db);
            for (const QString& strSql : statements) {
                if (bOk && !query.exec(strSql)) {
                    ADD_FAILURE() << strSql.toStdString() << ": " << query.lastError().text().toStdString();
                    bOk = false;
                }
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("by-hand"));
        return bOk;
    }

    // The file as a Quado before the day's indexes left it.
    static bool MakeOld(const QString& strPath)
    {
        return Exec(strPath, {QStringLiteral("DROP INDEX IF EXISTS games_by_level"),
                              QStringLiteral("DROP INDEX IF EXISTS games_by_length"), QStringLiteral("VACUUM")});
    }

    static QStringList Indexes(const QString& strPath)
    {
        CFileReader file(strPath, "indexes");
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("indexes")));
        QStringList names;
        if (query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name")))
            while (query.next())
                names << query.value(0).toString();
        return names;
    }

    // The day as the Records window reads it, checked against the day's
    // games and against the rows its list would show.
    static DaySummary ReadDay(CRecordFile& file, const QDate& day)
    {
        DaySummary summary;
        QString strError;
        EXPECT_TRUE(file.Summary(day, summary, strError)) << strError.toStdString();
        const auto [nFrom, nTo] = LocalDayBounds(day);
        RecordedGames games;
        EXPECT_TRUE(file.Load(nFrom, nTo, games, strError)) << strError.toStdString();
        ExpectSameSummary(summary, SummariseDay(day, games), day);
        RecordedGames listed;
        EXPECT_TRUE(file.LoadPage(day, GamesOrder{}, 0, summary.nGames + 10, listed, strError));
        EXPECT_EQ(listed.size(), summary.nGames) << "the list's rows and the count";
        return summary;
    }

    QTemporaryDir m_dir;
};

const QStringList DayIndexNames = {QStringLiteral("games_by_length"), QStringLiteral("games_by_level"),
                                   QStringLiteral("games_by_start")};

// Lost, won, timed out, abandoned, a level that is no number and none at
// all, over a day and across its midnights.
std::vector<GameRecord> MixedDays()
{
    const QDate today = QDate::currentDate();
    const QDateTime midnight(today, QTime(0, 0), Qt::LocalTime);
    std::vector<GameRecord> vecGames;
    vecGames.push_back(MakeGame(midnight.addSecs(-90), 100, GameEndCause::Incorrect, L"7"));
    vecGames.push_back(MakeGame(midnight.addSecs(-61), 60, GameEndCause::Congrat, L"12"));
    const GameEndCause causes[] = {GameEndCause::Congrat, GameEndCause::Timeout, GameEndCause::Incorrect,
                                   GameEndCause::Closing, GameEndCause::AdapterLost, GameEndCause::Press};
    const wchar_t* const levels[] = {L"5", L"2", L"3", L"44", L"", L"Bonus", L"1"};
    for (int i = 0; i < 40; ++i)
        vecGames.push_back(MakeGame(QDateTime(today, QTime(0, 20), Qt::LocalTime).addSecs(i * 2100), 15 + i * 7 % 50,
                                    causes[i % 6], levels[i % 7]));
    vecGames.push_back(MakeGame(midnight.addDays(1).addSecs(-30), 40, GameEndCause::Congrat, L"9"));
    return vecGames;
}

} // namespace

TEST_F(DayIndexes, AnOlderFileGainsThemWhenWrittenAndShowsTheSameFigures)
{
    WriteGames(Path(), MixedDays());
    ASSERT_TRUE(MakeOld(Path()));
    ASSERT_EQ(Indexes(Path()), QStringList{QStringLiteral("games_by_start")});
    const QDate today = QDate::currentDate();
    const QList<QDate> days = {today.addDays(-1), today, today.addDays(1), today.addDays(-30)};

    // Read only, as the export does: read as before, and left as it was.
    const QByteArray before = FileBytes(Path());
    std::vector<DaySummary> vecBefore;
    {
        CRecordFile reader(Path(), CRecordFile::Mode::ReadOnly);
        QString strError;
        QString strNotice;
        ASSERT_EQ(reader.Start(strError, strNotice), CRecordFile::Status::Open) << strError.toStdString();
        for (const QDate& day : days)
            vecBefore.push_back(ReadDay(reader, day));
    }
    EXPECT_EQ(FileBytes(Path()), before);
    EXPECT_EQ(vecBefore[1].nGames, 41) << "the game across last midnight is today's";

    CRecordFile writer(Path(), CRecordFile::Mode::Write);
    QString strError;
    QString strNotice;
    ASSERT_EQ(writer.Start(strError, strNotice), CRecordFile::Status::Open) << strError.toStdString();
    EXPECT_EQ(Indexes(Path()), DayIndexNames);
    for (int i = 0; i < days.size(); ++i)
        ExpectSameSummary(ReadDay(writer, days[i]), vecBefore[size_t(i)], days[i]);
}

// A day holding most of the file's games (its median found by walking the
// lengths) and quiet days among many (theirs by sorting the day), odd and
// even counts, on days of 23, 25 and 24 hours and half an hour off UTC.
TEST_F(DayIndexes, BusyAndQuietDaysReadTheSameWithThemAsWithout)
{
    const struct {
        const char* pszZone;
        QDate day;
    } cases[] = {{"Europe/Berlin", QDate(2024, 10, 27)}, {"Europe/Berlin", QDate(2024, 3, 31)},
                 {"Asia/Kolkata", QDate(2024, 6, 1)}};
    for (const auto& c : cases) {
        CZone zone(c.pszZone);
        SCOPED_TRACE(c.pszZone);
        std::vector<GameRecord> vecGames;
        // Sixty quiet days of five games before the busy one.
        for (int nDay = 60; nDay > 0; --nDay)
            for (int i = 0; i < 5; ++i)
                vecGames.push_back(MakeGame(QDateTime(c.day.addDays(-nDay), QTime(10 + i, 7 * i), Qt::LocalTime),
                                            20 + 11 * i * nDay % 70, GameEndCause::Incorrect,
                                            std::to_wstring(1 + (i + nDay) % 11)));
        // The busy day: a game ending every 3 minutes, some right on an hour.
        const auto [nFrom, nTo] = LocalDayBounds(c.day);
        int i = 0;
        for (qint64 nEnd = nFrom; nEnd < nTo; nEnd += 3 * 60 * 1000LL, ++i)
            vecGames.push_back(MakeGame(QDateTime::fromMSecsSinceEpoch(nEnd - 1000LL * (30 + i * 13 % 97)),
                                        30 + i * 13 % 97, i % 4 ? GameEndCause::Incorrect : GameEndCause::Congrat,
                                        i % 17 == 0 ? L"" : std::to_wstring(1 + i % 13)));
        QFile::remove(Path());
        QFile::remove(Path() + QStringLiteral(".old"));
        WriteGames(Path(), vecGames);
        ASSERT_EQ(Indexes(Path()), DayIndexNames);
        ASSERT_TRUE(QFile::copy(Path(), Path() + QStringLiteral(".old")));
        ASSERT_TRUE(MakeOld(Path() + QStringLiteral(".old")));

        CRecordFile indexed(Path(), CRecordFile::Mode::ReadOnly);
        CRecordFile old(Path() + QStringLiteral(".old"), CRecordFile::Mode::ReadOnly);
        QString strError;
        QString strNotice;
        ASSERT_EQ(indexed.Start(strError, strNotice), CRecordFile::Status::Open) << strError.toStdString();
        ASSERT_EQ(old.Start(strError, strNotice), CRecordFile::Status::Open) << strError.toStdString();
        for (const QDate& day : {c.day, c.day.addDays(-1), c.day.addDays(-30), c.day.addDays(1)})
            ExpectSameSummary(ReadDay(indexed, day), ReadDay(old, day), day);

        // One game more on the busy day: the median of an even count where
        // it was odd, or the other way round.
        WriteGames(Path(), {MakeGame(QDateTime::fromMSecsSinceEpoch(nFrom + 3600 * 1000LL), 61, GameEndCause::Press,
                                     L"Bonus")});
        const DaySummary grown = ReadDay(indexed, c.day);
        EXPECT_EQ(grown.nGames, i + 1);
    }
}

// A clock set back across midnight during a game (the end stored before the
// start), a time in another form than Quado writes: the figures keep to the
// games the day's list shows, even once such a row comes into a file whose
// figures were counted before.
TEST_F(DayIndexes, RowsWhoseTimesTheyCannotPlaceKeepTheFiguresToTheList)
{
    WriteGames(Path(), MixedDays());
    CRecordFile file(Path(), CRecordFile::Mode::Write);
    QString strError;
    QString strNotice;
    ASSERT_EQ(file.Start(strError, strNotice), CRecordFile::Status::Open) << strError.toStdString();
    const QDate today = QDate::currentDate();
    const int nGames = ReadDay(file, today).nGames;

    const qint64 nMidnight = LocalDayBounds(today).second;
    RecordedGame setBack = RecordedGame::From(MakeGame(Today(12), 30, GameEndCause::Incorrect, L"4"));
    setBack.nStartMs = nMidnight + 5000;
    setBack.nEndMs = nMidnight - 2000;
    RecordedGames games{setBack};
    ASSERT_EQ(file.Write(games, strError), CRecordFile::WriteResult::Written) << strError.toStdString();
    EXPECT_EQ(ReadDay(file, today).nGames, nGames) << "a game that started tomorrow is in no list of today";

    ASSERT_TRUE(Exec(Path(), {QStringLiteral("INSERT INTO games (started_utc, ended_utc, outcome, level_reached,"
                                             " level_number, serial, duration_ms) VALUES ('%1', '%2', 'won', '6', 6,"
                                             " 'BY-HAND', 60000)")
                                  .arg(FormatUtc(nMidnight - 4 * 3600 * 1000LL).left(19),
                                       FormatUtc(nMidnight - 4 * 3600 * 1000LL + 60000))}));
    CRecordFile reopened(Path(), CRecordFile::Mode::ReadOnly);
    ASSERT_EQ(reopened.Start(strError, strNotice), CRecordFile::Status::Open) << strError.toStdString();
    ReadDay(reopened, today);
    ReadDay(file, today);
}

// SQLite's page limit stands in for a disk with room for a few more games
// but not for the indexes: the file is written and read as before.
TEST_F(DayIndexes, NoRoomForThemKeepsTheRecordsGoing)
{
    std::vector<GameRecord> vecGames;
    for (int i = 0; i < 3000; ++i)
        vecGames.push_back(MakeGame(Today(6).addSecs(i * 10), 10 + i % 50, GameEndCause::Timeout, L"2"));
    WriteGames(Path(), vecGames);
    ASSERT_TRUE(MakeOld(Path()));
    int nPages = 0;
    {
        CFileReader reader(Path(), "pages");
        nPages = reader.Pragma("page_count").toInt();
    }
    ASSERT_GT(nPages, 20);

    CRecordFile file(Path(), CRecordFile::Mode::Write, RecordFileSettings{nPages + 4});
    QString strError;
    QString strNotice;
    ASSERT_EQ(file.Start(strError, strNotice), CRecordFile::Status::Open) << strError.toStdString();
    RecordedGames games{RecordedGame::From(MakeGame(Today(17), 40, GameEndCause::Congrat, L"3"))};
    ASSERT_EQ(file.Write(games, strError), CRecordFile::WriteResult::Written) << strError.toStdString();
    const DaySummary summary = ReadDay(file, QDate::currentDate());
    EXPECT_EQ(summary.nGames, 3001);
    EXPECT_EQ(summary.nWins, 1);
    EXPECT_EQ(Indexes(Path()), QStringList{QStringLiteral("games_by_start")});
    CFileReader reader(Path());
    EXPECT_EQ(reader.Pragma("quick_check"), "ok");
}
