// systemd's notification protocol as Quado speaks it without libsystemd: a
// datagram to a socket path or to an abstract name ('@'), nothing to a name
// it must not take, and the watchdog's time only for this process.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fleet/NotifySocket.h"
#include "tests/fleet/FleetTestSupport.h"

namespace {

class NotifySocket : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const char* pszName : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"})
            unsetenv(pszName);
        if (m_nFd >= 0)
            close(m_nFd);
    }

    // An abstract socket (no file anywhere), as a manager in a container may use.
    std::string BindAbstract()
    {
        const std::string strName = "quado-notify-test-" + std::to_string(getpid());
        m_nFd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, strName.data(), strName.size());
        const auto nLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + strName.size());
        if (m_nFd < 0 || bind(m_nFd, reinterpret_cast<sockaddr*>(&address), nLength) != 0)
            return std::string();
        return "@" + strName;
    }

    std::string Receive()
    {
        char buffer[256];
        const ssize_t n = recv(m_nFd, buffer, sizeof buffer, 0);
        return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
    }

    int m_nFd = -1;
};

TEST_F(NotifySocket, ADatagramReachesAPathAndAnAbstractName)
{
    fleettest::CNotifySocket pathSocket;
    ASSERT_TRUE(pathSocket.IsOpen());
    setenv("NOTIFY_SOCKET", pathSocket.Path().toLocal8Bit().constData(), 1);
    ASSERT_TRUE(NotifySystemd("READY=1\nSTATUS=NOT CONNECTED"));
    EXPECT_EQ(pathSocket.Take(), std::vector<std::string>{"READY=1\nSTATUS=NOT CONNECTED"});

    const std::string strAbstract = BindAbstract();
    ASSERT_FALSE(strAbstract.empty()) << std::strerror(errno);
    setenv("NOTIFY_SOCKET", strAbstract.c_str(), 1);
    ASSERT_TRUE(NotifySystemd("WATCHDOG=1"));
    EXPECT_EQ(Receive(), "WATCHDOG=1");
}

TEST_F(NotifySocket, NothingGoesToARelativeNameAnEmptyOneOrOneTooLong)
{
    for (const std::string& strName : {std::string("notify"), std::string("@"), std::string(),
                                       "/" + std::string(sizeof(sockaddr_un::sun_path), 'x')}) {
        setenv("NOTIFY_SOCKET", strName.c_str(), 1);
        EXPECT_FALSE(NotifySystemd("READY=1")) << strName;
    }
    unsetenv("NOTIFY_SOCKET");
    EXPECT_FALSE(NotifySystemd("READY=1"));
}

TEST_F(NotifySocket, TheWatchdogIsThisProcessesOnlyAndItsTimeAWholeCount)
{
    uint64_t nUsec = 0;
    EXPECT_EQ(SystemdWatchdog(&nUsec), 0);
    setenv("WATCHDOG_USEC", "30000000", 1);
    EXPECT_EQ(SystemdWatchdog(&nUsec), 1);
    EXPECT_EQ(nUsec, 30000000u);

    setenv("WATCHDOG_PID", std::to_string(getpid()).c_str(), 1);
    EXPECT_EQ(SystemdWatchdog(&nUsec), 1);
    // A child that inherited its parent's watchdog pings none.
    setenv("WATCHDOG_PID", std::to_string(getppid()).c_str(), 1);
    EXPECT_EQ(SystemdWatchdog(&nUsec), 0);
    setenv("WATCHDOG_PID", "me", 1);
    EXPECT_EQ(SystemdWatchdog(&nUsec), -EINVAL);
    unsetenv("WATCHDOG_PID");

    for (const char* pszValue : {"", " 5", "5s", "-5", "0", "18446744073709551615"}) {
        setenv("WATCHDOG_USEC", pszValue, 1);
        EXPECT_EQ(SystemdWatchdog(&nUsec), -EINVAL) << pszValue;
    }
    setenv("WATCHDOG_USEC", "18446744073709551616", 1);
    EXPECT_EQ(SystemdWatchdog(&nUsec), -ERANGE);
}

} // namespace
