// Waiting for a condition that another thread brings about. The timeout only
// keeps a broken build from hanging; it is never a measure of speed.
#pragma once

#include <chrono>
#include <thread>

#include "tests/support/HangGuard.h"

namespace testsupport {

inline constexpr std::chrono::milliseconds DefaultWait = HangGuard;

// Polls until the predicate holds (true) or the timeout has passed (false).
template <class Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout = DefaultWait)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace testsupport
