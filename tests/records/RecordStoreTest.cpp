// The store as the program uses it: each finished game becomes a row with its
// times, outcome, cause and levels; nothing is written before a game ends;
// a game handed over as the program closes is still written; two Quado
// processes on one file lose nothing; a file of the first schema is brought
// up to date with its games intact.
#include "tests/records/RecordsTestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

#include "records/RecordSchema.h"

using namespace recordstest;

namespace {

class RecordStore : public ::testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(RecordStore, EachFinishedGameIsARowWithItsTimesOutcomeCauseAndLevels)
{
    const QDateTime tStart(QDate(2026, 6, 1), QTime(14, 3, 22, 120), Qt::UTC);
    {
        CRecordStore store(Path());
        ASSERT_TRUE(WaitForEvents([&] { return store.IsStarted(); }));
        EXPECT_FALSE(QFileInfo::exists(Path())) << "no game, no file";
        ASSERT_TRUE(AddAndWait(store, {MakeGame(tStart, 95, GameEndCause::Congrat, L"12", L"12", "DRAVIK-7"),
                                       MakeGame(tStart.addSecs(200), 30, GameEndCause::Press, L"x", L""),
                                       MakeGame(tStart.addSecs(300), 4, GameEndCause::AdapterLost, L"")}));
    }
    CFileReader file(Path());
    ASSERT_TRUE(file.m_bOpen);
    EXPECT_EQ(file.Rows(QStringLiteral("started_utc, ended_utc, duration_ms, outcome, cause, level_reached, "
                                       "level_number, max_level, serial")),
              (QStringList{"2026-06-01T14:03:22.120Z|2026-06-01T14:04:57.120Z|95000|won|congrat|12|12|12|DRAVIK-7",
                           "2026-06-01T14:06:42.120Z|2026-06-01T14:07:12.120Z|30000|abandoned|press|x|NULL|NULL|"
                           "DRAVIK-0001",
                           "2026-06-01T14:08:22.120Z|2026-06-01T14:08:26.120Z|4000|abandoned|adapter_lost||NULL|12|"
                           "DRAVIK-0001"}));
    EXPECT_EQ(file.Pragma("user_version"), QString::number(RecordsSchemaVersion));
    // Closed, the file is back in the journal every reader opens alone.
    EXPECT_EQ(file.Pragma("journal_mode"), "delete");
}

TEST_F(RecordStore, TheDayAndTheIdleFiguresCountOnlyThatLocalDay)
{
    CRecordStore store(Path());
    const QDateTime tYesterday = Today(23, 30).addDays(-1);
    ASSERT_TRUE(AddAndWait(store, {MakeGame(tYesterday, 60, GameEndCause::Congrat, L"20"),
                                   MakeGame(Today(0, 1), 60, GameEndCause::Incorrect, L"3"),
                                   MakeGame(Today(10), 60, GameEndCause::Congrat, L"7"),
                                   MakeGame(Today(10, 5), 60, GameEndCause::Timeout, L"")}));

    std::optional<RecordedGames> day;
    QObject::connect(&store, &CRecordStore::DayLoaded,
                     [&day](int, const QDate&, const RecordedGames& games) { day = games; });
    std::optional<DayFigures> today;
    QObject::connect(&store, &CRecordStore::TodayChanged, [&today](const DayFigures& figures) { today = figures; });
    store.RequestDay(QDate::currentDate());
    store.RequestToday();
    ASSERT_TRUE(WaitForEvents([&] { return day && today; }));
    ASSERT_EQ(day->size(), 3);
    EXPECT_EQ(day->at(0).nStartMs, Today(0, 1).toMSecsSinceEpoch());
    EXPECT_EQ(day->at(1).nLevel, 7);
    EXPECT_EQ(day->at(2).strCause, "timeout");
    EXPECT_EQ(today->nGames, 3);
    EXPECT_EQ(today->nBestLevel, 7);
    EXPECT_EQ(DateOf(*today), QDate::currentDate()) << "the figures name their day";
}

TEST_F(RecordStore, AGameHandedOverAsTheProgramClosesIsWritten)
{
    {
        CRecordStore store(Path());
        store.Add(MakeGame(Today(9), 12, GameEndCause::Disconnect, L"4"));
    }
    CFileReader file(Path());
    EXPECT_EQ(file.Rows(QStringLiteral("outcome, cause, level_reached")), QStringList{"abandoned|disconnect|4"});
}

TEST_F(RecordStore, AStoreFollowingTheGameStreamKeepsEveryEndedGameEvenWhenTheStreamGoesFirst)
{
    {
        CRecordStore store(Path());
        {
            auto pEvents = std::make_unique<CGameEvents>();
            pEvents->SetClock([] { return At(Today(11)); });
            store.Follow(*pEvents);
            pEvents->OnConnected("FOLLOW-1");
            pEvents->OnNew();
            pEvents->OnLevel(L"3");
            pEvents->OnEnd(GameEndCause::Incorrect);
            pEvents->OnLine();
            pEvents->OnNew();
            pEvents->OnLevel(L"5");
            // As the program closes: the link ends the game it ran, then
            // the stream goes while the store stays.
            pEvents->OnDisconnected(DisconnectReason::Closing);
        }
        ASSERT_TRUE(WaitForEvents([&] { return store.IsStarted(); }));
    }
    CFileReader file(Path());
    EXPECT_EQ(file.Rows(QStringLiteral("outcome, cause, level_reached, serial")),
              (QStringList{"lost|incorrect|3|FOLLOW-1", "abandoned|closing|5|FOLLOW-1"}));
}

TEST_F(RecordStore, AStoreThatGoesStopsFollowingAndTheStreamGoesOn)
{
    CGameEvents events;
    int nOthersTold = 0;
    const CGameEventSubscription other(events, [&](const GameEvent& event) {
        nOthersTold += event.nKind == GameEvent::Kind::GameEnded ? 1 : 0;
    });
    {
        CRecordStore store(Path());
        store.Follow(events);
        events.OnNew();
        events.OnEnd(GameEndCause::Congrat);
    }
    events.OnNew();
    events.OnEnd(GameEndCause::Timeout);
    EXPECT_EQ(nOthersTold, 2);
    CFileReader file(Path());
    EXPECT_EQ(file.Rows(QStringLiteral("outcome")), QStringList{"won"}) << "only what ended while it followed";
}

TEST_F(RecordStore, TwoQuadosOnOneFileLoseNothing)
{
    // Two stores are two connections on two threads, as two processes are:
    // each takes SQLite's write lock in turn.
    constexpr int GamesEach = 150;
    {
        CRecordStore first(Path());
        CRecordStore second(Path());
        for (int i = 0; i < GamesEach; ++i) {
            first.Add(MakeGame(Today(8).addSecs(i), 1, GameEndCause::Congrat, L"1", L"12", "FIRST"));
            second.Add(MakeGame(Today(8).addSecs(i), 1, GameEndCause::Incorrect, L"2", L"12", "SECOND"));
        }
    }
    CFileReader file(Path());
    const QStringList rows = file.Rows(QStringLiteral("serial"));
    EXPECT_EQ(rows.count("FIRST"), GamesEach);
    EXPECT_EQ(rows.count("SECOND"), GamesEach);
    EXPECT_EQ(file.Pragma("quick_check"), "ok");
}

TEST_F(RecordStore, AFileOfTheFirstSchemaIsBroughtUpToDateWithItsGames)
{
    // The first schema as it was released, made by hand.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("first-schema"));
        db.setDatabaseName(Path());
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral(
            "CREATE TABLE games (id INTEGER PRIMARY KEY, started_utc TEXT NOT NULL, ended_utc TEXT NOT NULL,"
            " outcome TEXT NOT NULL, level_reached TEXT NOT NULL DEFAULT '', level_number INTEGER, max_level TEXT,"
            " serial TEXT NOT NULL DEFAULT '', duration_ms INTEGER NOT NULL)")));
        ASSERT_TRUE(query.exec(QStringLiteral(
            "INSERT INTO games (started_utc, ended_utc, outcome, level_reached, level_number, max_level, serial,"
            " duration_ms) VALUES"
            " ('2025-03-01T10:00:00.000Z', '2025-03-01T10:01:00.000Z', 'won', '5', 5, '5', 'OLD', 60000),"
            " ('2025-03-01T10:02:00.000Z', '2025-03-01T10:02:30.000Z', 'lost', '2', 2, '5', 'OLD', 30000),"
            " ('2025-03-01T10:03:00.000Z', '2025-03-01T10:03:10.000Z', 'abandoned', '', NULL, NULL, 'OLD', 10000)")));
        ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA user_version = 1")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("first-schema"));
    {
        CRecordStore store(Path());
        ASSERT_TRUE(AddAndWait(store, {MakeGame(Today(11), 40, GameEndCause::New, L"3", L"5", "NEW")}));
    }
    CFileReader file(Path());
    EXPECT_EQ(file.Pragma("user_version"), QString::number(RecordsSchemaVersion));
    EXPECT_EQ(file.Rows(QStringLiteral("serial, outcome, cause, level_number")),
              (QStringList{"OLD|won|congrat|5", "OLD|lost|incorrect|2", "OLD|abandoned|NULL|NULL", "NEW|abandoned|new|3"}));
}

TEST(RecordedTimes, TheStoredFormRoundTripsAndSortsAsTime)
{
    for (const qint64 nMs : {qint64(0), qint64(951782400000) /* 2000-02-29 */, qint64(1782928999999),
                             qint64(-86400001)}) {
        const QString str = FormatUtc(nMs);
        EXPECT_EQ(str, QDateTime::fromMSecsSinceEpoch(nMs, Qt::UTC).toString(Qt::ISODateWithMs)) << nMs;
        EXPECT_EQ(ParseUtc(str), nMs) << str.toStdString();
    }
    EXPECT_LT(FormatUtc(999), FormatUtc(1000));
    EXPECT_EQ(ParseUtc(QStringLiteral("2026-13-01T00:00:00.000Z")), std::nullopt);
    EXPECT_EQ(ParseUtc(QStringLiteral("2026-06-01T12:00:00+02:00")), qint64(1780308000000));
}
