// The hidraw backend where no HID device exists: the real udev enumeration,
// and its reader thread, lock and error paths on stand-in files (a FIFO
// delivers "reports" the way a hidraw node would).
#include "device/HIDDevice.h"
#include "device/LinuxHidBackend.h"

#include <gtest/gtest.h>

#include "tests/support/HangGuard.h"

#include <array>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

TEST(LinuxHidBackendTest, NoAdapterThroughTheRealEnumeration)
{
    SetHidBackend(nullptr);
    CLinuxHidBackend backend;
    for (const HidDeviceEntry& entry : backend.EnumerateDevices()) {
        if (!entry.bIdsKnown || (entry.nVendorId == CHIDDevice::AdapterVendorId &&
                                 entry.nProductId == CHIDDevice::AdapterProductId))
            GTEST_SKIP() << "a HID device that may be an adapter is present: " << entry.strPath;
    }

    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 0u);
    EXPECT_EQ(CHIDDevice::GetDeniedDeviceCount(), 0u);
    CHIDDevice device;
    EXPECT_EQ(device.Open(0, 32), DeviceNotFound);
    std::array<char, CHIDDevice::SerialNumberSize> serial;
    serial.fill('#');
    EXPECT_EQ(CHIDDevice::GetSerialNumber(0, serial.data()), DeviceNotFound);
    for (char c : serial)
        ASSERT_EQ(c, '#');
}

TEST(LinuxHidBackendTest, HidIdValuesAreParsedStrictly)
{
    uint16_t nBus = 0, nVendor = 0, nProduct = 0;
    ASSERT_TRUE(ParseHidId("0003:000010C4:00008253", nBus, nVendor, nProduct));
    EXPECT_EQ(nBus, 3);
    EXPECT_EQ(nVendor, 0x10C4);
    EXPECT_EQ(nProduct, 0x8253);
    EXPECT_TRUE(ParseHidId("0006:000010c4:00008253", nBus, nVendor, nProduct));
    EXPECT_FALSE(ParseHidId("0003:000010C4", nBus, nVendor, nProduct));
    EXPECT_FALSE(ParseHidId("0003:000010C4:00008253x", nBus, nVendor, nProduct));
    EXPECT_FALSE(ParseHidId("0003:000110C4:00008253", nBus, nVendor, nProduct));
    EXPECT_FALSE(ParseHidId("", nBus, nVendor, nProduct));
    EXPECT_FALSE(ParseHidId(nullptr, nBus, nVendor, nProduct));
    EXPECT_FALSE(IsAdapterHidrawDevice(nullptr));
}

class LinuxHandleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szDir[] = "/tmp/quado-hidraw-XXXXXX";
        ASSERT_NE(mkdtemp(szDir), nullptr);
        m_strDir = szDir;
        m_strFifo = m_strDir + "/fifo";
        ASSERT_EQ(mkfifo(m_strFifo.c_str(), 0600), 0);
    }

    void TearDown() override
    {
        if (m_nWriter >= 0)
            close(m_nWriter);
        unlink(m_strFifo.c_str());
        unlink((m_strDir + "/file").c_str());
        rmdir(m_strDir.c_str());
    }

    std::unique_ptr<IHidHandle> OpenFifo()
    {
        HidOpenError error = HidOpenError::Other;
        auto pHandle = m_backend.OpenDevice(m_strFifo, error);
        EXPECT_EQ(error, HidOpenError::None);
        if (pHandle && m_nWriter < 0)
            m_nWriter = open(m_strFifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        return pHandle;
    }

    void Send(const std::string& strReport)
    {
        ASSERT_EQ(write(m_nWriter, strReport.data(), strReport.size()), static_cast<ssize_t>(strReport.size()));
    }

    CLinuxHidBackend m_backend;
    std::string m_strDir;
    std::string m_strFifo;
    int m_nWriter = -1;
};

TEST_F(LinuxHandleTest, OpenIsExclusiveAndReportsWhyItFailed)
{
    auto pFirst = OpenFifo();
    ASSERT_TRUE(pFirst);
    HidOpenError error = HidOpenError::None;
    EXPECT_FALSE(m_backend.OpenDevice(m_strFifo, error));
    EXPECT_EQ(error, HidOpenError::InUse);
    pFirst.reset();
    EXPECT_TRUE(m_backend.OpenDevice(m_strFifo, error));

    EXPECT_FALSE(m_backend.OpenDevice(m_strDir + "/absent", error));
    EXPECT_EQ(error, HidOpenError::NotFound);

    if (geteuid() != 0) {
        const std::string strLocked = m_strDir + "/file";
        close(open(strLocked.c_str(), O_CREAT | O_WRONLY, 0000));
        EXPECT_FALSE(m_backend.OpenDevice(strLocked, error));
        EXPECT_EQ(error, HidOpenError::PermissionDenied);
    }
}

