// The screen asleep while closed, on the real frame with a simulated adapter
// and a clock of the test's own: the closed page and what was done to the
// display, waking at the opening time, for a game after hours (and asleep
// again once the board is quiet), the venue's sleep command until the hours
// change, and what the venue's state, metrics, discovery and systemd's
// status line say of it.
#include "tests/adapter/AdapterTestSupport.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include <cstdlib>
#include <ctime>

#include "app/ClosedPage.h"
#include "app/SleepController.h"
#include "app/VenueLink.h"
#include "fleet/Discovery.h"
#include "fleet/MqttLink.h"
#include "fleet/VenueCommand.h"

using namespace adaptertest;

namespace {

// Local Berlin time as UTC milliseconds.
qint64 Berlin(const char* pszLocal)
{
    std::string strError;
    const std::optional<std::time_t> t = ParseLocalMinute(pszLocal, strError);
    EXPECT_TRUE(t.has_value()) << strError;
    return static_cast<qint64>(t.value_or(0)) * 1000;
}

COpeningHours Hours(const char* pszSpec)
{
    HoursRefusal refusal;
    std::optional<COpeningHours> hours = COpeningHours::Parse(pszSpec, refusal);
    EXPECT_TRUE(hours.has_value()) << refusal.Text();
    return hours.value_or(COpeningHours{});
}

class CPaintCounter : public QObject {
public:
    CPaintCounter(QWidget* pWidget, int& nPaints)
        : m_nPaints(nPaints)
    {
        pWidget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint)
            ++m_nPaints;
        return QObject::eventFilter(pWatched, pEvent);
    }

private:
    int& m_nPaints;
};

class SleepFrame : public AdapterFrameTest {
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
        m_pSleep.reset();
        AdapterFrameTest::TearDown();
        if (m_strOldZone)
            setenv("TZ", m_strOldZone->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    // The frame, the adapter connected, and the hours on the test's clock.
    std::shared_ptr<CSimulatedAdapter> Start(const char* pszSpec, const char* pszNow, int nIdleMs = 60 * 60 * 1000)
    {
        auto pAdapter = AddAdapter();
        MakeFrame();
        ClickConnect();
        EXPECT_TRUE(Dlg().IsConnected());
        m_nNow = Berlin(pszNow);
        m_pSleep = std::make_unique<CSleepController>(Hours(pszSpec), m_pFrame->BoardView(),
                                                      m_pFrame->AdapterLink().GameEvents(), nIdleMs);
        m_pSleep->SetNowSource([this] { return m_nNow; });
        return pAdapter;
    }

    // Shown on the view, whether or not the frame itself is on the screen.
    bool PageShown() const { return m_pSleep->ClosedPage() && !m_pSleep->ClosedPage()->isHidden(); }

    std::unique_ptr<CSleepController> m_pSleep;
    qint64 m_nNow = 0;
    std::optional<std::string> m_strOldZone;
};

} // namespace

TEST_F(SleepFrame, ClosedSleepsBehindACalmPageAndWakesAtTheOpeningTime)
{
    // A Wednesday evening; open again on Thursday at 10:00.
    Start("Mo-Fr 10:00-18:00", "2026-12-09T18:30");
    m_pFrame->show();
    EXPECT_FALSE(m_pSleep->IsOpen());
    EXPECT_TRUE(m_pSleep->IsAsleep());
    // No X server here to switch the screen off: the page is the whole of it.
    EXPECT_EQ(m_pSleep->Display(), DisplayState::Blank);
    ASSERT_TRUE(PageShown());
    EXPECT_TRUE(m_pSleep->ClosedPage()->IsBlack());
    EXPECT_EQ(m_pSleep->ClosedPage()->Title(), QStringLiteral("Closed"));
    const QString strDetail = m_pSleep->ClosedPage()->Detail();
    EXPECT_TRUE(strDetail.startsWith(QStringLiteral("Open again tomorrow at "))) << strDetail.toStdString();
    EXPECT_TRUE(strDetail.contains(QStringLiteral("10"))) << strDetail.toStdString();
    EXPECT_FALSE(strDetail.contains(QStringLiteral(":00:00"))) << "no seconds: " << strDetail.toStdString();
    EXPECT_EQ(m_pSleep->ClosedPage()->geometry(), m_pFrame->BoardView()->rect());
    EXPECT_EQ(m_pSleep->StatusText(), "closed until 2026-12-10 10:00");
    // Hours away: the clock is looked at again within the longest wait.
    EXPECT_EQ(m_pSleep->WaitMs(), CSleepController::LongestWaitMs);
    // The picture is black where the page lies, and the board beneath it
    // still paints (what tells systemd and the venue the picture is alive).
    int nBoardPaints = 0;
    CPaintCounter counter(m_pFrame->BoardView(), nBoardPaints);
    const QImage picture = m_pFrame->BoardView()->grab().toImage();
    EXPECT_EQ(picture.pixelColor(2, 2), QColor(Qt::black));
    EXPECT_EQ(picture.pixelColor(picture.width() / 2, picture.height() - 3), QColor(Qt::black));
    EXPECT_GT(nBoardPaints, 0);

    // Just before the opening the timer is set to it, and its own firing
    // wakes the screen.
    m_nNow = Berlin("2026-12-10T09:59") + 59 * 1000 + 900;
    m_pSleep->Check();
    EXPECT_LE(m_pSleep->WaitMs(), 100);
    EXPECT_TRUE(m_pSleep->IsAsleep());
    m_nNow = Berlin("2026-12-10T10:00");
    ASSERT_TRUE(WaitForEvents([&] { return !m_pSleep->IsAsleep(); }));
    EXPECT_TRUE(m_pSleep->IsOpen());
    EXPECT_EQ(m_pSleep->Display(), DisplayState::On);
    EXPECT_FALSE(PageShown());
    EXPECT_EQ(m_pSleep->StatusText(), "");
}

