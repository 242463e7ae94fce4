// The device link against a real kernel's HID stack: quado-sim makes virtual
// adapters through uhid, and CHIDDevice/CDravik find, open and drive them
// through hidraw and libudev exactly as on a desktop. Runs inside the qemu
// guest that run-kernel-test.sh boots; on a machine without uhid it skips.

#include "device/Dravik.h"
#include "device/HIDDevice.h"
#include "device/LinuxHidBackend.h"
#include "protocol/GameMessageInterpreter.h"
#include "protocol/IQuadoBoard.h"
#include "protocol/ISoundPlayer.h"
#include "tests/support/WaitFor.h"
#include "tools/quado-sim/UartScript.h"

#include <gtest/gtest.h>
#include <libudev.h>

#include <ostream>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <functional>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

// Status codes read as numbers in failure messages, not as characters.
void PrintTo(DeviceStatus nStatus, std::ostream* pStream)
{
    *pStream << static_cast<int>(nStatus);
}

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Only a hang guard for a guest under software emulation: a healthy run
// takes a fraction of it.
constexpr milliseconds DeviceWait = testsupport::HangGuard;
constexpr milliseconds PromptCancel {100};
constexpr milliseconds PromptUnplug {2000};

using testsupport::WaitFor;

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

unsigned HidrawNodeCount()
{
    unsigned nCount = 0;
    if (DIR* pDir = opendir("/sys/class/hidraw")) {
        while (dirent* pEntry = readdir(pDir))
            nCount += std::strncmp(pEntry->d_name, "hidraw", 6) == 0 ? 1 : 0;
        closedir(pDir);
    }
    return nCount;
}

// The hidraw node whose HID device carries uniq (the serial number).
std::string HidrawNodeWithSerial(const std::string& strSerial)
{
    std::string strNode;
    if (DIR* pDir = opendir("/sys/class/hidraw")) {
        while (dirent* pEntry = readdir(pDir)) {
            if (std::strncmp(pEntry->d_name, "hidraw", 6) != 0)
                continue;
            std::ifstream uevent(std::string("/sys/class/hidraw/") + pEntry->d_name + "/device/uevent");
            std::string strLine;
            while (std::getline(uevent, strLine)) {
                if (strLine == "HID_UNIQ=" + strSerial)
                    strNode = std::string("/dev/") + pEntry->d_name;
            }
        }
        closedir(pDir);
    }
    return strNode;
}

std::vector<std::string> ReadLines(const std::string& strPath)
{
    std::vector<std::string> lines;
    std::ifstream file(strPath);
    std::string strLine;
    while (std::getline(file, strLine))
        lines.push_back(strLine);
    return lines;
}

// One quado-sim process fed through a pipe on its standard input.
class CSimProcess {
public:
    ~CSimProcess() { Stop(); }

    // Without an --input of its own, the simulator sends what Send writes.
    bool Start(const std::vector<std::string>& args)
    {
        const char* pszSim = std::getenv("QUADO_SIM");
        std::vector<std::string> argv = {pszSim ? pszSim : "quado-sim"};
        if (std::find(args.begin(), args.end(), "--input") == args.end() &&
            std::find(args.begin(), args.end(), "--demo") == args.end()) {
            argv.push_back("--input");
            argv.push_back("-");
        }
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& strArg : argv)
            pointers.push_back(strArg.data());
        pointers.push_back(nullptr);

        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
        const int nResult = posix_spawn(&m_pid, pointers[0], &actions, nullptr, pointers.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[0]);
        m_hInput = pipeFds[1];
        if (nResult != 0) {
            m_pid = -1;
            return false;
        }
        return true;
    }

    bool Send(const std::string& strBytes)
    {
        std::size_t nDone = 0;
        while (nDone < strBytes.size()) {
            const ssize_t n = write(m_hInput, strBytes.data() + nDone, strBytes.size() - nDone);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            nDone += static_cast<std::size_t>(n);
        }
        return true;
    }

    // SIGTERM: the simulator destroys its devices, as an unplug. Returns its
    // exit status (-1 when it did not exit normally).
    int Stop()
    {
        return Stop(SIGTERM);
    }

    // Waits for a simulator that removes its adapters by itself.
    int Wait()
    {
        return Stop(0);
    }

