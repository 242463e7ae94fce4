// quado-sim's command line.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct SimOptions {
    std::vector<std::string> serials;
    unsigned nCount = 0;                // 0: one adapter per serial, at least one
    std::string strInput;               // a file, "-" for standard input, empty for none
    bool bDemo = false;
    double fSpeed = 1.0;                // demo pace
    std::chrono::milliseconds nInterval {0};    // between the lines of an input file
    std::string strTrace;
    bool bExitAfterInput = false;
    bool bRtsCts = false;               // power on with RTS/CTS flow control
    bool bRefuse = false;               // answer the connect request as already connected
    uint16_t nVendorId = 0x10C4;
    uint16_t nProductId = 0x8253;
    bool bVerbose = false;
    bool bHelp = false;
};

// False with a one-line message for a malformed command line.
bool ParseSimOptions(int argc, char** argv, SimOptions& options, std::string& strError);

const char* SimUsage();

// The serial of adapter nIndex: the given one, or one made from the last given.
std::string SerialFor(const SimOptions& options, unsigned nIndex);
