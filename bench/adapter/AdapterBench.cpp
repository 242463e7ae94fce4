// The receive path end to end, with the real adapter window, receive thread
// and hand-off on a simulated adapter, offscreen:
//   1. latency from an input report becoming readable to the board's canvas
//      composited and a repaint requested, one colour line at a time;
//   2. the highest sustained rate of alternating colour and "Off" lines that
//      keeps latency bounded, and the UI thread's CPU share at the wire rate;
//   3. appending a read's text to a full (1 MiB) log against an empty one.
// The UI thread's share is measured again with a venue's broker link on: to
// a local mosquitto, and to a listener that accepts and never answers.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/RatioReporter.h"
#include "bench/fleet/BenchVenue.h"
#include "board/ChildView.h"
#include "device/IHidBackend.h"
#include "device/SimulatedHidBackend.h"
#include "drivers/QuadoDravikDriver.h"
#include "drivers/ReceiveThread.h"
#include "protocol/IQuadoBoard.h"
#include "protocol/ISoundPlayer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// 115200 bits per second, 10 bits per byte on the wire (8N1).
constexpr double WireBytesPerSecond = 11520.0;
constexpr int LatencyLines = 4000;
constexpr auto RateRunTime = 1s;
constexpr auto FeedTick = 1ms;
// A rate counts as sustained while no report is dropped and no line waits
// longer than this.
constexpr auto LatencyBound = 20ms;

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double dShare)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t nIndex = std::min(values.size() - 1, static_cast<size_t>(dShare * values.size()));
    return values[nIndex];
}

// Counts the lines the interpreter has acted on: with a game running, every
// colour line starts its tone and every "Off" after it stops it.
class CLineCountingPlayer : public ISoundPlayer {
public:
    void PlayOnce(int) override { ++m_nLines; }
    void PlayLooping(int) override { ++m_nLines; }
    void Stop() override { ++m_nLines; }

    size_t m_nLines = 0;
};

// Notes the moment each light has been composited and its repaint requested,
// and how many lines the picture then covers: the lines of one read reach
// the board together, as only their last light can be seen.
class CTimedBoard : public IQuadoBoard {
public:
    CTimedBoard(IQuadoBoard* pInner, const CLineCountingPlayer* pLines) : m_pInner(pInner), m_pLines(pLines) {}

    void LightQuadrant(int nIndex) override
    {
        if (m_pInner)
            m_pInner->LightQuadrant(nIndex);
        m_vecLit.push_back(Clock::now());
        m_vecCovered.push_back(m_pLines->m_nLines);
        m_nLights.store(m_vecLit.size(), std::memory_order_release);
    }
    void ShowPanelText(const std::wstring& strText) override
    {
        if (m_pInner)
            m_pInner->ShowPanelText(strText);
    }

    void Reset(size_t nExpected)
    {
        m_vecLit.clear();
        m_vecLit.reserve(nExpected);
        m_vecCovered.clear();
        m_vecCovered.reserve(nExpected);
        m_nLights.store(0);
    }

    size_t CoveredLines() const { return m_vecCovered.empty() ? 0 : m_vecCovered.back(); }

    std::vector<Clock::time_point> m_vecLit;
    std::vector<size_t> m_vecCovered;
    std::atomic<size_t> m_nLights{0};

private:
    IQuadoBoard* m_pInner;
    const CLineCountingPlayer* m_pLines;
};

// The window, a shown board view and one connected simulated adapter.
struct Rig {
    CSimulatedHidBackend backend;
    std::shared_ptr<CSimulatedAdapter> pAdapter;
    CChildView view;
    CLineCountingPlayer lines;
    CTimedBoard board;
    IQuadoBoard* pBoard = &board;
    bool bMute = false;
    std::unique_ptr<CQuadoDravikDriver> pDlg;
    std::unique_ptr<CVenueReporter> pReporter;

