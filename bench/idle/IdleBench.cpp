// Quado between events: quado-demo connected, its board playing at the
// game's own pace, on a private Xvfb, watched from outside for a while. How
// often its threads wake (context switches of every thread, voluntary and
// not, per second) and how much of one core it takes, beside the same for
// the floor program that only shows the first picture. The sound goes to
// SDL's disk driver writing into /dev/null: it keeps time as a sound card
// would, so a machine without one is measured as one with one.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
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
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Long enough that a game or two, with their pauses, fall inside.
constexpr auto MeasureTime = 30s;
// From the start to the first measured moment: the windows up, the demo's
// adapter connected (it connects 0.3 s after its windows are), the first
// game under way.
constexpr auto SettleTime = 6s;
constexpr auto SampleTime = 20ms;

struct Program {
    const char* pszName;
    const char* pszPath;
    std::vector<const char*> vecArgs;
};

struct ThreadTally {
    std::string strName;
    long nSwitches = 0;
};

// One look at a process: every thread's switches, and its CPU time.
struct Look {
    std::map<long, ThreadTally> threads;
    double dCpuSeconds = 0;
    Clock::time_point tWhen;
};

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
        char szNumber[16] = {};
        std::string strNumber;
        pollfd pfd{fds[0], POLLIN, 0};
        // Xvfb writes its display number once it takes connections; however
        // slowly it starts, it either does or ends.
        while (strNumber.find('\n') == std::string::npos && poll(&pfd, 1, -1) > 0) {
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

long StatusField(const std::string& strFile, const char* pszKey)
{
    std::ifstream file(strFile);
    std::string strLine;
    const size_t nKey = std::strlen(pszKey);
    while (std::getline(file, strLine)) {
        if (strLine.compare(0, nKey, pszKey) == 0)
            return std::atol(strLine.c_str() + nKey);
    }
    return 0;
}

std::string FirstLine(const std::string& strFile)
{
    std::ifstream file(strFile);
    std::string strLine;
    std::getline(file, strLine);
    return strLine;
}

// utime + stime of the whole process (the threads' included), in seconds.
double CpuSeconds(pid_t pid)
{
    const std::string strStat = FirstLine("/proc/" + std::to_string(pid) + "/stat");
    // The name in parentheses may hold spaces; the fields follow its end.
    const size_t nClose = strStat.rfind(')');
    if (nClose == std::string::npos)
        return 0;
    std::istringstream fields(strStat.substr(nClose + 2));
    std::string strField;
    unsigned long long nUser = 0;
    unsigned long long nSystem = 0;
    // Fields 3 to 13 come before utime (14) and stime (15).
    for (int i = 3; i <= 15 && fields >> strField; ++i) {
        if (i == 14)
            nUser = std::strtoull(strField.c_str(), nullptr, 10);
        else if (i == 15)
            nSystem = std::strtoull(strField.c_str(), nullptr, 10);
    }
    return double(nUser + nSystem) / double(sysconf(_SC_CLK_TCK));
}

Look LookAt(pid_t pid)
{
    Look look;
    look.tWhen = Clock::now();
    const std::string strTasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* pDir = opendir(strTasks.c_str())) {
        while (const dirent* pEntry = readdir(pDir)) {
            if (pEntry->d_name[0] == '.')
                continue;
            const std::string strTask = strTasks + "/" + pEntry->d_name;
            ThreadTally tally;
            tally.strName = FirstLine(strTask + "/comm");
            tally.nSwitches = StatusField(strTask + "/status", "voluntary_ctxt_switches:") +
                              StatusField(strTask + "/status", "nonvoluntary_ctxt_switches:");
            look.threads[std::atol(pEntry->d_name)] = tally;
        }
        closedir(pDir);
    }
    look.dCpuSeconds = CpuSeconds(pid);
    return look;
}

void EndProgram(pid_t pid)
{
    kill(pid, SIGTERM);
    // However long it takes to close: its records, its adapter.
    waitpid(pid, nullptr, 0);
}

struct Figures {
    double dWakeupsPerS = 0;
    double dCpuPct = 0;
};

