// A thousand connections, each streaming lines and stopped at a different
// moment: with the adapter read, the hand-off and the stop crossing threads,
// ThreadSanitizer must see no race, every stop must return, and before a stop
// no line may be lost or reordered. The UI thread is a plain-C++ stand-in, so
// every lock involved is one TSan can see.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "device/Dravik.h"
#include "device/SimulatedHidBackend.h"
#include "drivers/ReceiveThread.h"
#include "tests/adapter/TaskLoop.h"
#include "tests/support/HangGuard.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int Cycles = 1000;
constexpr int MaxLinesPerCycle = 24;

std::string LineText(int nCycle, int nLine)
{
    return "c" + std::to_string(nCycle) + " l" + std::to_string(nLine);
}

// What the consumer thread keeps of one connection's stream.
struct Received {
    std::wstring strPartial;
    std::vector<std::string> lines;
};

} // namespace

TEST(ReceiveStress, ConnectStreamStopAThousandTimes)
{
    CSimulatedHidBackend backend;
    SetHidBackend(&backend);
    // A queue that holds a whole cycle's reports, so none is dropped while
    // the reader waits for the UI thread.
    SimulatedDeviceSetup setup;
    setup.strPath = "/dev/hidraw0";
    setup.strSerial = "STRESS";
    setup.nInputBuffers = 128;
    std::shared_ptr<CSimulatedAdapter> pAdapter = backend.AddAdapter(setup);
    // Short reports, so lines are cut across reads and reads across lines.
    pAdapter->SetMaxUartChunk(5);
    CDravik dravik;
    CTaskLoop loop;
    std::mt19937 random(20240611);
    int nCompleteCycles = 0;
    int nInterruptedCycles = 0;
    size_t nInterruptedSent = 0;
    size_t nInterruptedSeen = 0;
    const auto start = Clock::now();

    for (int nCycle = 0; nCycle < Cycles; ++nCycle) {
        ASSERT_EQ(dravik.Connect(0), DeviceSuccess) << "cycle " << nCycle;
        ASSERT_EQ(dravik.EnableUart(), DeviceSuccess);
        ReceiveBufferSize = dravik.ReceiveCapacity();
        ReceiveBuffer = new uint8_t[ReceiveBufferSize];

        Received received;
        std::atomic<size_t> nLinesSeen{0};
        auto pThread = CReceiveThread::Create(
            dravik, [&loop](std::function<void()> task) { loop.Post(std::move(task)); },
            [&](std::wstring_view chunk) {
                for (const wchar_t c : chunk) {
                    if (c != L'\n') {
                        received.strPartial.push_back(c);
                        continue;
                    }
                    received.lines.emplace_back(received.strPartial.begin(), received.strPartial.end());
                    received.strPartial.clear();
                }
                nLinesSeen = received.lines.size();
            });
        ASSERT_TRUE(pThread->Start());

        const int nLines = 1 + static_cast<int>(random() % MaxLinesPerCycle);
        std::vector<std::string> sent;
        for (int i = 0; i < nLines; ++i) {
            sent.push_back(LineText(nCycle, i));
            pAdapter->FeedUart(sent.back() + "\n");
        }

        // Every other cycle runs to the end; the others stop after a random
        // share of the lines, with the rest still on their way.
        const bool bWaitForAll = nCycle % 2 == 0;
        const size_t nWaitFor = bWaitForAll ? sent.size() : random() % sent.size();
        const auto deadline = Clock::now() + testsupport::HangGuard;
        while (nLinesSeen < nWaitFor && Clock::now() < deadline)
            std::this_thread::sleep_for(20us);
        if (!bWaitForAll && random() % 4 == 0) {
            // The UI thread is busy when the stop comes, so the hand-off waits.
            loop.Post([] { std::this_thread::sleep_for(200us); });
        }

        // The read pending here has no timeout: a stop that waited for it
        // would never return.
        loop.RunSync([&] { pThread->Stop(); });
        const std::vector<std::string> afterStop = loop.RunSync([&] { return received.lines; });

        ASSERT_LE(afterStop.size(), sent.size());
        for (size_t i = 0; i < afterStop.size(); ++i)
            ASSERT_EQ(afterStop[i], sent[i]) << "cycle " << nCycle << ", line " << i;
        if (bWaitForAll) {
            ASSERT_EQ(afterStop.size(), sent.size()) << "cycle " << nCycle;
            ++nCompleteCycles;
        } else {
            ++nInterruptedCycles;
            nInterruptedSent += sent.size();
            nInterruptedSeen += afterStop.size();
        }

        // Nothing is processed once the stop has returned.
        pAdapter->FeedUart("late\n");
        std::this_thread::sleep_for(50us);
        EXPECT_EQ(loop.RunSync([&] { return received.lines.size(); }), afterStop.size());

        pThread.reset();
        dravik.DisableUart();
        dravik.Disconnect();
        delete[] ReceiveBuffer;
        ReceiveBuffer = nullptr;
        ReceiveBufferSize = 0;
    }

    std::printf("%d cycles (%d streamed to the end, %d stopped mid-stream after %zu of %zu lines) in %.1f s\n",
                Cycles, nCompleteCycles, nInterruptedCycles, nInterruptedSeen, nInterruptedSent,
                std::chrono::duration<double>(Clock::now() - start).count());
    SetHidBackend(nullptr);
}
