// What the venue reads: state and event messages that any JSON reader takes
// whatever the panel shows and whatever the locale, commands checked before
// they reach the frame, today's figures across midnight, and a metrics file
// that Prometheus's own checker accepts.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <clocale>
#include <cstdlib>
#include <map>

#include "fleet/Discovery.h"
#include "fleet/Metrics.h"
#include "fleet/MqttLink.h"
#include "fleet/PlayTally.h"
#include "fleet/VenueCommand.h"
#include "fleet/VenueReport.h"
#include "tests/fleet/FleetTestSupport.h"
#include "tests/support/HangGuard.h"
#include "tests/support/NeedTool.h"

using namespace std::chrono_literals;

namespace {

QJsonObject Parsed(const std::string& strJson)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(strJson), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << strJson;
    return document.object();
}

VenueSnapshot AwkwardSnapshot()
{
    VenueSnapshot s;
    s.bConnected = true;
    s.strSerial = "DRAVIK-0001";
    s.bGameRunning = true;
    s.strLevel = L"3";
    s.nLitQuadrant = 4;
    s.strPanelText = L"Gr\u00fc\u00dfe \"Quado\"\n\\ tab\there \x01";
    s.dSecondsSinceLine = 12.26;
    s.today = DayFigures{20241027, 7, 9};
    return s;
}

TEST(VenueReport, StateIsJsonWithEveryFieldWhateverThePanelShowsAndTheLocaleSays)
{
    // A German locale writes "12,5" through printf; JSON must not.
    const bool bGerman = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    const QJsonObject state = Parsed(StateJson(AwkwardSnapshot(), 3));
    std::setlocale(LC_NUMERIC, "C");
    for (const char* pszField : {"connected", "serial", "game_running", "level", "max_level", "lit", "panel_text",
                                 "status", "muted", "full_screen", "fit", "idle_records", "games_today",
                                 "best_level_today",
                                 "seconds_since_line", "seconds_since_frame", "audio_device_losses",
                                 "events_dropped", "version", "uptime_seconds"})
        EXPECT_TRUE(state.contains(QLatin1String(pszField))) << pszField;
    EXPECT_EQ(state.value("panel_text").toString().toStdWString(), AwkwardSnapshot().strPanelText);
    EXPECT_EQ(state.value("lit").toString(), "yellow");
    EXPECT_TRUE(state.value("max_level").isNull());
    EXPECT_EQ(state.value("best_level_today").toInt(), 9);
    EXPECT_EQ(state.value("events_dropped").toInt(), 3);
    EXPECT_DOUBLE_EQ(state.value("seconds_since_line").toDouble(), 12.3) << (bGerman ? "de_DE" : "C locale only");
    // Where the records are not built in, the switch is neither on nor off.
    EXPECT_TRUE(state.value("idle_records").isNull());
    VenueSnapshot withRecords = AwkwardSnapshot();
    withRecords.bIdleRecords = true;
    EXPECT_EQ(Parsed(StateJson(withRecords, 0)).value("idle_records"), QJsonValue(true));
    EXPECT_FALSE(withRecords.SameShown(AwkwardSnapshot())) << "a change of the switch sends no state";
}

// The message shows the day's figures, not their date: midnight on a day
// without games sends no state of its own, a change of the figures does.
TEST(VenueReport, TodaysDateAloneIsNoChangeOfState)
{
    VenueSnapshot tomorrow = AwkwardSnapshot();
    tomorrow.today.nDay = 20241028;
    EXPECT_EQ(StateJson(tomorrow, 0), StateJson(AwkwardSnapshot(), 0));
    EXPECT_TRUE(tomorrow.SameShown(AwkwardSnapshot()));
    tomorrow.today.nBestLevel.reset();
    EXPECT_FALSE(tomorrow.SameShown(AwkwardSnapshot()));
    tomorrow.today = AwkwardSnapshot().today;
    tomorrow.today.nGames = 8;
    EXPECT_FALSE(tomorrow.SameShown(AwkwardSnapshot()));
}

