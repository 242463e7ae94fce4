// quado-demo against Debian's mosquitto, read back as a venue reads it:
// retained availability with a Last Will, state and game events, every
// command and a bad one, a broker that restarts, a password nobody else sees,
// and a clean exit that says goodbye and writes the last metrics.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <string_view>

#include "tests/fleet/FleetTestSupport.h"
#include "tests/support/EventWait.h"
#include "tests/support/HangGuard.h"
#include "tests/support/NeedTool.h"

using namespace fleettest;
using testsupport::WaitForEvents;

namespace {

constexpr char Base[] = "quado/kiosk1";

std::string Topic(const char* pszLast)
{
    return std::string(Base) + "/" + pszLast;
}

std::function<bool(const std::string&)> StateWhere(const char* pszField, const QJsonValue& value)
{
    return [strField = QString::fromLatin1(pszField), value](const std::string& strPayload) {
        return Json(strPayload).value(strField) == value;
    };
}

class VenueBroker : public ::testing::Test {
protected:
    void SetUp() override
    {
        QUADO_NEED_TOOL(MosquittoProgram().isEmpty(), "mosquitto (Debian package mosquitto)");
        ASSERT_TRUE(m_broker.Start());
        m_pSubscriber = std::make_unique<CSubscriber>(m_broker.Port());
        ASSERT_TRUE(m_pSubscriber->WaitConnected());
    }

    bool StartDemo(QStringList extraArgs = {}, const QStringList& extraEnvironment = {})
    {
        extraArgs << "--kiosk" << "--mqtt" << m_broker.Url() << "--mqtt-id" << "kiosk1";
        return m_demo.Start(extraArgs, extraEnvironment) &&
               m_pSubscriber->WaitFor(Topic("availability"), [](const std::string& s) { return s == "online"; });
    }

    // The newest state after nFrom that passes, once one does.
    QJsonObject WaitState(const std::function<bool(const std::string&)>& accept, size_t nFrom = 0)
    {
        const std::optional<Received> state = m_pSubscriber->WaitFor(Topic("state"), accept, nFrom);
        return state ? Json(state->strPayload) : QJsonObject();
    }

