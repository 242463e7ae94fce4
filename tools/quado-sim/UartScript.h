// What the virtual board says over the UART and when: a built-in demo game,
// or the lines of a file. Used by quado-sim's sender.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

struct UartChunk {
    // Pause before this chunk goes out, counted from the previous one.
    std::chrono::milliseconds delay {0};
    std::string strBytes;
};

using UartScript = std::vector<UartChunk>;

// A few rounds of the memory game as the board reports them: the start
// prompt, a won game up to the highest level, a lost one and a timed-out one,
// colour flashes and the player's answers at a human pace. Lines end in CR LF
// as the board's firmware sends them. The colour sequence is the same on
// every run. fSpeed > 1 plays it faster.
UartScript BuildDemoGame(double fSpeed = 1.0);

// One chunk per line of text (line feed kept), nInterval apart; text after
// the last line feed becomes a last chunk of its own.
UartScript SplitIntoLines(std::string_view text, std::chrono::milliseconds nInterval);
