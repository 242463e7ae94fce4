// Midnight in the running program, with no board line and no game: the idle
// screen, the venue's state and metrics, and the Records window all go on to
// the new day by themselves; yesterday's figures are never today's, also in
// quado-demo's metrics file with the process's clock moved (libfaketime).
#include "tests/support/NeedTool.h"
#include "tests/adapter/AdapterTestSupport.h"
#include "tests/records/RecordsTestSupport.h"

#include <QFileInfo>
#include <QProcess>

#include <cstdlib>
#include <ctime>

#include "app/CommandIds.h"
#include "app/VenueLink.h"
#include "records/RecordsWindow.h"

using namespace adaptertest;
using namespace recordstest;

namespace {

qint64 Utc(const char* pszIso)
{
    return QDateTime::fromString(QString::fromLatin1(pszIso), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

// A day of 25 hours: the figures must roll over at its end, not 24 hours
// after its start.
class FrameMidnight : public AdapterFrameTest {
protected:
    void SetUp() override
    {
        AdapterFrameTest::SetUp();
        if (const char* pszOld = std::getenv("TZ"))
            m_strOldZone = pszOld;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override
    {
        AdapterFrameTest::TearDown();
        if (m_strOldZone)
            setenv("TZ", m_strOldZone->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    QString Path() const { return m_dir.filePath(QStringLiteral("records.sqlite")); }

    std::optional<std::string> m_strOldZone;
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(FrameMidnight, TheDaysFiguresRollOverAtLocalMidnightWithNoLineAndNoGame)
{
    // 2024-10-27 in Berlin: from 22:00 UTC on the 26th to 23:00 UTC on the 27th.
    {
        CRecordStore store(Path());
        ASSERT_TRUE(AddAndWait(store, {MakeGame(QDateTime::fromMSecsSinceEpoch(Utc("2024-10-27T01:30:00Z"), Qt::UTC),
                                                30, GameEndCause::Congrat, L"7"),
                                       MakeGame(QDateTime::fromMSecsSinceEpoch(Utc("2024-10-27T22:50:00Z"), Qt::UTC),
                                                30, GameEndCause::Incorrect, L"3")}));
    }
    qint64 nNow = Utc("2024-10-27T22:59:59.800Z");
    AddAdapter();
    MakeFrame();
    m_pFrame->DayWatch().SetNowSource([&nNow] { return nNow; });
    m_pFrame->SetRecordsFile(Path());
    m_pFrame->SetKeepRecords(true);
    CVenueLink venue(*m_pFrame, VenueOptions{}, "test", nullptr);
    m_pFrame->SetIdleRecords(true, 1);
    CChildView& view = m_pFrame->View();
    ASSERT_TRUE(WaitForEvents([&] { return view.IdleScreen() && view.IdleScreen()->nGames == 2; }));
    EXPECT_EQ(*view.IdleScreen(), (IdleFigures{2, QStringLiteral("7")}));
    EXPECT_EQ(venue.Snapshot().today, (DayFigures{20241027, 2, 7}));
    EXPECT_EQ(venue.Metrics().nGamesToday, 2);
    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::RecordsWindow));
    CRecordsWindow& window = dynamic_cast<CRecordsWindow&>(*m_pFrame->RecordsWindowIfMade());
    window.m_dayWatch.SetNowSource([&nNow] { return nNow; });
    window.SetDay(QDate(2024, 10, 27));
    ASSERT_TRUE(WaitForEvents([&] { return window.IsLoaded(); }));
    EXPECT_EQ(window.Summary().nGames, 2);

    // Midnight comes on its own: the idle wait is long and no line comes.
    m_pFrame->SetIdleRecordsDelayForTest(testsupport::HangGuardMs);
    nNow = Utc("2024-10-27T23:00:00.000Z");
    ASSERT_TRUE(WaitForEvents([&] { return view.IdleScreen() && view.IdleScreen()->nGames == 0; }));
    EXPECT_EQ(*view.IdleScreen(), (IdleFigures{0, QString()}));
    EXPECT_EQ(m_pFrame->DayWatch().Today(), QDate(2024, 10, 28));
    EXPECT_EQ(venue.Snapshot().today, (DayFigures{20241028, 0, std::nullopt}));
    EXPECT_EQ(venue.Metrics().nGamesToday, 0);
    EXPECT_EQ(venue.Metrics().nBestLevelToday, std::nullopt);
    ASSERT_TRUE(WaitForEvents([&] { return window.Day() == QDate(2024, 10, 28) && window.IsLoaded(); }));
    EXPECT_EQ(window.Summary().nGames, 0);
    EXPECT_EQ(window.m_stGames.text(), "0");
}

TEST_F(FrameMidnight, YesterdaysFiguresAreNotHandedOutBeforeTheWatchHasToldMidnight)
{
    {
        CRecordStore store(Path());
        ASSERT_TRUE(AddAndWait(store, {MakeGame(QDateTime::fromMSecsSinceEpoch(Utc("2024-10-27T12:00:00Z"), Qt::UTC),
                                                30, GameEndCause::Congrat, L"7")}));
    }
    qint64 nNow = Utc("2024-10-27T20:00:00Z");
    AddAdapter();
    MakeFrame();
    m_pFrame->DayWatch().SetNowSource([&nNow] { return nNow; });
    m_pFrame->SetRecordsFile(Path());
    m_pFrame->SetKeepRecords(true);
    CVenueLink venue(*m_pFrame, VenueOptions{}, "test", nullptr);
    ASSERT_TRUE(WaitForEvents([&] { return venue.Snapshot().today.nGames == 1; }));
    // The clock passes midnight between two looks of the watch: the venue
    // counts from the game events (none ended this run) meanwhile.
    nNow = Utc("2024-10-28T08:00:00Z");
    const DayFigures counted = venue.Snapshot().today;
    EXPECT_NE(counted.nDay, 20241027);
    EXPECT_EQ(counted.nGames, 0);
    EXPECT_EQ(counted.nBestLevel, std::nullopt);
}

TEST_F(FrameMidnight, TheMetricsFileOfAProgramWhoseClockPassesMidnightCountsTheNewDay)
{
    const QString strFaketime = QString::fromLatin1(QUADO_FAKETIME_LIB);
    QUADO_NEED_TOOL(!QFileInfo::exists(strFaketime), strFaketime.toStdString() + " (Debian package faketime)");
    {
        CRecordStore store(Path());
        ASSERT_TRUE(AddAndWait(store, {MakeGame(QDateTime::fromMSecsSinceEpoch(Utc("2024-10-27T09:00:00Z"), Qt::UTC),
                                                30, GameEndCause::Congrat, L"7"),
                                       MakeGame(QDateTime::fromMSecsSinceEpoch(Utc("2024-10-27T09:30:00Z"), Qt::UTC),
                                                30, GameEndCause::Incorrect, L"3")}));
    }
    // The program's clock, set as an offset from the real one: libfaketime
    // reads the file again every second.
    const QString strClock = m_dir.filePath(QStringLiteral("faketime.rc"));
    const auto setClock = [&strClock](const char* pszUtc) {
        const qint64 nOffset = (Utc(pszUtc) - QDateTime::currentMSecsSinceEpoch()) / 1000;
        QFile file(strClock);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(QStringLiteral("%1%2s\n").arg(nOffset >= 0 ? "+" : "").arg(nOffset).toLatin1()) > 0;
    };
    ASSERT_TRUE(setClock("2024-10-27T11:00:00Z")); // noon in Berlin, with hours to spare

    const QString strMetrics = m_dir.filePath(QStringLiteral("quado.prom"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Berlin"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("LD_PRELOAD"), strFaketime);
    environment.insert(QStringLiteral("FAKETIME_TIMESTAMP_FILE"), strClock);
    environment.insert(QStringLiteral("FAKETIME_CACHE_DURATION"), QStringLiteral("1"));
    // Timers keep to the real monotonic clock, as they do when a clock is set.
    environment.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
    QProcess demo;
    demo.setProcessEnvironment(environment);
    demo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    demo.start(QString::fromLatin1(QUADO_DEMO), {"--records", Path(), "--metrics-file", strMetrics});
    ASSERT_TRUE(demo.waitForStarted());
    const auto metricsSay = [&](const char* pszLine) {
        return WaitForEvents([&] {
            return FileBytes(strMetrics).contains(pszLine) || demo.state() == QProcess::NotRunning;
        }) && demo.state() == QProcess::Running;
    };
    EXPECT_TRUE(metricsSay("\nquado_games_today 2\n")) << FileBytes(strMetrics).constData();
    EXPECT_TRUE(FileBytes(strMetrics).contains("\nquado_best_level_today 7\n"));

    // Two seconds before midnight; no line, no game, and the figures are
    // the new day's.
    ASSERT_TRUE(setClock("2024-10-27T22:59:58Z"));
    EXPECT_TRUE(metricsSay("\nquado_games_today 0\n")) << FileBytes(strMetrics).constData();
    EXPECT_TRUE(FileBytes(strMetrics).contains("\nquado_best_level_today 0\n"));
    demo.terminate();
    EXPECT_TRUE(demo.waitForFinished(testsupport::HangGuardMs));
}