TEST_F(SleepFrame, ABoardLineAfterHoursWakesForTheGameAndTheQuietBoardSleepsAgain)
{
    auto pAdapter = Start("Mo-Fr 10:00-18:00", "2026-12-09T20:00", 50);
    ASSERT_TRUE(m_pSleep->IsAsleep());
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\n"));
    EXPECT_FALSE(m_pSleep->IsAsleep());
    EXPECT_EQ(m_pSleep->Display(), DisplayState::On);
    EXPECT_FALSE(PageShown());
    // The game goes on as always while it is awake.
    ASSERT_TRUE(FeedRead(*pAdapter, "Level 1 -\r\n"));
    EXPECT_TRUE(m_pFrame->AdapterLink().GameEvents().IsGameOpen());
    // Quiet for the idle time: asleep again, still closed.
    ASSERT_TRUE(WaitForEvents([&] { return m_pSleep->IsAsleep(); }));
    EXPECT_FALSE(m_pSleep->IsOpen());
    EXPECT_TRUE(PageShown());
    EXPECT_EQ(m_pSleep->Display(), DisplayState::Blank);
}

TEST_F(SleepFrame, LinesWhileOpenChangeNothing)
{
    auto pAdapter = Start("Mo-Fr 10:00-18:00", "2026-12-09T12:00", 1);
    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\n"));
    EXPECT_FALSE(m_pSleep->IsAsleep());
    // The hours close while nobody plays: asleep at once.
    m_nNow = Berlin("2026-12-09T18:00");
    m_pSleep->Check();
    EXPECT_TRUE(m_pSleep->IsAsleep());
}

TEST_F(SleepFrame, TheVenuesSleepHoldsUntilTheHoursNextChange)
{
    Start("Mo-Fr 10:00-18:00", "2026-12-09T12:00");
    ASSERT_FALSE(m_pSleep->IsAsleep());
    m_pSleep->SetSleepOverride(true);
    EXPECT_TRUE(m_pSleep->IsAsleep());
    EXPECT_TRUE(m_pSleep->IsOpen());
    // Asleep while open: no opening time to tell.
    EXPECT_TRUE(m_pSleep->ClosedPage()->Detail().isEmpty());
    m_pSleep->SetSleepOverride(false);
    EXPECT_FALSE(m_pSleep->IsAsleep());
    // Awake by command after closing, until the next opening; then the
    // command is spent and the next closing sleeps again.
    m_nNow = Berlin("2026-12-09T18:00");
    m_pSleep->Check();
    EXPECT_TRUE(m_pSleep->IsAsleep());
    m_pSleep->SetSleepOverride(false);
    EXPECT_FALSE(m_pSleep->IsAsleep());
    m_nNow = Berlin("2026-12-09T23:00");
    m_pSleep->Check();
    EXPECT_FALSE(m_pSleep->IsAsleep()) << "still the same closed spell";
    m_nNow = Berlin("2026-12-10T10:00");
    m_pSleep->Check();
    EXPECT_FALSE(m_pSleep->SleepOverride().has_value());
    m_nNow = Berlin("2026-12-10T18:00");
    m_pSleep->Check();
    EXPECT_TRUE(m_pSleep->IsAsleep());
}

