// systemd's notification protocol spoken directly: one datagram per message
// to the socket $NOTIFY_SOCKET names, and the watchdog's time from
// $WATCHDOG_USEC. Saves every start the systemd library and the compression
// and crypto libraries it brings. Plain C++.
#pragma once

#include <cstdint>
#include <string>

// Sends strState ("READY=1", "WATCHDOG=1", ...) when $NOTIFY_SOCKET names a
// socket; false when it names none, cannot be reached, or is not one Quado
// speaks to (a filesystem path, or '@' for an abstract name).
bool NotifySystemd(const std::string& strState);

// > 0 with the time in pnMicroseconds when systemd runs a watchdog for this
// process; 0 without one (or for another process, WATCHDOG_PID); a negative
// errno when WATCHDOG_USEC (or WATCHDOG_PID) is not a number systemd writes.
int SystemdWatchdog(uint64_t* pnMicroseconds);
