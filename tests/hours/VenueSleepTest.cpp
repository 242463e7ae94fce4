// One sleep and wake as the venue sees it: quado-demo with opening hours
// against Debian's mosquitto on loopback, its clock moved by libfaketime
// (timers stay on the real monotonic clock): closed and asleep but online,
// set/sleep OFF and ON, the opening time waking it, systemd's status line
// and the metrics file's quado_open along the way.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tests/fleet/FleetTestSupport.h"
#include "tests/support/EventWait.h"
#include "tests/support/NeedTool.h"

using namespace fleettest;
using testsupport::WaitForEvents;

namespace {

constexpr char Base[] = "quado/hall1";

std::string Topic(const char* pszLast)
{
    return std::string(Base) + "/" + pszLast;
}

QByteArray FileBytes(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(VenueSleep, AsleepWhileClosedOnlineAllAlongAndAwakeAtTheOpeningTime)
{
    QUADO_NEED_TOOL(MosquittoProgram().isEmpty(), "mosquitto (Debian package mosquitto)");
    const QString strFaketime = QString::fromLatin1(QUADO_FAKETIME_LIB);
    QUADO_NEED_TOOL(!QFileInfo::exists(strFaketime), strFaketime.toStdString() + " (Debian package faketime)");
    QTemporaryDir dir;
    CBroker broker;
    ASSERT_TRUE(broker.Start());
    CSubscriber subscriber(broker.Port());
    ASSERT_TRUE(subscriber.WaitConnected());
    CNotifySocket notify;
    ASSERT_TRUE(notify.IsOpen());

    // The demo's clock as an offset from the real one, read again each second.
    const QString strClock = dir.filePath(QStringLiteral("faketime.rc"));
    const auto setClock = [&strClock](const char* pszUtc) {
        const qint64 nOffset = (QDateTime::fromString(QString::fromLatin1(pszUtc), Qt::ISODate).toMSecsSinceEpoch() -
                                QDateTime::currentMSecsSinceEpoch()) /
                               1000;
        QFile file(strClock);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(QStringLiteral("%1%2s\n").arg(nOffset >= 0 ? "+" : "").arg(nOffset).toLatin1()) > 0;
    };
    // Wednesday 2026-12-09, 20:00 in Berlin.
    ASSERT_TRUE(setClock("2026-12-09T19:00:00Z"));
    const QString strMetrics = dir.filePath(QStringLiteral("quado.prom"));
    CDemo demo;
    ASSERT_TRUE(demo.Start({"--opening-hours", "Mo-Fr 10:00-18:00", "--mqtt", broker.Url(), "--mqtt-id", "hall1",
                            "--mqtt-discovery", "--metrics-file", strMetrics},
                           {"TZ=Europe/Berlin", "LD_PRELOAD=" + strFaketime, "FAKETIME_TIMESTAMP_FILE=" + strClock,
                            "FAKETIME_CACHE_DURATION=1", "FAKETIME_DONT_FAKE_MONOTONIC=1",
                            "NOTIFY_SOCKET=" + notify.Path()}));
    const auto stateWhere = [&](bool bOpen, const char* pszDisplay, size_t nFrom) {
        return subscriber.WaitFor(
            Topic("state"),
            [&](const std::string& str) {
                const QJsonObject json = Json(str);
                return json.value("open") == QJsonValue(bOpen) && json.value("display") == QJsonValue(pszDisplay);
            },
            nFrom);
    };
    std::string strStatus;
    const auto statusSays = [&](const std::string& strPart) {
        return WaitForEvents([&] {
            for (const std::string& str : notify.Take()) {
                if (const size_t nAt = str.find("STATUS="); nAt != std::string::npos)
                    strStatus = str.substr(nAt + 7, str.find('\n', nAt) - nAt - 7);
            }
            return strStatus.find(strPart) != std::string::npos;
        });
    };

    // Closed: asleep, the picture blank (no DPMS offscreen), and online.
    ASSERT_TRUE(stateWhere(false, "blank", 0)) << demo.Stderr().toStdString();
    const std::optional<Received> availability = subscriber.WaitFor(Topic("availability"));
    ASSERT_TRUE(availability);
    EXPECT_EQ(availability->strPayload, "online");
    EXPECT_TRUE(subscriber.WaitFor("homeassistant/binary_sensor/quado_hall1/open/config"));
    EXPECT_TRUE(subscriber.WaitFor("homeassistant/switch/quado_hall1/sleep/config"));
    EXPECT_TRUE(statusSays("closed until 2026-12-10 10:00")) << strStatus;
    EXPECT_TRUE(WaitForEvents([&] { return FileBytes(strMetrics).contains("\nquado_open 0\n"); }));

    // The venue wakes it, and sends it to sleep again.
    size_t nFrom = subscriber.Count();
    subscriber.Publish(Topic("set/sleep"), "OFF");
    ASSERT_TRUE(stateWhere(false, "on", nFrom));
    nFrom = subscriber.Count();
    subscriber.Publish(Topic("set/sleep"), "ON");
    ASSERT_TRUE(stateWhere(false, "blank", nFrom));

    // Seconds before the opening. A command makes it look at the clock now
    // rather than at its next look; OFF changes nothing once open.
    ASSERT_TRUE(setClock("2026-12-10T08:59:57Z"));
    // libfaketime reads its file again once a second: the command goes
    // again each second until the program has seen the new time.
    auto tLastSent = std::chrono::steady_clock::time_point{};
    ASSERT_TRUE(WaitForEvents([&] {
        if (std::chrono::steady_clock::now() - tLastSent >= std::chrono::seconds(1)) {
            tLastSent = std::chrono::steady_clock::now();
            subscriber.Publish(Topic("set/sleep"), "OFF");
        }
        const std::vector<Received> vec = subscriber.Messages();
        return std::any_of(vec.begin() + static_cast<std::ptrdiff_t>(std::min(nFrom, vec.size())), vec.end(),
                           [](const Received& message) {
                               return message.strTopic == Topic("state") &&
                                      Json(message.strPayload).value("open") == QJsonValue(true);
                           });
    }));
    nFrom = subscriber.Count();
    EXPECT_TRUE(stateWhere(true, "on", 0));
    EXPECT_TRUE(statusSays("NOT CONNECTED")) << strStatus;
    EXPECT_TRUE(WaitForEvents([&] { return FileBytes(strMetrics).contains("\nquado_open 1\n"); }));
    EXPECT_EQ(demo.Terminate(), 0);
    for (const Received& message : subscriber.Messages()) {
        if (message.strTopic.rfind("homeassistant/", 0) != 0)
            std::printf("%s%s %s\n", message.strTopic.c_str(), message.bRetained ? " (retained)" : "",
                        message.strPayload.c_str());
    }
}
