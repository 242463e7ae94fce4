// The Records window on an empty file and on a large one: the chosen day's
// figures, charts and games and nothing of other days, newest first and
// sortable, another day on request, and new games followed as they are
// written.
#include "tests/records/RecordsTestSupport.h"

#include <QCoreApplication>

#include "records/BarChart.h"
#include "records/RecordFile.h"
#include "records/RecordsWindow.h"

using namespace recordstest;

namespace {

class RecordsWindow : public ::testing::Test {
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    // Opens the window on the store and waits for its day.
    CRecordsWindow& Open(CRecordStore& store)
    {
        m_pWindow = std::make_unique<CRecordsWindow>();
        m_pWindow->SetStore(&store);
        m_pWindow->show();
        EXPECT_TRUE(WaitForEvents([&] { return m_pWindow->IsLoaded(); }));
        return *m_pWindow;
    }

    // The list as shown once its rows have come from the file.
    QStringList Column(int nColumn) const
    {
        EXPECT_TRUE(WaitForEvents([&] { return m_pWindow->IsSettled(); }));
        const QAbstractItemModel& model = *m_pWindow->m_tblGames.model();
        QStringList values;
        for (int nRow = 0; nRow < model.rowCount(); ++nRow)
            values << model.index(nRow, nColumn).data().toString();
        return values;
    }

    static QList<int> Hours(const CRecordsWindow& window) { return window.m_pHours->Values(); }

    QTemporaryDir m_dir;
    std::unique_ptr<CRecordsWindow> m_pWindow;
};

} // namespace

TEST_F(RecordsWindow, AnEmptyFileShowsADayWithoutGames)
{
    CRecordStore store(Path());
    CRecordsWindow& window = Open(store);
    EXPECT_EQ(window.Day(), QDate::currentDate());
    EXPECT_EQ(window.m_stGames.text(), "0");
    EXPECT_EQ(window.m_stWins.text(), "0");
    EXPECT_EQ(window.m_stBest.text(), QStringLiteral(u"\u2013"));
    EXPECT_EQ(window.m_stMedian.text(), QStringLiteral(u"\u2013"));
    EXPECT_EQ(Hours(window), QList<int>(24, 0));
    EXPECT_TRUE(window.m_pLevels->Labels().isEmpty());
    EXPECT_EQ(window.m_tblGames.model()->rowCount(), 0);
}

TEST_F(RecordsWindow, ALargeFileShowsTheChosenDayNewestFirstAndSortable)
{
    // A year of a busy exhibit, written straight into the file; today's
    // games at 9:xx and 14:xx.
    {
        CRecordFile file(Path(), CRecordFile::Mode::Write);
        RecordedGames games;
        for (int nDay = 365; nDay >= 1; --nDay) {
            for (int i = 0; i < 60; ++i)
                games.append(RecordedGame::From(MakeGame(Today(10).addDays(-nDay).addSecs(i * 300), 40 + i,
                                                         GameEndCause::Incorrect, std::to_wstring(1 + i % 20))));
        }
        const struct {
            int nHour, nMinute, nSeconds;
            GameEndCause nCause;
            const wchar_t* pszLevel;
        } today[] = {{9, 0, 30, GameEndCause::Incorrect, L"3"},  {9, 10, 90, GameEndCause::Congrat, L"9"},
                     {9, 20, 60, GameEndCause::Timeout, L"4"},   {14, 0, 20, GameEndCause::Press, L""},
                     {14, 30, 75, GameEndCause::Congrat, L"11"}};
        for (const auto& game : today)
            games.append(RecordedGame::From(
                MakeGame(Today(game.nHour, game.nMinute), game.nSeconds, game.nCause, game.pszLevel)));
        QString strReason;
        QString strNotice;
        ASSERT_EQ(file.Start(strReason, strNotice), CRecordFile::Status::Absent);
        ASSERT_EQ(file.Write(games, strReason), CRecordFile::WriteResult::Written) << strReason.toStdString();
    }
    CRecordStore store(Path());
    CRecordsWindow& window = Open(store);
    EXPECT_EQ(window.m_stGames.text(), "5");
    EXPECT_EQ(window.m_stWins.text(), "2");
    EXPECT_EQ(window.m_stBest.text(), "11");
    EXPECT_EQ(window.m_stMedian.text(), "1:00");
    QList<int> hours(24, 0);
    hours[9] = 3;
    hours[14] = 2;
    EXPECT_EQ(Hours(window), hours);
    EXPECT_EQ(window.m_pLevels->Labels(),
              (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "none"}));
    EXPECT_EQ(window.m_pLevels->Values(), (QList<int>{0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 1}));
    EXPECT_EQ(Column(CGamesTableModel::ColStart), (QStringList{"14:30:00", "14:00:00", "09:20:00", "09:10:00", "09:00:00"}));

    window.m_tblGames.sortByColumn(CGamesTableModel::ColLevel, Qt::DescendingOrder);
    EXPECT_EQ(Column(CGamesTableModel::ColLevel), (QStringList{"11", "9", "4", "3", ""}));
    window.m_tblGames.sortByColumn(CGamesTableModel::ColLength, Qt::AscendingOrder);
    EXPECT_EQ(Column(CGamesTableModel::ColLength), (QStringList{"0:20", "0:30", "1:00", "1:15", "1:30"}));

    window.m_dateDay.setDate(QDate::currentDate().addDays(-3));
    ASSERT_TRUE(WaitForEvents([&] { return window.IsLoaded(); }));
    EXPECT_EQ(window.m_stGames.text(), "60");
    EXPECT_EQ(window.m_stBest.text(), "20");
    EXPECT_EQ(window.m_pLevels->Labels().size(), 20);
}

TEST_F(RecordsWindow, NewGamesAppearAsTheyAreWritten)
{
    CRecordStore store(Path());
    ASSERT_TRUE(AddAndWait(store, {MakeGame(Today(8), 50, GameEndCause::Incorrect, L"2")}));
    CRecordsWindow& window = Open(store);
    ASSERT_EQ(window.m_stGames.text(), "1");

    ASSERT_TRUE(AddAndWait(store, {MakeGame(Today(8, 5), 70, GameEndCause::Congrat, L"6"),
                                   MakeGame(Today(8).addDays(-1), 10, GameEndCause::Congrat, L"30")}));
    ASSERT_TRUE(WaitForEvents([&] { return window.IsSettled() && window.m_stGames.text() != "1"; }));
    EXPECT_EQ(window.m_stGames.text(), "2") << "yesterday's game is not today's";
    EXPECT_EQ(window.m_stBest.text(), "6");
    EXPECT_EQ(window.m_stMedian.text(), "1:00");
    EXPECT_EQ(Column(CGamesTableModel::ColStart).first(), "08:05:00");
    EXPECT_EQ(Hours(window)[8], 2);
}
