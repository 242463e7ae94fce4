// The unpacked package's modules at work, run by the .deb check with
// QUADO_PACKED_ROOT (the unpacked package) and QUADO_PACKED_MODULES (its
// module folder): the packed quado finds its broker-link module beside itself
// and reaches a broker, and the packed Records window opens in a main frame.
#include "tests/adapter/AdapterTestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

#include "app/CommandIds.h"
#include "tests/fleet/FleetTestSupport.h"
#include "tests/support/NeedTool.h"

using namespace adaptertest;
using testsupport::WaitForEvents;

namespace {

QString Env(const char* pszName)
{
    const char* psz = std::getenv(pszName);
    return psz ? QString::fromLocal8Bit(psz) : QString();
}

TEST(PackedModules, ThePackedQuadoReachesABrokerThroughItsModule)
{
    const QString strRoot = Env("QUADO_PACKED_ROOT");
    ASSERT_FALSE(strRoot.isEmpty()) << "QUADO_PACKED_ROOT names the unpacked package";
    QUADO_NEED_TOOL(fleettest::MosquittoProgram().isEmpty(), "mosquitto");
    fleettest::CBroker broker;
    ASSERT_TRUE(broker.Start());
    fleettest::CSubscriber subscriber(broker.Port(), "quado/packed1/availability");
    ASSERT_TRUE(subscriber.WaitConnected());

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Its own folders only: nothing of the build tree may help it.
    environment.remove(QStringLiteral("QUADO_MODULE_DIR"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
    QProcess quado;
    quado.setProcessEnvironment(environment);
    QString strStderr;
    QObject::connect(&quado, &QProcess::readyReadStandardError, &quado,
                     [&] { strStderr += QString::fromUtf8(quado.readAllStandardError()); });
    quado.start(strRoot + QStringLiteral("/usr/bin/quado"),
                {QStringLiteral("--mqtt"), broker.Url(), QStringLiteral("--mqtt-id"), QStringLiteral("packed1")});
    ASSERT_TRUE(quado.waitForStarted(testsupport::HangGuardMs));
    // Online, or the word that the module was not there (Quado runs on
    // without it, so its end would never come).
    const auto online = [&] {
        const std::vector<fleettest::Received> messages = subscriber.Messages();
        return std::any_of(messages.begin(), messages.end(),
                           [](const fleettest::Received& message) { return message.strPayload == "online"; });
    };
    WaitForEvents([&] {
        return online() || strStderr.contains(QStringLiteral("MQTT is off")) || quado.state() == QProcess::NotRunning;
    });
    EXPECT_TRUE(online()) << strStderr.toStdString();
    quado.terminate();
    EXPECT_TRUE(quado.waitForFinished(testsupport::HangGuardMs));
    EXPECT_EQ(quado.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(quado.exitCode(), 0);
}

class PackedRecordsWindow : public AdapterFrameTest {
protected:
    void TearDown() override
    {
        AdapterFrameTest::TearDown();
        unsetenv("QUADO_MODULE_DIR");
    }
};

TEST_F(PackedRecordsWindow, OpensInAMainFrame)
{
    const QString strModules = Env("QUADO_PACKED_MODULES");
    ASSERT_FALSE(strModules.isEmpty()) << "QUADO_PACKED_MODULES names the unpacked module folder";
    setenv("QUADO_MODULE_DIR", strModules.toLocal8Bit().constData(), 1);
    MakeFrame();
    ASSERT_TRUE(m_pFrame->OnCommand(CommandId::RecordsWindow));
    ASSERT_NE(m_pFrame->RecordsWindowIfMade(), nullptr);
    QWidget* pWindow = m_pFrame->RecordsWindowIfMade()->Widget();
    EXPECT_TRUE(WaitForEvents([&] { return pWindow->isVisible(); }));
    EXPECT_EQ(pWindow->windowTitle(), "Quado Records");
}

} // namespace
