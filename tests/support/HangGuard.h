// The one limit on how long a test waits for something another thread,
// process or event brings about. It only ends a hung build: a slow machine
// (the arm64 suite runs under emulation, beside other jobs) must never reach
// it, so a wait that can fail for a reason it can see checks that reason.
#pragma once

#include <chrono>

namespace testsupport {

inline constexpr std::chrono::milliseconds HangGuard{std::chrono::minutes(5)};
inline constexpr int HangGuardMs = static_cast<int>(HangGuard.count());

} // namespace testsupport
