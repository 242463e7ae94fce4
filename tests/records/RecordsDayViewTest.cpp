// A day as the Records window reads it from the file: its figures counted by
// SQL agree with the day's own games (a night across local midnight, a day
// without games, abandoned games, levels that are no number), and a day of
// thousands of games shows the right rows at the top, the middle and the end
// of its list, fetched as they come into view, in any order.
#include "tests/records/RecordsTestSupport.h"

#include <QHeaderView>
#include <QScrollBar>

#include <cstdlib>
#include <ctime>

#include "records/DaySummary.h"
#include "records/RecordFile.h"
#include "records/RecordsWindow.h"

using namespace recordstest;

namespace {

class RecordsDayView : public ::testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    void WriteGames(const std::vector<GameRecord>& vecGames) { recordstest::WriteGames(Path(), vecGames); }

    QTemporaryDir m_dir;
};

} // namespace

// Days of 23 and 25 hours, and a zone half an hour off the hour: each hour's
// games counted by SQL are the ones the games themselves say.
TEST_F(RecordsDayView, TheHoursCountedBySqlAgreeWhereverTheClocksChange)
{
    const struct {
        const char* pszZone;
        QDate day;
    } cases[] = {{"Europe/Berlin", QDate(2024, 10, 27)}, {"Europe/Berlin", QDate(2024, 3, 31)},
                 {"Asia/Kolkata", QDate(2024, 6, 1)}};
    for (const auto& c : cases) {
        CZone zone(c.pszZone);
        const auto [nFrom, nTo] = LocalDayBounds(c.day);
        std::vector<GameRecord> vecGames;
        // A game ending every 7 minutes from before the day to after it,
        // some of them right on an hour.
        for (qint64 nEnd = nFrom - 3600 * 1000LL; nEnd < nTo + 3600 * 1000LL; nEnd += 7 * 60 * 1000LL)
            vecGames.push_back(MakeGame(QDateTime::fromMSecsSinceEpoch(nEnd - 60000), 60, GameEndCause::Incorrect, L"2"));
        vecGames.push_back(MakeGame(QDateTime::fromMSecsSinceEpoch(nFrom + 2 * 3600 * 1000LL - 30000), 30,
                                    GameEndCause::Congrat, L"3"));
        QFile::remove(Path());
        WriteGames(vecGames);
        CRecordFile file(Path(), CRecordFile::Mode::ReadOnly);
        QString strError;
        QString strNotice;
        ASSERT_EQ(file.Start(strError, strNotice), CRecordFile::Status::Open) << strError.toStdString();
        RecordedGames games;
        ASSERT_TRUE(file.Load(nFrom, nTo, games, strError)) << strError.toStdString();
        DaySummary summary;
        ASSERT_TRUE(file.Summary(c.day, summary, strError)) << strError.toStdString();
        SCOPED_TRACE(c.pszZone);
        ExpectSameSummary(summary, SummariseDay(c.day, games), c.day);
    }
}

TEST_F(RecordsDayView, TheFiguresCountedBySqlAgreeWithTheDaysGames)
{
    const QDate today = QDate::currentDate();
    const QDateTime midnight(today, QTime(0, 0), Qt::LocalTime);
    std::vector<GameRecord> vecGames;
    // Across last midnight: started yesterday, ended today (today's), and
    // one ended a second before it (yesterday's).
    vecGames.push_back(MakeGame(midnight.addSecs(-90), 100, GameEndCause::Incorrect, L"7"));
    vecGames.push_back(MakeGame(midnight.addSecs(-61), 60, GameEndCause::Congrat, L"12"));
    // The day's games: won, lost, timed out, abandoned (the program closed,
    // the adapter pulled out), a level that is no number, no level at all,
    // lengths of an even count so the median is the mean of the middle two.
    const struct {
        int nHour, nMinute, nSeconds;
        GameEndCause nCause;
        const wchar_t* pszLevel;
    } day[] = {{0, 30, 45, GameEndCause::Congrat, L"5"},    {7, 5, 30, GameEndCause::Timeout, L"2"},
               {7, 50, 61, GameEndCause::Incorrect, L"3"},  {9, 59, 80, GameEndCause::Closing, L"4"},
               {13, 0, 20, GameEndCause::AdapterLost, L""}, {13, 2, 33, GameEndCause::Press, L"Bonus"},
               {18, 0, 95, GameEndCause::Congrat, L"44"},   {23, 58, 50, GameEndCause::Incorrect, L"1"}};
    for (const auto& game : day)
        vecGames.push_back(MakeGame(QDateTime(today, QTime(game.nHour, game.nMinute), Qt::LocalTime), game.nSeconds,
                                    game.nCause, game.pszLevel));
    // Across the coming midnight: ended tomorrow, so not today's.
    vecGames.push_back(MakeGame(midnight.addDays(1).addSecs(-30), 40, GameEndCause::Congrat, L"9"));
    WriteGames(vecGames);

    CRecordFile file(Path(), CRecordFile::Mode::ReadOnly);
    QString strReason;
    QString strNotice;
    ASSERT_EQ(file.Start(strReason, strNotice), CRecordFile::Status::Open) << strReason.toStdString();
    for (const QDate& date : {today.addDays(-1), today, today.addDays(1), today.addDays(-30)}) {
        const auto [nFrom, nTo] = LocalDayBounds(date);
        RecordedGames games;
        QString strError;
        ASSERT_TRUE(file.Load(nFrom, nTo, games, strError)) << strError.toStdString();
        DaySummary summary;
        ASSERT_TRUE(file.Summary(date, summary, strError)) << strError.toStdString();
        ExpectSameSummary(summary, SummariseDay(date, games), date);
    }
    DaySummary summary;
    ASSERT_TRUE(file.Summary(today, summary, strReason));
    EXPECT_EQ(summary.nGames, 9) << "the game across last midnight is today's";
    EXPECT_EQ(summary.nWins, 2);
    EXPECT_EQ(summary.nBestLevel, 44);
    EXPECT_EQ(summary.levels.back(), (QPair<QString, int>(QString::fromLatin1(NoLevelLabel), 1)));

    DaySummary empty;
    ASSERT_TRUE(file.Summary(today.addDays(-30), empty, strReason));
    EXPECT_EQ(empty.nGames, 0);
    EXPECT_FALSE(empty.nMedianDurationMs);
    EXPECT_TRUE(empty.levels.isEmpty());
}

