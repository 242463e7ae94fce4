// Arbitrary input reports through the simulated adapter into ReadUartData,
// with arbitrary report lengths and queue sizes: the unpacked bytes must match
// an independent reading of the reports, and nothing may be touched outside
// ReceiveBuffer (sized exactly to ReceiveCapacity) or the read buffer.
#include "device/Dravik.h"
#include "device/SimulatedHidBackend.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// What ReadUartData must make of one report after the queue fitted it into
// a slot of nInputLength bytes.
void ExpectedBytes(const std::vector<uint8_t>& report, size_t nInputLength, std::vector<uint8_t>& expected)
{
    std::vector<uint8_t> slot(nInputLength, 0);
    std::copy_n(report.begin(), std::min(report.size(), nInputLength), slot.begin());
    const uint8_t nId = slot[0];
    if (nId < 0x81 || nId > 0xC0)
        return;
    const size_t nCount = nId - 0x80u;
    if (nCount > nInputLength - 1)
        return;
    expected.insert(expected.end(), slot.begin() + 1, slot.begin() + 1 + nCount);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 3)
        return 0;
    const uint16_t nInputLength = static_cast<uint16_t>(2 + pData[0] % 200);
    const uint32_t nQueue = 2 + (pData[1] | pData[2] << 8) % 511;
    pData += 3;
    nSize -= 3;

    CSimulatedHidBackend backend;
    SimulatedDeviceSetup setup;
    setup.strPath = "fuzz/0";
    setup.lengths = {nInputLength, 0, 9};
    setup.nInputBuffers = nQueue;
    std::shared_ptr<CSimulatedAdapter> pAdapter = backend.AddAdapter(setup);
    SetHidBackend(&backend);

    {
        CDravik dravik;
        if (dravik.Connect(0) != DeviceSuccess)
            __builtin_trap();
        const uint32_t nCapacity = dravik.ReceiveCapacity();
        std::unique_ptr<uint8_t[]> pReceive(new uint8_t[nCapacity]);
        ReceiveBuffer = pReceive.get();
        ReceiveBufferSize = nCapacity;
        dravik.GetDevice().SetReadTimeout(0);

        // Each report: a length byte, then that many bytes (fewer at the end).
        std::vector<std::vector<uint8_t>> reports;
        size_t nPos = 0;
        while (nPos < nSize) {
            const size_t nDeclared = pData[nPos++];
            const size_t nLength = std::min(nDeclared, nSize - nPos);
            reports.emplace_back(pData + nPos, pData + nPos + nLength);
            nPos += nLength;
        }
        for (const std::vector<uint8_t>& report : reports)
            pAdapter->PushInputReport(report);

        const size_t nKept = std::min<size_t>(reports.size(), nQueue);
        const size_t nReadCount = dravik.GetReadCount();
        for (size_t nFirst = 0; nFirst < nKept; nFirst += nReadCount) {
            std::vector<uint8_t> expected;
            for (size_t i = nFirst; i < std::min(nKept, nFirst + nReadCount); ++i)
                ExpectedBytes(reports[i], nInputLength, expected);
            uint16_t nReceived = 0;
            if (dravik.ReadUartData(&nReceived) != DeviceSuccess || nReceived != expected.size() ||
                (nReceived && std::memcmp(ReceiveBuffer, expected.data(), nReceived) != 0))
                __builtin_trap();
        }
        uint16_t nReceived = 0;
        if (dravik.ReadUartData(&nReceived) != DeviceTransferFailed)
            __builtin_trap();

        ReceiveBuffer = nullptr;
        ReceiveBufferSize = 0;
    }
    SetHidBackend(nullptr);
    return 0;
}