std::optional<Figures> Measure(const std::string& strDisplay, const Program& program)
{
    char szHome[] = "/tmp/quado-bench-idle-XXXXXX";
    if (!mkdtemp(szHome))
        return std::nullopt;
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", strDisplay.c_str(), 1);
        setenv("HOME", szHome, 1);
        setenv("XDG_CONFIG_HOME", szHome, 1);
        setenv("XDG_DATA_HOME", szHome, 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("QUADO_DEMO_CONNECT", "1", 1);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        const int nNull = open("/dev/null", O_WRONLY);
        dup2(nNull, STDOUT_FILENO);
        dup2(nNull, STDERR_FILENO);
        std::vector<char*> vecArgv{const_cast<char*>(program.pszPath)};
        for (const char* pszArg : program.vecArgs)
            vecArgv.push_back(const_cast<char*>(pszArg));
        vecArgv.push_back(nullptr);
        execv(program.pszPath, vecArgv.data());
        _exit(127);
    }
    if (pid < 0)
        return std::nullopt;
    std::this_thread::sleep_for(SettleTime);
    const Look before = LookAt(pid);
    // Threads come and go (the audio device's, while a sound plays): looked
    // at often, each is counted with the last switches seen of it.
    Look after = before;
    const auto tEnd = before.tWhen + MeasureTime;
    while (Clock::now() < tEnd) {
        std::this_thread::sleep_for(SampleTime);
        Look now = LookAt(pid);
        for (auto& [nTid, tally] : now.threads)
            after.threads[nTid] = tally;
        after.dCpuSeconds = now.dCpuSeconds;
        after.tWhen = now.tWhen;
    }
    const bool bRunning = waitpid(pid, nullptr, WNOHANG) == 0;
    EndProgram(pid);
    std::error_code error;
    std::filesystem::remove_all(szHome, error);
    if (!bRunning || before.threads.empty()) {
        std::printf("   %s ended before it was measured\n", program.pszName);
        return std::nullopt;
    }

    const double dSeconds = std::chrono::duration<double>(after.tWhen - before.tWhen).count();
    // A thread that began in between counts from nothing.
    long nTotal = 0;
    std::vector<std::pair<long, std::string>> vecByThread;
    for (const auto& [nTid, tally] : after.threads) {
        const auto it = before.threads.find(nTid);
        const long nDelta = tally.nSwitches - (it == before.threads.end() ? 0 : it->second.nSwitches);
        nTotal += nDelta;
        vecByThread.push_back({nDelta, tally.strName});
    }
    std::sort(vecByThread.rbegin(), vecByThread.rend());
    Figures figures{double(nTotal) / dSeconds, 100.0 * (after.dCpuSeconds - before.dCpuSeconds) / dSeconds};
    std::printf("   %-12s %7.1f wake-ups/s %6.2f %% CPU (%zu threads); busiest:", program.pszName, figures.dWakeupsPerS,
                figures.dCpuPct, after.threads.size());
    for (size_t i = 0; i < std::min<size_t>(6, vecByThread.size()); ++i)
        std::printf(" %s %.1f/s", vecByThread[i].second.c_str(), double(vecByThread[i].first) / dSeconds);
    std::printf("\n");
    return figures;
}

} // namespace

int main()
{
    CXvfb xvfb;
    if (!xvfb.Start()) {
        std::printf("9. idle: Xvfb could not be started; skipped\n");
        return 0;
    }
    std::printf("9. between events, quado-demo connected at the game's own pace, on Xvfb, %.0f s each:\n",
                std::chrono::duration<double>(MeasureTime).count());
    const Program demo{"quado-demo", DEMO_PROGRAM, {}};
    const Program floor{"floor", FLOOR_PROGRAM, {}};
    const std::optional<Figures> quado = Measure(xvfb.Display(), demo);
    const std::optional<Figures> least = Measure(xvfb.Display(), floor);
    if (!quado || !least) {
        std::printf("   no figures\n");
        return 1;
    }
    std::printf("   goals: at most 50 wake-ups/s; CPU at most the floor's + 0.5 points (%.2f %%)\n",
                least->dCpuPct + 0.5);
    std::printf("FIGURE P9_idle_wakeups_per_s %.1f\n", quado->dWakeupsPerS);
    std::printf("FIGURE P9_idle_cpu_pct %.2f\n", quado->dCpuPct);
    std::printf("FIGURE P9_floor_wakeups_per_s %.1f\n", least->dWakeupsPerS);
    std::printf("FIGURE P9_floor_cpu_pct %.2f\n", least->dCpuPct);
    return 0;
}
