// Start-up against a bare Qt Widgets window: from exec to the main window
// mapped, and the resident memory once the program is idle, both programs
// started in turn on one private Xvfb, medians of five runs each. A third
// program, the floor, shows what the first picture needs and no more; a
// fourth run is Quado reporting to a venue's broker (mosquitto on loopback),
// which loads the broker-link module at start. QUADO_BENCH_PROGRAM runs
// another quado in Quado's place (an older build, to compare).
#include <xcb/xcb.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int Runs = 5;
// How long a started program is left alone before its memory is read.
constexpr auto IdleTime = 1500ms;
constexpr auto MapTimeout = 20s;

struct Program {
    const char* pszName;
    const char* pszPath;
    // The title of its main window, as the X server holds it in WM_NAME.
    const char* pszTitle;
    std::vector<std::string> vecArgs = {};
};

struct Sample {
    double dStartMs = 0;
    double dRssMiB = 0;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// An X server of our own: nothing else draws on it or takes its time.
class CXvfb {
public:
    bool Start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            const std::string strFd = std::to_string(fds[1]);
            const int nNull = open("/dev/null", O_WRONLY);
            dup2(nNull, STDOUT_FILENO);
            dup2(nNull, STDERR_FILENO);
            execlp("Xvfb", "Xvfb", "-displayfd", strFd.c_str(), "-screen", "0", "1600x1000x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        if (m_pid < 0) {
            close(fds[0]);
            return false;
        }
        // Xvfb writes the display number once it accepts connections.
        char szNumber[16] = {};
        std::string strNumber;
        pollfd pfd{fds[0], POLLIN, 0};
        while (strNumber.find('\n') == std::string::npos && poll(&pfd, 1, 10000) > 0) {
            const ssize_t n = read(fds[0], szNumber, sizeof szNumber - 1);
            if (n <= 0)
                break;
            strNumber.append(szNumber, static_cast<size_t>(n));
        }
        close(fds[0]);
        if (strNumber.empty())
            return false;
        m_strDisplay = ":" + std::to_string(std::atoi(strNumber.c_str()));
        return true;
    }

    ~CXvfb()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

    const std::string& Display() const { return m_strDisplay; }

private:
    pid_t m_pid = -1;
    std::string m_strDisplay;
};

