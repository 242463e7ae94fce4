// Today is the local day, whatever the clocks do: a game counts on the day it
// ended; days of 23 and 25 hours and a day whose midnight the zone skips get
// the right bounds and hours; the watch tells midnight by itself, and a clock
// set forward or back; a read that fails part way through a day is an error,
// not part of the day.
#include "tests/records/RecordsTestSupport.h"

#include <QSignalSpy>

#include <cstdlib>
#include <ctime>

#include "records/DaySummary.h"
#include "records/LocalDayWatch.h"
#include "records/RecordFile.h"
#include "records/RecordsWindow.h"

using namespace recordstest;

namespace {

constexpr qint64 HourMs = 3600 * 1000LL;

// The process's local time zone for one test: Qt asks the C library, which
// reads TZ again at tzset().
class CScopedZone {
public:
    explicit CScopedZone(const char* pszZone)
    {
        if (const char* pszOld = std::getenv("TZ")) {
            m_bHad = true;
            m_strOld = pszOld;
        }
        setenv("TZ", pszZone, 1);
        tzset();
    }
    ~CScopedZone()
    {
        if (m_bHad)
            setenv("TZ", m_strOld.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    CScopedZone(const CScopedZone&) = delete;
    CScopedZone& operator=(const CScopedZone&) = delete;

private:
    bool m_bHad = false;
    std::string m_strOld;
};

qint64 Utc(const char* pszIso)
{
    return QDateTime::fromString(QString::fromLatin1(pszIso), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

QDateTime FromUtc(const char* pszIso)
{
    return QDateTime::fromMSecsSinceEpoch(Utc(pszIso), Qt::UTC);
}

class DayOfPlay : public ::testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    // What the store answers for a day: its games and its figures.
    std::pair<RecordedGames, DayFigures> AskDay(CRecordStore& store, const QDate& day)
    {
        std::optional<RecordedGames> games;
        std::optional<DayFigures> figures;
        const auto loaded = QObject::connect(&store, &CRecordStore::DayLoaded,
                                             [&](int, const QDate&, const RecordedGames& got) { games = got; });
        const auto told = QObject::connect(&store, &CRecordStore::TodayChanged, [&](const DayFigures& got) {
            if (DateOf(got) == day)
                figures = got;
        });
        store.RequestDay(day);
        store.RequestToday(day);
        EXPECT_TRUE(WaitForEvents([&] { return games && figures; }));
        QObject::disconnect(loaded);
        QObject::disconnect(told);
        return {games.value_or(RecordedGames{}), figures.value_or(DayFigures{})};
    }

    QTemporaryDir m_dir;
};

} // namespace

// The day's figures carry their day as a plain number; the records' dates go
// there and back unchanged, and the numbers sort as the days (the midnight
// roll-over asks which day is the later one).
TEST(LocalDay, TheFiguresDayNumberIsTheDateAndSortsLikeIt)
{
    for (const QDate& day : {QDate(2024, 10, 27), QDate(2024, 2, 29), QDate(1999, 12, 31), QDate(2100, 1, 1)}) {
        const DayFigures figures{DayNumberOf(day), 1, std::nullopt};
        EXPECT_EQ(DateOf(figures), day) << figures.nDay;
    }
    EXPECT_EQ(DayNumberOf(QDate(2024, 9, 8)), 20240908);
    EXPECT_LT(DayNumberOf(QDate(2024, 12, 31)), DayNumberOf(QDate(2025, 1, 1)));
    EXPECT_LT(DayNumberOf(QDate(2024, 9, 30)), DayNumberOf(QDate(2024, 10, 1)));
    // No day is day 0 both ways: figures never named do not pass for a date.
    EXPECT_EQ(DayNumberOf(QDate()), 0);
    EXPECT_FALSE(DateOf(DayFigures{}).isValid());
}

TEST(LocalDay, DaysOfTwentyThreeAndTwentyFiveHoursHaveTheirOwnHours)
{
    CScopedZone zone("Europe/Berlin");
    // Spring: 02:00 is 03:00, the day has 23 hours and no hour 2.
    const auto [nSpringFrom, nSpringTo] = LocalDayBounds(QDate(2024, 3, 31));
    EXPECT_EQ(nSpringFrom, Utc("2024-03-30T23:00:00Z"));
    EXPECT_EQ(nSpringTo - nSpringFrom, 23 * HourMs);
    const std::array<qint64, 25> spring = LocalHourStarts(QDate(2024, 3, 31));
    EXPECT_EQ(spring[1], Utc("2024-03-31T00:00:00Z"));
    EXPECT_EQ(spring[2] - spring[1], HourMs) << "hour 1 is whole";
    EXPECT_EQ(spring[3] - spring[2], 0) << "hour 2 never came";
    EXPECT_EQ(spring[3], Utc("2024-03-31T01:00:00Z"));
    EXPECT_EQ(spring[24], nSpringTo);

    // Autumn: 03:00 goes back to 02:00, the day has 25 hours and hour 2
    // comes twice.
    const auto [nAutumnFrom, nAutumnTo] = LocalDayBounds(QDate(2024, 10, 27));
    EXPECT_EQ(nAutumnFrom, Utc("2024-10-26T22:00:00Z"));
    EXPECT_EQ(nAutumnTo - nAutumnFrom, 25 * HourMs);
    const std::array<qint64, 25> autumn = LocalHourStarts(QDate(2024, 10, 27));
    EXPECT_EQ(autumn[2], Utc("2024-10-27T00:00:00Z"));
    EXPECT_EQ(autumn[3] - autumn[2], 2 * HourMs);
    EXPECT_EQ(autumn[2] - autumn[1], HourMs);
    EXPECT_EQ(autumn[24], nAutumnTo);
    for (size_t h = 1; h < autumn.size(); ++h)
        EXPECT_LE(autumn[h - 1], autumn[h]) << h;
}

TEST(LocalDay, ADayWhoseMidnightTheZoneSkipsBeginsAtItsFirstLocalTime)
{
    CScopedZone zone("America/Santiago");
    // 2024-09-07 24:00 (-04) is 2024-09-08 01:00 (-03): no local midnight.
    const QDate day(2024, 9, 8);
    const auto [nFrom, nTo] = LocalDayBounds(day);
    EXPECT_EQ(nFrom, Utc("2024-09-08T04:00:00Z"));
    EXPECT_EQ(LocalDayOf(nFrom - 1), QDate(2024, 9, 7));
    EXPECT_EQ(LocalDayOf(nFrom), day);
    EXPECT_EQ(nTo - nFrom, 23 * HourMs);
    EXPECT_EQ(LocalDayBounds(QDate(2024, 9, 7)).second, nFrom) << "the days meet";
    const std::array<qint64, 25> hours = LocalHourStarts(day);
    EXPECT_EQ(hours[0], nFrom);
    EXPECT_EQ(hours[1], nFrom) << "hour 0 never came";
    EXPECT_EQ(hours[2] - hours[1], HourMs);

    // In April the clocks go back at midnight: 2024-04-06 has 25 hours, the
    // last one twice, and the 7th begins once, at the second midnight.
    const auto [nAprilFrom, nAprilTo] = LocalDayBounds(QDate(2024, 4, 6));
    EXPECT_EQ(nAprilTo - nAprilFrom, 25 * HourMs);
    EXPECT_EQ(nAprilTo, Utc("2024-04-07T04:00:00Z"));
}

TEST_F(DayOfPlay, AGameCountsOnTheLocalDayItEndedAcrossAMidnightThatDoesNotExist)
{
    CScopedZone zone("America/Santiago");
    const auto local = [](int nMonth, int nDay, int nHour, int nMinute) {
        return QDateTime(QDate(2024, nMonth, nDay), QTime(nHour, nMinute), Qt::LocalTime);
    };
    CRecordStore store(Path());
    ASSERT_TRUE(AddAndWait(store, {
                                      // 09-07 only.
                                      MakeGame(local(9, 7, 22, 0), 60, GameEndCause::Incorrect, L"2"),
                                      // From 23:58 on the 7th to 01:00:30 on the 8th.
                                      MakeGame(local(9, 7, 23, 58), 150, GameEndCause::Congrat, L"4"),
                                      MakeGame(local(9, 8, 12, 0), 60, GameEndCause::Congrat, L"9"),
                                      // From 23:59 on the 8th to 00:00:30 on the 9th.
                                      MakeGame(local(9, 8, 23, 59), 90, GameEndCause::Congrat, L"11"),
                                  }));

    const auto [seventh, seventhFigures] = AskDay(store, QDate(2024, 9, 7));
    ASSERT_EQ(seventh.size(), 1);
    EXPECT_EQ(seventh[0].nLevel, 2);
    EXPECT_EQ(seventhFigures.nGames, 1);
    EXPECT_EQ(seventhFigures.nBestLevel, 2);

    const auto [eighth, eighthFigures] = AskDay(store, QDate(2024, 9, 8));
    ASSERT_EQ(eighth.size(), 2);
    EXPECT_EQ(eighth[0].nLevel, 4);
    EXPECT_EQ(eighth[1].nLevel, 9);
    EXPECT_EQ(eighthFigures.nGames, 2);
    EXPECT_EQ(eighthFigures.nBestLevel, 9);
    const DaySummary summary = SummariseDay(QDate(2024, 9, 8), eighth);
    EXPECT_EQ(summary.hours[0], 0);
    EXPECT_EQ(summary.hours[1], 1) << "ended at 01:00:30";
    EXPECT_EQ(summary.hours[12], 1);

    const auto [ninth, ninthFigures] = AskDay(store, QDate(2024, 9, 9));
    EXPECT_EQ(ninth.size(), 1);
    EXPECT_EQ(ninthFigures.nGames, 1);
    EXPECT_EQ(ninthFigures.nBestLevel, 11);

    // A game left running for a week, written after the day was first
    // read, counts on the day it ended too.
    ASSERT_TRUE(AddAndWait(store, {MakeGame(local(9, 1, 12, 0), 7 * 86400 + 3600, GameEndCause::AdapterLost, L"1")}));
    const auto [again, againFigures] = AskDay(store, QDate(2024, 9, 8));
    EXPECT_EQ(again.size(), 3);
    EXPECT_EQ(againFigures.nGames, 3);
}

TEST_F(DayOfPlay, TheTwentyFiveHourDayHoldsBothRunsOfItsRepeatedHour)
{
    CScopedZone zone("Europe/Berlin");
    CRecordStore store(Path());
    ASSERT_TRUE(AddAndWait(store, {
                                      // 02:30 summer time, then 02:30 winter time.
                                      MakeGame(FromUtc("2024-10-27T00:29:00Z"), 60, GameEndCause::Congrat, L"3"),
                                      MakeGame(FromUtc("2024-10-27T01:29:00Z"), 60, GameEndCause::Congrat, L"5"),
                                      // Ends at 23:59:59.999 local, and at the next midnight.
                                      MakeGame(FromUtc("2024-10-27T22:58:59.999Z"), 60,
                                               GameEndCause::Incorrect, L"1"),
                                      MakeGame(FromUtc("2024-10-27T22:59:00Z"), 60, GameEndCause::Incorrect, L"1"),
                                  }));
    const auto [games, figures] = AskDay(store, QDate(2024, 10, 27));
    EXPECT_EQ(games.size(), 3);
    EXPECT_EQ(figures.nGames, 3);
    EXPECT_EQ(figures.nBestLevel, 5);
    const DaySummary summary = SummariseDay(QDate(2024, 10, 27), games);
    EXPECT_EQ(summary.hours[2], 2);
    EXPECT_EQ(summary.hours[23], 1);
    EXPECT_EQ(AskDay(store, QDate(2024, 10, 28)).second.nGames, 1);
}

TEST(LocalDayWatch, TellsMidnightByItselfWhereTheDayBeginsAtOne)
{
    CScopedZone zone("America/Santiago");
    // The last tenth of a second of 2024-09-07.
    qint64 nNow = Utc("2024-09-08T03:59:59.900Z");
    CLocalDayWatch watch;
    watch.SetNowSource([&nNow] { return nNow; });
    EXPECT_EQ(watch.Today(), QDate(2024, 9, 7));
    EXPECT_EQ(watch.WaitMs(), 100) << "armed for 01:00, the first time the 8th has";

    QSignalSpy spy(&watch, &CLocalDayWatch::DayChanged);
    nNow = Utc("2024-09-08T04:00:00.000Z");
    ASSERT_TRUE(WaitForEvents([&] { return spy.count() == 1; }));
    EXPECT_EQ(spy[0][0].toDate(), QDate(2024, 9, 8));
    EXPECT_EQ(watch.Today(), QDate(2024, 9, 8));
    EXPECT_EQ(watch.WaitMs(), CLocalDayWatch::LongestWaitMs) << "re-armed";
}

TEST(LocalDayWatch, AClockSetForwardOrBackIsFoundWithoutWaitingForMidnight)
{
    CScopedZone zone("Europe/Berlin");
    qint64 nNow = Utc("2024-03-30T22:59:00Z"); // 23:59 on the 30th
    CLocalDayWatch watch;
    watch.SetNowSource([&nNow] { return nNow; });
    EXPECT_EQ(watch.WaitMs(), 60 * 1000);
    nNow = Utc("2024-03-31T10:00:00Z");
    EXPECT_EQ(watch.WaitMs(), 60 * 1000) << "the timer runs on, whatever the wall clock says";

    // At noon the next midnight is hours away; the clock is looked at again
    // long before, so a jump of a day shows.
    QSignalSpy spy(&watch, &CLocalDayWatch::DayChanged);
    watch.Check();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(watch.WaitMs(), CLocalDayWatch::LongestWaitMs);
    nNow = Utc("2024-04-02T10:00:00Z");
    watch.Check();
    nNow = Utc("2024-03-30T10:00:00Z");
    watch.Check();
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy[1][0].toDate(), QDate(2024, 4, 2));
    EXPECT_EQ(spy[2][0].toDate(), QDate(2024, 3, 30));
}

TEST_F(DayOfPlay, APageThatCannotBeReadPartWayThroughTheDayIsAnErrorNotPartOfTheDay)
{
    const QDate day = QDate::currentDate();
    {
        CRecordStore store(Path());
        std::vector<GameRecord> games;
        for (int i = 0; i < 3000; ++i)
            games.push_back(MakeGame(Today(6).addSecs(i), 5, GameEndCause::Incorrect, L"2", L"12",
                                     "DRAVIK-" + std::to_string(100000 + i)));
        ASSERT_TRUE(AddAndWait(store, games));
    }
    CRecordFile file(Path(), CRecordFile::Mode::ReadOnly);
    QString strReason, strNotice;
    ASSERT_EQ(file.Start(strReason, strNotice), CRecordFile::Status::Open) << strReason.toStdString();
    RecordedGames games;
    QString strError;
    const auto [nFrom, nTo] = LocalDayBounds(day);
    ASSERT_TRUE(file.Load(nFrom, nTo, games, strError)) << strError.toStdString();
    ASSERT_EQ(games.size(), 3000);

    // Pages late in the file go bad after the check, as a failing card's
    // do; the early rows still read.
    const qint64 nSize = QFileInfo(Path()).size();
    ASSERT_GT(nSize, 40 * 4096);
    {
        QFile bytes(Path());
        ASSERT_TRUE(bytes.open(QIODevice::ReadWrite));
        bytes.seek((nSize / 4096) * 3 / 4 * 4096);
        bytes.write(QByteArray(4 * 4096, '\x5a'));
    }
    // Another Quado adds a game at the end, so the reader's cache is let go.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-quado"));
        db.setDatabaseName(Path());
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO games (started_utc, ended_utc, outcome, duration_ms)"
                                              " VALUES ('2099-01-01T00:00:00.000Z', '2099-01-01T00:00:01.000Z',"
                                              " 'won', 1000)")))
            << query.lastError().text().toStdString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other-quado"));

    EXPECT_FALSE(file.Load(nFrom, nTo, games, strError)) << games.size() << " games";
    EXPECT_TRUE(games.isEmpty());
    EXPECT_FALSE(strError.isEmpty());
    DayFigures figures;
    EXPECT_FALSE(file.Figures(day, figures, strError));
}

