// Hidraw arrivals and removals raised by a simulation or a test, as if the
// system had reported them, to every device-change registration of the program.
#pragma once

#include "platform/DeviceNotifier.h"

// Every registration receives the event on its own thread, after the events
// injected before it, and a node added so is known to registrations made
// later, as a present node is. Safe from any thread.
void InjectHidrawUevent(const HidrawUevent& event);
