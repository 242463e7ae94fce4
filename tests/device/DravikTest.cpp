// CDravik against the simulated adapter: handshakes and refusals, UART
// switching and settings on the wire, unpacking of UART data, and the faults
// the adapter could provoke.
#include "DeviceTestSupport.h"

#include "device/Dravik.h"
#include "tests/support/HangGuard.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

using namespace std::chrono_literals;
using Direction = CSimulatedAdapter::Direction;

namespace {

constexpr UartConfig Uart115200 = {115200, 0, 0, 8, 0};

// Owns ReceiveBuffer the way the adapter window does.
class ReceiveBufferHolder {
public:
    ~ReceiveBufferHolder() { Release(); }
    void Allocate(uint32_t nSize)
    {
        Release();
        m_storage.assign(nSize, 0xEE);
        ReceiveBuffer = m_storage.data();
        ReceiveBufferSize = nSize;
    }
    void Release()
    {
        ReceiveBuffer = nullptr;
        ReceiveBufferSize = 0;
    }
    std::string Text(uint16_t nCount) const { return std::string(m_storage.begin(), m_storage.begin() + nCount); }

private:
    std::vector<uint8_t> m_storage;
};

} // namespace

class DravikTest : public SimulatedBackendTest {
protected:
    void SetUp() override
    {
        SimulatedBackendTest::SetUp();
        m_pAdapter = m_backend.AddAdapter("hid/0", "DRAVIK-1");
    }

    void ConnectQuietly()
    {
        ASSERT_EQ(m_dravik.Connect(0), DeviceSuccess);
        m_pAdapter->ClearTrace();
    }

    std::shared_ptr<CSimulatedAdapter> m_pAdapter;
    CDravik m_dravik;
    ReceiveBufferHolder m_receive;
};

TEST_F(DravikTest, ConnectRunsTheHandshakeAndSizesTheReceiveBuffer)
{
    ASSERT_EQ(m_dravik.Connect(0), DeviceSuccess);
    EXPECT_EQ(WireOf(*m_pAdapter), Wire({"S 40 02", "G 42 00", "S 41 00", "G 42 01"}));
    EXPECT_TRUE(m_dravik.GetDevice().IsOpen());
    EXPECT_FALSE(m_dravik.IsUartEnabled());
    EXPECT_EQ(m_dravik.GetReadCount(), 32);
    EXPECT_EQ(m_dravik.ReceiveCapacity(), 32u * 64);
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 0u);
}

TEST_F(DravikTest, ConnectWhileConnectedOrPastTheLastAdapterSendsNothing)
{
    ConnectQuietly();
    EXPECT_EQ(m_dravik.Connect(0), DeviceAlreadyConnected);
    EXPECT_TRUE(WireOf(*m_pAdapter).empty());

    CDravik other;
    EXPECT_EQ(other.Connect(0), DeviceOpenFailed);
    EXPECT_EQ(other.Connect(5), DeviceOpenFailed);
    EXPECT_EQ(other.ReceiveCapacity(), 0u);
    EXPECT_TRUE(WireOf(*m_pAdapter).empty());
}

TEST_F(DravikTest, AdapterRefusingTheRequestOrTheConfirmationIsToldAndClosed)
{
    const struct {
        int nAfterRequest, nAfterConfirm;
        std::vector<std::string> wire;
    } cases[] = {{1, 1, Wire({"S 40 02", "G 42 01", "S 40 01"})},
                 {0, 0, Wire({"S 40 02", "G 42 00", "S 41 00", "G 42 00", "S 40 01"})}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wire.size());
        m_pAdapter->ClearTrace();
        m_pAdapter->SetStateAfterRequest(c.nAfterRequest);
        m_pAdapter->SetStateAfterConfirm(c.nAfterConfirm);
        EXPECT_EQ(m_dravik.Connect(0), DeviceReadFailed);
        EXPECT_EQ(WireOf(*m_pAdapter), c.wire);
        EXPECT_FALSE(m_dravik.GetDevice().IsOpen());
        EXPECT_FALSE(m_backend.IsHeld("hid/0"));

        m_pAdapter->ClearTrace();
        EXPECT_EQ(m_dravik.Disconnect(), DeviceNotOpen);
        EXPECT_TRUE(WireOf(*m_pAdapter).empty());
    }
}