TEST_F(SleepFrame, TheVenueSeesAsleepNotDead)
{
    Start("Mo-Fr 10:00-18:00", "2026-12-09T19:00");
    CVenueLink venue(*m_pFrame, VenueOptions{}, "test", nullptr);
    // Without hours the state is as it always was.
    const std::string strPlain = StateJson(venue.Snapshot(), 0);
    EXPECT_EQ(strPlain.find("\"open\""), std::string::npos);
    EXPECT_EQ(strPlain.find("\"display\""), std::string::npos);
    EXPECT_EQ(RenderMetrics(venue.Metrics()).find("quado_open"), std::string::npos);

    venue.SetSleep(m_pSleep.get());
    const QJsonObject state = QJsonDocument::fromJson(QByteArray::fromStdString(StateJson(venue.Snapshot(), 0))).object();
    EXPECT_EQ(state.value("open"), QJsonValue(false));
    EXPECT_EQ(state.value("display"), QJsonValue("blank"));
    EXPECT_NE(RenderMetrics(venue.Metrics()).find("\nquado_open 0\n"), std::string::npos);

    venue.RunCommand(VenueCommand{.nKind = VenueCommand::Kind::Sleep, .bOn = false, .strSerial = {}});
    EXPECT_FALSE(m_pSleep->IsAsleep());
    EXPECT_EQ(venue.Snapshot().strDisplay, "on");
    venue.RunCommand(VenueCommand{.nKind = VenueCommand::Kind::Sleep, .bOn = true, .strSerial = {}});
    EXPECT_EQ(venue.Snapshot().strDisplay, "blank");

    m_nNow = Berlin("2026-12-10T11:00");
    m_pSleep->Check();
    EXPECT_NE(RenderMetrics(venue.Metrics()).find("\nquado_open 1\n"), std::string::npos);
    EXPECT_EQ(venue.Snapshot().bOpen, true);
}

TEST(SleepOptions, HoursAreCheckedWhenTheOptionsAreRead)
{
    StartOptionsResult result = ParseStartOptions({"--opening-hours", "Sa,Su 10:00-12:00"}, false);
    EXPECT_TRUE(result.strError.empty()) << result.strError;
    EXPECT_EQ(result.options.strOpeningHours, "Sa,Su 10:00-12:00");
    EXPECT_FALSE(result.options.bExplainHours);
    result = ParseStartOptions({"--opening-hours=Mo 25:00-26:00"}, true);
    EXPECT_EQ(result.strError, "--opening-hours: position 4: no such time (00:00 to 23:59)");
    // quado-demo sleeps too, but explains nothing.
    EXPECT_TRUE(ParseStartOptions({"--opening-hours", "off"}, true).strError.empty());
    EXPECT_FALSE(ParseStartOptions({"--opening-hours", "off", "--explain"}, true).strError.empty());
    result = ParseStartOptions({"--opening-hours", "off", "--explain", "--at", "2026-12-09T10:00"}, false);
    EXPECT_TRUE(result.options.bExplainHours);
    EXPECT_EQ(result.options.strExplainAt, "2026-12-09T10:00");
}

TEST(SleepCommand, SleepTakesOnOrOff)
{
    std::string strError;
    const std::optional<VenueCommand> on = ParseVenueCommand("sleep", "ON", strError);
    ASSERT_TRUE(on);
    EXPECT_EQ(on->nKind, VenueCommand::Kind::Sleep);
    EXPECT_TRUE(on->bOn);
    EXPECT_FALSE(ParseVenueCommand("sleep", "later", strError));
    EXPECT_TRUE(IsVenueCommandName("sleep"));
}

TEST(SleepDiscovery, OpenAndSleepOnlyWithHours)
{
    const auto objects = [](bool bHours) {
        std::vector<std::string> vec;
        for (const MqttMessage& message : DiscoveryMessages("quado", "kiosk1", "1.0", bHours))
            vec.push_back(message.strTopic);
        return vec;
    };
    const std::vector<std::string> vecPlain = objects(false);
    const std::vector<std::string> vecHours = objects(true);
    EXPECT_EQ(vecHours.size(), vecPlain.size() + 2);
    EXPECT_EQ(std::count(vecPlain.begin(), vecPlain.end(), "homeassistant/binary_sensor/quado_kiosk1/open/config"), 0);
    EXPECT_EQ(std::count(vecHours.begin(), vecHours.end(), "homeassistant/binary_sensor/quado_kiosk1/open/config"), 1);
    EXPECT_EQ(std::count(vecHours.begin(), vecHours.end(), "homeassistant/switch/quado_kiosk1/sleep/config"), 1);
    for (const MqttMessage& message : DiscoveryMessages("quado", "kiosk1", "1.0", true)) {
        if (message.strTopic.find("/sleep/") == std::string::npos)
            continue;
        const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(message.strPayload)).object();
        EXPECT_EQ(json.value("command_topic"), QJsonValue("quado/kiosk1/set/sleep"));
        EXPECT_EQ(json.value("name"), QJsonValue("Sleep"));
    }
}
