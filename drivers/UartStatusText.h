// The adapter window's status line while connected, from the adapter's UART
// settings: plain text, so the session's tests and the window share it.
#pragma once

#include <string>

struct UartConfig;

// "CONNECTED  -  115200  -  No Parity  -  ..." for the settings, or the
// settings error when there are none (null).
std::string ConnectedUartText(const UartConfig* pConfig);