// What an adapter or the board sends is bytes: a serial or a level that is
// not UTF-8, or a wide character that is none, still makes a message every
// JSON reader takes, and nothing ends in a line feed.
TEST(VenueReport, InvalidTextStillMakesValidJson)
{
    const std::string strBadSerial = std::string("AB\xff\xfe\xc3(") + '\0' + "\xed\xa0\x80Z\"\\";
    VenueSnapshot s = AwkwardSnapshot();
    s.strSerial = strBadSerial;
    s.strVersion = "1.0\x80";
    s.strPanelText = std::wstring(L"a") + static_cast<wchar_t>(0xD800) + static_cast<wchar_t>(0x110000) + L"b";
    s.strLevel = std::wstring(1, static_cast<wchar_t>(0xDFFF));
    GameEvent started;
    started.nKind = GameEvent::Kind::GameStarted;
    started.game.strSerial = strBadSerial;
    GameEvent connected;
    connected.nKind = GameEvent::Kind::Connected;
    connected.strSerial = strBadSerial;
    GameEvent ended;
    ended.nKind = GameEvent::Kind::GameEnded;
    ended.game.strSerial = strBadSerial;
    ended.game.levelReached = GameLevel::From(std::wstring(1, static_cast<wchar_t>(0xD800)));
    const std::string Messages[] = {StateJson(s, 0), *EventJson(started), *EventJson(connected), *EventJson(ended)};
    for (const std::string& strJson : Messages) {
        ASSERT_FALSE(strJson.empty());
        EXPECT_NE(strJson.back(), '\n');
        // Valid UTF-8 throughout: it survives a strict round trip unchanged.
        const QString strDecoded = QString::fromUtf8(strJson);
        EXPECT_EQ(strDecoded.toUtf8().toStdString(), strJson);
        EXPECT_FALSE(strDecoded.contains(QChar(0xD800)));
        const QJsonObject json = Parsed(strJson);
        const QString strSerial = json.value("serial").toString();
        EXPECT_TRUE(strSerial.startsWith("AB")) << strJson;
        EXPECT_TRUE(strSerial.endsWith("Z\"\\")) << strJson;
        EXPECT_TRUE(strSerial.contains(QChar(0xFFFD))) << strJson;
    }
    const QJsonObject state = Parsed(StateJson(s, 0));
    EXPECT_EQ(state.value("panel_text").toString(), QString::fromUtf8("a\uFFFD\uFFFDb"));
    EXPECT_EQ(state.value("level").toString(), QString(QChar(0xFFFD)));
    EXPECT_TRUE(state.value("version").toString().startsWith("1.0"));
}

TEST(VenueReport, GameAndLinkEventsAreToldAndLinesAreNot)
{
    GameEvent ended;
    ended.nKind = GameEvent::Kind::GameEnded;
    ended.game.tStart = std::chrono::system_clock::time_point(1'800'000'000'000ms);
    ended.game.tEnd = ended.game.tStart + 61'500ms;
    ended.game.nOutcome = GameOutcome::TimedOut;
    ended.game.nCause = GameEndCause::Timeout;
    ended.game.levelReached = GameLevel::From(L"4");
    ended.tWhen = ended.game.tEnd;
    const QJsonObject json = Parsed(*EventJson(ended));
    EXPECT_EQ(json.value("event").toString(), "game_ended");
    EXPECT_EQ(json.value("outcome").toString(), "timeout");
    EXPECT_EQ(json.value("level").toString(), "4");
    EXPECT_DOUBLE_EQ(json.value("duration_seconds").toDouble(), 61.5);
    EXPECT_EQ(json.value("started").toString(), "2027-01-15T08:00:00.000Z");

    GameEvent lostEvent;
    lostEvent.nKind = GameEvent::Kind::Disconnected;
    lostEvent.nReason = DisconnectReason::AdapterLost;
    const QJsonObject lost = Parsed(*EventJson(lostEvent));
    EXPECT_EQ(lost.value("reason").toString(), "adapter_lost");
    EXPECT_EQ(Parsed(AudioEventJson(true, {})).value("event").toString(), "audio_device_lost");
    for (const GameEvent::Kind nKind : {GameEvent::Kind::Line, GameEvent::Kind::LevelShown}) {
        GameEvent quiet;
        quiet.nKind = nKind;
        EXPECT_FALSE(EventJson(quiet).has_value());
    }
}

