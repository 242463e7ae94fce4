// A test that needs something of the machine (root, a tool, a mount) skips
// without it on a developer's machine, and fails under CI (CI=true), where a
// lost tool must not let the suite pass by skipping.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace testsupport {

inline bool UnderCi()
{
    const char* pszCi = std::getenv("CI");
    return pszCi && std::strcmp(pszCi, "true") == 0;
}

} // namespace testsupport

// In a test body: goes on when bNeed holds; else skips, or fails under CI.
#define QUADO_NEED(bNeed, why)                                                                                        \
    do {                                                                                                               \
        if (!(bNeed)) {                                                                                                \
            if (testsupport::UnderCi())                                                                                \
                FAIL() << why << " (CI=true: a test may not skip)";                                                    \
            GTEST_SKIP() << why;                                                                                       \
        }                                                                                                              \
    } while (0)
