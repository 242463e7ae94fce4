#include "fleet/NotifySocket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

// A whole decimal number and nothing else: strtoull would take "-5" and
// leading blanks.
int ParseCount(const char* psz, uint64_t& nValue)
{
    const std::string_view text(psz);
    if (text.empty())
        return -EINVAL;
    const auto [pEnd, error] = std::from_chars(text.data(), text.data() + text.size(), nValue);
    if (error == std::errc::result_out_of_range)
        return -ERANGE;
    if (error != std::errc() || pEnd != text.data() + text.size())
        return -EINVAL;
    return 0;
}

} // namespace

bool NotifySystemd(const std::string& strState)
{
    const char* pszSocket = std::getenv("NOTIFY_SOCKET");
    if (!pszSocket || !*pszSocket)
        return false;
    const size_t nLength = std::strlen(pszSocket);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // An abstract name is whole without a terminating zero; a path needs one.
    const bool bAbstract = pszSocket[0] == '@';
    if ((!bAbstract && pszSocket[0] != '/') || nLength >= sizeof address.sun_path || (bAbstract && nLength < 2))
        return false;
    std::memcpy(address.sun_path, pszSocket, nLength);
    if (bAbstract)
        address.sun_path[0] = '\0';
    const socklen_t nAddressLength =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + nLength + (bAbstract ? 0 : 1));
    const int nFd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (nFd < 0)
        return false;
    // MSG_NOSIGNAL: a manager that went away must not end the program.
    ssize_t nSent;
    do {
        nSent = sendto(nFd, strState.data(), strState.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
                       nAddressLength);
    } while (nSent < 0 && errno == EINTR);
    close(nFd);
    return nSent == static_cast<ssize_t>(strState.size());
}

int SystemdWatchdog(uint64_t* pnMicroseconds)
{
    const char* pszUsec = std::getenv("WATCHDOG_USEC");
    if (!pszUsec)
        return 0;
    uint64_t nUsec = 0;
    if (const int rc = ParseCount(pszUsec, nUsec); rc < 0)
        return rc;
    // Zero and systemd's "infinity" (all ones) mean no watchdog it would set.
    if (nUsec == 0 || nUsec == UINT64_MAX)
        return -EINVAL;
    if (const char* pszPid = std::getenv("WATCHDOG_PID")) {
        uint64_t nPid = 0;
        if (const int rc = ParseCount(pszPid, nPid); rc < 0)
            return rc;
        if (nPid == 0)
            return -EINVAL;
        // Meant for another process (a child that inherited it, say).
        if (nPid != static_cast<uint64_t>(getpid()))
            return 0;
    }
    if (pnMicroseconds)
        *pnMicroseconds = nUsec;
    return 1;
}