TEST(VenueReport, DiscoveryNamesEachEntityOnceWithTheScreensTopics)
{
    const std::vector<MqttMessage> vecConfigs = DiscoveryMessages("museum/hall.2", "kiosk1", "1.0");
    ASSERT_EQ(vecConfigs.size(), 6u);
    QStringList uniqueIds;
    for (const MqttMessage& message : vecConfigs) {
        EXPECT_TRUE(message.bRetain);
        EXPECT_EQ(message.strTopic.rfind("homeassistant/", 0), 0u);
        EXPECT_NE(message.strPayload.back(), '\n');
        const QJsonObject config = Parsed(message.strPayload);
        uniqueIds << config.value("unique_id").toString();
        EXPECT_EQ(config.value("state_topic").toString(), "museum/hall.2/kiosk1/state");
        EXPECT_EQ(config.value("availability_topic").toString(), "museum/hall.2/kiosk1/availability");
        // Home Assistant's entity ids: "<component>.<lower-case letters, digits, _>".
        const QString strEntity = config.value("default_entity_id").toString();
        const QString strComponent = QString::fromStdString(message.strTopic).section('/', 1, 1);
        EXPECT_TRUE(strEntity.startsWith(strComponent + ".")) << strEntity.toStdString();
        for (const QChar c : strEntity.mid(strComponent.size() + 1))
            EXPECT_TRUE((c >= 'a' && c <= 'z') || c.isDigit() || c == '_') << strEntity.toStdString();
        EXPECT_FALSE(config.contains("object_id")) << "replaced by default_entity_id";
        // Discovery topics allow [A-Za-z0-9_-] in the node and object.
        for (const QChar c : QString::fromStdString(message.strTopic).section('/', 2, 3))
            EXPECT_TRUE(c.isLetterOrNumber() || c == '_' || c == '-' || c == '/') << message.strTopic;
        EXPECT_EQ(config.value("device").toObject().value("identifiers").toArray().size(), 1);
        if (message.strTopic.find("/switch/") != std::string::npos) {
            EXPECT_TRUE(config.value("command_topic").toString().startsWith("museum/hall.2/kiosk1/set/"));
        }
    }
    uniqueIds.removeDuplicates();
    EXPECT_EQ(uniqueIds.size(), 6);
}

// Home Assistant's current schema: counters carry a state class (the day's
// games count up and start again at midnight; the best level is a reading),
// and the adapter's link is a diagnostic, not what the screen is for.
TEST(VenueReport, DiscoveryCarriesStateClassesAndTheLinkIsADiagnostic)
{
    std::map<std::string, QJsonObject> configs;
    for (const MqttMessage& message : DiscoveryMessages("quado", "kiosk1", "1.0"))
        configs[message.strTopic] = Parsed(message.strPayload);
    const QJsonObject games = configs["homeassistant/sensor/quado_kiosk1/games_today/config"];
    EXPECT_EQ(games.value("state_class").toString(), "total_increasing");
    EXPECT_EQ(configs["homeassistant/sensor/quado_kiosk1/best_level_today/config"].value("state_class").toString(),
              "measurement");
    const QJsonObject link = configs["homeassistant/binary_sensor/quado_kiosk1/connected/config"];
    EXPECT_EQ(link.value("entity_category").toString(), "diagnostic");
    EXPECT_EQ(link.value("unique_id").toString(), "quado_kiosk1_connected") << "the usual prefix keeps its ids";
    EXPECT_FALSE(configs["homeassistant/binary_sensor/quado_kiosk1/game_running/config"].contains("entity_category"));
    EXPECT_FALSE(configs["homeassistant/switch/quado_kiosk1/mute/config"].contains("state_class"));
    EXPECT_EQ(games.value("origin").toObject().value("name").toString(), "Quado");
}

