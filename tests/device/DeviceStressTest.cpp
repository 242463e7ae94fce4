// The device link under its real thread mix (built for ThreadSanitizer): a
// receive thread reading, the board feeding UART bytes, the window's thread
// polling and reading settings, and stops and unplugs in the middle of it.
#include "DeviceTestSupport.h"

#include "device/Dravik.h"
#include "tests/support/HangGuard.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr size_t BlockSize = 64;

std::vector<uint8_t> Block(uint32_t nBlock)
{
    std::vector<uint8_t> block(BlockSize);
    std::memcpy(block.data(), &nBlock, sizeof nBlock);
    for (size_t i = sizeof nBlock; i < BlockSize; ++i)
        block[i] = static_cast<uint8_t>(nBlock + i);
    return block;
}

class Session {
public:
    Session(CSimulatedHidBackend& backend) : m_backend(backend)
    {
        SimulatedDeviceSetup setup;
        setup.strPath = "hid/0";
        setup.nInputBuffers = 512;
        m_pAdapter = m_backend.AddAdapter(setup);
    }

    ~Session()
    {
        ReceiveBuffer = nullptr;
        ReceiveBufferSize = 0;
    }

    bool Connect()
    {
        if (m_dravik.Connect(0) != DeviceSuccess || m_dravik.EnableUart() != DeviceSuccess)
            return false;
        m_storage.assign(m_dravik.ReceiveCapacity(), 0);
        ReceiveBuffer = m_storage.data();
        ReceiveBufferSize = static_cast<uint32_t>(m_storage.size());
        return true;
    }

    void StartReceiving()
    {
        m_bStopping = false;
        m_receiver = std::thread([this] {
            while (!m_bStopping) {
                uint16_t nReceived = 0;
                if (m_dravik.ReadUartData(&nReceived) == DeviceSuccess) {
                    m_received.insert(m_received.end(), ReceiveBuffer, ReceiveBuffer + nReceived);
                    m_nReceived = m_received.size();
                } else {
                    ++m_nFailedReads;
                }
            }
        });
    }

    void StopReceiving()
    {
        m_bStopping = true;
        m_dravik.CancelRead();
        m_receiver.join();
    }

    CSimulatedHidBackend& m_backend;
    std::shared_ptr<CSimulatedAdapter> m_pAdapter;
    CDravik m_dravik;
    std::vector<uint8_t> m_storage;
    std::thread m_receiver;
    std::atomic<bool> m_bStopping{false};
    std::atomic<size_t> m_nReceived{0};
    std::atomic<uint64_t> m_nFailedReads{0};
    std::vector<uint8_t> m_received;
};

} // namespace

using DeviceStressTest = SimulatedBackendTest;

TEST_F(DeviceStressTest, BytesArriveWholeAndInOrderWhileTheWindowPolls)
{
    Session session(m_backend);
    ASSERT_TRUE(session.Connect());
    session.StartReceiving();

    constexpr uint32_t Blocks = 20000;
    std::thread feeder([&] {
        for (uint32_t n = 0; n < Blocks; ++n) {
            const std::vector<uint8_t> block = Block(n);
            session.m_pAdapter->FeedUart(block.data(), block.size());
            if (n % 64 == 0)
                std::this_thread::yield();
        }
    });
    std::atomic<bool> bFeeding{true};
    std::thread window([&] {
        while (bFeeding) {
            uint8_t nPoll = 0;
            UartConfig config = {};
            EXPECT_EQ(session.m_dravik.PollAdapter(&nPoll), DeviceSuccess);
            EXPECT_EQ(session.m_dravik.GetUartConfig(&config), DeviceSuccess);
        }
    });
    feeder.join();
    const auto deadline = std::chrono::steady_clock::now() + testsupport::HangGuard;
    while (session.m_nReceived / BlockSize + m_backend.GetDroppedReports("hid/0") < Blocks &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    bFeeding = false;
    window.join();
    session.StopReceiving();

    const std::vector<uint8_t>& received = session.m_received;
    RecordProperty("blocks_received", static_cast<int>(received.size() / BlockSize));
    RecordProperty("blocks_dropped", static_cast<int>(m_backend.GetDroppedReports("hid/0")));
    ASSERT_EQ(received.size() % BlockSize, 0u);
    EXPECT_EQ(received.size() / BlockSize + m_backend.GetDroppedReports("hid/0"), Blocks);
    int64_t nLast = -1;
    for (size_t nPos = 0; nPos < received.size(); nPos += BlockSize) {
        uint32_t nBlock = 0;
        std::memcpy(&nBlock, &received[nPos], sizeof nBlock);
        ASSERT_GT(static_cast<int64_t>(nBlock), nLast);
        ASSERT_EQ(std::vector<uint8_t>(received.begin() + nPos, received.begin() + nPos + BlockSize), Block(nBlock));
        nLast = nBlock;
    }
    EXPECT_EQ(session.m_dravik.Disconnect(), DeviceSuccess);
}

TEST_F(DeviceStressTest, StopsAndUnplugsNeverHangTheReceiveThread)
{
    Session session(m_backend);
    for (int nRound = 0; nRound < 200; ++nRound) {
        ASSERT_TRUE(session.Connect()) << nRound;
        session.StartReceiving();
        session.m_pAdapter->FeedUart("R\r\n");
        if (nRound % 2) {
            m_backend.Unplug("hid/0");
            uint8_t nPoll = 0;
            EXPECT_EQ(session.m_dravik.PollAdapter(&nPoll), DeviceTransferFailed);
        }
        session.StopReceiving();
        session.m_dravik.Disconnect();
        if (nRound % 2) {
            ASSERT_TRUE(m_backend.Replug("hid/0"));
        }
    }
}
