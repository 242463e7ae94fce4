// quado-sim: virtual Dravik adapters for trying Quado without hardware, on a
// kernel with uhid. Each adapter answers feature reports through the shared
// adapter model and sends a board's UART lines as input reports.

#include "device/DravikReports.h"
#include "device/SimulatedAdapter.h"
#include "tools/quado-sim/SimOptions.h"
#include "tools/quado-sim/UartScript.h"
#include "tools/quado-sim/VirtualDravik.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// After a program switches the UART on it still flushes the input queue as
// part of its set-up; the board's first line waits this long so it is not
// flushed away.
constexpr milliseconds SettleAfterListening {250};
constexpr std::size_t StdinChunk = 4096;
// A device the kernel has not started by then has no driver: hid-generic is
// what makes the hidraw node appear.
constexpr milliseconds StartGrace {3000};

int Fail(const std::string& strMessage)
{
    std::fprintf(stderr, "quado-sim: %s\n", strMessage.c_str());
    return 1;
}

class CSimulator {
public:
    explicit CSimulator(const SimOptions& options) : m_options(options) {}
    ~CSimulator()
    {
        for (auto& pAdapter : m_adapters)
            pAdapter->Destroy();
        if (m_pTrace)
            std::fclose(m_pTrace);
        if (m_hSignals >= 0)
            ::close(m_hSignals);
    }

    int Run();

private:
    bool Setup(std::string& strError);
    bool LoadInput(std::string& strError);
    bool AnyListening() const;
    void SendDue(Clock::time_point now);
    bool ReadStdin();
    int PollTimeout(Clock::time_point now) const;
    void CheckStarted(Clock::time_point now);

    const SimOptions& m_options;
    std::vector<std::unique_ptr<CVirtualDravik>> m_adapters;
    std::FILE* m_pTrace = nullptr;
    int m_hSignals = -1;
    int m_hStdin = -1;
    std::deque<UartChunk> m_pending;
    Clock::time_point m_due {};
    Clock::time_point m_startCheck {};
    bool m_bStartChecked = false;
    bool m_bListening = false;
    bool m_bInputDone = false;
};

bool CSimulator::Setup(std::string& strError)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    // The signals arrive as readable data, so the loop ends between two
    // events and every adapter is destroyed properly.
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    m_hSignals = signalfd(-1, &signals, SFD_CLOEXEC);
    if (m_hSignals < 0) {
        strError = std::string("signalfd: ") + std::strerror(errno);
        return false;
    }
    std::signal(SIGPIPE, SIG_IGN);

    if (!m_options.strTrace.empty()) {
        m_pTrace = std::fopen(m_options.strTrace.c_str(), "w");
        if (!m_pTrace) {
            strError = m_options.strTrace + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!LoadInput(strError))
        return false;

    UartConfig powerOn = CSimulatedAdapter::DefaultConfig;
    if (m_options.bRtsCts)
        powerOn.FlowControl = 1;
    for (unsigned nIndex = 0; nIndex < m_options.nCount; ++nIndex) {
        auto pModel = std::make_unique<CSimulatedAdapter>(powerOn);
        if (m_options.bRefuse)
            pModel->SetStateAfterRequest(DravikReports::StateConnected);
        auto pAdapter = std::make_unique<CVirtualDravik>(std::move(pModel), m_pTrace, m_options.nCount > 1,
                                                         m_options.bVerbose);
        UhidIdentity identity;
        identity.strSerial = SerialFor(m_options, nIndex);
        identity.nVendorId = m_options.nVendorId;
        identity.nProductId = m_options.nProductId;
        identity.descriptor = CSimulatedAdapter::ReportDescriptor();
        const int fd = OpenUhid(strError);
        if (fd < 0)
            return false;
        int nError = 0;
        if (!pAdapter->Create(fd, identity, nError)) {
            strError = "cannot create the virtual device: " + std::string(std::strerror(nError));
            return false;
        }
        std::fprintf(stderr, "quado-sim: adapter %s (%04x:%04x) created\n", identity.strSerial.c_str(),
                     identity.nVendorId, identity.nProductId);
        m_adapters.push_back(std::move(pAdapter));
    }
    m_startCheck = Clock::now() + StartGrace;
    return true;
}

bool CSimulator::LoadInput(std::string& strError)
{
    if (m_options.bDemo) {
        const UartScript script = BuildDemoGame(m_options.fSpeed);
        m_pending.assign(script.begin(), script.end());
    } else if (m_options.strInput == "-") {
        m_hStdin = STDIN_FILENO;
        fcntl(m_hStdin, F_SETFL, fcntl(m_hStdin, F_GETFL) | O_NONBLOCK);
    } else if (!m_options.strInput.empty()) {
        std::ifstream file(m_options.strInput, std::ios::binary);
        if (!file) {
            strError = m_options.strInput + ": " + std::strerror(errno);
            return false;
        }
        std::ostringstream text;
        text << file.rdbuf();
        const UartScript script = SplitIntoLines(text.str(), m_options.nInterval);
        m_pending.assign(script.begin(), script.end());
        m_bInputDone = true;
    } else {
        m_bInputDone = true;
    }
    return true;
}

