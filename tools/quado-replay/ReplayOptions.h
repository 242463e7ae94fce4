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
    bool bFitToScreen = false;
    // Options > Shapes on the Board.
    bool bShapes = false;
    // The board view drawn as on a screen of this ratio; window.png then
    // holds the device pixels.
    double dDevicePixelRatio = 1.0;
    static constexpr double MaxDevicePixelRatio = 8.0;
    // --help: print the usage and stop.
    bool bHelp = false;
    std::string strOutDir = ".";
    // --records: the games are also kept in this records file; else nowhere.
    std::string strRecordsFile;
    // A file name, or "-" for standard input.
    std::string strInput;
};

constexpr char ReplayUsage[] =
    "usage: quado-replay [--chunk N] [--mute] [--client WxH] [--scale-down] [--fit] [--device-pixel-ratio R] "
    "[--symbols] [--records FILE] [--out DIR] INPUT";

// The usage with a line for each option, for --help.
constexpr char ReplayHelp[] =
    "  --chunk N               deliver the bytes in reads of N bytes (1 to 64, default 64)\n"
    "  --mute                  Mute on before connecting\n"
    "  --client WxH            the board view's size in pixels (default 1280x768)\n"
    "  --scale-down            Scale Down on\n"
    "  --fit                   Fit to Screen on\n"
    "  --symbols               Shapes on the Board on\n"
    "  --device-pixel-ratio R  draw as on a screen of ratio R (1 to 8, e.g. 1.5);\n"
    "                          window.png then holds the client size times R\n"
    "  --out DIR               where canvas.png, window.png and state.json go (default .)\n"
    "  --records FILE          also keep the stream's games in this records file\n"
    "  --help                  this text\n"
    "INPUT is a file of recorded UART bytes, or - for standard input.\n";

// Reads the arguments after the program name. On failure returns false with
// a one-line reason in strError.
bool ParseReplayOptions(const std::vector<std::string>& args, ReplayOptions& options, std::string& strError);
