// Report lengths from a HID report descriptor, for the Linux backend (hidraw
// hands out the raw descriptor, not parsed capabilities). Only the items that
// size reports are read; everything else is stepped over.
#pragma once

#include "device/IHidBackend.h"

#include <cstddef>
#include <cstdint>

struct ReportDescriptorSummary {
    HidReportLengths lengths;
    // Whether any Report ID item appears; unnumbered devices send their
    // reports without the id byte, which the reader then puts in front.
    bool bNumbered = false;
};

// Sums Report Size x Report Count bits per (type, report id); a type's length
// is the largest ceil(bits / 8) + 1 over its ids (the id byte always counts),
// 0 when the type has no report. Returns false, leaving summary as it was,
// for a truncated or malformed descriptor or one whose reports would not fit
// 16-bit lengths.
bool ParseReportDescriptor(const uint8_t* pDescriptor, size_t nSize, ReportDescriptorSummary& summary);