TEST_F(DayOfPlay, ADayThatCannotBeReadIsToldInTheRecordsWindowNotShownAsNoGames)
{
    {
        CRecordStore store(Path());
        std::vector<GameRecord> games;
        for (int i = 0; i < 3000; ++i)
            games.push_back(MakeGame(Today(6).addSecs(i), 5, GameEndCause::Incorrect, L"2", L"12",
                                     "DRAVIK-" + std::to_string(100000 + i)));
        ASSERT_TRUE(AddAndWait(store, games));
    }
    CRecordStore store(Path());
    ASSERT_TRUE(WaitForEvents([&] { return store.IsStarted(); }));
    const qint64 nSize = QFileInfo(Path()).size();
    {
        QFile bytes(Path());
        ASSERT_TRUE(bytes.open(QIODevice::ReadWrite));
        bytes.seek((nSize / 4096) * 3 / 4 * 4096);
        bytes.write(QByteArray(4 * 4096, '\x5a'));
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-quado"));
        db.setDatabaseName(Path());
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(QStringLiteral("UPDATE games SET serial = 'X' WHERE id = (SELECT MAX(id) FROM games)")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other-quado"));

    testing::internal::CaptureStderr();
    CRecordsWindow window;
    window.SetStore(&store);
    ASSERT_TRUE(WaitForEvents([&] { return window.IsLoaded(); }));
    const std::string strErr = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(window.m_stState.text().startsWith("Cannot read the games of")) << window.m_stState.text().toStdString();
    EXPECT_EQ(window.m_stGames.text(), QString::fromUtf8("\u2013"));
    EXPECT_EQ(window.Games().rowCount(), 0);
    EXPECT_NE(strErr.find("cannot read"), std::string::npos) << strErr;
}