// Prefixes that differ only in '/', '.', '_' and '-', and ids that hold '_',
// once gave two screens the same ids in Home Assistant, where the second
// then took the first one's entities.
TEST(VenueReport, DiscoveryIdsOfDifferentScreensNeverCollide)
{
    const char* const Prefixes[] = {"museum/hall.2", "museum_hall_2", "museum/hall_2", "museum.hall/2", "museum-hall-2",
                                    "museum-2fhall-2e2", "quado", "quado/a", "quado_a", "q", "q/x"};
    const char* const Ids[] = {"kiosk1", "a_kiosk1", "kiosk1_connected", "x_a", "a", "2fa", "connected", "game"};
    std::map<QString, std::string> owners;
    std::map<std::string, std::string> nodes;
    for (const char* pszPrefix : Prefixes) {
        for (const char* pszId : Ids) {
            const std::string strScreen = std::string(pszPrefix) + " + " + pszId;
            const std::string strNode = DiscoveryNode(pszPrefix, pszId);
            EXPECT_TRUE(nodes.emplace(strNode, strScreen).second)
                << strScreen << " and " << nodes[strNode] << " share the node " << strNode;
            for (const MqttMessage& message : DiscoveryMessages(pszPrefix, pszId, "1.0")) {
                const QString strUniqueId = Parsed(message.strPayload).value("unique_id").toString();
                const auto [it, bNew] = owners.emplace(strUniqueId, strScreen);
                EXPECT_TRUE(bNew) << strScreen << " and " << it->second << " share " << strUniqueId.toStdString();
            }
        }
    }
}

TEST(VenueCommands, SwitchesConnectAndButtonsAreCheckedBeforeTheFrameSeesThem)
{
    std::string strError;
    const auto mute = ParseVenueCommand("mute", "ON", strError);
    ASSERT_TRUE(mute);
    EXPECT_EQ(mute->nKind, VenueCommand::Kind::Mute);
    EXPECT_TRUE(mute->bOn);
    EXPECT_FALSE(ParseVenueCommand("fullscreen", "off", strError)->bOn);
    EXPECT_EQ(ParseVenueCommand("connect", "", strError)->strSerial, "");
    EXPECT_EQ(ParseVenueCommand("connect", "DEMO0001", strError)->strSerial, "DEMO0001");
    EXPECT_EQ(ParseVenueCommand("screenshot", "PRESS", strError)->nKind, VenueCommand::Kind::Screenshot);
    const std::pair<const char*, std::string> refused[] = {
        {"mute", "On"}, {"mute", "1"}, {"fit", ""}, {"idle_records", "ON "}, {"connect", "two words"},
        {"reboot", ""}, {"mute/x", "ON"}, {"disconnect", std::string(MaxCommandPayload + 1, 'x')}};
    for (const auto& [pszName, strPayload] : refused) {
        strError.clear();
        EXPECT_FALSE(ParseVenueCommand(pszName, strPayload, strError)) << pszName << " " << strPayload;
        EXPECT_NE(strError, "");
    }
}

// Noon of a day in the test's time zone (UTC), hours later.
std::chrono::system_clock::time_point Day(int nDay, int nHour = 12)
{
    return std::chrono::system_clock::time_point(std::chrono::hours(24 * (20000 + nDay) + nHour));
}

TEST(VenueTally, TodayCountsGamesEndedTodayAndTheBestNumberedLevel)
{
    setenv("TZ", "UTC", 1);
    tzset();
    CGameEvents events;
    std::chrono::system_clock::time_point now = Day(0, 23);
    events.SetClock([&] { return now; });
    CPlayTally tally(events);
    const auto play = [&](const wchar_t* pszLevel, GameEndCause nCause) {
        events.OnNew();
        events.OnLevel(pszLevel);
        events.OnEnd(nCause);
    };
    // Day 0 is 2024-10-04; the figures name the day they count.
    EXPECT_EQ(tally.Today(now), (DayFigures{20241004, 0, std::nullopt}));
    play(L"4", GameEndCause::Congrat);
    play(L"x", GameEndCause::Incorrect);
    play(L"2", GameEndCause::Timeout);
    EXPECT_EQ(tally.Today(now), (DayFigures{20241004, 3, 4}));
    EXPECT_EQ(tally.GamesEnded(GameOutcome::Won), 1u);
    // Past midnight: nothing yet today, then today's own game only.
    now = Day(1, 0);
    EXPECT_EQ(tally.Today(now), (DayFigures{20241005, 0, std::nullopt}));
    play(L"1", GameEndCause::Congrat);
    EXPECT_EQ(tally.Today(now), (DayFigures{20241005, 1, 1}));
    EXPECT_EQ(tally.GamesEnded(GameOutcome::Won), 2u);
}

