// The receive thread and its hand-off, with a simulated adapter and a
// stand-in UI thread: reads reach the consumer thread in order, one at a time
// (the next read waits for the last one's processing), and a stop returns at
// once wherever the thread is, dropping what it had not handed over.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "device/Dravik.h"
#include "device/SimulatedHidBackend.h"
#include "drivers/ReceiveThread.h"
#include "tests/adapter/TaskLoop.h"
#include "tests/support/WaitFor.h"

namespace {

using namespace std::chrono_literals;

using testsupport::WaitFor;

class ReceiveThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetHidBackend(&m_backend);
        m_pAdapter = m_backend.AddAdapter("/dev/hidraw0", "RT");
        ASSERT_EQ(m_dravik.Connect(0), DeviceSuccess);
        ASSERT_EQ(m_dravik.EnableUart(), DeviceSuccess);
        ReceiveBufferSize = m_dravik.ReceiveCapacity();
        ReceiveBuffer = new uint8_t[ReceiveBufferSize];
    }

    void TearDown() override
    {
        if (m_pThread)
            m_loop.RunSync([this] { m_pThread->Stop(); });
        m_pThread.reset();
        m_dravik.Disconnect();
        delete[] ReceiveBuffer;
        ReceiveBuffer = nullptr;
        ReceiveBufferSize = 0;
        SetHidBackend(nullptr);
    }

    // A thread whose chunks are recorded on the loop's thread.
    void StartThread()
    {
        m_pThread = CReceiveThread::Create(
            m_dravik,
            [this](std::function<void()> task) {
                ++m_nDispatched;
                m_loop.Post(std::move(task));
            },
            [this](std::wstring_view chunk) {
                m_bOffLoop = m_bOffLoop || std::this_thread::get_id() != m_loop.ThreadId();
                m_chunks.emplace_back(chunk);
            });
        ASSERT_TRUE(m_pThread->Start());
    }

    // Stops the thread on the loop's thread; false if the stop never returns.
    bool StopReturns()
    {
        auto pStopped = std::make_shared<std::atomic<bool>>(false);
        m_loop.Post([this, pStopped] {
            m_pThread->Stop();
            *pStopped = true;
        });
        return WaitFor([&] { return pStopped->load(); });
    }

    std::vector<std::wstring> Chunks()
    {
        return m_loop.RunSync([this] { return m_chunks; });
    }

    CSimulatedHidBackend m_backend;
    std::shared_ptr<CSimulatedAdapter> m_pAdapter;
    CDravik m_dravik;
    CTaskLoop m_loop;
    std::atomic<int> m_nDispatched{0};
    // Touched on the loop's thread only.
    std::vector<std::wstring> m_chunks;
    bool m_bOffLoop = false;
    std::shared_ptr<CReceiveThread> m_pThread;
};

} // namespace

TEST_F(ReceiveThread, ReadsReachTheConsumerThreadInOrderAndTheNextReadWaitsForTheLast)
{
    StartThread();
    // The consumer is busy: the first read is handed over and waits; what
    // arrives meanwhile stays queued for the next read instead of joining it.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    m_loop.Post([released] { released.wait(); });
    m_pAdapter->FeedUart("G\n");
    ASSERT_TRUE(WaitFor([&] { return m_nDispatched == 1; }));
    m_pAdapter->FeedUart("Off\n");
    m_pAdapter->FeedUart("R\n");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m_nDispatched, 1);
    release.set_value();

    ASSERT_TRUE(WaitFor([&] { return m_pThread->GetProcessedChunks() == 2; }));
    EXPECT_EQ(Chunks(), (std::vector<std::wstring>{L"G\n", L"Off\nR\n"}));
    EXPECT_FALSE(m_loop.RunSync([this] { return m_bOffLoop; }));
}

TEST_F(ReceiveThread, EveryByteBecomesTheCharacterOfItsCodeAndAnEmptyReadIsHandedOverToo)
{
    StartThread();
    m_pAdapter->FeedUart(std::string("\0\x80\xA0\xFF\f\r", 6));
    ASSERT_TRUE(WaitFor([&] { return m_pThread->GetProcessedChunks() == 1; }));
    m_pAdapter->PushInputReport(std::vector<uint8_t>(65, 0));
    ASSERT_TRUE(WaitFor([&] { return m_pThread->GetProcessedChunks() == 2; }));
    EXPECT_EQ(Chunks(), (std::vector<std::wstring>{std::wstring(L"\0\x80\xA0\xFF\f\r", 6), L""}));
}

TEST_F(ReceiveThread, StopReturnsAtOnceFromAReadThatMightNeverEnd)
{
    StartThread();
    std::this_thread::sleep_for(20ms);
    // The read has no timeout: only the cancel can end it.
    ASSERT_TRUE(StopReturns());
    EXPECT_FALSE(m_pThread->IsRunning());
    // Stopped for good.
    EXPECT_FALSE(m_pThread->Start());
    m_pAdapter->FeedUart("G\n");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m_nDispatched, 0);
}

TEST_F(ReceiveThread, AStopFromTheBusyConsumerReleasesTheWaitingHandOffAndDropsItsChunk)
{
    StartThread();
    // A UI handler that runs while a chunk is handed over, and disconnects.
    std::atomic<bool> bStopped{false};
    m_loop.Post([&] {
        ASSERT_TRUE(WaitFor([&] { return m_nDispatched == 1; }));
        m_pThread->Stop();
        bStopped = true;
    });
    m_pAdapter->FeedUart("G\n");
    ASSERT_TRUE(WaitFor([&] { return bStopped.load(); }));
    // The dispatched task runs now, and finds nothing to do.
    EXPECT_TRUE(Chunks().empty());
    EXPECT_EQ(m_pThread->GetProcessedChunks(), 0u);
}

TEST_F(ReceiveThread, ATaskLeftQueuedAfterTheThreadIsGoneDoesNothing)
{
    std::vector<std::function<void()>> kept;
    std::mutex mutex;
    auto pThread = CReceiveThread::Create(
        m_dravik,
        [&](std::function<void()> task) {
            std::lock_guard lock(mutex);
            kept.push_back(std::move(task));
        },
        [&](std::wstring_view chunk) { m_chunks.emplace_back(chunk); });
    pThread->Start();
    m_pAdapter->FeedUart("G\n");
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard lock(mutex);
        return kept.size() == 1;
    }));
    pThread->Stop();
    pThread.reset();
    kept[0]();
    EXPECT_TRUE(m_chunks.empty());
}

TEST_F(ReceiveThread, AFailedReadIsToldToTheConsumerAndTheStopEndsTheRetriesWithNothingHandedOver)
{
    StartThread();
    m_backend.Unplug("/dev/hidraw0");
    ASSERT_TRUE(WaitFor([&] { return m_pThread->GetFailedReads() >= 1; }));
    ASSERT_TRUE(StopReturns());
    EXPECT_TRUE(Chunks().empty());
    EXPECT_EQ(m_pThread->GetProcessedChunks(), 0u);
}
