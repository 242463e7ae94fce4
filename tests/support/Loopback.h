// Loopback TCP for tests and benches that run a server beside Quado: a port
// nobody listens on (or a listener that never answers), and whether a port
// takes connections yet.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace testsupport {

inline sockaddr_in LoopbackAddress(int nPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    return address;
}

// A port free at this moment (0 when none could be had). With pListener,
// the socket stays open, listening and never accepting, in *pListener.
inline int FreeLoopbackPort(int* pListener = nullptr)
{
    const int nFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = LoopbackAddress(0);
    socklen_t nLength = sizeof address;
    int nPort = 0;
    if (bind(nFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        (!pListener || listen(nFd, 16) == 0) &&
        getsockname(nFd, reinterpret_cast<sockaddr*>(&address), &nLength) == 0)
        nPort = ntohs(address.sin_port);
    if (pListener && nPort != 0)
        *pListener = nFd;
    else
        close(nFd);
    return nPort;
}

inline bool AcceptsConnections(int nPort)
{
    const int nFd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = LoopbackAddress(nPort);
    const bool bOk = connect(nFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(nFd);
    return bOk;
}

} // namespace testsupport
