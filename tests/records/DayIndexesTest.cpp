// The indexes a day's figures are counted through: an older file gains them
// when the writer opens it and shows the same figures; busy and quiet days
// read the same with them as without them and as their games say; a game
// whose times they cannot place keeps the figures to the list; a disk without
// room for them keeps the records going.
#include "tests/records/RecordsTestSupport.h"

using namespace recordstest;

namespace {

class DayIndexes : public ::testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    // The file as a Quado before the day's indexes left it.
    static bool MakeOld(const QString& strPath)
    {
        bool bOk = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make-old"));
            db.setDatabaseName(strPath);
            QSqlQuery query(db);
            bOk = db.open() && query.exec(QStringLiteral("DROP INDEX games_by_level")) &&
                  query.exec(QStringLiteral("DROP INDEX games_by_length")) && query.exec(QStringLiteral("VACUUM"));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("make-old"));
        return bOk;
    }

    static QStringList Indexes(const QString& strPath)
    {
        CFileReader file(strPath, "indexes");
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("indexes")));
        QStringList names;
        query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name"));
        while (query.next())
            names << query.value(0).toString();
        return names;
    }

    // The day's figures, checked against the day's games and the rows its
    // list shows.
    static DaySummary ReadDay(CRecordFile& file, const QDate& day)
    {
        DaySummary summary;
        QString strError;
        EXPECT_TRUE(file.Summary(day, summary, strError)) << strError.toStdString();
        const auto [nFrom, nTo] = LocalDayBounds(day);
        RecordedGames games;
        EXPECT_TRUE(file.Load(nFrom, nTo, games, strError)) << strError.toStdString();
        ExpectSameSummary(summary, SummariseDay(day, games), day);
        EXPECT_TRUE(file.LoadPage(day, GamesOrder{}, 0, summary.nGames + 10, games, strError));
        EXPECT_EQ(games.size(), summary.nGames) << "the list's rows and the count";
        return summary;
    }

    QTemporaryDir m_dir;
};

const QStringList OldIndexes = {QStringLiteral("games_by_start")};
const QStringList AllIndexes = {QStringLiteral("games_by_length"), QStringLiteral("games_by_level"),
                                QStringLiteral("games_by_start")};

// Won, lost, timed out, abandoned, a level that is no number and none at
// all, over today and across both its midnights.
std::vector<GameRecord> MixedDays()
{
    const QDateTime midnight(QDate::currentDate(), QTime(0, 0), Qt::LocalTime);
    std::vector<GameRecord> vecGames = {MakeGame(midnight.addSecs(-90), 100, GameEndCause::Incorrect, L"7"),
                                        MakeGame(midnight.addSecs(-61), 60, GameEndCause::Congrat, L"12"),
                                        MakeGame(midnight.addDays(1).addSecs(-30), 40, GameEndCause::Congrat, L"9")};
    const GameEndCause causes[] = {GameEndCause::Congrat, GameEndCause::Timeout, GameEndCause::Incorrect,
                                   GameEndCause::Closing, GameEndCause::AdapterLost, GameEndCause::Press};
    const wchar_t* const levels[] = {L"5", L"2", L"3", L"44", L"", L"Bonus", L"1"};
    for (int i = 0; i < 40; ++i)
        vecGames.push_back(MakeGame(midnight.addSecs(1200 + i * 2100), 15 + i * 7 % 50, causes[i % 6], levels[i % 7]));
    return vecGames;
}

} // namespace

TEST_F(DayIndexes, AnOlderFileGainsThemWhenWrittenAndShowsTheSameFigures)
{
    WriteGames(Path(), MixedDays());
    ASSERT_TRUE(MakeOld(Path()));
    const QDate today = QDate::currentDate();
    const QList<QDate> days = {today.addDays(-1), today, today.addDays(1), today.addDays(-30)};
    // Read only, as the export does: read as before, and left as it was.
    const QByteArray before = FileBytes(Path());
    std::vector<DaySummary> vecBefore;
    {
        CRecordFile reader(Path(), CRecordFile::Mode::ReadOnly);
        ASSERT_TRUE(Started(reader));
        for (const QDate& day : days)
            vecBefore.push_back(ReadDay(reader, day));
    }
    EXPECT_EQ(FileBytes(Path()), before);
    EXPECT_EQ(Indexes(Path()), OldIndexes);
    EXPECT_EQ(vecBefore[1].nGames, 41) << "the game across last midnight is today's";

    CRecordFile writer(Path(), CRecordFile::Mode::Write);
    ASSERT_TRUE(Started(writer));
    EXPECT_EQ(Indexes(Path()), AllIndexes);
    for (int i = 0; i < days.size(); ++i)
        ExpectSameSummary(ReadDay(writer, days[i]), vecBefore[size_t(i)], days[i]);
}

