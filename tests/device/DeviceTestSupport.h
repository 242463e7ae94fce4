// Shared pieces of the device-link tests: a fixture that installs the
// simulated HID backend, and a readable form of the adapter's wire trace.
#pragma once

#include "device/IHidBackend.h"
#include "device/SimulatedAdapter.h"
#include "device/SimulatedHidBackend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

class SimulatedBackendTest : public ::testing::Test {
protected:
    void SetUp() override { SetHidBackend(&m_backend); }
    void TearDown() override { SetHidBackend(nullptr); }

    CSimulatedHidBackend m_backend;
};

// "S 40 02" for a set, "G 42 01" for a get, "!" in front of a refused one.
inline std::string FormatTransfer(const CSimulatedAdapter::FeatureTransfer& transfer)
{
    std::string str = transfer.bOk ? "" : "!";
    str += transfer.direction == CSimulatedAdapter::Direction::Set ? "S" : "G";
    for (uint8_t nByte : transfer.bytes) {
        char sz[4];
        std::snprintf(sz, sizeof sz, " %02X", nByte);
        str += sz;
    }
    return str;
}

inline std::vector<std::string> WireOf(const CSimulatedAdapter& adapter)
{
    std::vector<std::string> wire;
    for (const CSimulatedAdapter::FeatureTransfer& transfer : adapter.GetTrace())
        wire.push_back(FormatTransfer(transfer));
    return wire;
}

inline std::vector<std::string> Wire(std::initializer_list<const char*> lines)
{
    return std::vector<std::string>(lines.begin(), lines.end());
}

// Wire pieces one after the other, for a trace made of known sequences.
inline std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const std::vector<std::string>& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A UART data report as the adapter sends it: id 0x80 + n, the bytes, padding.
inline std::vector<uint8_t> UartReport(const std::string& strBytes, size_t nLength = 65)
{
    std::vector<uint8_t> report(nLength, 0);
    report[0] = static_cast<uint8_t>(0x80 + strBytes.size());
    for (size_t i = 0; i < strBytes.size() && i + 1 < nLength; ++i)
        report[i + 1] = static_cast<uint8_t>(strBytes[i]);
    return report;
}
