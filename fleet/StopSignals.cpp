#include "fleet/StopSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

constexpr int StopSignalList[] = {SIGTERM, SIGHUP, SIGINT};

// The handler may only write to a descriptor and change dispositions:
// everything else happens on the UI thread once the byte arrives.
int s_nSignalWrite = -1;
int s_nSignalRead = -1;

void SetDefaultsFrom(void (*pHandler)(int))
{
    for (const int nSignal : StopSignalList) {
        struct sigaction old {};
        sigaction(nSignal, nullptr, &old);
        if (old.sa_handler == pHandler) {
            struct sigaction action {};
            action.sa_handler = SIG_DFL;
            sigemptyset(&action.sa_mask);
            sigaction(nSignal, &action, nullptr);
        }
    }
}

void OnSignal(int)
{
    // Interrupted code may be about to read errno.
    const int nSavedErrno = errno;
    // The second signal ends the program at once, even while the UI thread
    // is busy with the end the first one asked for.
    SetDefaultsFrom(OnSignal);
    const char c = 1;
    if (write(s_nSignalWrite, &c, 1) < 0) {
        // Full: a stop is already on its way.
    }
    errno = nSavedErrno;
}

} // namespace

void CStopSignals::Disarm()
{
    SetDefaultsFrom(OnSignal);
}

CStopSignals::CStopSignals(QObject* pParent)
    : QObject(pParent)
{
    if (s_nSignalRead < 0) {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
            return;
        s_nSignalRead = fds[0];
        s_nSignalWrite = fds[1];
    }
    m_pNotifier = std::make_unique<QSocketNotifier>(s_nSignalRead, QSocketNotifier::Read);
    connect(m_pNotifier.get(), &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (read(s_nSignalRead, buf, sizeof buf) > 0) {
        }
        emit StopRequested();
    });
    for (const int nSignal : StopSignalList) {
        struct sigaction old {};
        sigaction(nSignal, nullptr, &old);
        if (old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(nSignal, &action, nullptr);
    }
}

CStopSignals::~CStopSignals()
{
    Disarm();
}
