// quado-replay's command line: how the recorded stream is cut into reads,
// how the board is shown, where the results go. Plain C++ so the rules can
// be tested without starting the program.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ReplayOptions {
    static constexpr size_t MaxChunk = 64;    // the most UART bytes one input report carries
    static constexpr int MaxClientSide = 16384;

    size_t nChunk = MaxChunk;
    bool bMute = false;
    int nClientWidth = 1280;
    int nClientHeight = 768;
    bool bScaleDown = false;
    std::string strOutDir = ".";
    // A file name, or "-" for standard input.
    std::string strInput;
};

constexpr char ReplayUsage[] =
    "usage: quado-replay [--chunk N] [--mute] [--client WxH] [--scale-down] [--out DIR] INPUT";

// Reads the arguments after the program name. On failure returns false with
// a one-line reason in strError.
bool ParseReplayOptions(const std::vector<std::string>& args, ReplayOptions& options, std::string& strError);
