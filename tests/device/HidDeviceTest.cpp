// CHIDDevice against the simulated backend: the adapter list, the exclusive
// open, reads with timeout and cancel, feature transfers.
#include "DeviceTestSupport.h"

#include "device/HIDDevice.h"
#include "tests/support/HangGuard.h"

#include <array>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

using namespace std::chrono_literals;

namespace {

SimulatedDeviceSetup ForeignDevice(const std::string& strPath, bool bIdsKnown = true)
{
    SimulatedDeviceSetup setup;
    setup.strPath = strPath;
    setup.nVendorId = 0x046D;
    setup.nProductId = 0xC077;
    setup.strSerial = "MOUSE";
    setup.lengths = {5, 0, 0};
    setup.bIdsKnown = bIdsKnown;
    return setup;
}

std::string SerialOf(uint32_t nIndex)
{
    char szSerial[CHIDDevice::SerialNumberSize];
    std::memset(szSerial, 'x', sizeof szSerial);
    if (CHIDDevice::GetSerialNumber(nIndex, szSerial) != DeviceSuccess)
        return "<none>";
    return szSerial;
}

} // namespace

using HidDeviceListTest = SimulatedBackendTest;

TEST_F(HidDeviceListTest, NoAdapterGivesAnEmptyListAndLeavesTheSerialBufferAlone)
{
    m_backend.AddDevice(ForeignDevice("hid/0"));
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 0u);

    CHIDDevice device;
    EXPECT_EQ(device.Open(0, 32), DeviceNotFound);
    EXPECT_FALSE(device.IsOpen());

    std::array<char, CHIDDevice::SerialNumberSize> serial;
    serial.fill('#');
    EXPECT_EQ(CHIDDevice::GetSerialNumber(0, serial.data()), DeviceNotFound);
    for (char c : serial)
        ASSERT_EQ(c, '#');
}

TEST_F(HidDeviceListTest, AdaptersAreNumberedInOrderSkippingForeignDevices)
{
    m_backend.AddAdapter("hid/0", "FIRST");
    m_backend.AddDevice(ForeignDevice("hid/1"));
    m_backend.AddDevice(ForeignDevice("hid/2", false));
    m_backend.AddAdapter("hid/3", "SECOND");

    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 2u);
    EXPECT_EQ(SerialOf(0), "FIRST");
    EXPECT_EQ(SerialOf(1), "SECOND");
    EXPECT_EQ(SerialOf(2), "<none>");
    // A device whose ids enumeration already tells is never opened; one it
    // does not is opened, looked at and closed again.
    EXPECT_EQ(m_backend.GetOpenAttempts("hid/1"), 0u);
    EXPECT_GT(m_backend.GetOpenAttempts("hid/2"), 0u);
    EXPECT_FALSE(m_backend.IsHeld("hid/2"));

    CHIDDevice device;
    ASSERT_EQ(device.Open(1, 32), DeviceSuccess);
    EXPECT_TRUE(m_backend.IsHeld("hid/3"));
    EXPECT_FALSE(m_backend.IsHeld("hid/0"));
}

TEST_F(HidDeviceListTest, HeldOrRefusedAdaptersAreNeitherCountedNorOpenable)
{
    m_backend.AddAdapter("hid/0", "A");
    m_backend.AddAdapter("hid/1", "B");
    m_backend.AddAdapter("hid/2", "C");

    CHIDDevice held;
    ASSERT_EQ(held.Open(0, 32), DeviceSuccess);
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 2u);
    EXPECT_EQ(SerialOf(0), "B");

    m_backend.SetOpenRefusal("hid/1", HidOpenError::InUse);
    m_backend.SetOpenRefusal("hid/2", HidOpenError::PermissionDenied);
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 0u);
    EXPECT_EQ(CHIDDevice::GetDeniedDeviceCount(), 1u);
    CHIDDevice other;
    EXPECT_EQ(other.Open(0, 32), DeviceNotFound);

    held.Close();
    m_backend.SetOpenRefusal("hid/1", HidOpenError::None);
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 2u);
    EXPECT_EQ(SerialOf(1), "B");
}

