// The touch board's firmware as the PC hears it: endless memory games told as
// timed UART lines (start prompt, sequence shown, the player's repeats, the
// end of each game). quado-demo plays it through a simulated adapter; plain
// C++ so its tests can check the stream without a window.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

struct BoardLine {
    // Pause before the line goes out, counted from the previous line.
    std::chrono::milliseconds delay {0};
    // The whole line as sent, CR LF included.
    std::string strBytes;
};

class CSimulatedGameBoard {
public:
    using Ms = std::chrono::milliseconds;

    // The firmware's pace at speed 1: a shown colour stays lit ShowOnTime and
    // dark ShowOffTime; the player answers within PlayerThinkTime ranges and
    // holds a pad for PlayerHoldTime ranges; silence of TimeoutTime ends a game.
    static constexpr Ms ShowOnTime {400};
    static constexpr Ms ShowOffTime {200};
    static constexpr Ms LevelPause {800};
    static constexpr Ms PlayerThinkMin {350};
    static constexpr Ms PlayerThinkMax {900};
    static constexpr Ms PlayerHoldMin {200};
    static constexpr Ms PlayerHoldMax {450};
    static constexpr Ms TimeoutTime {3000};
    static constexpr Ms StartPressMin {1500};
    static constexpr Ms StartPressMax {3000};
    static constexpr Ms GameOverPause {2500};
    static constexpr int DefaultMaxLevel = 5;

    // Per touch of the simulated player: a wrong pad, or no touch at all.
    // With five levels about one game in three is won.
    static constexpr double MistakeChance = 0.04;
    static constexpr double TimeoutChance = 0.02;

    // Same seed, same games. fSpeed > 1 shortens every pause by that factor.
    explicit CSimulatedGameBoard(uint32_t nSeed, double fSpeed = 1.0, int nMaxLevel = DefaultMaxLevel);

    // The next line, forever.
    BoardLine Next();

    int GamesStarted() const { return m_nGames; }

private:
    void QueueGame();
    void Say(Ms delay, const std::string& strLine);
    Ms Between(Ms min, Ms max);
    bool Chance(double fProbability);
    char RandomColour();

    std::mt19937 m_random;
    double m_fSpeed;
    int m_nMaxLevel;
    int m_nGames = 0;
    std::deque<BoardLine> m_queue;
};
