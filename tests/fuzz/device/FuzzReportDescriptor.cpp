// Arbitrary bytes as a HID report descriptor: the parser must stay inside
// them and either refuse or give lengths that fit.
#include "device/ReportDescriptor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    ReportDescriptorSummary summary;
    summary.lengths = {7, 7, 7};
    if (!ParseReportDescriptor(pData, nSize, summary)) {
        if (summary.lengths.nInput != 7 || summary.lengths.nOutput != 7 || summary.lengths.nFeature != 7)
            __builtin_trap();
        return 0;
    }
    // A declared report always has its id byte; 1 means "id byte only".
    if (summary.lengths.nInput == 0xFFFF || summary.lengths.nOutput == 0xFFFF ||
        summary.lengths.nFeature == 0xFFFF)
        __builtin_trap();
    return 0;
}