TEST_F(RecordsDayView, ALargeDayShowsTheRightRowsAtTheTopTheMiddleAndTheEnd)
{
    constexpr int Games = 5000;
    // One game every 10 s from 06:00, each a second longer than the one
    // before, up to a minute and round again.
    std::vector<GameRecord> vecGames;
    for (int i = 0; i < Games; ++i)
        vecGames.push_back(
            MakeGame(Today(6).addSecs(i * 10), 1 + i % 60, GameEndCause::Incorrect, std::to_wstring(1 + i % 9)));
    WriteGames(vecGames);
    const auto StartShown = [](int nGame) { return Today(6).addSecs(nGame * 10).toString(QStringLiteral("HH:mm:ss")); };

    CRecordStore store(Path());
    CRecordsWindow window;
    window.SetStore(&store);
    window.show();
    ASSERT_TRUE(WaitForEvents([&] { return window.IsSettled(); }));
    EXPECT_EQ(window.m_stGames.text(), QString::number(Games));
    const QAbstractItemModel& model = *window.m_tblGames.model();
    ASSERT_EQ(model.rowCount(), Games);
    const auto Cell = [&](int nRow, int nColumn) {
        window.m_tblGames.scrollTo(model.index(nRow, nColumn));
        // Asked for as the view shows it; blank until it has come.
        model.index(nRow, nColumn).data();
        EXPECT_TRUE(WaitForEvents([&] { return window.IsSettled(); }));
        return model.index(nRow, nColumn).data().toString();
    };
    EXPECT_EQ(Cell(0, CGamesTableModel::ColStart), StartShown(Games - 1)) << "newest first";
    EXPECT_LT(window.Games().HeldRows(), Games) << "the whole day was read at once";
    EXPECT_EQ(Cell(Games / 2, CGamesTableModel::ColStart), StartShown(Games - 1 - Games / 2));
    window.m_tblGames.scrollToBottom();
    EXPECT_EQ(Cell(Games - 1, CGamesTableModel::ColStart), StartShown(0));
    EXPECT_LT(window.Games().HeldRows(), Games);

    // Shortest first; games alike in length in the order they started.
    window.m_tblGames.sortByColumn(CGamesTableModel::ColLength, Qt::AscendingOrder);
    EXPECT_EQ(Cell(0, CGamesTableModel::ColLength), QStringLiteral("0:01"));
    EXPECT_EQ(Cell(0, CGamesTableModel::ColStart), StartShown(0));
    EXPECT_EQ(Cell(1, CGamesTableModel::ColStart), StartShown(60));
    EXPECT_EQ(Cell(Games - 1, CGamesTableModel::ColLength), QStringLiteral("1:00"));
    EXPECT_EQ(Cell(Games - 1, CGamesTableModel::ColStart), StartShown(Games - 1 - (Games - 60) % 60));
    EXPECT_EQ(Cell(Games / 2, CGamesTableModel::ColLength), QStringLiteral("0:30"));
}

