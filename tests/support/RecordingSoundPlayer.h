// Sound players for tests: one that records what it was asked to play, in
// order, and one that plays nothing.
#pragma once

#include <string>
#include <vector>

#include "protocol/ISoundPlayer.h"

// "once 153", "loop 151", "stop", in the order asked for.
class CRecordingPlayer : public ISoundPlayer {
public:
    void PlayOnce(int nSoundId) override { m_vecCalls.push_back("once " + std::to_string(nSoundId)); }
    void PlayLooping(int nSoundId) override { m_vecCalls.push_back("loop " + std::to_string(nSoundId)); }
    void Stop() override { m_vecCalls.push_back("stop"); }

    std::vector<std::string> m_vecCalls;
};

class CSilentPlayer : public ISoundPlayer {
public:
    void PlayOnce(int) override {}
    void PlayLooping(int) override {}
    void Stop() override {}
};
