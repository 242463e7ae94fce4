// The adapter's UART settings record, as carried by feature report 0x46.
// Used by CDravik, the adapter window's status line and the simulated adapter.
#pragma once

#include <cstdint>

struct UartConfig {
    uint32_t BaudRate;
    uint8_t Parity;         // 0 none, 1 even, 2 odd, 3 mark, 4 space
    uint8_t FlowControl;    // 0 none, 1 RTS/CTS
    uint8_t DataBits;
    uint8_t StopBits;       // 0 one; 1 two, or one and a half with 5 data bits
};

static_assert(sizeof(UartConfig) == 8);

constexpr bool operator==(const UartConfig& a, const UartConfig& b)
{
    return a.BaudRate == b.BaudRate && a.Parity == b.Parity && a.FlowControl == b.FlowControl &&
           a.DataBits == b.DataBits && a.StopBits == b.StopBits;
}
