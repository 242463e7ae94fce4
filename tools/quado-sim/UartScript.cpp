#include "tools/quado-sim/UartScript.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace {

using std::chrono::milliseconds;

constexpr int DemoMaxLevel = 8;
constexpr int LostAtLevel = 3;
constexpr int TimedOutAtLevel = 2;

// The board's pace: it shows each colour a little longer than a player
// takes to touch it, and pauses between levels and rounds.
constexpr milliseconds ShowOn {450};
constexpr milliseconds ShowOff {200};
constexpr milliseconds TouchOn {300};
constexpr milliseconds TouchOff {150};
constexpr milliseconds BetweenLevels {700};
constexpr milliseconds PlayerThinks {900};
constexpr milliseconds BetweenRounds {2500};
constexpr milliseconds PlayerTimeout {5000};

constexpr const char* ColourLines[] = {"G", "R", "B", "Y"};

class CDemoWriter {
public:
    explicit CDemoWriter(double fSpeed) : m_fSpeed(fSpeed > 0 ? fSpeed : 1.0) {}

    void Say(milliseconds delay, const std::string& strLine)
    {
        const auto nScaled = static_cast<long long>(static_cast<double>(delay.count()) / m_fSpeed);
        m_script.push_back({milliseconds(nScaled), strLine + "\r\n"});
    }

    // A fixed linear congruential sequence: reproducible runs, varied colours.
    const char* NextColour()
    {
        m_nSeed = m_nSeed * 1103515245u + 12345u;
        return ColourLines[(m_nSeed >> 16) % 4];
    }

    UartScript Take() { return std::move(m_script); }

private:
    double m_fSpeed;
    uint32_t m_nSeed = 20240607u;
    UartScript m_script;
};

enum class RoundEnd { Won, WrongPad, TimedOut };

// Plays one game up to nEndLevel: the board shows the sequence, the player
// repeats it; the last level is won, answered wrongly or left unanswered.
void PlayRound(CDemoWriter& writer, int nEndLevel, RoundEnd end)
{
    writer.Say(BetweenRounds, "Press button");
    writer.Say(BetweenRounds, "New");
    writer.Say(milliseconds(50), "MAX_LEVEL=" + std::to_string(DemoMaxLevel));
    std::vector<std::string> sequence;
    for (int nLevel = 1; nLevel <= nEndLevel; ++nLevel) {
        sequence.push_back(writer.NextColour());
        writer.Say(BetweenLevels, "Level " + std::to_string(nLevel) + " -");
        for (const std::string& strColour : sequence) {
            writer.Say(ShowOff, strColour);
            writer.Say(ShowOn, "Off");
        }
        const bool bLastLevel = nLevel == nEndLevel;
        std::size_t nAnswers = sequence.size();
        if (bLastLevel && end == RoundEnd::TimedOut)
            break;
        if (bLastLevel && end == RoundEnd::WrongPad)
            nAnswers = sequence.size() - 1;
        for (std::size_t nIndex = 0; nIndex < nAnswers; ++nIndex) {
            writer.Say(nIndex == 0 ? PlayerThinks : TouchOff, sequence[nIndex]);
            writer.Say(TouchOn, "Off");
        }
        if (bLastLevel && end == RoundEnd::WrongPad) {
            const std::string strExpected = sequence.back();
            const std::string strWrong = strExpected == "G" ? "R" : "G";
            writer.Say(nAnswers == 0 ? PlayerThinks : TouchOff, strWrong);
            writer.Say(TouchOn, "Off");
        }
    }
    switch (end) {
    case RoundEnd::Won:
        writer.Say(BetweenLevels, "Congrat");
        break;
    case RoundEnd::WrongPad:
        writer.Say(TouchOff, "Incorrect");
        break;
    case RoundEnd::TimedOut:
        writer.Say(PlayerTimeout, "Timeout");
        break;
    }
}

} // namespace

UartScript BuildDemoGame(double fSpeed)
{
    CDemoWriter writer(fSpeed);
    PlayRound(writer, DemoMaxLevel, RoundEnd::Won);
    PlayRound(writer, LostAtLevel, RoundEnd::WrongPad);
    PlayRound(writer, TimedOutAtLevel, RoundEnd::TimedOut);
    return writer.Take();
}

UartScript SplitIntoLines(std::string_view text, std::chrono::milliseconds nInterval)
{
    UartScript script;
    while (!text.empty()) {
        const std::size_t nEnd = text.find('\n');
        const std::size_t nTake = nEnd == std::string_view::npos ? text.size() : nEnd + 1;
        script.push_back({script.empty() ? milliseconds(0) : nInterval, std::string(text.substr(0, nTake))});
        text.remove_prefix(nTake);
    }
    return script;
}