private:
    int Stop(int nSignal)
    {
        if (m_hInput >= 0) {
            close(m_hInput);
            m_hInput = -1;
        }
        if (m_pid <= 0)
            return -1;
        if (nSignal != 0)
            kill(m_pid, nSignal);
        int nStatus = 0;
        waitpid(m_pid, &nStatus, 0);
        m_pid = -1;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

    pid_t m_pid = -1;
    int m_hInput = -1;
};

class ReceiveBufferScope {
public:
    explicit ReceiveBufferScope(uint32_t nSize) : m_pBuffer(new uint8_t[nSize])
    {
        ReceiveBuffer = m_pBuffer.get();
        ReceiveBufferSize = nSize;
    }
    ~ReceiveBufferScope()
    {
        ReceiveBuffer = nullptr;
        ReceiveBufferSize = 0;
    }

private:
    std::unique_ptr<uint8_t[]> m_pBuffer;
};

class KernelDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access("/dev/uhid", R_OK | W_OK) != 0) {
            if (std::getenv("QUADO_SIM"))
                FAIL() << "/dev/uhid is missing in the test guest";
            GTEST_SKIP() << "no /dev/uhid here; run-kernel-test.sh runs this inside a qemu guest";
        }
        ASSERT_EQ(HidrawNodeCount(), 0u) << "a device from an earlier test is still present";
    }

    void TearDown() override
    {
        m_sims.clear();
        EXPECT_TRUE(WaitFor([] { return HidrawNodeCount() == 0; })) << "virtual devices did not go away";
    }

    // Starts a simulator and waits until its adapters are listed.
    CSimProcess& StartSim(const std::vector<std::string>& args, uint32_t nExpectedCount)
    {
        auto pSim = std::make_unique<CSimProcess>();
        const unsigned nNodesBefore = HidrawNodeCount();
        EXPECT_TRUE(pSim->Start(args)) << "cannot start quado-sim";
        m_sims.push_back(std::move(pSim));
        EXPECT_TRUE(WaitFor([&] { return HidrawNodeCount() > nNodesBefore; })) << "no hidraw node appeared";
        EXPECT_TRUE(WaitFor([&] { return CHIDDevice::GetDeviceCount() == nExpectedCount; }))
            << "adapter count stayed at " << CHIDDevice::GetDeviceCount() << ", expected " << nExpectedCount;
        return *m_sims.back();
    }

    std::vector<std::unique_ptr<CSimProcess>> m_sims;
};

std::string SerialAt(uint32_t nIndex)
{
    char serial[CHIDDevice::SerialNumberSize];
    std::memset(serial, '#', sizeof serial);
    if (CHIDDevice::GetSerialNumber(nIndex, serial) != DeviceSuccess)
        return "<none>";
    return serial;
}

// Connect and the set-up steps the adapter window takes, in its order.
void ConnectAndSetUp(CDravik& dravik, UartConfig& saved)
{
    ASSERT_EQ(dravik.Connect(0), DeviceSuccess);
    ASSERT_EQ(dravik.GetUartConfig(&saved), DeviceSuccess);
    if (saved.FlowControl == 1) {
        UartConfig noFlow = saved;
        noFlow.FlowControl = 0;
        ASSERT_EQ(dravik.SetUartConfig(&noFlow), DeviceSuccess);
    }
    ASSERT_EQ(dravik.EnableUart(), DeviceSuccess);
    ASSERT_EQ(dravik.SendFeature4B(0xFB), DeviceSuccess);
    dravik.GetDevice().FlushInputQueue();
    ASSERT_EQ(dravik.SendFeature4B(0x04), DeviceSuccess);
}

