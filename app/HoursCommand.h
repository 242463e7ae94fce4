// quado --opening-hours HOURS --explain [--at TIME]: one line, open or closed
// and until when, printed before (and without) the toolkit.
#pragma once

#include "app/StartOptions.h"

// Returns the exit status: 0, or 2 when --at names no local time.
int RunHoursExplain(const StartOptions& options);