TEST_F(DravikTest, OddStatesAndFailedTransfersLeaveTheDeviceOpenForDisconnect)
{
    m_pAdapter->SetStateAfterRequest(7);
    EXPECT_EQ(m_dravik.Connect(0), DeviceTransferFailed);
    EXPECT_EQ(WireOf(*m_pAdapter), Wire({"S 40 02", "G 42 07"}));
    EXPECT_TRUE(m_backend.IsHeld("hid/0"));
    // Disconnect sees the odd state again: 4, but the device is closed.
    EXPECT_EQ(m_dravik.Disconnect(), DeviceTransferFailed);
    EXPECT_FALSE(m_backend.IsHeld("hid/0"));

    m_pAdapter->SetStateAfterRequest(0);
    m_pAdapter->SetStateAfterConfirm(9);
    EXPECT_EQ(m_dravik.Connect(0), DeviceTransferFailed);
    EXPECT_TRUE(m_backend.IsHeld("hid/0"));
    EXPECT_EQ(m_dravik.Disconnect(), DeviceSuccess);

    m_pAdapter->SetStateAfterConfirm(1);
    m_pAdapter->FailNext(Direction::Set, 0x40);
    EXPECT_EQ(m_dravik.Connect(0), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.Disconnect(), DeviceSuccess);
    m_pAdapter->FailNext(Direction::Get, 0x42);
    EXPECT_EQ(m_dravik.Connect(0), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.Disconnect(), DeviceSuccess);
    m_pAdapter->FailNext(Direction::Set, 0x41);
    EXPECT_EQ(m_dravik.Connect(0), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.Disconnect(), DeviceSuccess);
    EXPECT_EQ(m_dravik.Connect(0), DeviceSuccess);
}

TEST_F(DravikTest, UartSwitchingSendsOnlyRealChanges)
{
    ConnectQuietly();
    EXPECT_EQ(m_dravik.DisableUart(), DeviceSuccess);
    EXPECT_EQ(m_dravik.EnableUart(), DeviceSuccess);
    EXPECT_EQ(m_dravik.EnableUart(), DeviceSuccess);
    EXPECT_TRUE(m_dravik.IsUartEnabled());
    EXPECT_EQ(m_dravik.DisableUart(), DeviceSuccess);
    EXPECT_EQ(WireOf(*m_pAdapter), Wire({"S 45 01", "S 45 00"}));

    m_pAdapter->FailNext(Direction::Set, 0x45);
    EXPECT_EQ(m_dravik.EnableUart(), DeviceTransferFailed);
    EXPECT_FALSE(m_dravik.IsUartEnabled());
}

TEST_F(DravikTest, DisconnectAlwaysClosesAndClearsUartEnabled)
{
    EXPECT_EQ(m_dravik.Disconnect(), DeviceNotOpen);
    EXPECT_TRUE(WireOf(*m_pAdapter).empty());

    ConnectQuietly();
    ASSERT_EQ(m_dravik.EnableUart(), DeviceSuccess);
    m_pAdapter->ClearTrace();
    EXPECT_EQ(m_dravik.Disconnect(), DeviceSuccess);
    EXPECT_EQ(WireOf(*m_pAdapter), Wire({"S 40 02", "G 42 00"}));
    EXPECT_FALSE(m_dravik.IsUartEnabled());
    EXPECT_FALSE(m_backend.IsHeld("hid/0"));
    EXPECT_EQ(m_dravik.ReceiveCapacity(), 0u);

    ConnectQuietly();
    m_pAdapter->SetStateAfterRequest(1);
    EXPECT_EQ(m_dravik.Disconnect(), DeviceReadFailed);
    EXPECT_EQ(WireOf(*m_pAdapter), Wire({"S 40 02", "G 42 01", "S 40 01"}));
    EXPECT_FALSE(m_backend.IsHeld("hid/0"));

    m_pAdapter->SetStateAfterRequest(0);
    ConnectQuietly();
    ASSERT_EQ(m_dravik.EnableUart(), DeviceSuccess);
    m_pAdapter->FailEvery(Direction::Set, 0x40);
    EXPECT_EQ(m_dravik.Disconnect(), DeviceTransferFailed);
    EXPECT_FALSE(m_dravik.IsUartEnabled());
    EXPECT_FALSE(m_backend.IsHeld("hid/0"));
}