void FinishSetUp(CDravik& dravik)
{
    const uint8_t zeros[4] = {0, 0, 0, 0};
    ASSERT_EQ(dravik.SendFeature49(zeros), DeviceSuccess);
    const UartConfig standard = {115200, 0, 0, 8, 0};
    ASSERT_EQ(dravik.SetUartConfig(&standard), DeviceSuccess);
    UartConfig shown {};
    ASSERT_EQ(dravik.GetUartConfig(&shown), DeviceSuccess);
    EXPECT_EQ(shown, standard);
}

TEST_F(KernelDevice, AdaptersAreListedInOrderWithTheirSerialsAndForeignDevicesTakeNoIndex)
{
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 0u);
    StartSim({"--serial", "KERNEL-A"}, 1);
    // A foreign device (a receiver's ids) sorts before the adapters; if it
    // took an index, the adapters' indexes would shift.
    StartSim({"--serial", "FOREIGN", "--usb-ids", "046d:c52b"}, 1);
    StartSim({"--serial", "KERNEL-B"}, 2);

    EXPECT_EQ(SerialAt(0), "KERNEL-A");
    EXPECT_EQ(SerialAt(1), "KERNEL-B");
    char untouched[CHIDDevice::SerialNumberSize];
    std::memset(untouched, '#', sizeof untouched);
    EXPECT_EQ(CHIDDevice::GetSerialNumber(2, untouched), DeviceNotFound);
    EXPECT_EQ(untouched[0], '#');

    CHIDDevice device;
    EXPECT_EQ(device.Open(2, 0), DeviceNotFound);
    EXPECT_FALSE(device.IsOpen());
}

TEST_F(KernelDevice, OpenReadsTheReportLengthsFromTheKernelsDescriptor)
{
    StartSim({"--serial", "LENGTHS"}, 1);
    CHIDDevice device;
    ASSERT_EQ(device.Open(0, 0), DeviceSuccess);
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.GetInputReportLength(), 65);
    EXPECT_EQ(device.GetOutputReportLength(), 0);
    EXPECT_EQ(device.GetFeatureReportLength(), 9);
    EXPECT_GT(device.GetInputBufferCount(), 0);
    EXPECT_EQ(device.Open(0, 0), DeviceOpenFailed) << "a second Open on a holding object";
    EXPECT_TRUE(device.IsOpen());
}

TEST_F(KernelDevice, AnAdapterHeldHereOrByAnotherProgramIsNeitherCountedNorOpenable)
{
    StartSim({"--serial", "HELD"}, 1);
    {
        CHIDDevice holder;
        ASSERT_EQ(holder.Open(0, 0), DeviceSuccess);
        EXPECT_EQ(CHIDDevice::GetDeviceCount(), 0u);
        EXPECT_EQ(SerialAt(0), "<none>");
        CHIDDevice second;
        EXPECT_EQ(second.Open(0, 0), DeviceNotFound);
    }
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 1u) << "closing gives the adapter back";

    // Another program: a child process that opens and locks the node.
    const std::string strNode = HidrawNodeWithSerial("HELD");
    ASSERT_FALSE(strNode.empty());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = open(strNode.c_str(), O_RDWR);
        const char cState = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
        (void)!write(ready[1], &cState, 1);
        pause();
        _exit(0);
    }
    char cState = 0;
    ASSERT_EQ(read(ready[0], &cState, 1), 1);
    EXPECT_EQ(cState, 'y');
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 0u);
    CHIDDevice device;
    EXPECT_EQ(device.Open(0, 0), DeviceNotFound);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 1u);
}

