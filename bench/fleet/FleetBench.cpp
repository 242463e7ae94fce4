// How fast a venue hears of a game: a board line fed to the simulated
// adapter ("New", then "Congrat") until its event message reaches a
// subscriber of a local mosquitto, through the real adapter window, receive
// thread, interpreter, game events, venue reporter and broker link. One line
// at a time, the next once the last event arrived; p99 over many games,
// median of three runs.
#include <QApplication>
#include <QTimer>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/fleet/BenchVenue.h"
#include "device/IHidBackend.h"
#include "device/SimulatedHidBackend.h"
#include "protocol/ISoundPlayer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int Games = 500;

class CQuietPlayer : public ISoundPlayer {
public:
    void PlayOnce(int) override {}
    void PlayLooping(int) override {}
    void Stop() override {}
};

// Notes when each game event arrives.
struct Arrivals {
    std::mutex mutex;
    std::vector<Clock::time_point> vecWhen;
    std::atomic<size_t> nCount{0};
    std::atomic<bool> bSubscribed{false};
};

void OnConnect(mosquitto* pMosq, void* pUser, int rc)
{
    if (rc == 0)
        mosquitto_subscribe(pMosq, nullptr, "quado/bench/event", 1);
    static_cast<Arrivals*>(pUser)->bSubscribed = rc == 0;
}

void OnMessage(mosquitto*, void* pUser, const mosquitto_message* pMessage)
{
    const auto now = Clock::now();
    const std::string strPayload(static_cast<const char*>(pMessage->payload), static_cast<size_t>(pMessage->payloadlen));
    if (strPayload.find("\"game_started\"") == std::string::npos && strPayload.find("\"game_ended\"") == std::string::npos)
        return;
    auto& arrivals = *static_cast<Arrivals*>(pUser);
    std::lock_guard lock(arrivals.mutex);
    arrivals.vecWhen.push_back(now);
    arrivals.nCount = arrivals.vecWhen.size();
}

double Percentile(std::vector<double> values, double dShare)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(dShare * values.size()))];
}

template <class Done>
bool RunUntil(Done done)
{
    QTimer wake;
    wake.start(5);
    const auto deadline = Clock::now() + 120s;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The p99 in milliseconds of one run, or a negative value when events went missing.
double MeasureOnce(int nPort)
{
    CSimulatedHidBackend backend;
    SetHidBackend(&backend);
    SimulatedDeviceSetup setup;
    setup.strPath = "/dev/hidraw0";
    setup.strSerial = "BENCH";
    const std::shared_ptr<CSimulatedAdapter> pAdapter = backend.AddAdapter(setup);
    CChildView view;
    view.Create(nullptr);
    view.resize(CChildView::CanvasWidth, CChildView::CanvasHeight);
    view.show();
    CQuietPlayer player;
    IQuadoBoard* pBoard = &view;
    bool bMute = true;
    double dP99 = -1;
    {
        CAdapterLink link;
        link.SetOutputs(&pBoard, &bMute, &player);
        link.StartDeviceWatch();
        link.ConnectQuietly(0);
        std::unique_ptr<CVenueReporter> pReporter = benchvenue::AttachReporter(nPort, link, &view);
        Arrivals arrivals;
        mosquitto* pSubscriber = mosquitto_new(nullptr, true, &arrivals);
        mosquitto_connect_callback_set(pSubscriber, OnConnect);
        mosquitto_message_callback_set(pSubscriber, OnMessage);
        mosquitto_connect(pSubscriber, "127.0.0.1", nPort, 60);
        mosquitto_loop_start(pSubscriber);
        const bool bReady = pReporter && link.IsConnected() && RunUntil([&] {
            return arrivals.bSubscribed.load() && pReporter->Link()->Phase() == MqttPhase::Up;
        });

        std::vector<Clock::time_point> vecFed(2 * Games);
        std::thread feeder([&] {
            for (size_t i = 0; bReady && i < vecFed.size(); ++i) {
                while (arrivals.nCount.load() < i)
                    std::this_thread::sleep_for(20us);
                vecFed[i] = Clock::now();
                pAdapter->FeedUart(i % 2 ? "Congrat\n" : "New\n");
            }
        });
        const bool bDone = bReady && RunUntil([&] { return arrivals.nCount.load() >= vecFed.size(); });
        feeder.join();
        mosquitto_disconnect(pSubscriber);
        mosquitto_loop_stop(pSubscriber, true);
        mosquitto_destroy(pSubscriber);
        if (bDone) {
            std::vector<double> vecMs;
            for (size_t i = 0; i < vecFed.size(); ++i)
                vecMs.push_back(std::chrono::duration<double, std::milli>(arrivals.vecWhen[i] - vecFed[i]).count());
            std::printf("   %zu events: p50 %.3f ms   p99 %.3f ms   max %.3f ms\n", vecMs.size(), Percentile(vecMs, 0.5),
                        Percentile(vecMs, 0.99), Percentile(vecMs, 1.0));
            dP99 = Percentile(vecMs, 0.99);
        } else {
            std::printf("   only %zu of %zu events arrived\n", arrivals.nCount.load(), vecFed.size());
        }
    }
    SetHidBackend(nullptr);
    return dP99;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    mosquitto_lib_init();
    fleettest::CBroker broker;
    if (!benchvenue::StartBroker(broker)) {
        std::printf("bench_fleet: mosquitto (Debian package mosquitto) is not installed: no figure\n");
        return 0;
    }
    std::printf("M1. board line fed -> its game event received from a local mosquitto, %d games:\n", Games);
    std::vector<double> vecP99;
    for (int i = 0; i < 3; ++i)
        vecP99.push_back(MeasureOnce(broker.Port()));
    std::printf("FIGURE M1_event_to_publish_ms %.3f\n", Percentile(vecP99, 0.5));
    return 0;
}
