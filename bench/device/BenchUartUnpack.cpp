// What one full read costs: ReadUartData over a backend that hands out a
// ready block of full UART reports (so the queue is not measured), against a
// plain copy of the same payload bytes.
#include "device/Dravik.h"
#include "device/SimulatedAdapter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint16_t InputLength = 65;
constexpr size_t Payload = InputLength - 1;

class CBlockHandle : public IHidHandle {
public:
    CBlockHandle(const std::vector<uint8_t>& block, uint32_t nQueue) : m_block(block), m_nQueue(nQueue) {}

    bool GetAttributes(uint16_t& nVendorId, uint16_t& nProductId) override
    {
        nVendorId = CHIDDevice::AdapterVendorId;
        nProductId = CHIDDevice::AdapterProductId;
        return true;
    }
    bool GetSerialNumber(std::string& strSerial) override
    {
        strSerial = "BENCH";
        return true;
    }
    bool GetReportLengths(HidReportLengths& lengths) override
    {
        lengths = {InputLength, 0, CSimulatedAdapter::FeatureReportLength};
        return true;
    }
    bool GetNumInputBuffers(uint32_t& nCount) override
    {
        nCount = m_nQueue;
        return true;
    }
    bool SetNumInputBuffers(uint32_t nCount) override
    {
        m_nQueue = nCount;
        return true;
    }
    HidReadResult ReadReports(uint8_t* pBuffer, size_t nReportLength, size_t nMaxReports, uint32_t,
                              size_t& nBytesRead) override
    {
        nBytesRead = std::min(m_block.size(), nReportLength * nMaxReports);
        std::memcpy(pBuffer, m_block.data(), nBytesRead);
        return HidReadResult::Ok;
    }
    void CancelRead() override {}
    bool SetFeature(const uint8_t* pReport, size_t nLength) override { return m_adapter.SetFeature(pReport, nLength); }
    bool GetFeature(uint8_t* pReport, size_t nLength) override { return m_adapter.GetFeature(pReport, nLength); }
    bool FlushInput() override { return true; }

private:
    const std::vector<uint8_t>& m_block;
    uint32_t m_nQueue;
    CSimulatedAdapter m_adapter;
};

class CBlockBackend : public IHidBackend {
public:
    explicit CBlockBackend(uint32_t nReports) : m_nQueue(nReports)
    {
        m_block.resize(size_t{nReports} * InputLength);
        for (uint32_t i = 0; i < nReports; ++i) {
            uint8_t* pReport = &m_block[size_t{i} * InputLength];
            pReport[0] = 0xC0;
            for (size_t j = 1; j < InputLength; ++j)
                pReport[j] = static_cast<uint8_t>(i + j);
        }
    }
    std::vector<HidDeviceEntry> EnumerateDevices() override
    {
        return {{"bench/0", CHIDDevice::AdapterVendorId, CHIDDevice::AdapterProductId, true}};
    }
    std::unique_ptr<IHidHandle> OpenDevice(const std::string&, HidOpenError& error) override
    {
        error = HidOpenError::None;
        return std::make_unique<CBlockHandle>(m_block, m_nQueue);
    }

private:
    std::vector<uint8_t> m_block;
    uint32_t m_nQueue;
};

void BM_ReadUartData(benchmark::State& state)
{
    const uint32_t nReports = static_cast<uint32_t>(state.range(0));
    CBlockBackend backend(nReports);
    SetHidBackend(&backend);
    {
        CDravik dravik;
        if (dravik.Connect(0) != DeviceSuccess || dravik.GetReadCount() != nReports) {
            state.SkipWithError("connect failed");
            SetHidBackend(nullptr);
            return;
        }
        std::vector<uint8_t> receive(dravik.ReceiveCapacity());
        ReceiveBuffer = receive.data();
        ReceiveBufferSize = static_cast<uint32_t>(receive.size());
        for (auto _ : state) {
            uint16_t nReceived = 0;
            dravik.ReadUartData(&nReceived);
            benchmark::DoNotOptimize(nReceived);
            benchmark::ClobberMemory();
        }
        ReceiveBuffer = nullptr;
        ReceiveBufferSize = 0;
    }
    SetHidBackend(nullptr);
    state.SetBytesProcessed(int64_t(state.iterations()) * nReports * Payload);
}

void BM_PlainPayloadCopy(benchmark::State& state)
{
    const size_t nBytes = static_cast<size_t>(state.range(0)) * Payload;
    std::vector<uint8_t> source(nBytes, 0x5A);
    std::vector<uint8_t> target(nBytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), nBytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * nBytes);
}

} // namespace

BENCHMARK(BM_ReadUartData)->Arg(32)->Arg(512);
BENCHMARK(BM_PlainPayloadCopy)->Arg(32)->Arg(512);
BENCHMARK_MAIN();