TEST_F(KernelDevice, ConnectSetUpPollAndDisconnectReachTheAdapterInTheWindowsOrder)
{
    const std::string strTrace = "/tmp/wire-order.trace";
    CSimProcess& sim = StartSim({"--serial", "WIRE", "--rts-cts", "--trace", strTrace}, 1);
    {
        CDravik dravik;
        UartConfig saved {};
        ConnectAndSetUp(dravik, saved);
        if (HasFatalFailure())
            return;
        EXPECT_EQ(saved, (UartConfig {9600, 0, 1, 8, 0}));
        EXPECT_EQ(CHIDDevice::GetDeviceCount(), 0u) << "the connected adapter is held";

        // The receive thread reads while this thread keeps making feature
        // transfers on the same device, as in the window.
        ReceiveBufferScope buffer(dravik.ReceiveCapacity());
        std::atomic<int> nReadResult {-1};
        std::thread reader([&] {
            uint16_t nReceived = 0;
            nReadResult = dravik.ReadUartData(&nReceived);
        });
        FinishSetUp(dravik);
        uint8_t nPoll = 0xFF;
        EXPECT_EQ(dravik.PollAdapter(&nPoll), DeviceSuccess);
        EXPECT_EQ(nPoll, 0);
        EXPECT_EQ(dravik.PollAdapter(&nPoll), DeviceSuccess);
        dravik.CancelRead();
        reader.join();
        EXPECT_NE(nReadResult.load(), DeviceSuccess);

        EXPECT_EQ(dravik.DisableUart(), DeviceSuccess);
        EXPECT_EQ(dravik.SetUartConfig(&saved), DeviceSuccess);
        EXPECT_EQ(dravik.Disconnect(), DeviceSuccess);
        EXPECT_EQ(CHIDDevice::GetDeviceCount(), 1u) << "Disconnect gives the adapter back";
    }
    EXPECT_EQ(sim.Stop(), 0);

    const std::vector<std::string> expected = {
        "set 40 02",
        "get 42 00",
        "set 41 00",
        "get 42 01",
        "get 46 80 25 00 00 00 01 08 00",
        "set 46 80 25 00 00 00 00 08 00",
        "set 45 01",
        "set 4b fb 04",
        "set 4b 04 04",
        "set 49 00 00 00 00",
        "set 46 00 c2 01 00 00 00 08 00",
        "get 46 00 c2 01 00 00 00 08 00",
        "get 4a 00",
        "get 4a 00",
        "set 45 00",
        "set 46 80 25 00 00 00 01 08 00",
        "set 40 02",
        "get 42 00",
    };
    EXPECT_EQ(ReadLines(strTrace), expected);
}

TEST_F(KernelDevice, AnAdapterThatRefusesTheConnectIsToldSoAndReleased)
{
    const std::string strTrace = "/tmp/refused.trace";
    CSimProcess& sim = StartSim({"--serial", "REFUSE", "--refuse", "--trace", strTrace}, 1);
    CDravik dravik;
    EXPECT_EQ(dravik.Connect(0), DeviceReadFailed);
    EXPECT_FALSE(dravik.GetDevice().IsOpen());
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 1u);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_EQ(ReadLines(strTrace), (std::vector<std::string> {"set 40 02", "get 42 01", "set 40 01"}));
}