    CBroker m_broker;
    std::unique_ptr<CSubscriber> m_pSubscriber;
    CDemo m_demo;
};

TEST_F(VenueBroker, AnnouncesItselfReportsGamesAndLeavesAWillWhenKilled)
{
    ASSERT_TRUE(StartDemo({"--mqtt-discovery"}));
    ASSERT_TRUE(m_pSubscriber->WaitFor(Topic("event"), IsEvent("connected")));
    const std::optional<Received> ended = m_pSubscriber->WaitFor(Topic("event"), IsEvent("game_ended"));
    ASSERT_TRUE(ended);
    const QJsonObject game = Json(ended->strPayload);
    EXPECT_TRUE(QStringList({"won", "lost", "timeout"}).contains(game.value("outcome").toString())) << ended->strPayload;
    EXPECT_GT(game.value("duration_seconds").toDouble(), 0.0);
    EXPECT_FALSE(game.value("level").toString().isEmpty());
    const QJsonObject state = WaitState([](const std::string& s) { return Json(s).value("games_today").toInt() > 0; });
    EXPECT_EQ(state.value("serial").toString(), "DEMO0001");
    EXPECT_TRUE(state.value("connected").toBool());
    EXPECT_TRUE(state.value("full_screen").toBool());

    // One who comes later finds the screen online, its state and its discovery.
    CSubscriber late(m_broker.Port());
    ASSERT_TRUE(late.WaitConnected());
    const auto retained = [&late](const std::string& strTopic) {
        for (const Received& message : late.Messages()) {
            if (message.strTopic == strTopic)
                return message.bRetained ? message.strPayload : std::string("(not retained)");
        }
        return std::string("(none)");
    };
    EXPECT_EQ(retained(Topic("availability")), "online");
    EXPECT_TRUE(Json(retained(Topic("state"))).contains("games_today"));
    EXPECT_EQ(Json(retained("homeassistant/switch/quado_kiosk1/mute/config")).value("command_topic").toString(),
              "quado/kiosk1/set/mute");

    // Payloads are the JSON alone: no line feed after it.
    for (const Received& message : m_pSubscriber->Messages()) {
        if (message.strTopic.rfind(Base, 0) == 0 || message.strTopic.rfind("homeassistant/", 0) == 0)
            EXPECT_TRUE(message.strPayload.empty() || message.strPayload.back() != '\n') << message.strTopic;
    }

    // Killed outright, it has the broker say "offline" for it.
    const size_t nFrom = m_pSubscriber->Count();
    m_demo.Kill();
    EXPECT_TRUE(m_pSubscriber->WaitFor(Topic("availability"), [](const std::string& s) { return s == "offline"; },
                                       nFrom));
}

TEST_F(VenueBroker, CommandsDoWhatTheMenuDoesAndBadOnesAreIgnored)
{
    // A retained command would run again at every start: it is refused.
    m_pSubscriber->Publish(Topic("set/fit"), "OFF", true);
    ASSERT_TRUE(m_pSubscriber->WaitFor(Topic("set/fit")));
    ASSERT_TRUE(StartDemo());
    EXPECT_TRUE(m_demo.WaitForStderr("ignored set/fit: retained"));
    m_pSubscriber->Publish(Topic("set/fit"), "", true);
    ASSERT_TRUE(m_pSubscriber->WaitFor(Topic("event"), IsEvent("connected")));
    size_t nFrom = m_pSubscriber->Count();
    // Asked twice, a switch stays as asked: the second must not toggle back.
    m_pSubscriber->Publish(Topic("set/mute"), "ON");
    m_pSubscriber->Publish(Topic("set/mute"), "ON");
    m_pSubscriber->Publish(Topic("set/fullscreen"), "OFF");
    QJsonObject state = WaitState(
        [](const std::string& s) {
            const QJsonObject j = Json(s);
            return j.value("muted").toBool() && !j.value("full_screen").toBool();
        },
        nFrom);
    ASSERT_FALSE(state.isEmpty());
    EXPECT_TRUE(state.value("fit").toBool()) << "the retained OFF was run";

    // Bad ones: each leaves one line and changes nothing. The idle screen's
    // switch between them is a good one: no line for it.
    m_pSubscriber->Publish(Topic("set/reboot"), "now");
    m_pSubscriber->Publish(Topic("set/mute"), "maybe");
    m_pSubscriber->Publish(Topic("set/idle_records"), "ON");
    m_pSubscriber->Publish(Topic("set/connect"), "NOPE");
    for (const char* pszLine : {"ignored set/reboot: no such command", "ignored set/mute: payload must be ON or OFF",
                                "ignored set/connect: already connected to DEMO0001"})
        EXPECT_TRUE(m_demo.WaitForStderr(QString::fromLatin1(pszLine))) << pszLine;
    EXPECT_FALSE(m_demo.Stderr().contains(QStringLiteral("set/idle_records")));
    // Every switch a command changes is in the state, so a venue sees it took.
    EXPECT_FALSE(WaitState(StateWhere("idle_records", true), nFrom).isEmpty());

    // The adapter window's button: disconnected, and it stays so (automatic
    // connection goes off with it) until connected again.
    nFrom = m_pSubscriber->Count();
    m_pSubscriber->Publish(Topic("set/disconnect"), "");
    const std::optional<Received> gone = m_pSubscriber->WaitFor(Topic("event"), IsEvent("disconnected"), nFrom);
    ASSERT_TRUE(gone);
    EXPECT_EQ(Json(gone->strPayload).value("reason").toString(), "user");
    m_pSubscriber->Publish(Topic("set/fit"), "off");
    state = WaitState(StateWhere("fit", false), nFrom);
    EXPECT_FALSE(state.value("connected").toBool());
    EXPECT_TRUE(state.value("muted").toBool());
    m_pSubscriber->Publish(Topic("set/connect"), "NOPE");
    EXPECT_TRUE(m_demo.WaitForStderr("ignored set/connect: no adapter NOPE listed"));
    m_pSubscriber->Publish(Topic("set/connect"), "DEMO0001");
    EXPECT_TRUE(m_pSubscriber->WaitFor(Topic("event"), IsEvent("connected"), nFrom));

    m_pSubscriber->Publish(Topic("set/screenshot"), "");
    const std::optional<Received> shot = m_pSubscriber->WaitFor(Topic("screenshot"));
    ASSERT_TRUE(shot);
    EXPECT_FALSE(shot->bRetained);
    const QImage picture = QImage::fromData(QByteArray::fromStdString(shot->strPayload), "PNG");
    EXPECT_FALSE(picture.isNull());
    EXPECT_GT(picture.width(), 100);
}

TEST_F(VenueBroker, ABrokerThatRestartsHearsFromTheScreenAgain)
{
    ASSERT_TRUE(StartDemo({"--mqtt-discovery"}));
    ASSERT_TRUE(m_pSubscriber->WaitFor(Topic("state")));
    m_pSubscriber.reset();
    m_broker.Stop();
    EXPECT_TRUE(m_demo.WaitForStderr("lost the broker"));
    // Without persistence the broker comes back empty: whatever it then
    // holds, the screen has sent again.
    ASSERT_TRUE(m_broker.Start());
    CSubscriber fresh(m_broker.Port());
    ASSERT_TRUE(fresh.WaitConnected());
    EXPECT_TRUE(fresh.WaitFor(Topic("availability"), [](const std::string& s) { return s == "online"; }));
    EXPECT_TRUE(fresh.WaitFor(Topic("state")));
    EXPECT_TRUE(fresh.WaitFor("homeassistant/binary_sensor/quado_kiosk1/connected/config"));
    // Commands are heard again.
    fresh.Publish(Topic("set/mute"), "ON");
    EXPECT_TRUE(fresh.WaitFor(Topic("state"), StateWhere("muted", true)));
}

TEST_F(VenueBroker, APasswordReachesTheBrokerAndNoOneElse)
{
    const QString strPasswd = QStandardPaths::findExecutable("mosquitto_passwd");
    QUADO_NEED_TOOL(strPasswd.isEmpty(), "mosquitto_passwd (Debian package mosquitto)");
    const QString strFile = m_broker.ConfigDir() + "/passwords";
    QProcess passwd;
    passwd.start(strPasswd, {"-b", "-c", strFile, "kiosk", "Tr0ub4dor&3"});
    ASSERT_TRUE(passwd.waitForFinished(testsupport::HangGuardMs));
    ASSERT_EQ(passwd.exitCode(), 0);
    // Started as root, the broker reads it as the user mosquitto.
    QFile::setPermissions(m_broker.ConfigDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    QFile::setPermissions(strFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    m_pSubscriber.reset();
    m_broker.Stop();
    ASSERT_TRUE(m_broker.Start("allow_anonymous false\npassword_file " + strFile + "\n"));

    // Refused without it: the broker's answer is told, the screen runs on.
    ASSERT_TRUE(m_demo.Start({"--mqtt", m_broker.Url(), "--mqtt-id", "kiosk1", "--mqtt-user", "kiosk"}));
    EXPECT_TRUE(m_demo.WaitForStderr("refused the connection"));
    m_demo.Kill();

    CDemo demo;
    ASSERT_TRUE(demo.Start({"--mqtt", m_broker.Url(), "--mqtt-id", "kiosk1", "--mqtt-user", "kiosk"},
                           {"QUADO_MQTT_PASSWORD=Tr0ub4dor&3"}));
    ASSERT_TRUE(demo.WaitForStderr("connected to 127.0.0.1"));
    // Under user-mode emulation (the arm64 suite) the kernel's copy of the
    // environment is the emulator's, which the program cannot reach.
    const bool bEmulated =
        QFileInfo(QStringLiteral("/proc/%1/exe").arg(demo.Pid())).symLinkTarget().contains(QStringLiteral("qemu"));
    for (const char* pszProc : {"environ", "cmdline"}) {
        if (bEmulated && std::string_view(pszProc) == "environ")
            continue;
        QFile proc(QStringLiteral("/proc/%1/%2").arg(demo.Pid()).arg(pszProc));
        ASSERT_TRUE(proc.open(QIODevice::ReadOnly));
        EXPECT_FALSE(proc.readAll().contains("Tr0ub4dor")) << pszProc;
    }
    EXPECT_FALSE(demo.Stderr().contains("Tr0ub4dor"));
}

TEST_F(VenueBroker, ACleanExitSaysOfflineAndWritesTheLastMetrics)
{
    QTemporaryDir dir;
    const QString strMetrics = dir.filePath("quado.prom");
    ASSERT_TRUE(StartDemo({"--metrics-file", strMetrics}));
    ASSERT_TRUE(m_pSubscriber->WaitFor(Topic("event"), IsEvent("game_ended")));
    const size_t nFrom = m_pSubscriber->Count();
    EXPECT_EQ(m_demo.Terminate(), 0) << m_demo.Stderr().toStdString();
    EXPECT_TRUE(m_pSubscriber->WaitFor(Topic("availability"), [](const std::string& s) { return s == "offline"; },
                                       nFrom));
    QFile metrics(strMetrics);
    ASSERT_TRUE(metrics.open(QIODevice::ReadOnly));
    const QByteArray text = metrics.readAll();
    EXPECT_TRUE(text.contains("\nquado_up 0\n")) << text.constData();
    EXPECT_TRUE(text.contains("quado_reconnects_total{link=\"broker\"} 0\n")) << text.constData();
    EXPECT_FALSE(text.contains("quado_lines_received_total 0\n")) << text.constData();
    EXPECT_TRUE(text.contains("\nquado_last_line_timestamp_seconds 1")) << text.constData();
    EXPECT_TRUE(text.contains("\nquado_last_frame_timestamp_seconds 1")) << text.constData();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "a temporary file was left";
    QUADO_NEED_TOOL(PromtoolProgram().isEmpty(), "promtool (Debian package prometheus)");
    QProcess promtool;
    promtool.setStandardInputFile(strMetrics);
    promtool.start(PromtoolProgram(), {"check", "metrics"});
    ASSERT_TRUE(promtool.waitForFinished(testsupport::HangGuardMs));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAllStandardOutput().constData();
}

// Runs openssl with these arguments in dir; true when it worked.
bool OpenSsl(const QString& strDir, const QStringList& args)
{
    QProcess openssl;
    openssl.setWorkingDirectory(strDir);
    openssl.start(QStandardPaths::findExecutable("openssl"), args);
    return openssl.waitForFinished(testsupport::HangGuardMs) && openssl.exitCode() == 0;
}

TEST_F(VenueBroker, TlsTrustsOnlyTheSystemsAuthoritiesAndReconnects)
{
    QUADO_NEED_TOOL(QStandardPaths::findExecutable("openssl").isEmpty(), "openssl (Debian package openssl)");
    // A certificate authority of the test's own, and the broker's certificate for "localhost".
    const QString strDir = m_broker.ConfigDir();
    ASSERT_TRUE(OpenSsl(strDir, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
                                 "ca.pem", "-days", "2", "-subj", "/CN=Quado test authority"}));
    ASSERT_TRUE(OpenSsl(strDir, {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
                                 "-subj", "/CN=localhost"}));
    QFile extensions(strDir + "/ext.cnf");
    ASSERT_TRUE(extensions.open(QIODevice::WriteOnly));
    extensions.write("subjectAltName=DNS:localhost\n");
    extensions.close();
    ASSERT_TRUE(OpenSsl(strDir, {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                                 "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "ext.cnf"}));
    // Started as root, the broker reads them as the user mosquitto.
    QFile::setPermissions(strDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
    for (const char* pszFile : {"/server.key", "/server.pem", "/ca.pem"})
        QFile::setPermissions(strDir + pszFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    m_pSubscriber.reset();
    m_broker.Stop();
    const QString strTls = QStringLiteral("allow_anonymous true\ncafile %1/ca.pem\ncertfile %1/server.pem\n"
                                          "keyfile %1/server.key\n")
                               .arg(strDir);
    ASSERT_TRUE(m_broker.Start(strTls));
    const QString strUrl = QStringLiteral("mqtts://localhost:%1").arg(m_broker.Port());

    // Not one of the system's authorities: refused, and said so.
    ASSERT_TRUE(m_demo.Start({"--mqtt", strUrl, "--mqtt-id", "kiosk1"}));
    EXPECT_TRUE(m_demo.WaitForStderr("TLS failed"));
    EXPECT_TRUE(m_demo.Stderr().contains("certificate is not trusted")) << m_demo.Stderr().toStdString();
    EXPECT_FALSE(m_demo.Stderr().contains("does not speak TLS")) << m_demo.Stderr().toStdString();
    m_demo.Kill();

    // Made one of them (OpenSSL reads SSL_CERT_FILE): connected, and again
    // after the broker restarts.
    CDemo demo;
    ASSERT_TRUE(demo.Start({"--mqtt", strUrl, "--mqtt-id", "kiosk1"}, {"SSL_CERT_FILE=" + strDir + "/ca.pem"}));
    ASSERT_TRUE(demo.WaitForStderr("connected to localhost"));
    m_broker.Stop();
    ASSERT_TRUE(demo.WaitForStderr("lost the broker"));
    ASSERT_TRUE(m_broker.Start(strTls));
    // Until connected again, or until an attempt fails for another reason
    // than the broker not yet listening.
    WaitForEvents([&] {
        const QString strSaid = demo.Stderr();
        return strSaid.count("connected to localhost") == 2 ||
               strSaid.count("cannot connect") > strSaid.count("Connection refused");
    });
    EXPECT_EQ(demo.Stderr().count("connected to localhost"), 2) << demo.Stderr().toStdString();
}

// mqtts:// to a broker's plain port: the handshake meets MQTT, not TLS, and
// the message says that, not that a certificate is untrusted.
TEST_F(VenueBroker, TlsToAPlainPortIsToldApartFromAnUntrustedCertificate)
{
    ASSERT_TRUE(m_demo.Start({"--mqtt", QStringLiteral("mqtts://127.0.0.1:%1").arg(m_broker.Port()), "--mqtt-id",
                              "kiosk1"}));
    EXPECT_TRUE(m_demo.WaitForStderr("TLS failed"));
    EXPECT_TRUE(m_demo.Stderr().contains("does not speak TLS")) << m_demo.Stderr().toStdString();
    EXPECT_FALSE(m_demo.Stderr().contains("certificate")) << m_demo.Stderr().toStdString();
}

} // namespace