TEST_F(HidDeviceListTest, OnlyTheFirst64InterfacesAreExamined)
{
    char szPath[16];
    for (int i = 0; i < 70; ++i) {
        std::snprintf(szPath, sizeof szPath, "hid/%02d", i);
        if (i == 10 || i == 66)
            m_backend.AddAdapter(szPath, i == 10 ? "IN" : "OUT");
        else
            m_backend.AddDevice(ForeignDevice(szPath, false));
    }
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 1u);
    EXPECT_EQ(m_backend.GetOpenAttempts("hid/63"), 1u);
    EXPECT_EQ(SerialOf(0), "IN");
    EXPECT_EQ(m_backend.GetOpenAttempts("hid/64"), 0u);
    EXPECT_EQ(m_backend.GetOpenAttempts("hid/66"), 0u);
}

TEST_F(HidDeviceListTest, SerialNumbersStayTerminatedAndUnreadableOnesFail)
{
    SimulatedDeviceSetup longSerial;
    longSerial.strPath = "hid/0";
    longSerial.strSerial = std::string(300, 'S');
    m_backend.AddAdapter(longSerial);
    SimulatedDeviceSetup noSerial;
    noSerial.strPath = "hid/1";
    noSerial.bSerialReadable = false;
    m_backend.AddAdapter(noSerial);

    std::array<char, CHIDDevice::SerialNumberSize> serial;
    serial.fill('#');
    ASSERT_EQ(CHIDDevice::GetSerialNumber(0, serial.data()), DeviceSuccess);
    EXPECT_EQ(std::string(serial.data()), std::string(255, 'S'));

    serial.fill('#');
    EXPECT_EQ(CHIDDevice::GetSerialNumber(1, serial.data()), DeviceNotFound);
    EXPECT_EQ(serial[0], '#');
    EXPECT_EQ(CHIDDevice::GetSerialNumber(0, nullptr), DeviceNullArgument);
}

using HidDeviceOpenTest = SimulatedBackendTest;

TEST_F(HidDeviceOpenTest, OpenLearnsTheReportLengthsAndCloseForgetsThem)
{
    m_backend.AddAdapter("hid/0", "A");
    CHIDDevice device;
    EXPECT_EQ(device.GetReadTimeout(), 0xFFFFFFFFu);
    ASSERT_EQ(device.Open(0, 32), DeviceSuccess);
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.GetInputReportLength(), 65);
    EXPECT_EQ(device.GetOutputReportLength(), 0);
    EXPECT_EQ(device.GetFeatureReportLength(), 9);
    EXPECT_EQ(device.GetInputBufferCount(), 32);

    device.Close();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_FALSE(m_backend.IsHeld("hid/0"));
    EXPECT_EQ(device.GetInputReportLength(), 0);
    EXPECT_EQ(device.GetFeatureReportLength(), 0);
    EXPECT_EQ(device.GetInputBufferCount(), 0);
    EXPECT_EQ(device.Open(0, 32), DeviceSuccess);
}

TEST_F(HidDeviceOpenTest, OpenWhileHoldingRefusesAndKeepsTheHeldDevice)
{
    m_backend.AddAdapter("hid/0", "A");
    m_backend.AddAdapter("hid/1", "B");
    CHIDDevice device;
    ASSERT_EQ(device.Open(0, 32), DeviceSuccess);
    EXPECT_EQ(device.Open(0, 32), DeviceOpenFailed);
    EXPECT_TRUE(device.IsOpen());
    EXPECT_TRUE(m_backend.IsHeld("hid/0"));
    EXPECT_FALSE(m_backend.IsHeld("hid/1"));
}

TEST_F(HidDeviceOpenTest, DeviceWithUnreadableCapabilitiesStaysOpenWithoutLengths)
{
    SimulatedDeviceSetup setup;
    setup.strPath = "hid/0";
    setup.bLengthsReadable = false;
    m_backend.AddAdapter(setup);
    CHIDDevice device;
    ASSERT_EQ(device.Open(0, 32), DeviceSuccess);
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.GetInputReportLength(), 0);
    EXPECT_EQ(device.GetFeatureReportLength(), 0);
}

TEST_F(HidDeviceOpenTest, DestructionReleasesTheDevice)
{
    m_backend.AddAdapter("hid/0", "A");
    {
        CHIDDevice device;
        ASSERT_EQ(device.Open(0, 32), DeviceSuccess);
    }
    EXPECT_FALSE(m_backend.IsHeld("hid/0"));
}

class HidDeviceReadTest : public SimulatedBackendTest {
protected:
    void SetUp() override
    {
        SimulatedBackendTest::SetUp();
        m_pAdapter = m_backend.AddAdapter("hid/0", "A");
        ASSERT_EQ(m_device.Open(0, 32), DeviceSuccess);
    }

    void Push(const std::string& strBytes) { m_pAdapter->PushInputReport(UartReport(strBytes)); }