std::string WindowName(xcb_connection_t* pConnection, xcb_window_t window)
{
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(pConnection, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    xcb_get_property_reply_t* pReply = xcb_get_property_reply(pConnection, cookie, nullptr);
    std::string strName;
    if (pReply) {
        strName.assign(static_cast<const char*>(xcb_get_property_value(pReply)),
                       static_cast<size_t>(xcb_get_property_value_length(pReply)));
        std::free(pReply);
    }
    return strName;
}

double ResidentMiB(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string strKey;
    long nKiB = 0;
    while (file >> strKey) {
        if (strKey == "Rss:") {
            file >> nKiB;
            break;
        }
    }
    return nKiB / 1024.0;
}

void EndProgram(pid_t pid)
{
    kill(pid, SIGTERM);
    const auto deadline = Clock::now() + 5s;
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
}

// Starts the program and waits for its main window to be mapped.
std::optional<Sample> RunOnce(xcb_connection_t* pConnection, const std::string& strDisplay, const Program& program)
{
    char szHome[] = "/tmp/quado-bench-startup-XXXXXX";
    if (!mkdtemp(szHome))
        return std::nullopt;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // The same clean surroundings for both: no saved settings, the X
        // server above, the toolkit's X11 platform.
        setenv("DISPLAY", strDisplay.c_str(), 1);
        setenv("HOME", szHome, 1);
        setenv("XDG_CONFIG_HOME", szHome, 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        const int nNull = open("/dev/null", O_WRONLY);
        dup2(nNull, STDOUT_FILENO);
        dup2(nNull, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(program.pszPath)};
        for (const std::string& strArg : program.vecArgs)
            argv.push_back(const_cast<char*>(strArg.c_str()));
        argv.push_back(nullptr);
        execv(program.pszPath, argv.data());
        _exit(127);
    }
    if (pid < 0)
        return std::nullopt;

    std::optional<Sample> sample;
    const int nFd = xcb_get_file_descriptor(pConnection);
    while (!sample && Clock::now() - start < MapTimeout) {
        while (xcb_generic_event_t* pEvent = xcb_poll_for_event(pConnection)) {
            const auto now = Clock::now();
            if ((pEvent->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                const auto* pMap = reinterpret_cast<xcb_map_notify_event_t*>(pEvent);
                if (WindowName(pConnection, pMap->window) == program.pszTitle)
                    sample = Sample{std::chrono::duration<double, std::milli>(now - start).count(), 0};
            }
            std::free(pEvent);
        }
        if (sample || waitpid(pid, nullptr, WNOHANG) != 0)
            break;
        pollfd pfd{nFd, POLLIN, 0};
        poll(&pfd, 1, 100);
    }
    if (sample) {
        std::this_thread::sleep_for(IdleTime);
        sample->dRssMiB = ResidentMiB(pid);
    } else {
        std::printf("   %s: no main window within %.0f s\n", program.pszName,
                    std::chrono::duration<double>(MapTimeout).count());
    }
    EndProgram(pid);
    std::error_code error;
    std::filesystem::remove_all(szHome, error);
    return sample;
}

// Debian's mosquitto on a free loopback port, for the run with --mqtt.
class CBroker {
public:
    bool Start()
    {
        m_nPort = FreePort();
        char szDir[] = "/tmp/quado-bench-broker-XXXXXX";
        if (m_nPort <= 0 || !mkdtemp(szDir))
            return false;
        m_strDir = szDir;
        const std::string strConfig = m_strDir + "/mosquitto.conf";
        std::ofstream(strConfig) << "listener " << m_nPort << " 127.0.0.1\nallow_anonymous true\n";
        m_pid = fork();
        if (m_pid == 0) {
            const int nNull = open("/dev/null", O_WRONLY);
            dup2(nNull, STDOUT_FILENO);
            dup2(nNull, STDERR_FILENO);
            execlp("mosquitto", "mosquitto", "-c", strConfig.c_str(), static_cast<char*>(nullptr));
            execl("/usr/sbin/mosquitto", "mosquitto", "-c", strConfig.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (m_pid < 0)
            return false;
        // Until it takes connections, or has ended.
        const auto deadline = Clock::now() + MapTimeout;
        while (Clock::now() < deadline && waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (Accepts())
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    ~CBroker()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        if (!m_strDir.empty()) {
            std::error_code error;
            std::filesystem::remove_all(m_strDir, error);
        }
    }

    std::string Url() const { return "mqtt://127.0.0.1:" + std::to_string(m_nPort); }

private:
    static sockaddr_in Loopback(int nPort)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(nPort));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    static int FreePort()
    {
        const int nFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(0);
        socklen_t nLength = sizeof address;
        int nPort = -1;
        if (nFd >= 0 && bind(nFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(nFd, reinterpret_cast<sockaddr*>(&address), &nLength) == 0)
            nPort = ntohs(address.sin_port);
        if (nFd >= 0)
            close(nFd);
        return nPort;
    }

    bool Accepts() const
    {
        const int nFd = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = Loopback(m_nPort);
        const bool bOk = nFd >= 0 && connect(nFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (nFd >= 0)
            close(nFd);
        return bOk;
    }

    pid_t m_pid = -1;
    int m_nPort = 0;
    std::string m_strDir;
};

} // namespace

int main()
{
    CXvfb xvfb;
    if (!xvfb.Start()) {
        std::printf("4. start-up: Xvfb could not be started; skipped\n");
        return 0;
    }
    xcb_connection_t* pConnection = xcb_connect(xvfb.Display().c_str(), nullptr);
    if (xcb_connection_has_error(pConnection)) {
        std::printf("4. start-up: no connection to Xvfb on %s; skipped\n", xvfb.Display().c_str());
        return 0;
    }
    // Top-level windows are the root's children: their mapping is told to
    // whoever watches the root's substructure.
    const xcb_screen_t* pScreen = xcb_setup_roots_iterator(xcb_get_setup(pConnection)).data;
    const uint32_t nMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(pConnection, pScreen->root, XCB_CW_EVENT_MASK, &nMask);
    xcb_flush(pConnection);

    const char* pszQuado = std::getenv("QUADO_BENCH_PROGRAM");
    if (!pszQuado || !*pszQuado)
        pszQuado = QUADO_PROGRAM;
    CBroker broker;
    const bool bBroker = broker.Start();
    if (!bBroker)
        std::printf("   (no mosquitto on loopback: the run with --mqtt is left out)\n");
    std::vector<Program> programs{
        {"bare Qt window", BARE_PROGRAM, "Bare Qt window"},
        {"Quado", pszQuado, "Quado"},
        // Not a figure: what any program showing Quado's first picture costs
        // at least, so that a ratio can be told apart from its floor.
        {"floor", FLOOR_PROGRAM, "Floor window"},
    };
    if (bBroker)
        programs.push_back({"Quado --mqtt", pszQuado, "Quado", {"--mqtt", broker.Url(), "--mqtt-id", "bench"}});
    const int ProgramCount = static_cast<int>(programs.size());
    std::vector<std::vector<Sample>> samples(programs.size());
    // One start each first, not counted: it fills the page cache.
    for (const Program& program : programs)
        RunOnce(pConnection, xvfb.Display(), program);
    // In turn, so that a busy moment of the machine falls on both alike.
    for (int nRun = 0; nRun < Runs; ++nRun) {
        for (int i = 0; i < ProgramCount; ++i) {
            if (const std::optional<Sample> sample = RunOnce(pConnection, xvfb.Display(), programs[static_cast<size_t>(i)]))
                samples[i].push_back(*sample);
        }
    }
    xcb_disconnect(pConnection);

    std::printf("4. start-up on Xvfb, exec -> main window mapped; resident memory %.1f s later (%d runs each):\n",
                std::chrono::duration<double>(IdleTime).count(), Runs);
    std::vector<double> dStart(programs.size());
    std::vector<double> dRss(programs.size());
    for (int i = 0; i < ProgramCount; ++i) {
        std::vector<double> starts;
        std::vector<double> rss;
        for (const Sample& sample : samples[i]) {
            starts.push_back(sample.dStartMs);
            rss.push_back(sample.dRssMiB);
        }
        dStart[i] = Median(starts);
        dRss[i] = Median(rss);
        std::printf("   %-16s median %7.1f ms %7.1f MiB   runs:", programs[i].pszName, dStart[i], dRss[i]);
        for (const Sample& sample : samples[i])
            std::printf(" %.0f ms/%.1f MiB", sample.dStartMs, sample.dRssMiB);
        std::printf("\n");
    }
    if (samples[0].size() < 3 || samples[1].size() < 3 || dStart[0] <= 0 || dRss[0] <= 0) {
        std::printf("   too few runs came up; no figures\n");
        return 1;
    }
    std::printf("   Quado / bare: start %.2f, memory %.2f (goal <= 1.25 both)\n", dStart[1] / dStart[0],
                dRss[1] / dRss[0]);
    if (samples[2].size() >= 3) {
        std::printf("   floor / bare: start %.2f, memory %.2f; Quado / floor: start %.2f, memory %.2f (goal <= 1.15 both)\n",
                    dStart[2] / dStart[0], dRss[2] / dRss[0], dStart[1] / dStart[2], dRss[1] / dRss[2]);
        std::printf("FIGURE P4_floor_start_ratio %.2f\n", dStart[1] / dStart[2]);
        std::printf("FIGURE P4_floor_rss_ratio %.2f\n", dRss[1] / dRss[2]);
        if (programs.size() > 3 && samples[3].size() >= 3) {
            std::printf("   Quado --mqtt / floor: start %.2f, memory %.2f (goal <= 1.25 both)\n", dStart[3] / dStart[2],
                        dRss[3] / dRss[2]);
            std::printf("FIGURE P4_mqtt_floor_start_ratio %.2f\n", dStart[3] / dStart[2]);
            std::printf("FIGURE P4_mqtt_floor_rss_ratio %.2f\n", dRss[3] / dRss[2]);
        }
    }
    std::printf("FIGURE P4_start_ratio %.2f\n", dStart[1] / dStart[0]);
    std::printf("FIGURE P4_rss_ratio %.2f\n", dRss[1] / dRss[0]);
    return 0;
}