TEST_F(KernelDevice, UartBytesArriveWholeAndInOrderAcrossReports)
{
    CSimProcess& sim = StartSim({"--serial", "STREAM"}, 1);
    CDravik dravik;
    UartConfig saved {};
    ConnectAndSetUp(dravik, saved);
    if (HasFatalFailure())
        return;
    FinishSetUp(dravik);
    if (HasFatalFailure())
        return;
    ReceiveBufferScope buffer(dravik.ReceiveCapacity());

    // Twenty full reports' worth, sent while nobody reads: the device keeps
    // them, and one read collects several reports at once.
    std::string strBurst;
    for (int nLine = 0; strBurst.size() < 20 * 64; ++nLine)
        strBurst += "Level " + std::to_string(nLine) + " -\r\nG\r\nOff\r\n";
    strBurst.resize(20 * 64);
    ASSERT_TRUE(sim.Send(strBurst));
    std::this_thread::sleep_for(milliseconds(1500));

    std::string strReceived;
    uint16_t nLargestRead = 0;
    auto readUntil = [&](std::size_t nTotal) {
        const auto deadline = Clock::now() + DeviceWait;
        while (strReceived.size() < nTotal && Clock::now() < deadline) {
            uint16_t nReceived = 0;
            ASSERT_EQ(dravik.ReadUartData(&nReceived), DeviceSuccess);
            strReceived.append(reinterpret_cast<const char*>(ReceiveBuffer), nReceived);
            nLargestRead = std::max(nLargestRead, nReceived);
        }
    };
    readUntil(strBurst.size());
    EXPECT_EQ(strReceived, strBurst);
    EXPECT_GT(nLargestRead, 64) << "queued reports should come together in one read";

    // A board's pace: lines one by one, a byte at a time, every byte value.
    std::string strTail = "Press button\r\nNew\r\nMAX_LEVEL=8\r\nCongrat\r\n";
    for (int nValue = 0; nValue < 256; ++nValue)
        strTail += static_cast<char>(nValue);
    strReceived.clear();
    std::thread reader([&] { readUntil(strTail.size()); });
    for (char c : strTail) {
        ASSERT_TRUE(sim.Send(std::string(1, c)));
        if (c == '\n')
            std::this_thread::sleep_for(milliseconds(20));
    }
    reader.join();
    EXPECT_EQ(strReceived, strTail);
}

TEST_F(KernelDevice, ABlockedReadIsCancelledWithinMilliseconds)
{
    StartSim({"--serial", "CANCEL"}, 1);
    CDravik dravik;
    UartConfig saved {};
    ConnectAndSetUp(dravik, saved);
    if (HasFatalFailure())
        return;
    ReceiveBufferScope buffer(dravik.ReceiveCapacity());

    std::atomic<bool> bReturned {false};
    DeviceStatus nResult = DeviceSuccess;
    Clock::time_point returnedAt;
    std::thread reader([&] {
        uint16_t nReceived = 0;
        nResult = dravik.ReadUartData(&nReceived);
        returnedAt = Clock::now();
        bReturned = true;
    });
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_FALSE(bReturned.load()) << "the read should wait for data";
    const auto cancelledAt = Clock::now();
    dravik.CancelRead();
    reader.join();
    const auto nMs = std::chrono::duration_cast<std::chrono::microseconds>(returnedAt - cancelledAt).count();
    std::printf("[ measure  ] cancel to return: %lld us\n", static_cast<long long>(nMs));
    EXPECT_NE(nResult, DeviceSuccess);
    EXPECT_LT(nMs, std::chrono::duration_cast<std::chrono::microseconds>(PromptCancel).count());

    // A finite timeout gives up on its own and leaves nothing pending.
    CHIDDevice& device = dravik.GetDevice();
    std::vector<uint8_t> reports(device.GetInputReportLength() * 4u);
    uint32_t nBytes = 0;
    device.SetReadTimeout(50);
    const auto start = Clock::now();
    EXPECT_EQ(device.ReadInputReports(reports.data(), static_cast<uint32_t>(reports.size()), 4, &nBytes),
              DeviceTransferFailed);
    EXPECT_GE(MillisecondsSince(start), 45);
    EXPECT_EQ(dravik.Disconnect(), DeviceSuccess);
}