TEST(VenueTally, AGameCountsOnTheDayItEndedWhereTheClocksSkipMidnight)
{
    // America/Santiago: 2024-09-07 24:00 (-04) is 2024-09-08 01:00 (-03).
    setenv("TZ", "America/Santiago", 1);
    tzset();
    const auto utc = [](const char* pszIso) {
        return std::chrono::system_clock::time_point(std::chrono::milliseconds(
            QDateTime::fromString(QString::fromLatin1(pszIso), Qt::ISODate).toMSecsSinceEpoch()));
    };
    CGameEvents events;
    std::chrono::system_clock::time_point now = utc("2024-09-08T03:58:00Z"); // 23:58 on the 7th
    events.SetClock([&] { return now; });
    CPlayTally tally(events);
    events.OnNew();
    events.OnLevel(L"6");
    now = utc("2024-09-08T04:00:30Z"); // 01:00:30 on the 8th
    events.OnEnd(GameEndCause::Congrat);
    EXPECT_EQ(tally.Today(utc("2024-09-08T03:59:59Z")), (DayFigures{20240907, 0, std::nullopt})) << "not the 7th's";
    EXPECT_EQ(tally.Today(now), (DayFigures{20240908, 1, 6}));
    // The 8th has 23 hours: at 23:59 local it is still that day, at the
    // next midnight no longer.
    EXPECT_EQ(tally.Today(utc("2024-09-09T02:59:59Z")), (DayFigures{20240908, 1, 6}));
    EXPECT_EQ(tally.Today(utc("2024-09-09T03:00:00Z")), (DayFigures{20240909, 0, std::nullopt}));
    setenv("TZ", "UTC", 1);
    tzset();
}

TEST(VenueMetrics, TheFileIsReplacedWholeReadableByAllAndPromtoolAcceptsIt)
{
    QTemporaryDir dir;
    const std::string strPath = dir.filePath("quado.prom").toStdString();
    MetricsSample sample;
    sample.nGames = {3, 2, 1, 0};
    sample.nBrokerReconnects = 1;
    sample.nBestLevelToday = 7;
    sample.tStart = std::chrono::system_clock::time_point(1'800'000'000'000ms);
    sample.tLastLine = sample.tStart + 61'250ms;
    sample.tLastFrame = sample.tStart + 62'005ms;
    std::string strError;
    ASSERT_TRUE(ReplaceFile(strPath, RenderMetrics(sample), strError)) << strError;
    ASSERT_TRUE(ReplaceFile(strPath, RenderMetrics(sample), strError)) << strError;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "a temporary file was left";
    struct stat st {};
    ASSERT_EQ(stat(strPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    QFile file(QString::fromStdString(strPath));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("quado_games_total{outcome=\"won\"} 3\n"));
    EXPECT_TRUE(text.contains("quado_reconnects_total{link=\"broker\"} 1\n"));
    EXPECT_TRUE(text.contains("quado_best_level_today 7\n"));
    // Times, not ages: a file a crash leaves still says when, and an alert
    // on time() - quado_last_line_timestamp_seconds fires.
    EXPECT_TRUE(text.contains("\nquado_start_time_seconds 1800000000.000\n")) << text.constData();
    EXPECT_TRUE(text.contains("\nquado_last_line_timestamp_seconds 1800000061.250\n")) << text.constData();
    EXPECT_TRUE(text.contains("\nquado_last_frame_timestamp_seconds 1800000062.005\n")) << text.constData();
    EXPECT_FALSE(text.contains("seconds_since")) << text.constData();

    const QString strPromtool = fleettest::PromtoolProgram();
    QUADO_NEED_TOOL(strPromtool.isEmpty(), "promtool (Debian package prometheus)");
    QProcess promtool;
    promtool.setStandardInputFile(file.fileName());
    promtool.start(strPromtool, {"check", "metrics"});
    ASSERT_TRUE(promtool.waitForFinished(testsupport::HangGuardMs));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAllStandardOutput().constData()
                                      << promtool.readAllStandardError().constData();
    EXPECT_TRUE(promtool.readAllStandardOutput().trimmed().isEmpty()) << "promtool has remarks";

    // A folder that went away is an error to report, not a crash.
    dir.remove();
    EXPECT_FALSE(ReplaceFile(strPath, "x", strError));
    EXPECT_NE(strError.find("quado.prom"), std::string::npos);
}

} // namespace