// A day holding most of the file's games (its median found by walking the
// lengths, of an even count and then an odd one) and quiet days among many
// (theirs by sorting the day); days whose clocks change are the day view's.
TEST_F(DayIndexes, BusyAndQuietDaysReadTheSameWithThemAsWithout)
{
    const QDate today = QDate::currentDate();
    std::vector<GameRecord> vecGames;
    for (int nDay = 5; nDay < 305; ++nDay)
        vecGames.push_back(MakeGame(QDateTime(today.addDays(-nDay / 5), QTime(9 + nDay % 5, 0), Qt::LocalTime),
                                    20 + 11 * nDay % 70, GameEndCause::Incorrect, std::to_wstring(1 + nDay % 11)));
    for (int i = 0; i < 480; ++i)
        vecGames.push_back(MakeGame(Today(0).addSecs(i * 180 + 5), 30 + i * 13 % 97,
                                    i % 4 ? GameEndCause::Incorrect : GameEndCause::Congrat,
                                    i % 17 ? std::to_wstring(1 + i % 13) : L""));
    WriteGames(Path(), vecGames);
    const QString strOld = Path() + QStringLiteral(".old");
    ASSERT_TRUE(QFile::copy(Path(), strOld) && MakeOld(strOld));
    CRecordFile indexed(Path(), CRecordFile::Mode::ReadOnly);
    CRecordFile old(strOld, CRecordFile::Mode::ReadOnly);
    ASSERT_TRUE(Started(indexed) && Started(old));
    for (const QDate& day : {today, today.addDays(-1), today.addDays(-30), today.addDays(-90)})
        ExpectSameSummary(ReadDay(indexed, day), ReadDay(old, day), day);
    WriteGames(Path(), {MakeGame(Today(1), 61, GameEndCause::Press, L"B")});
    EXPECT_EQ(ReadDay(indexed, today).nGames, 481);
}

// A clock set back across midnight during a game stores the end before the
// start: the figures keep to the games the day's list shows, also once such a
// row comes into a file whose figures were counted before.
TEST_F(DayIndexes, AGameTheyCannotPlaceKeepsTheFiguresToTheList)
{
    WriteGames(Path(), MixedDays());
    CRecordFile file(Path(), CRecordFile::Mode::Write);
    ASSERT_TRUE(Started(file));
    const QDate today = QDate::currentDate();
    const int nGames = ReadDay(file, today).nGames;
    const qint64 nMidnight = LocalDayBounds(today).second;
    RecordedGames games{RecordedGame::From(MakeGame(Today(12), 30, GameEndCause::Incorrect, L"4"))};
    games[0].nStartMs = nMidnight + 5000;
    games[0].nEndMs = nMidnight - 2000;
    QString strError;
    ASSERT_EQ(file.Write(games, strError), CRecordFile::WriteResult::Written) << strError.toStdString();
    EXPECT_EQ(ReadDay(file, today).nGames, nGames) << "a game that started tomorrow is in no list of today";
    CRecordFile reopened(Path(), CRecordFile::Mode::ReadOnly);
    ASSERT_TRUE(Started(reopened));
    EXPECT_EQ(ReadDay(reopened, today).nGames, nGames);
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
    const int nPages = CFileReader(Path(), "pages").Pragma("page_count").toInt();
    ASSERT_GT(nPages, 20);
    CRecordFile file(Path(), CRecordFile::Mode::Write, RecordFileSettings{nPages + 4});
    ASSERT_TRUE(Started(file));
    RecordedGames games{RecordedGame::From(MakeGame(Today(17), 40, GameEndCause::Congrat, L"3"))};
    QString strError;
    ASSERT_EQ(file.Write(games, strError), CRecordFile::WriteResult::Written) << strError.toStdString();
    const DaySummary summary = ReadDay(file, QDate::currentDate());
    EXPECT_EQ(summary.nGames, 3001);
    EXPECT_EQ(summary.nWins, 1);
    EXPECT_EQ(Indexes(Path()), OldIndexes);
    EXPECT_EQ(CFileReader(Path()).Pragma("quick_check"), "ok");
}