TEST_F(KernelDevice, UnplugDuringAReadFailsTheReadAndEveryPollAfterIt)
{
    CSimProcess& sim = StartSim({"--serial", "UNPLUG"}, 1);
    CDravik dravik;
    UartConfig saved {};
    ConnectAndSetUp(dravik, saved);
    if (HasFatalFailure())
        return;
    FinishSetUp(dravik);
    if (HasFatalFailure())
        return;
    ReceiveBufferScope buffer(dravik.ReceiveCapacity());

    std::atomic<bool> bReturned {false};
    DeviceStatus nResult = DeviceSuccess;
    Clock::time_point returnedAt;
    std::thread reader([&] {
        uint16_t nReceived = 0;
        nResult = dravik.ReadUartData(&nReceived);
        returnedAt = Clock::now();
        bReturned = true;
    });
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_FALSE(bReturned.load()) << "the read should wait for data";
    const auto unpluggedAt = Clock::now();
    EXPECT_EQ(sim.Stop(), 0);
    const bool bWoke = WaitFor([&] { return bReturned.load(); }, PromptUnplug);
    if (!bWoke)
        dravik.CancelRead();    // do not hang the whole run on a failure
    reader.join();
    EXPECT_TRUE(bWoke) << "the blocked read did not notice the unplug";
    EXPECT_EQ(nResult, DeviceTransferFailed);
    std::printf("[ measure  ] unplug to failed read: %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<milliseconds>(returnedAt - unpluggedAt).count()));

    uint8_t nPoll = 0;
    EXPECT_EQ(dravik.PollAdapter(&nPoll), DeviceTransferFailed);
    EXPECT_EQ(dravik.PollAdapter(&nPoll), DeviceTransferFailed);
    uint16_t nReceived = 0;
    EXPECT_NE(dravik.ReadUartData(&nReceived), DeviceSuccess);
    EXPECT_EQ(CHIDDevice::GetDeviceCount(), 0u);
    EXPECT_EQ(dravik.Disconnect(), DeviceTransferFailed);
    EXPECT_FALSE(dravik.GetDevice().IsOpen());
}

// Reads until the adapter goes away; returns everything received.
std::string ReadUntilGone(CDravik& dravik)
{
    std::string strReceived;
    const auto deadline = Clock::now() + DeviceWait;
    while (Clock::now() < deadline) {
        uint16_t nReceived = 0;
        if (dravik.ReadUartData(&nReceived) != DeviceSuccess)
            break;
        strReceived.append(reinterpret_cast<const char*>(ReceiveBuffer), nReceived);
    }
    return strReceived;
}

TEST_F(KernelDevice, AFileIsSentWholeBeforeTheSimulatorRemovesItsAdapter)
{
    const std::string strFile = "/tmp/board-lines.txt";
    const std::string strLines = "Press button\r\nNew\r\nMAX_LEVEL=3\r\nLevel 1 -\r\nY\r\nOff\r\nTimeout\r\n";
    {
        std::ofstream file(strFile, std::ios::binary);
        file << strLines;
    }
    CSimProcess& sim = StartSim({"--serial", "FILE", "--input", strFile, "--interval", "5", "--exit-after-input"}, 1);
    CDravik dravik;
    UartConfig saved {};
    ConnectAndSetUp(dravik, saved);
    if (HasFatalFailure())
        return;
    ReceiveBufferScope buffer(dravik.ReceiveCapacity());
    // The last line goes out right before the device is destroyed: the
    // reports already queued must still be delivered.
    EXPECT_EQ(ReadUntilGone(dravik), strLines);
    EXPECT_EQ(sim.Wait(), 0);
}

class CRecordingBoard : public IQuadoBoard, public ISoundPlayer {
public:
    void LightQuadrant(int nIndex) override { ++m_nLights; m_nLast = nIndex; }
    void ShowPanelText(const std::wstring& strText) override { m_panels.push_back(strText); }
    void PlayOnce(int nSoundId) override { m_once.push_back(nSoundId); }
    void PlayLooping(int) override {}
    void Stop() override {}

    int m_nLights = 0;
    int m_nLast = -1;
    std::vector<std::wstring> m_panels;
    std::vector<int> m_once;
};

TEST_F(KernelDevice, TheDemoGameReachesTheInterpreterAsTheBoardSentIt)
{
    CSimProcess& sim = StartSim({"--serial", "DEMO", "--demo", "--speed", "40", "--exit-after-input"}, 1);
    CDravik dravik;
    UartConfig saved {};
    ConnectAndSetUp(dravik, saved);
    if (HasFatalFailure())
        return;
    FinishSetUp(dravik);
    ReceiveBufferScope buffer(dravik.ReceiveCapacity());
    const std::string strReceived = ReadUntilGone(dravik);
    EXPECT_EQ(sim.Wait(), 0);

    std::string strSent;
    for (const UartChunk& chunk : BuildDemoGame(40))
        strSent += chunk.strBytes;
    EXPECT_EQ(strReceived, strSent);

    CRecordingBoard board;
    IQuadoBoard* pView = &board;
    const bool bMute = false;
    CGameMessageInterpreter interpreter;
    interpreter.SetLinks(&pView, &bMute, &board);
    std::wstring text;
    for (char c : strReceived) {
        if (c != '\r')
            text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    interpreter.AssembleLines(text);
    EXPECT_EQ(board.m_once, (std::vector<int> {160, 152, 152})) << "win, lose, lose";
    ASSERT_FALSE(board.m_panels.empty());
    EXPECT_EQ(board.m_panels.back(), L"Timeout\n\nZeitlimit\n\u00dcberschritten");
    EXPECT_GT(board.m_nLights, 100);
    EXPECT_EQ(board.m_nLast, QuadrantNone);
}

// What the hotplug layer will build on: a kernel uevent monitor on hidraw,
// without udevd (as in this guest). Arrivals can be told apart as adapters;
// removals carry no ids, so they are matched by the node seen at arrival.
TEST_F(KernelDevice, AUeventMonitorSeesAdaptersArriveAndLeave)
{
    udev* pUdev = udev_new();
    ASSERT_NE(pUdev, nullptr);
    udev_monitor* pMonitor = udev_monitor_new_from_netlink(pUdev, "kernel");
    ASSERT_NE(pMonitor, nullptr);
    udev_monitor_filter_add_match_subsystem_devtype(pMonitor, "hidraw", nullptr);
    ASSERT_EQ(udev_monitor_enable_receiving(pMonitor), 0);

    std::map<std::string, bool> arrived;     // node -> is an adapter
    std::vector<std::string> removed;
    const auto collect = [&](std::size_t nAdds, std::size_t nRemoves) {
        const auto deadline = Clock::now() + DeviceWait;
        while ((arrived.size() < nAdds || removed.size() < nRemoves) && Clock::now() < deadline) {
            pollfd fd = {udev_monitor_get_fd(pMonitor), POLLIN, 0};
            if (poll(&fd, 1, 100) <= 0)
                continue;
            udev_device* pDevice = udev_monitor_receive_device(pMonitor);
            if (!pDevice)
                continue;
            const char* pszAction = udev_device_get_action(pDevice);
            const char* pszNode = udev_device_get_devnode(pDevice);
            const std::string strNode = pszNode ? pszNode : std::string("/dev/") + udev_device_get_sysname(pDevice);
            if (pszAction && std::strcmp(pszAction, "add") == 0)
                arrived[strNode] = IsAdapterHidrawDevice(pDevice);
            else if (pszAction && std::strcmp(pszAction, "remove") == 0)
                removed.push_back(strNode);
            udev_device_unref(pDevice);
        }
    };

    StartSim({"--serial", "HOTPLUG"}, 1);
    StartSim({"--serial", "NOT-AN-ADAPTER", "--usb-ids", "046d:c52b"}, 1);
    collect(2, 0);
    const std::string strAdapterNode = HidrawNodeWithSerial("HOTPLUG");
    const std::string strForeignNode = HidrawNodeWithSerial("NOT-AN-ADAPTER");
    ASSERT_EQ(arrived.size(), 2u);
    EXPECT_EQ(arrived[strAdapterNode], true);
    EXPECT_EQ(arrived[strForeignNode], false);

    m_sims.clear();
    collect(2, 2);
    std::sort(removed.begin(), removed.end());
    std::vector<std::string> expected = {strAdapterNode, strForeignNode};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected);

    udev_monitor_unref(pMonitor);
    udev_unref(pUdev);
}

} // namespace
