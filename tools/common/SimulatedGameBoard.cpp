#include "tools/common/SimulatedGameBoard.h"

#include <algorithm>

namespace {

constexpr char Colours[] = {'G', 'R', 'B', 'Y'};
constexpr char LineEnd[] = "\r\n";

} // namespace

CSimulatedGameBoard::CSimulatedGameBoard(uint32_t nSeed, double fSpeed, int nMaxLevel)
    : m_random(nSeed), m_fSpeed(fSpeed > 0 ? fSpeed : 1.0), m_nMaxLevel(std::max(1, nMaxLevel))
{
}

BoardLine CSimulatedGameBoard::Next()
{
    if (m_queue.empty())
        QueueGame();
    BoardLine line = std::move(m_queue.front());
    m_queue.pop_front();
    return line;
}

void CSimulatedGameBoard::Say(Ms delay, const std::string& strLine)
{
    const auto nScaled = static_cast<long long>(static_cast<double>(delay.count()) / m_fSpeed);
    m_queue.push_back({Ms(nScaled), strLine + LineEnd});
}

CSimulatedGameBoard::Ms CSimulatedGameBoard::Between(Ms min, Ms max)
{
    std::uniform_int_distribution<long long> distribution(min.count(), max.count());
    return Ms(distribution(m_random));
}

bool CSimulatedGameBoard::Chance(double fProbability)
{
    return std::bernoulli_distribution(fProbability)(m_random);
}

char CSimulatedGameBoard::RandomColour()
{
    return Colours[std::uniform_int_distribution<int>(0, 3)(m_random)];
}

void CSimulatedGameBoard::QueueGame()
{
    // The first game's prompt comes at once; later ones after the last
    // game's result has been on show for a while.
    Say(m_nGames == 0 ? Ms(0) : GameOverPause, "Press button");
    ++m_nGames;
    Say(Between(StartPressMin, StartPressMax), "New");
    Say(Ms(0), "MAX_LEVEL=" + std::to_string(m_nMaxLevel));

    std::string strSequence;
    for (int nLevel = 1; nLevel <= m_nMaxLevel; ++nLevel) {
        strSequence.push_back(RandomColour());
        Say(LevelPause, "Level " + std::to_string(nLevel) + " -");

        Ms pause = LevelPause;
        for (char cColour : strSequence) {
            Say(pause, std::string(1, cColour));
            Say(ShowOnTime, "Off");
            pause = ShowOffTime;
        }

        for (char cColour : strSequence) {
            if (Chance(TimeoutChance)) {
                Say(TimeoutTime, "Timeout");
                return;
            }
            if (Chance(MistakeChance)) {
                // The wrong pad lights while touched; the board calls the
                // game lost at once and goes dark when the pad is let go.
                char cWrong = cColour;
                while (cWrong == cColour)
                    cWrong = RandomColour();
                Say(Between(PlayerThinkMin, PlayerThinkMax), std::string(1, cWrong));
                Say(Ms(0), "Incorrect");
                Say(Between(PlayerHoldMin, PlayerHoldMax), "Off");
                return;
            }
            Say(Between(PlayerThinkMin, PlayerThinkMax), std::string(1, cColour));
            Say(Between(PlayerHoldMin, PlayerHoldMax), "Off");
        }
    }
    Say(LevelPause, "Congrat");
}