TEST_F(DravikTest, NullArgumentsAreRefusedWithoutATransfer)
{
    ConnectQuietly();
    EXPECT_EQ(m_dravik.GetUartConfig(nullptr), DeviceNullArgument);
    EXPECT_EQ(m_dravik.SetUartConfig(nullptr), DeviceNullArgument);
    EXPECT_EQ(m_dravik.PollAdapter(nullptr), DeviceNullArgument);
    EXPECT_EQ(m_dravik.QueryState(nullptr), DeviceNullArgument);
    EXPECT_EQ(m_dravik.SendFeature49(nullptr), DeviceNullArgument);
    EXPECT_TRUE(WireOf(*m_pAdapter).empty());
}

TEST_F(DravikTest, FeatureOperationsNeedAConnection)
{
    UartConfig config = Uart115200;
    uint8_t nValue = 0;
    const uint8_t bytes[4] = {};
    EXPECT_EQ(m_dravik.GetUartConfig(&config), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.SetUartConfig(&config), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.PollAdapter(&nValue), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.QueryState(&nValue), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.SendFeature49(bytes), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.SendFeature4B(0xFB), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.EnableUart(), DeviceTransferFailed);
    EXPECT_TRUE(WireOf(*m_pAdapter).empty());
}

TEST_F(DravikTest, UartSettingsTravelLittleEndianInWireOrder)
{
    ConnectQuietly();
    ASSERT_EQ(m_dravik.SetUartConfig(&Uart115200), DeviceSuccess);
    EXPECT_EQ(WireOf(*m_pAdapter), Wire({"S 46 00 C2 01 00 00 00 08 00"}));

    UartConfig read = {};
    ASSERT_EQ(m_dravik.GetUartConfig(&read), DeviceSuccess);
    EXPECT_EQ(read, Uart115200);

    // Out-of-range values pass through untouched; the window judges them.
    m_pAdapter->SetUartConfig({0x12345678, 9, 3, 5, 1});
    ASSERT_EQ(m_dravik.GetUartConfig(&read), DeviceSuccess);
    EXPECT_EQ(read, (UartConfig{0x12345678, 9, 3, 5, 1}));

    m_pAdapter->FailNext(Direction::Get, 0x46);
    UartConfig untouched = Uart115200;
    EXPECT_EQ(m_dravik.GetUartConfig(&untouched), DeviceTransferFailed);
    EXPECT_EQ(untouched, Uart115200);
}

TEST_F(DravikTest, SmallReportsCarryTheCallerBytes)
{
    ConnectQuietly();
    const uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(m_dravik.SendFeature49(bytes), DeviceSuccess);
    EXPECT_EQ(m_dravik.SendFeature4B(0xFB), DeviceSuccess);
    m_pAdapter->SetPollReply(0x5A);
    uint8_t nPoll = 0;
    EXPECT_EQ(m_dravik.PollAdapter(&nPoll), DeviceSuccess);
    EXPECT_EQ(nPoll, 0x5A);
    uint8_t nState = 0xFF;
    EXPECT_EQ(m_dravik.QueryState(&nState), DeviceSuccess);
    EXPECT_EQ(nState, 1);
    EXPECT_EQ(WireOf(*m_pAdapter), Wire({"S 49 01 02 03 04", "S 4B FB 04", "G 4A 5A", "G 42 01"}));

    m_pAdapter->FailNext(Direction::Get, 0x4A);
    EXPECT_EQ(m_dravik.PollAdapter(&nPoll), DeviceTransferFailed);
    m_pAdapter->FailNext(Direction::Set, 0x4B);
    EXPECT_EQ(m_dravik.SendFeature4B(0x04), DeviceTransferFailed);
}