// The list's model asks only for the pages of rows that are looked at, once
// each, shows a page as it comes, keeps the rows shown while the day is read
// anew (in a new order, or grown), and forgets nothing it was not told to.
TEST(GamesModel, AsksOnlyForTheRowsLookedAtAndKeepsThemUntilTheirNewOnesCome)
{
    CGamesTableModel model;
    std::vector<std::pair<int, int>> vecAsked;
    model.SetFetch([&](int nOffset, int nCount) { vecAsked.push_back({nOffset, nCount}); });
    std::vector<GamesOrder> vecOrders;
    QObject::connect(&model, &CGamesTableModel::OrderChanged,
                     [&](const GamesOrder& order) { vecOrders.push_back(order); });
    const auto Rows = [](int nFirst, int nCount) {
        RecordedGames games;
        for (int i = nFirst; i < nFirst + nCount; ++i) {
            RecordedGame game;
            game.nId = i;
            game.strSerial = QStringLiteral("row %1").arg(i);
            games.append(game);
        }
        return games;
    };
    const int Page = CGamesTableModel::PageRows;
    model.SetDay(10 * Page, GamesOrder{}, Rows(0, Page));
    EXPECT_EQ(model.rowCount(), 10 * Page);
    EXPECT_EQ(model.index(Page - 1, CGamesTableModel::ColSerial).data().toString(), QStringLiteral("row %1").arg(Page - 1));
    EXPECT_TRUE(vecAsked.empty()) << "the first page came with the day";

    // A row of the seventh page, looked at twice before its page comes.
    EXPECT_FALSE(model.index(6 * Page + 5, CGamesTableModel::ColSerial).data().isValid());
    EXPECT_FALSE(model.index(6 * Page + 9, CGamesTableModel::ColStart).data().isValid());
    ASSERT_EQ(vecAsked, (std::vector<std::pair<int, int>>{{6 * Page, Page}}));
    EXPECT_TRUE(model.IsFetching());
    model.AddRows(6 * Page, Rows(6 * Page, Page));
    EXPECT_FALSE(model.IsFetching());
    EXPECT_EQ(model.index(6 * Page + 5, CGamesTableModel::ColSerial).data().toString(),
              QStringLiteral("row %1").arg(6 * Page + 5));
    EXPECT_EQ(model.HeldRows(), 2 * Page);

    // The header asks for another order: told once, the old rows stay
    // shown until the day comes in it.
    model.sort(CGamesTableModel::ColLength, Qt::AscendingOrder);
    model.sort(CGamesTableModel::ColLength, Qt::AscendingOrder);
    ASSERT_EQ(vecOrders.size(), 1u);
    EXPECT_EQ(vecOrders[0], (GamesOrder{GamesOrder::Length, false}));
    EXPECT_EQ(model.index(0, CGamesTableModel::ColSerial).data().toString(), QStringLiteral("row 0"));

    // The day read anew has grown by one game, and shrunk again: the rows
    // follow, and only the first page is held.
    model.SetDay(10 * Page + 1, vecOrders[0], Rows(1000, Page));
    EXPECT_EQ(model.rowCount(), 10 * Page + 1);
    EXPECT_EQ(model.index(0, CGamesTableModel::ColSerial).data().toString(), QStringLiteral("row 1000"));
    EXPECT_EQ(model.HeldRows(), Page);
    model.SetDay(3, vecOrders[0], Rows(2000, 3));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_FALSE(model.GameAt(3));
    EXPECT_EQ(model.GameAt(2)->nId, 2002);
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.HeldRows(), 0);
}

// A file not made yet, and rows asked for past the day's end: no games, no
// figures, no error.
TEST_F(RecordsDayView, NoFileAndRowsPastTheEndAreEmptyNotErrors)
{
    CRecordFile file(Path(), CRecordFile::Mode::ReadOnly);
    QString strError;
    QString strNotice;
    // Read-only, the check says there is no file; the reads then find none.
    file.Start(strError, strNotice);
    strError.clear();
    DaySummary summary;
    EXPECT_TRUE(file.Summary(QDate::currentDate(), summary, strError)) << strError.toStdString();
    EXPECT_EQ(summary.nGames, 0);
    RecordedGames games;
    EXPECT_TRUE(file.LoadPage(QDate::currentDate(), GamesOrder{}, 0, 50, games, strError)) << strError.toStdString();
    EXPECT_TRUE(games.isEmpty());

    WriteGames({MakeGame(Today(9), 30, GameEndCause::Congrat, L"4"), MakeGame(Today(10), 40, GameEndCause::Timeout, L"")});
    CRecordFile written(Path(), CRecordFile::Mode::ReadOnly);
    ASSERT_EQ(written.Start(strError, strNotice), CRecordFile::Status::Open) << strError.toStdString();
    ASSERT_TRUE(written.LoadPage(QDate::currentDate(), GamesOrder{GamesOrder::Outcome, false}, 0, 50, games, strError));
    ASSERT_EQ(games.size(), 2);
    EXPECT_EQ(games[0].strOutcome, QStringLiteral("timeout")) << "\"Timed out\" reads before \"Won\"";
    EXPECT_TRUE(written.LoadPage(QDate::currentDate(), GamesOrder{}, 2, 50, games, strError));
    EXPECT_TRUE(games.isEmpty());
}
