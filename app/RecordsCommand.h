// quado --export-records: the records written as CSV with no window and no
// display, for a venue's scripts. main() runs it instead of the program.
#pragma once

#include "app/StartOptions.h"

// Makes the core application object itself (no display is needed); returns
// the exit code: 0, or 1 after one line on stderr.
int RunRecordsExport(int argc, char* argv[], const StartOptions& options);
