// One virtual Dravik: the shared adapter model (CSimulatedAdapter) answering
// the kernel through a uhid device, with an optional trace of the feature
// transfers it saw. Used by quado-sim's main loop.
#pragma once

#include "device/SimulatedAdapter.h"
#include "tools/quado-sim/UhidAdapter.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

class CVirtualDravik {
public:
    // pTrace may be null; bNameInTrace prefixes each trace line with the serial
    // (several adapters share one trace file).
    CVirtualDravik(std::unique_ptr<CSimulatedAdapter> pModel, std::FILE* pTrace, bool bNameInTrace,
                   bool bVerbose);

    // fd: an open /dev/uhid (ownership passes). False with an errno value.
    bool Create(int fd, const UhidIdentity& identity, int& nError);

    // Answers one kernel event; false once the device is gone.
    bool HandleEvent() { return m_uhid.HandleEvent(); }
    int GetFd() const { return m_uhid.GetFd(); }

    // The board can talk to the host: a program holds the hidraw node open
    // and has switched the adapter's UART on.
    bool IsListening() const;

    // UART bytes from the board, sent as input reports.
    void FeedUart(std::string_view bytes);

    // The kernel has bound a HID driver to the device (its hidraw node follows).
    bool IsStarted() const { return m_uhid.IsStarted(); }

    void Destroy() { m_uhid.Destroy(); }
    const std::string& GetSerial() const { return m_uhid.GetSerial(); }
    CSimulatedAdapter& GetModel() { return *m_pModel; }

private:
    void WriteTrace();

    std::unique_ptr<CSimulatedAdapter> m_pModel;
    CUhidAdapter m_uhid;
    std::FILE* m_pTrace;
    bool m_bNameInTrace;
    bool m_bVerbose;
};

// One trace line: "set 40 02", "get 42 01", a refused transfer ends in
// " refused". Host-side tests compare these lines with the expected order.
std::string FormatTransfer(const CSimulatedAdapter::FeatureTransfer& transfer);
