// The Dravik adapter's report ids and wire lengths: what CDravik sends and
// fetches, and what the simulated adapter answers. Lengths include the id byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace DravikReports {

constexpr uint8_t HandshakeRequest = 0x40;      // PC to adapter, byte 1: request
constexpr uint8_t HandshakeConfirm = 0x41;      // PC to adapter, byte 1: 0
constexpr uint8_t HandshakeState = 0x42;        // adapter to PC, byte 1: state
constexpr uint8_t UartEnable = 0x45;            // PC to adapter, byte 1: 1 on, 0 off
constexpr uint8_t UartSettings = 0x46;          // both ways, a UartConfig in wire order
constexpr uint8_t Feature49 = 0x49;             // PC to adapter, four caller bytes
constexpr uint8_t Poll = 0x4A;                  // adapter to PC, one byte
constexpr uint8_t Feature4B = 0x4B;             // PC to adapter, caller byte then 0x04

constexpr size_t HandshakeLength = 2;
constexpr size_t UartEnableLength = 2;
constexpr size_t UartSettingsLength = 9;
constexpr size_t Feature49Length = 5;
constexpr size_t PollLength = 2;
constexpr size_t Feature4BLength = 3;
constexpr uint8_t Feature4BTrailer = 0x04;

// Handshake requests carried by 0x40.
constexpr uint8_t RequestBegin = 2;
constexpr uint8_t RequestEnd = 1;

// Handshake states carried by 0x42.
constexpr uint8_t StateIdle = 0;
constexpr uint8_t StateConnected = 1;

// Input reports 0x81 to 0xC0 carry id - 0x80 UART bytes (1 to 64).
constexpr uint8_t UartDataBase = 0x80;
constexpr uint8_t UartDataFirst = 0x81;
constexpr uint8_t UartDataLast = 0xC0;
constexpr size_t MaxUartBytesPerReport = 64;

// The longest feature transfer; an adapter declaring shorter feature reports
// cannot take the protocol and is refused.
constexpr size_t MinFeatureReportLength = UartSettingsLength;

} // namespace DravikReports
