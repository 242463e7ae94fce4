// Waiting on the UI thread for a condition that events bring about: the event
// loop runs meanwhile. The timeout only keeps a broken build from hanging; it
// is never a measure of speed.
#pragma once

#include <QTest>

#include "tests/support/HangGuard.h"

namespace testsupport {

inline constexpr int DefaultEventWaitMs = HangGuardMs;

// Runs the event loop until the predicate holds (true) or the timeout has
// passed (false).
template <class Predicate>
bool WaitForEvents(Predicate predicate, int nTimeoutMs = DefaultEventWaitMs)
{
    return QTest::qWaitFor(predicate, nTimeoutMs);
}

} // namespace testsupport