    // nMqttPort: a broker for a venue reporter on the window, 0 for none.
    explicit Rig(bool bWithView, int nMqttPort = 0) : board(bWithView ? &view : nullptr, &lines)
    {
        SetHidBackend(&backend);
        SimulatedDeviceSetup setup;
        setup.strPath = "/dev/hidraw0";
        setup.strSerial = "BENCH";
        setup.nInputBuffers = 512;
        pAdapter = backend.AddAdapter(setup);
        view.Create(nullptr);
        view.resize(CChildView::CanvasWidth, CChildView::CanvasHeight);
        view.show();
        pDlg = std::make_unique<CQuadoDravikDriver>();
        pDlg->SetLinks(nullptr, &pBoard, &bMute, &lines);
        pDlg->show();
        pDlg->Link().ConnectQuietly(0);
        if (nMqttPort != 0)
            pReporter = benchvenue::AttachReporter(nMqttPort, pDlg->Link(), bWithView ? &view : nullptr);
        QCoreApplication::processEvents();
    }

    ~Rig()
    {
        pReporter.reset();
        pDlg.reset();
        SetHidBackend(nullptr);
    }

    // Runs the UI thread's events, sleeping between them as the real event
    // loop does, until done() or the time is up. A slow timer wakes the loop
    // to look at done() when no event comes.
    template <class Done>
    bool RunUntil(Done done, Clock::duration timeout)
    {
        QTimer wake;
        wake.start(5);
        const auto deadline = Clock::now() + timeout;
        while (!done()) {
            if (Clock::now() > deadline)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
};

// The p99 in milliseconds, or a negative value when lines went missing.
double MeasureLatency()
{
    Rig rig(true);
    static const char* const Colours[] = {"G\n", "R\n", "B\n", "Y\n"};
    std::vector<Clock::time_point> fed(LatencyLines);
    rig.board.Reset(LatencyLines);
    std::thread feeder([&] {
        for (int i = 0; i < LatencyLines; ++i) {
            while (rig.board.m_nLights.load(std::memory_order_acquire) < static_cast<size_t>(i))
                std::this_thread::sleep_for(20us);
            fed[i] = Clock::now();
            rig.pAdapter->FeedUart(Colours[i % 4]);
        }
    });
    const bool bDone = rig.RunUntil([&] { return rig.board.m_nLights.load() >= LatencyLines; }, 60s);
    feeder.join();
    if (!bDone) {
        std::printf("latency: only %zu of %d lines arrived\n", rig.board.m_nLights.load(), LatencyLines);
        return -1;
    }
    std::vector<double> latencies;
    for (int i = 0; i < LatencyLines; ++i)
        latencies.push_back(Milliseconds(rig.board.m_vecLit[i] - fed[i]));
    std::printf("1. report readable -> canvas composited + repaint requested, %d colour lines:\n"
                "   p50 %.3f ms   p99 %.3f ms   max %.3f ms   (goal p99 <= 0.5 ms)\n",
                LatencyLines, Percentile(latencies, 0.5), Percentile(latencies, 0.99),
                Percentile(latencies, 1.0));
    return Percentile(latencies, 0.99);
}

struct RateResult {
    size_t nLines = 0;
    size_t nLit = 0;
    uint64_t nDropped = 0;
    double dP50 = 0;
    double dP99 = 0;
    double dMax = 0;
    double dUiCpuShare = 0;
    bool bSustained = false;
};

// Feeds alternating "G" and "Off" lines at the rate, in the bytes due every
// tick, as a UART would deliver them, for RateRunTime.
RateResult RunAtRate(bool bWithView, double dBytesPerSecond, int nMqttPort = 0)
{
    Rig rig(bWithView, nMqttPort);
    rig.pAdapter->FeedUart("New\n");
    rig.RunUntil([&] { return rig.pDlg->Interpreter().IsGameRunning(); }, 5s);
    const size_t nExpected = static_cast<size_t>(dBytesPerSecond * 1.2 / 3) + 16;
    rig.board.Reset(nExpected);
    rig.lines.m_nLines = 0;
    std::vector<Clock::time_point> fed;
    fed.reserve(nExpected);
    std::atomic<bool> bFeeding{true};

    const double dCpuStart = ThreadCpuSeconds();
    const auto start = Clock::now();
    std::thread feeder([&] {
        double dBytesFed = 0;
        bool bColour = true;
        std::string strBatch;
        auto tick = start;
        while (tick - start < RateRunTime) {
            tick += FeedTick;
            std::this_thread::sleep_until(tick);
            const auto now = Clock::now();
            const double dDue = dBytesPerSecond * std::chrono::duration<double>(now - start).count();
            strBatch.clear();
            while (dBytesFed < dDue) {
                const char* pszLine = bColour ? "G\n" : "Off\n";
                strBatch += pszLine;
                dBytesFed += bColour ? 2 : 4;
                bColour = !bColour;
                fed.push_back(now);
            }
            if (!strBatch.empty())
                rig.pAdapter->FeedUart(strBatch);
        }
        bFeeding = false;
    });
    rig.RunUntil([&] { return !bFeeding.load(); }, RateRunTime + 5s);
    const double dWall = std::chrono::duration<double>(Clock::now() - start).count();
    const double dCpu = ThreadCpuSeconds() - dCpuStart;
    feeder.join();
    rig.RunUntil([&] { return rig.board.CoveredLines() >= fed.size(); }, 5s);

    RateResult result;
    result.nLines = fed.size();
    result.nLit = std::min(rig.board.CoveredLines(), result.nLines);
    result.nDropped = rig.backend.GetDroppedReports("/dev/hidraw0");
    result.dUiCpuShare = dCpu / dWall;
    // A line's latency ends with the first light whose picture covers it.
    std::vector<double> latencies;
    size_t k = 0;
    for (size_t i = 0; i < result.nLit; ++i) {
        while (rig.board.m_vecCovered[k] < i + 1)
            ++k;
        latencies.push_back(Milliseconds(rig.board.m_vecLit[k] - fed[i]));
    }
    result.dP50 = Percentile(latencies, 0.5);
    result.dP99 = Percentile(latencies, 0.99);
    result.dMax = Percentile(latencies, 1.0);
    result.bSustained = result.nDropped == 0 && result.nLit == result.nLines &&
                        result.dMax <= Milliseconds(LatencyBound);
    return result;
}

// The highest sustained multiple of the wire rate.
double MeasureRates(bool bWithView)
{
    std::printf("2. alternating \"G\" / \"Off\" lines, %s:\n", bWithView ? "board view compositing each read's last light"
                                                                        : "receive path only (board does nothing)");
    std::printf("   %8s %12s %9s %9s %9s %9s %8s\n", "x wire", "bytes/s", "p50 ms", "p99 ms", "max ms", "UI CPU",
                "dropped");
    double dBestMultiple = 0;
    int nFailures = 0;
    for (const double dMultiple : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 400.0}) {
        const RateResult r = RunAtRate(bWithView, dMultiple * WireBytesPerSecond);
        std::printf("   %8.0f %12.0f %9.3f %9.3f %9.3f %8.1f%% %8llu%s\n", dMultiple, dMultiple * WireBytesPerSecond,
                    r.dP50, r.dP99, r.dMax, 100 * r.dUiCpuShare, static_cast<unsigned long long>(r.nDropped),
                    r.bSustained ? "" : "   not sustained");
        if (r.bSustained) {
            dBestMultiple = dMultiple;
            nFailures = 0;
        } else if (++nFailures == 2) {
            break;
        }
    }
    std::printf("   highest sustained: %.0f x wire rate = %.0f bytes/s (goal >= 100 x)\n", dBestMultiple,
                dBestMultiple * WireBytesPerSecond);
    return dBestMultiple;
}

// One read's worth of board lines that the interpreter does not act on.
std::wstring LogChunk()
{
    std::wstring strChunk;
    for (int i = 0; strChunk.size() < 2048; ++i) {
        wchar_t szLine[17];
        std::swprintf(szLine, 17, L"line %09d\r\n", i);
        strChunk += szLine;
    }
    return strChunk;
}

void BM_AppendChunkToEmptyLog(benchmark::State& state)
{
    CQuadoDravikDriver dlg;
    dlg.show();
    const std::wstring strChunk = LogChunk();
    for (auto _ : state) {
        state.PauseTiming();
        dlg.OnClearData();
        state.ResumeTiming();
        dlg.ProcessChunk(strChunk);
    }
    state.SetBytesProcessed(state.iterations() * strChunk.size());
}
BENCHMARK(BM_AppendChunkToEmptyLog)->Unit(benchmark::kMicrosecond)->Repetitions(3);

// The log at its cap: the trimming of the oldest text is part of the cost.
void BM_AppendChunkToFullLog(benchmark::State& state)
{
    CQuadoDravikDriver dlg;
    dlg.show();
    const std::wstring strChunk = LogChunk();
    while (dlg.LogText().size() < CQuadoDravikDriver::MaxLogChars)
        dlg.ProcessChunk(strChunk);
    for (auto _ : state)
        dlg.ProcessChunk(strChunk);
    state.SetBytesProcessed(state.iterations() * strChunk.size());
}
BENCHMARK(BM_AppendChunkToFullLog)->Unit(benchmark::kMicrosecond)->Repetitions(3);

// 1 MiB through the window in 64-byte reads, without a line feed against
// the same amount in 40-byte lines: the log's cost must not depend on where
// the lines end.
void FeedMebibyte(benchmark::State& state, bool bLineFeeds)
{
    std::wstring strChunk(64, L'x');
    for (auto _ : state) {
        state.PauseTiming();
        auto pDlg = std::make_unique<CQuadoDravikDriver>();
        pDlg->show();
        state.ResumeTiming();
        for (int i = 0, nPos = 0; i < (1 << 20) / 64; ++i) {
            for (wchar_t& c : strChunk) {
                c = bLineFeeds && ++nPos % 40 == 0 ? L'\n' : L'x';
            }
            pDlg->ProcessChunk(strChunk);
        }
        pDlg->repaint();
    }
}

void BM_MebibyteNoLineFeed(benchmark::State& state)
{
    FeedMebibyte(state, false);
}
BENCHMARK(BM_MebibyteNoLineFeed)->Unit(benchmark::kMillisecond)->Repetitions(3);

void BM_MebibyteOfLines(benchmark::State& state)
{
    FeedMebibyte(state, true);
}
BENCHMARK(BM_MebibyteOfLines)->Unit(benchmark::kMillisecond)->Repetitions(3);

double ResidentMiB()
{
    std::FILE* pFile = std::fopen("/proc/self/statm", "r");
    long nPages = 0;
    long nResident = 0;
    if (pFile) {
        if (std::fscanf(pFile, "%ld %ld", &nPages, &nResident) != 2)
            nResident = 0;
        std::fclose(pFile);
    }
    return nResident * (sysconf(_SC_PAGESIZE) / 1048576.0);
}

// What a log filled to its cap with the game's shortest lines adds to the
// resident memory, median of three windows.
void MeasureFullLogMemory()
{
    std::vector<double> vecAdded;
    // The windows stay until the end: memory a closed one gave back to the
    // heap would otherwise be counted again as free for the next.
    std::vector<std::unique_ptr<CQuadoDravikDriver>> vecWindows;
    for (int nRun = 0; nRun < 3; ++nRun) {
        auto& pDlg = vecWindows.emplace_back(std::make_unique<CQuadoDravikDriver>());
        pDlg->show();
        QCoreApplication::processEvents();
        const double dBefore = ResidentMiB();
        const std::wstring strChunk = L"G\nOff\nG\nOff\nG\nOff\nG\nOff\nG\nOff\nG\nOff\nG\nOff\nG\nOff\nG\nOff\nG\nOff\n";
        while (pDlg->LogText().size() < CQuadoDravikDriver::MaxLogChars)
            pDlg->ProcessChunk(strChunk);
        pDlg->repaint();
        QCoreApplication::processEvents();
        vecAdded.push_back(ResidentMiB() - dBefore);
    }
    std::printf("   a log full of \"G\" / \"Off\" lines adds %.2f MiB resident (goal <= 8)\n", Percentile(vecAdded, 0.5));
    std::printf("FIGURE P7_fulllog_mib %.2f\n", Percentile(vecAdded, 0.5));
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    // Every figure is the median of three repetitions in this run.
    constexpr int Repetitions = 3;
    std::vector<double> vecP99;
    for (int i = 0; i < Repetitions; ++i)
        vecP99.push_back(MeasureLatency());
    std::vector<double> vecSustained;
    for (int i = 0; i < Repetitions; ++i)
        vecSustained.push_back(MeasureRates(true));
    MeasureRates(false);
    std::vector<double> vecUiShare;
    for (int i = 0; i < Repetitions; ++i) {
        const RateResult atWire = RunAtRate(true, WireBytesPerSecond);
        std::printf("   UI thread's CPU share at the wire rate (%.0f bytes/s of G/Off lines): %.1f%%\n",
                    WireBytesPerSecond, 100 * atWire.dUiCpuShare);
        vecUiShare.push_back(100 * atWire.dUiCpuShare);
    }
    std::printf("FIGURE P1_p99_ms %.3f\n", Percentile(vecP99, 0.5));
    std::printf("FIGURE P2_sustained_x %.0f\n", Percentile(vecSustained, 0.5));
    std::printf("FIGURE P2_ui_share_pct %.1f\n", Percentile(vecUiShare, 0.5));

    fleettest::CBroker broker;
    int nStalledFd = -1;
    const int nStalledPort = testsupport::FreeLoopbackPort(&nStalledFd);
    if (benchvenue::StartBroker(broker)) {
        // Interleaved with runs without it, so that what else the machine
        // does falls on all three alike.
        std::vector<double> vecOff;
        std::vector<double> vecOn;
        std::vector<double> vecStalled;
        for (int i = 0; i < 5; ++i) {
            vecOff.push_back(100 * RunAtRate(true, WireBytesPerSecond).dUiCpuShare);
            vecOn.push_back(100 * RunAtRate(true, WireBytesPerSecond, broker.Port()).dUiCpuShare);
            vecStalled.push_back(100 * RunAtRate(true, WireBytesPerSecond, nStalledPort).dUiCpuShare);
        }
        std::printf("   UI thread's CPU share at the wire rate, median of 5 interleaved: MQTT off %.1f%%, to a local "
                    "mosquitto %.1f%%, to a broker that never answers %.1f%%\n",
                    Percentile(vecOff, 0.5), Percentile(vecOn, 0.5), Percentile(vecStalled, 0.5));
        std::printf("FIGURE P2_ui_share_pct_mqtt %.1f\n", Percentile(vecOn, 0.5));
        std::printf("FIGURE P2_ui_share_pct_mqtt_stalled %.1f\n", Percentile(vecStalled, 0.5));
        std::printf("FIGURE P2_ui_share_mqtt_delta_pct %.1f\n", Percentile(vecOn, 0.5) - Percentile(vecOff, 0.5));
    } else {
        std::printf("   mosquitto is not installed: no figure with MQTT on\n");
    }
    close(nStalledFd);

    MeasureFullLogMemory();

    CRatioReporter reporter({{"3. append to a 1 MiB log / to an empty log (goal <= 2)", "BM_AppendChunkToFullLog/repeats:3_median", "BM_AppendChunkToEmptyLog/repeats:3_median"},
                             {"FIGURE P5_log_ratio", "BM_AppendChunkToFullLog/repeats:3_median", "BM_AppendChunkToEmptyLog/repeats:3_median"},
                             {"FIGURE P6_noLF_ratio", "BM_MebibyteNoLineFeed/repeats:3_median", "BM_MebibyteOfLines/repeats:3_median"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