    std::shared_ptr<CSimulatedAdapter> m_pAdapter;
    CHIDDevice m_device;
    std::array<uint8_t, 65 * 32> m_buffer{};
};

TEST_F(HidDeviceReadTest, BadCapacityOrCountIsRefusedBeforeAnythingIsWritten)
{
    m_buffer.fill(0xEE);
    uint32_t nBytes = 12345;
    EXPECT_EQ(m_device.ReadInputReports(m_buffer.data(), 65 * 2 - 1, 2, &nBytes), DeviceBadBuffer);
    EXPECT_EQ(m_device.ReadInputReports(m_buffer.data(), 65 * 33, 33, &nBytes), DeviceBadBuffer);
    EXPECT_EQ(m_device.ReadInputReports(nullptr, 65, 1, &nBytes), DeviceBadBuffer);
    EXPECT_EQ(m_device.ReadInputReports(m_buffer.data(), 65, 1, nullptr), DeviceNullArgument);
    EXPECT_EQ(nBytes, 12345u);
    for (uint8_t n : m_buffer)
        ASSERT_EQ(n, 0xEE);
}

TEST_F(HidDeviceReadTest, ReadWithoutADeviceClearsTheBufferAndReturnsNotOpen)
{
    m_device.Close();
    // Closed: the stored counts are 0, so only an empty request passes the check.
    m_buffer.fill(0xEE);
    uint32_t nBytes = 7;
    EXPECT_EQ(m_device.ReadInputReports(m_buffer.data(), 100, 0, &nBytes), DeviceNotOpen);
    EXPECT_EQ(nBytes, 7u);
    for (size_t i = 0; i < 100; ++i)
        ASSERT_EQ(m_buffer[i], 0) << i;
    EXPECT_EQ(m_buffer[100], 0xEE);
}

TEST_F(HidDeviceReadTest, BurstsAreDeliveredTogetherAsWholePaddedReports)
{
    Push("abc");
    m_pAdapter->PushInputReport({0x82, 'x', 'y'});     // short report: padded
    std::vector<uint8_t> longReport(80, 0x55);
    longReport[0] = 0x81;
    m_pAdapter->PushInputReport(longReport);            // long report: cut

    uint32_t nBytes = 0;
    ASSERT_EQ(m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nBytes), DeviceSuccess);
    ASSERT_EQ(nBytes, 3u * 65);
    EXPECT_EQ(m_buffer[0], 0x83);
    EXPECT_EQ(std::memcmp(&m_buffer[1], "abc", 3), 0);
    EXPECT_EQ(m_buffer[65], 0x82);
    EXPECT_EQ(m_buffer[66], 'x');
    EXPECT_EQ(m_buffer[68], 0);
    EXPECT_EQ(m_buffer[130], 0x81);
    EXPECT_EQ(m_buffer[131], 0x55);
    EXPECT_EQ(m_buffer[194], 0x55);
    EXPECT_EQ(m_buffer[195], 0);
}

TEST_F(HidDeviceReadTest, AFullQueueDropsTheNewestReports)
{
    for (int i = 0; i < 40; ++i)
        Push(std::string(1, static_cast<char>('A' + i)));
    EXPECT_EQ(m_backend.GetDroppedReports("hid/0"), 8u);

    uint32_t nBytes = 0;
    ASSERT_EQ(m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nBytes), DeviceSuccess);
    ASSERT_EQ(nBytes, 32u * 65);
    EXPECT_EQ(m_buffer[1], 'A');
    EXPECT_EQ(m_buffer[31 * 65 + 1], 'A' + 31);
}

TEST_F(HidDeviceReadTest, AReadWaitsForAReportWithinItsTimeoutAndLeavesNoReadPendingAfterIt)
{
    // Without a timeout (the default) or with one not yet run out, a read
    // waits for the report that comes.
    for (const uint32_t nTimeout : {CHIDDevice::DefaultReadTimeout, uint32_t{60000}}) {
        SCOPED_TRACE(nTimeout);
        m_device.SetReadTimeout(nTimeout);
        auto waiting = std::async(std::launch::async, [this] {
            uint32_t nRead = 0;
            return std::make_pair(m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nRead), nRead);
        });
        EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
        Push("soon");
        ASSERT_EQ(waiting.wait_for(testsupport::HangGuard), std::future_status::ready);
        EXPECT_EQ(waiting.get(), std::make_pair(DeviceSuccess, 65u));
    }

    // Once it runs out the read ends in a failed transfer.
    uint32_t nBytes = 0;
    m_device.SetReadTimeout(30);
    EXPECT_EQ(m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nBytes), DeviceTransferFailed);

    // The report that arrives afterwards is not swallowed by the timed-out read.
    Push("late");
    ASSERT_EQ(m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nBytes), DeviceSuccess);
    EXPECT_EQ(nBytes, 65u);
    EXPECT_EQ(m_buffer[0], 0x84);
}