bool CSimulator::AnyListening() const
{
    return std::any_of(m_adapters.begin(), m_adapters.end(),
                       [](const auto& pAdapter) { return pAdapter->IsListening(); });
}

void CSimulator::SendDue(Clock::time_point now)
{
    const bool bListening = AnyListening();
    if (bListening && !m_bListening && !m_pending.empty())
        m_due = now + std::max<Clock::duration>(m_pending.front().delay, SettleAfterListening);
    m_bListening = bListening;
    if (!bListening)
        return;
    while (!m_pending.empty() && now >= m_due) {
        const UartChunk chunk = std::move(m_pending.front());
        m_pending.pop_front();
        for (auto& pAdapter : m_adapters) {
            if (pAdapter->IsListening())
                pAdapter->FeedUart(chunk.strBytes);
        }
        if (m_pending.empty() && m_options.bDemo && !m_options.bExitAfterInput) {
            const UartScript script = BuildDemoGame(m_options.fSpeed);
            m_pending.assign(script.begin(), script.end());
        }
        if (!m_pending.empty())
            m_due = now + m_pending.front().delay;
    }
}

bool CSimulator::ReadStdin()
{
    char buffer[StdinChunk];
    for (;;) {
        const ssize_t nRead = ::read(m_hStdin, buffer, sizeof buffer);
        if (nRead > 0) {
            if (m_pending.empty())
                m_due = std::max(m_due, Clock::now());
            m_pending.push_back({milliseconds(0), std::string(buffer, static_cast<std::size_t>(nRead))});
            continue;
        }
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead < 0 && errno == EAGAIN)
            return true;
        m_bInputDone = true;
        m_hStdin = -1;
        return nRead == 0;
    }
}

int CSimulator::PollTimeout(Clock::time_point now) const
{
    Clock::time_point wake = Clock::time_point::max();
    if (!m_pending.empty() && m_bListening)
        wake = m_due;
    if (!m_bStartChecked)
        wake = std::min(wake, m_startCheck);
    if (wake == Clock::time_point::max())
        return -1;
    if (now >= wake)
        return 0;
    const auto nWait = std::chrono::ceil<milliseconds>(wake - now).count();
    return static_cast<int>(std::min<long long>(nWait, 60000));
}

void CSimulator::CheckStarted(Clock::time_point now)
{
    if (m_bStartChecked || now < m_startCheck)
        return;
    m_bStartChecked = true;
    for (const auto& pAdapter : m_adapters) {
        if (!pAdapter->IsStarted())
            std::fprintf(stderr, "quado-sim: adapter %s has no HID driver yet (modprobe hid-generic)\n",
                         pAdapter->GetSerial().c_str());
    }
}

int CSimulator::Run()
{
    std::string strError;
    if (!Setup(strError))
        return Fail(strError);

    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({m_hSignals, POLLIN, 0});
        for (const auto& pAdapter : m_adapters)
            fds.push_back({pAdapter->GetFd(), POLLIN, 0});
        const bool bWatchStdin = m_hStdin >= 0;
        if (bWatchStdin)
            fds.push_back({m_hStdin, POLLIN, 0});

        const int nReady = ::poll(fds.data(), fds.size(), PollTimeout(Clock::now()));
        if (nReady < 0 && errno != EINTR)
            return Fail(std::string("poll: ") + std::strerror(errno));

        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info {};
            if (::read(m_hSignals, &info, sizeof info) > 0)
                std::fprintf(stderr, "quado-sim: %s, removing the adapters\n", strsignal(int(info.ssi_signo)));
            return 0;
        }
        for (std::size_t nIndex = 0; nIndex < m_adapters.size(); ++nIndex) {
            if (fds[1 + nIndex].revents & (POLLIN | POLLERR | POLLHUP)) {
                if (!m_adapters[nIndex]->HandleEvent())
                    return Fail("adapter " + m_adapters[nIndex]->GetSerial() + ": /dev/uhid failed");
            }
        }
        if (bWatchStdin && (fds.back().revents & (POLLIN | POLLHUP | POLLERR))) {
            if (!ReadStdin())
                return Fail(std::string("standard input: ") + std::strerror(errno));
        }

        CheckStarted(Clock::now());
        SendDue(Clock::now());
        if (m_options.bExitAfterInput && m_pending.empty() && (m_bInputDone || m_options.bDemo))
            return 0;
    }
}

} // namespace

int main(int argc, char** argv)
{
    SimOptions options;
    std::string strError;
    if (!ParseSimOptions(argc, argv, options, strError)) {
        std::fprintf(stderr, "quado-sim: %s\n", strError.c_str());
        return 2;
    }
    if (options.bHelp) {
        std::fputs(SimUsage(), stdout);
        return 0;
    }
    CSimulator simulator(options);
    return simulator.Run();
}