TEST_F(DravikTest, TheWholeSessionReachesTheAdapterInOrder)
{
    // Found with RTS/CTS: switched off for the session, restored at the end.
    const UartConfig found = {9600, 0, 1, 8, 0};
    m_pAdapter->SetUartConfig(found);

    ASSERT_EQ(m_dravik.Connect(0), DeviceSuccess);
    UartConfig saved = {};
    ASSERT_EQ(m_dravik.GetUartConfig(&saved), DeviceSuccess);
    ASSERT_EQ(saved.FlowControl, 1);
    saved.FlowControl = 0;
    EXPECT_EQ(m_dravik.SetUartConfig(&saved), DeviceSuccess);
    saved.FlowControl = 1;
    EXPECT_EQ(m_dravik.EnableUart(), DeviceSuccess);
    EXPECT_EQ(m_dravik.SendFeature4B(0xFB), DeviceSuccess);
    m_dravik.GetDevice().FlushInputQueue();
    EXPECT_EQ(m_dravik.SendFeature4B(0x04), DeviceSuccess);
    const uint8_t zeros[4] = {};
    EXPECT_EQ(m_dravik.SendFeature49(zeros), DeviceSuccess);
    EXPECT_EQ(m_dravik.SetUartConfig(&Uart115200), DeviceSuccess);
    UartConfig status = {};
    EXPECT_EQ(m_dravik.GetUartConfig(&status), DeviceSuccess);
    EXPECT_EQ(status, Uart115200);
    uint8_t nPoll = 0;
    EXPECT_EQ(m_dravik.PollAdapter(&nPoll), DeviceSuccess);
    EXPECT_EQ(m_dravik.PollAdapter(&nPoll), DeviceSuccess);
    EXPECT_EQ(m_dravik.DisableUart(), DeviceSuccess);
    EXPECT_EQ(m_dravik.SetUartConfig(&saved), DeviceSuccess);
    EXPECT_EQ(m_dravik.Disconnect(), DeviceSuccess);

    EXPECT_EQ(WireOf(*m_pAdapter), Wire({
                                       "S 40 02",
                                       "G 42 00",
                                       "S 41 00",
                                       "G 42 01",
                                       "G 46 80 25 00 00 00 01 08 00",
                                       "S 46 80 25 00 00 00 00 08 00",
                                       "S 45 01",
                                       "S 4B FB 04",
                                       "S 4B 04 04",
                                       "S 49 00 00 00 00",
                                       "S 46 00 C2 01 00 00 00 08 00",
                                       "G 46 00 C2 01 00 00 00 08 00",
                                       "G 4A 00",
                                       "G 4A 00",
                                       "S 45 00",
                                       "S 46 80 25 00 00 00 01 08 00",
                                       "S 40 02",
                                       "G 42 00",
                                   }));
    EXPECT_EQ(m_pAdapter->GetUartConfig(), found);
    EXPECT_FALSE(m_pAdapter->IsUartEnabled());
}

class DravikReadTest : public DravikTest {
protected:
    void SetUp() override
    {
        DravikTest::SetUp();
        ASSERT_EQ(m_dravik.Connect(0), DeviceSuccess);
        m_receive.Allocate(m_dravik.ReceiveCapacity());
        m_dravik.GetDevice().SetReadTimeout(0);
    }
};