TEST_F(HidDeviceReadTest, CancelWakesABlockedRead)
{
    std::promise<void> started;
    auto read = std::async(std::launch::async, [&] {
        uint32_t nBytes = 0;
        started.set_value();
        return m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nBytes);
    });
    started.get_future().wait();
    std::this_thread::sleep_for(20ms);
    // The read has no timeout: only the cancel can end it.
    m_device.CancelRead();
    ASSERT_EQ(read.wait_for(testsupport::HangGuard), std::future_status::ready);
    EXPECT_EQ(read.get(), DeviceReadFailed);
}

TEST_F(HidDeviceReadTest, CancelBeforeTheReadStopsThatReadOnly)
{
    // A stop that races the reader's next call must still be seen.
    m_device.CancelRead();
    uint32_t nBytes = 0;
    EXPECT_EQ(m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nBytes), DeviceReadFailed);
    Push("ok");
    EXPECT_EQ(m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nBytes), DeviceSuccess);
}

TEST_F(HidDeviceReadTest, UnplugWakesABlockedReadAndFailsEveryLaterTransfer)
{
    Push("queued");
    ASSERT_TRUE(m_backend.Unplug("hid/0"));
    uint32_t nBytes = 0;
    // What was queued before the unplug is still delivered.
    EXPECT_EQ(m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nBytes), DeviceSuccess);

    ASSERT_TRUE(m_backend.Replug("hid/0"));
    CHIDDevice second;
    ASSERT_EQ(second.Open(0, 32), DeviceSuccess);
    std::promise<void> started;
    auto read = std::async(std::launch::async, [&] {
        uint32_t nRead = 0;
        started.set_value();
        return second.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nRead);
    });
    started.get_future().wait();
    std::this_thread::sleep_for(20ms);
    m_backend.Unplug("hid/0");
    ASSERT_EQ(read.wait_for(testsupport::HangGuard), std::future_status::ready);
    EXPECT_EQ(read.get(), DeviceReadFailed);

    uint8_t report[2] = {0x4A, 0};
    EXPECT_FALSE(second.GetFeatureReport(report, 2));
    EXPECT_FALSE(second.SetFeatureReport(report, 2));
    // The handle is still ours until closed, as with the HID class driver.
    EXPECT_TRUE(second.IsOpen());
    second.Close();
    EXPECT_FALSE(second.IsOpen());
}

TEST_F(HidDeviceReadTest, FlushDiscardsQueuedReports)
{
    Push("old");
    m_device.FlushInputQueue();
    m_device.SetReadTimeout(0);
    uint32_t nBytes = 0;
    EXPECT_EQ(m_device.ReadInputReports(m_buffer.data(), m_buffer.size(), 32, &nBytes), DeviceTransferFailed);
}

TEST_F(HidDeviceReadTest, FeatureTransfersNeedADeviceAndGetClearsTheReplyBytes)
{
    uint8_t report[9];
    std::memset(report, 0xEE, sizeof report);
    report[0] = 0x4A;
    m_pAdapter->SetPollReply(0x33);
    // A get names a 2-byte report but the buffer is cleared over its length only.
    ASSERT_TRUE(m_device.GetFeatureReport(report, 2));
    EXPECT_EQ(report[1], 0x33);
    EXPECT_EQ(report[2], 0xEE);

    std::memset(report, 0xEE, sizeof report);
    report[0] = 0x42;
    m_pAdapter->FailNext(CSimulatedAdapter::Direction::Get, 0x42);
    EXPECT_FALSE(m_device.GetFeatureReport(report, 2));
    EXPECT_EQ(report[1], 0);

    const uint8_t enable[2] = {0x45, 1};
    EXPECT_TRUE(m_device.SetFeatureReport(enable, 2));
    EXPECT_TRUE(m_pAdapter->IsUartEnabled());

    m_device.Close();
    EXPECT_FALSE(m_device.SetFeatureReport(enable, 2));
    EXPECT_FALSE(m_device.GetFeatureReport(report, 2));
}
