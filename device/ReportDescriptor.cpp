#include "device/ReportDescriptor.h"

#include <array>

namespace {

constexpr uint8_t LongItemPrefix = 0xFE;

constexpr uint8_t ItemTypeMain = 0;
constexpr uint8_t ItemTypeGlobal = 1;

constexpr uint8_t MainTagInput = 0x8;
constexpr uint8_t MainTagOutput = 0x9;
constexpr uint8_t MainTagFeature = 0xB;

constexpr uint8_t GlobalTagReportSize = 0x7;
constexpr uint8_t GlobalTagReportId = 0x8;
constexpr uint8_t GlobalTagReportCount = 0x9;
constexpr uint8_t GlobalTagPush = 0xA;
constexpr uint8_t GlobalTagPop = 0xB;

// The kernel's own limits: a descriptor beyond them never gets a hidraw node,
// so refusing it here loses nothing and keeps the arithmetic small.
constexpr uint32_t MaxReportSize = 256;
constexpr uint32_t MaxReportCount = 12288;
constexpr size_t MaxGlobalStackDepth = 4;

constexpr uint64_t MaxReportBits = (uint64_t{0xFFFF} - 1) * 8;

enum ReportType { Input = 0, Output = 1, Feature = 2, ReportTypeCount = 3 };

struct GlobalState {
    uint32_t nReportSize = 0;
    uint32_t nReportCount = 0;
    uint32_t nReportId = 0;
};

struct ReportBits {
    uint64_t nBits = 0;
    bool bDeclared = false;
};

} // namespace

bool ParseReportDescriptor(const uint8_t* pDescriptor, size_t nSize, ReportDescriptorSummary& summary)
{
    if (!pDescriptor && nSize)
        return false;

    std::array<std::array<ReportBits, 256>, ReportTypeCount> reports{};
    std::array<GlobalState, MaxGlobalStackDepth> stack{};
    size_t nStackDepth = 0;
    GlobalState global;
    bool bNumbered = false;

    size_t nPos = 0;
    while (nPos < nSize) {
        const uint8_t nPrefix = pDescriptor[nPos++];
        if (nPrefix == LongItemPrefix) {
            if (nSize - nPos < 2)
                return false;
            const size_t nDataSize = pDescriptor[nPos];
            nPos += 2;
            if (nSize - nPos < nDataSize)
                return false;
            nPos += nDataSize;
            continue;
        }

        const size_t nDataSize = (nPrefix & 3) == 3 ? 4 : (nPrefix & 3);
        if (nSize - nPos < nDataSize)
            return false;
        uint32_t nData = 0;
        for (size_t i = 0; i < nDataSize; ++i)
            nData |= uint32_t{pDescriptor[nPos + i]} << (8 * i);
        nPos += nDataSize;

        const uint8_t nType = (nPrefix >> 2) & 3;
        const uint8_t nTag = nPrefix >> 4;
        if (nType == ItemTypeMain) {
            int nReportType = -1;
            if (nTag == MainTagInput)
                nReportType = Input;
            else if (nTag == MainTagOutput)
                nReportType = Output;
            else if (nTag == MainTagFeature)
                nReportType = Feature;
            if (nReportType < 0)
                continue;
            ReportBits& bits = reports[nReportType][global.nReportId];
            bits.bDeclared = true;
            bits.nBits += uint64_t{global.nReportSize} * global.nReportCount;
            if (bits.nBits > MaxReportBits)
                return false;
        } else if (nType == ItemTypeGlobal) {
            switch (nTag) {
            case GlobalTagReportSize:
                if (nData > MaxReportSize)
                    return false;
                global.nReportSize = nData;
                break;
            case GlobalTagReportCount:
                if (nData > MaxReportCount)
                    return false;
                global.nReportCount = nData;
                break;
            case GlobalTagReportId:
                if (nData == 0 || nData > 255)
                    return false;
                global.nReportId = nData;
                bNumbered = true;
                break;
            case GlobalTagPush:
                if (nStackDepth == MaxGlobalStackDepth)
                    return false;
                stack[nStackDepth++] = global;
                break;
            case GlobalTagPop:
                if (nStackDepth == 0)
                    return false;
                global = stack[--nStackDepth];
                break;
            default:
                break;
            }
        }
    }

    ReportDescriptorSummary result;
    uint16_t* pLengths[ReportTypeCount] = {&result.lengths.nInput, &result.lengths.nOutput,
                                           &result.lengths.nFeature};
    for (int nReportType = 0; nReportType < ReportTypeCount; ++nReportType) {
        uint64_t nLongest = 0;
        for (const ReportBits& bits : reports[nReportType]) {
            if (bits.bDeclared && (bits.nBits + 7) / 8 + 1 > nLongest)
                nLongest = (bits.nBits + 7) / 8 + 1;
        }
        *pLengths[nReportType] = static_cast<uint16_t>(nLongest);
    }
    result.bNumbered = bNumbered;
    summary = result;
    return true;
}