TEST_F(LinuxHandleTest, ANodeThatIsNotHidrawHasNoAttributesOrLengths)
{
    auto pHandle = OpenFifo();
    ASSERT_TRUE(pHandle);
    uint16_t nVendor = 0, nProduct = 0;
    EXPECT_FALSE(pHandle->GetAttributes(nVendor, nProduct));
    HidReportLengths lengths;
    EXPECT_FALSE(pHandle->GetReportLengths(lengths));
    std::string strSerial;
    EXPECT_FALSE(pHandle->GetSerialNumber(strSerial));
    uint8_t report[2] = {0x4A, 0};
    EXPECT_FALSE(pHandle->GetFeature(report, 2));
    EXPECT_FALSE(pHandle->SetFeature(report, 2));
}

TEST_F(LinuxHandleTest, ReaderQueuesReportsAndReadsTimeOutOrCancel)
{
    auto pHandle = OpenFifo();
    ASSERT_TRUE(pHandle);
    uint32_t nCount = 0;
    ASSERT_TRUE(pHandle->GetNumInputBuffers(nCount));
    EXPECT_EQ(nCount, 32u);
    EXPECT_FALSE(pHandle->SetNumInputBuffers(1));
    EXPECT_FALSE(pHandle->SetNumInputBuffers(513));
    EXPECT_TRUE(pHandle->SetNumInputBuffers(512));

    std::array<uint8_t, 8 * 4> buffer{};
    size_t nBytes = 0;
    EXPECT_EQ(pHandle->ReadReports(buffer.data(), 4, 8, 20, nBytes), HidReadResult::Timeout);

    // Unnumbered nodes send no id byte: the reader puts a 0 in front.
    Send("\x83" "G\r");
    ASSERT_EQ(pHandle->ReadReports(buffer.data(), 4, 8, testsupport::HangGuardMs, nBytes), HidReadResult::Ok);
    ASSERT_EQ(nBytes, 4u);
    EXPECT_EQ(std::memcmp(buffer.data(), "\x00\x83G\r", 4), 0);

    auto read = std::async(std::launch::async, [&] {
        size_t nRead = 0;
        return pHandle->ReadReports(buffer.data(), 4, 8, HidInfiniteTimeout, nRead);
    });
    std::this_thread::sleep_for(20ms);
    // Without a timeout only the cancel can end the read.
    pHandle->CancelRead();
    ASSERT_EQ(read.wait_for(testsupport::HangGuard), std::future_status::ready);
    EXPECT_EQ(read.get(), HidReadResult::Failed);
}

TEST_F(LinuxHandleTest, FlushEmptiesBothQueues)
{
    auto pHandle = OpenFifo();
    ASSERT_TRUE(pHandle);
    Send("one");
    std::this_thread::sleep_for(30ms);
    Send("two");
    ASSERT_TRUE(pHandle->FlushInput());
    std::array<uint8_t, 16> buffer{};
    size_t nBytes = 0;
    EXPECT_EQ(pHandle->ReadReports(buffer.data(), 4, 4, 30, nBytes), HidReadResult::Timeout);
}

// The reader drains the node all the time; a report it took just before a
// flush must not land in the queue just after it.
TEST_F(LinuxHandleTest, NothingThatCameBeforeAFlushIsReadAfterIt)
{
    auto pHandle = OpenFifo();
    ASSERT_TRUE(pHandle);
    std::array<uint8_t, 8> buffer{};
    int nStale = 0;
    for (int nRound = 0; nRound < 20000; ++nRound) {
        Send("old");
        ASSERT_TRUE(pHandle->FlushInput());
        Send("new");
        size_t nBytes = 0;
        ASSERT_EQ(pHandle->ReadReports(buffer.data(), 8, 1, testsupport::HangGuardMs, nBytes), HidReadResult::Ok);
        nStale += std::memcmp(buffer.data() + 1, "old", 3) == 0;
        // Whatever of "new" the read did not take goes with the next flush.
    }
    EXPECT_EQ(nStale, 0);
}

TEST_F(LinuxHandleTest, EndOfDataCountsAsAGoneDevice)
{
    const std::string strFile = m_strDir + "/file";
    close(open(strFile.c_str(), O_CREAT | O_WRONLY, 0600));
    HidOpenError error = HidOpenError::Other;
    auto pHandle = m_backend.OpenDevice(strFile, error);
    ASSERT_TRUE(pHandle);
    std::array<uint8_t, 8> buffer{};
    size_t nBytes = 0;
    EXPECT_EQ(pHandle->ReadReports(buffer.data(), 8, 1, 2000, nBytes), HidReadResult::Failed);
}
