// A stand-in for the Dravik adapter's firmware: answers feature reports by the
// adapter's wire format and turns UART bytes from a (scripted) board into
// input reports. Knows nothing of how it is attached: the simulated HID
// backend and the uhid virtual adapter both drive it through SetFeature /
// GetFeature and receive its input reports through the input sink.
// Thread-safe throughout.
#pragma once

#include "device/UartConfig.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

class CSimulatedAdapter {
public:
    enum class Direction : uint8_t { Set, Get };

    // One feature transfer as the adapter saw it: the bytes sent to it, or
    // the bytes it returned (for a failed get, the request), id first.
    struct FeatureTransfer {
        Direction direction;
        std::vector<uint8_t> bytes;
        bool bOk;
    };

    using InputSink = std::function<void(const uint8_t* pReport, size_t nLength)>;

    static constexpr uint16_t InputReportLength = 65;
    static constexpr uint16_t FeatureReportLength = 9;
    static constexpr UartConfig DefaultConfig = {9600, 0, 0, 8, 0};

    explicit CSimulatedAdapter(const UartConfig& powerOnConfig = DefaultConfig);

    // The adapter's HID report descriptor: vendor page, input reports 0x81 to
    // 0xC0 with 1 to 64 bytes, the feature reports at their wire lengths.
    static const std::vector<uint8_t>& ReportDescriptor();
    // The wire length of a feature report id, id byte included; 0 if unknown.
    static size_t FeatureLength(uint8_t nReportId);

    // Host side. A report of the wrong length or direction is refused.
    bool SetFeature(const uint8_t* pReport, size_t nLength);
    // pReport[0] names the report; the reply is written after it.
    bool GetFeature(uint8_t* pReport, size_t nLength);

    // Board side: UART bytes as received, cut into reports of at most
    // SetMaxUartChunk bytes. Lost while the UART is disabled, as on the real
    // adapter.
    void FeedUart(const uint8_t* pBytes, size_t nLength);
    void FeedUart(std::string_view bytes);
    // Any raw input report (id first), delivered as it is.
    void PushInputReport(const std::vector<uint8_t>& report);

    void SetInputSink(InputSink sink);

    // Back to power-on: handshake idle, UART off, power-on settings.
    void PowerCycle();

    // Behaviour. The handshake answers state 0 after 0x40 (2) and 1 after
    // 0x41 unless told otherwise; other values give the odd states.
    void SetStateAfterRequest(uint8_t nState);
    void SetStateAfterConfirm(uint8_t nState);
    void SetPollReply(uint8_t nValue);
    void SetMaxUartChunk(size_t nBytes);
    void SetUartConfig(const UartConfig& config);

    // Failure injection: the next nCount transfers of that id and direction,
    // or all of them, are refused (and recorded as failed).
    void FailNext(Direction direction, uint8_t nReportId, uint32_t nCount = 1);
    void FailEvery(Direction direction, uint8_t nReportId);
    void ClearFailures();

    uint8_t GetHandshakeState() const;
    bool IsUartEnabled() const;
    UartConfig GetUartConfig() const;
    uint8_t GetPollReply() const;
    std::vector<std::vector<uint8_t>> GetFeature49Values() const;
    std::vector<uint8_t> GetFeature4BValues() const;
    uint64_t GetLostUartBytes() const;

    std::vector<FeatureTransfer> GetTrace() const;
    void ClearTrace();

private:
    bool ConsumeFailureLocked(Direction direction, uint8_t nReportId);
    void RecordLocked(Direction direction, const uint8_t* pBytes, size_t nLength, bool bOk);
    bool ApplySetLocked(const uint8_t* pReport, size_t nLength);
    bool AnswerGetLocked(uint8_t* pReport, size_t nLength);
    void Deliver(const uint8_t* pReport, size_t nLength);

    mutable std::mutex m_mutex;
    UartConfig m_powerOnConfig;
    UartConfig m_uartConfig;
    uint8_t m_nState = 0;
    uint8_t m_nStateAfterRequest;
    uint8_t m_nStateAfterConfirm;
    uint8_t m_nPollReply = 0;
    bool m_bUartEnabled = false;
    size_t m_nMaxUartChunk;
    uint64_t m_nLostUartBytes = 0;
    std::vector<std::vector<uint8_t>> m_feature49Values;
    std::vector<uint8_t> m_feature4BValues;
    // (direction, id) -> transfers still to fail; negative: every one.
    std::map<std::pair<Direction, uint8_t>, int64_t> m_failures;
    std::vector<FeatureTransfer> m_trace;

    // Serialises deliveries so that reports from two feeding threads never
    // interleave within one FeedUart call.
    std::mutex m_sinkMutex;
    InputSink m_sink;
};