TEST_F(DravikReadTest, ReportsAreUnpackedInOrder)
{
    m_pAdapter->PushInputReport(UartReport("12345"));
    m_pAdapter->PushInputReport(UartReport(std::string(64, 'M')));
    m_pAdapter->PushInputReport(UartReport("Z"));
    uint16_t nReceived = 0;
    ASSERT_EQ(m_dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(nReceived, 70);
    EXPECT_EQ(m_receive.Text(70), "12345" + std::string(64, 'M') + "Z");
}

TEST_F(DravikReadTest, OnlyIds0x81To0xC0CarryData)
{
    std::vector<uint8_t> report(65, 'q');
    for (uint8_t nId : {0x80, 0xC1, 0x00, 0xFF})
        report[0] = nId, m_pAdapter->PushInputReport(report);
    uint16_t nReceived = 99;
    ASSERT_EQ(m_dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(nReceived, 0);

    report[0] = 0x81;
    m_pAdapter->PushInputReport(report);
    report[0] = 0xC0;
    m_pAdapter->PushInputReport(report);
    ASSERT_EQ(m_dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(nReceived, 65);
}

TEST_F(DravikReadTest, ReadNeedsAConnectionAndABigEnoughReceiveBuffer)
{
    m_pAdapter->PushInputReport(UartReport("kept"));
    uint16_t nReceived = 0;
    ReceiveBufferSize = m_dravik.ReceiveCapacity() - 1;
    EXPECT_EQ(m_dravik.ReadUartData(&nReceived), DeviceBadBuffer);
    ReceiveBufferSize = m_dravik.ReceiveCapacity();
    EXPECT_EQ(m_dravik.ReadUartData(nullptr), DeviceBadBuffer);
    uint8_t* pKept = ReceiveBuffer;
    ReceiveBuffer = nullptr;
    EXPECT_EQ(m_dravik.ReadUartData(&nReceived), DeviceBadBuffer);
    ReceiveBuffer = pKept;

    // None of the refused calls read: the report is still there.
    ASSERT_EQ(m_dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(m_receive.Text(nReceived), "kept");

    EXPECT_EQ(m_dravik.ReadUartData(&nReceived), DeviceTransferFailed);
    ASSERT_EQ(m_dravik.Disconnect(), DeviceSuccess);
    EXPECT_EQ(m_dravik.ReadUartData(&nReceived), DeviceNotOpen);
}

TEST_F(DravikReadTest, BoardBytesArriveThroughTheEnabledUart)
{
    m_pAdapter->FeedUart("lost while off\n");
    ASSERT_EQ(m_dravik.EnableUart(), DeviceSuccess);
    std::string strBoard;
    for (int i = 0; i < 200; ++i)
        strBoard += static_cast<char>(i);
    m_pAdapter->FeedUart("G\r\n");
    m_pAdapter->FeedUart(strBoard);
    uint16_t nReceived = 0;
    ASSERT_EQ(m_dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(m_receive.Text(nReceived), "G\r\n" + strBoard);
    EXPECT_EQ(m_pAdapter->GetLostUartBytes(), 15u);
}

TEST_F(DravikReadTest, ReceiveThreadStopsThroughCancel)
{
    ASSERT_EQ(m_dravik.EnableUart(), DeviceSuccess);
    m_dravik.GetDevice().SetReadTimeout(0xFFFFFFFF);
    std::atomic<bool> bStopping{false};
    std::atomic<size_t> nSeen{0};
    std::string strSeen;
    std::thread receiver([&] {
        while (!bStopping) {
            uint16_t nReceived = 0;
            if (m_dravik.ReadUartData(&nReceived) == DeviceSuccess) {
                strSeen += m_receive.Text(nReceived);
                nSeen = strSeen.size();
            }
        }
    });
    // The window's thread keeps polling while the receive thread reads.
    m_pAdapter->FeedUart("Level 3 -\n");
    for (int i = 0; i < 2000 && nSeen < 10; ++i) {
        uint8_t nPoll = 0;
        ASSERT_EQ(m_dravik.PollAdapter(&nPoll), DeviceSuccess);
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    // The read has no timeout: without the cancel the thread would never end.
    bStopping = true;
    m_dravik.CancelRead();
    receiver.join();
    EXPECT_EQ(strSeen, "Level 3 -\n");
}

TEST_F(DravikReadTest, UnpluggedAdapterFailsPollsAndReads)
{
    m_dravik.GetDevice().SetReadTimeout(0xFFFFFFFF);
    auto read = std::async(std::launch::async, [this] {
        uint16_t nReceived = 0;
        return m_dravik.ReadUartData(&nReceived);
    });
    std::this_thread::sleep_for(20ms);
    m_backend.Unplug("hid/0");
    ASSERT_EQ(read.wait_for(testsupport::HangGuard), std::future_status::ready);
    EXPECT_EQ(read.get(), DeviceTransferFailed);
    uint8_t nPoll = 0;
    EXPECT_EQ(m_dravik.PollAdapter(&nPoll), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.Disconnect(), DeviceTransferFailed);
    EXPECT_FALSE(m_dravik.GetDevice().IsOpen());

    m_backend.Replug("hid/0");
    EXPECT_EQ(m_dravik.Connect(0), DeviceSuccess);
}

// Faults an odd device could provoke: nothing may be read or written outside
// the buffers.
class DravikFaultTest : public SimulatedBackendTest {
protected:
    std::shared_ptr<CSimulatedAdapter> AddAdapter(uint16_t nInput, uint16_t nFeature, uint32_t nQueue = 32)
    {
        SimulatedDeviceSetup setup;
        setup.strPath = "hid/0";
        setup.lengths = {nInput, 0, nFeature};
        setup.nInputBuffers = nQueue;
        return m_backend.AddAdapter(setup);
    }

    CDravik m_dravik;
    ReceiveBufferHolder m_receive;
};

TEST_F(DravikFaultTest, ReportClaimingMoreBytesThanItHoldsIsDropped)
{
    auto pAdapter = AddAdapter(10, 9);
    ASSERT_EQ(m_dravik.Connect(0), DeviceSuccess);
    EXPECT_EQ(m_dravik.ReceiveCapacity(), 32u * 9);
    m_receive.Allocate(m_dravik.ReceiveCapacity());
    m_dravik.GetDevice().SetReadTimeout(0);

    pAdapter->PushInputReport(UartReport("ABCDEFGHI", 10));          // 9 bytes: fits
    pAdapter->PushInputReport({0x8A, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'});
    pAdapter->PushInputReport(UartReport(std::string(64, 'y'), 10)); // claims 64
    pAdapter->PushInputReport(UartReport("J", 10));
    uint16_t nReceived = 0;
    ASSERT_EQ(m_dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(m_receive.Text(nReceived), "ABCDEFGHIJ");
}

TEST_F(DravikFaultTest, AdapterWithShortFeatureReportsIsRefusedWithoutATransfer)
{
    auto pAdapter = AddAdapter(65, 8);
    EXPECT_EQ(m_dravik.Connect(0), DeviceTransferFailed);
    EXPECT_TRUE(pAdapter->GetTrace().empty());
    uint8_t nPoll = 0;
    EXPECT_EQ(m_dravik.PollAdapter(&nPoll), DeviceTransferFailed);
    EXPECT_EQ(m_dravik.Disconnect(), DeviceTransferFailed);
    EXPECT_TRUE(pAdapter->GetTrace().empty());
    EXPECT_FALSE(m_backend.IsHeld("hid/0"));
}

TEST_F(DravikFaultTest, DeviceWithoutUsableInputReportsIsRefused)
{
    auto pAdapter = AddAdapter(1, 9);
    EXPECT_EQ(m_dravik.Connect(0), DeviceTransferFailed);
    EXPECT_TRUE(pAdapter->GetTrace().empty());
    EXPECT_EQ(m_dravik.ReceiveCapacity(), 0u);
}

TEST_F(DravikFaultTest, ReadCountIsCappedSoOffsetsStayBelow64K)
{
    auto pAdapter = AddAdapter(200, 9, 512);
    ASSERT_EQ(m_dravik.Connect(0), DeviceSuccess);
    EXPECT_EQ(m_dravik.GetDevice().GetInputBufferCount(), 512);
    EXPECT_EQ(m_dravik.GetReadCount(), 65535 / 200);
    EXPECT_EQ(m_dravik.ReceiveCapacity(), (65535u / 200) * 199);
    m_receive.Allocate(m_dravik.ReceiveCapacity());
    m_dravik.GetDevice().SetReadTimeout(0);

    std::vector<uint8_t> report(200, 'r');
    report[0] = 0xC0;
    for (int i = 0; i < 400; ++i)
        pAdapter->PushInputReport(report);
    uint16_t nReceived = 0;
    ASSERT_EQ(m_dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(nReceived, (65535 / 200) * 64);
    ASSERT_EQ(m_dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(nReceived, (400 - 65535 / 200) * 64);
}

TEST_F(DravikFaultTest, LargestRegularReadFitsWithoutCapping)
{
    auto pAdapter = AddAdapter(65, 9, 512);
    ASSERT_EQ(m_dravik.Connect(0), DeviceSuccess);
    EXPECT_EQ(m_dravik.GetReadCount(), 512);
    EXPECT_EQ(m_dravik.ReceiveCapacity(), 512u * 64);
    m_receive.Allocate(m_dravik.ReceiveCapacity());
    m_dravik.GetDevice().SetReadTimeout(0);
    for (int i = 0; i < 512; ++i)
        pAdapter->PushInputReport(UartReport(std::string(64, static_cast<char>('a' + i % 26))));
    uint16_t nReceived = 0;
    ASSERT_EQ(m_dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(nReceived, 32768);
    EXPECT_EQ(m_receive.Text(nReceived).substr(64 * 511), std::string(64, static_cast<char>('a' + 511 % 26)));
}
