// A test that needs a real program or facility (mosquitto, promtool,
// sqlite3, a notify socket) skips where it is missing on a developer's
// machine, and fails under CI (CI=true), where a lost package must not turn
// a run green.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace testsupport {

inline bool UnderCi()
{
    const char* pszCi = std::getenv("CI");
    return pszCi && (std::strcmp(pszCi, "true") == 0 || std::strcmp(pszCi, "1") == 0);
}

} // namespace testsupport

// In a test body or SetUp: returns from it, skipped or failed, when bMissing.
#define QUADO_NEED_TOOL(bMissing, what)                                                                                \
    do {                                                                                                               \
        if (bMissing) {                                                                                                \
            if (::testsupport::UnderCi())                                                                              \
                GTEST_FAIL() << (what) << " is missing, and CI=true: install it (tools/install-deps.sh)";              \
            else                                                                                                       \
                GTEST_SKIP() << (what) << " is missing";                                                               \
        }                                                                                                              \
    } while (false)

// The same, said the other way round: goes on when bNeed holds.
#define QUADO_NEED(bNeed, why) QUADO_NEED_TOOL(!(bNeed), why)
