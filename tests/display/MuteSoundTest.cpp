// Options > Mute heard through SDL's disk driver: the raw output is read
// back, and from the moment of the command on it holds only silence, also
// after unmuting.
#include <gtest/gtest.h>

#include <SDL.h>

#include <QAction>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "assets/AssetIds.h"
#include "platform/SoundPlayer.h"
#include "tests/support/HangGuard.h"

namespace {

using namespace std::chrono_literals;

size_t FileBytes(const std::string& strFile)
{
    std::error_code error;
    const auto nBytes = std::filesystem::file_size(strFile, error);
    return error ? 0 : size_t(nBytes);
}

// Waits until the output file holds nBytes, or the player has closed its
// quiet device (it does after SleepAfterSilenceMs of silence, and then writes
// nothing more); the disk driver writes in real time, but a loaded machine
// may lag, so the output's own length is the clock.
bool WaitForOutput(const std::string& strFile, size_t nBytes, const CSoundPlayer& player)
{
    const auto deadline = std::chrono::steady_clock::now() + testsupport::HangGuard;
    while (FileBytes(strFile) < nBytes && !player.IsAsleep()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Waits until the output holds nToneBytes of sound after its first sample
// that is not silence: the tone may set in late on a loaded machine, so the
// tone's own length in the output is the clock.
bool WaitForTone(const std::string& strFile, size_t nToneBytes)
{
    const auto deadline = std::chrono::steady_clock::now() + testsupport::HangGuard;
    size_t nChecked = 0;
    size_t nToneAt = SIZE_MAX;
    while (std::chrono::steady_clock::now() < deadline) {
        const size_t nBytes = FileBytes(strFile);
        if (nToneAt == SIZE_MAX && nBytes > nChecked) {
            std::ifstream in(strFile, std::ios::binary);
            std::vector<char> vecBytes(nBytes);
            in.read(vecBytes.data(), std::streamsize(nBytes));
            for (size_t i = nChecked & ~size_t(1); i + 1 < size_t(in.gcount()); i += 2) {
                if (vecBytes[i] != 0 || vecBytes[i + 1] != 0) {
                    nToneAt = i;
                    break;
                }
            }
            nChecked = size_t(in.gcount());
        }
        if (nToneAt != SIZE_MAX && nBytes >= nToneAt + nToneBytes)
            return true;
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

} // namespace

TEST(MuteSound, MuteSilencesALoopingToneAtOnceAndUnmuteStaysSilent)
{
    QTemporaryDir dir;
    const std::string strFile = dir.filePath("out.raw").toStdString();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", strFile.c_str(), 1);

    size_t nBytesAtMute = 0;
    size_t nBytesAtUnmute = 0;
    size_t nFrameBytes = 0;
    int nRate = 0;
    int nBufferFrames = 0;
    {
        CSoundPlayer player;
        // The silence after Mute is recorded whole, however long the
        // device would otherwise stay open in it.
        player.SetSleepAfterSilence(std::chrono::minutes(1));
        ASSERT_TRUE(player.WaitForFirstAttempt());
        ASSERT_EQ(player.DeviceFormat(), AUDIO_S16SYS);
        nRate = player.DeviceRate();
        nBufferFrames = player.DeviceBufferFrames();
        nFrameBytes = size_t(player.DeviceChannels()) * 2;
        const size_t nBytesPerSecond = size_t(nRate) * nFrameBytes;

        CMainFrame frame(&player);
        ASSERT_TRUE(frame.Create());
        QAction* pMute = frame.FindCommand(CommandId::Mute);
        ASSERT_TRUE(pMute);

        // The green tone loops as while a game shows green.
        player.PlayLooping(AssetId::WaveGreen);
        ASSERT_TRUE(WaitForTone(strFile, nBytesPerSecond * 3 / 10));
        nBytesAtMute = FileBytes(strFile);
        pMute->trigger();
        ASSERT_TRUE(frame.IsMuted());
        ASSERT_TRUE(WaitForOutput(strFile, nBytesAtMute + nBytesPerSecond * 3 / 10, player));
        nBytesAtUnmute = FileBytes(strFile);
        pMute->trigger();
        ASSERT_FALSE(frame.IsMuted());
        ASSERT_TRUE(WaitForOutput(strFile, nBytesAtUnmute + nBytesPerSecond * 3 / 10, player));
    }
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");

    std::ifstream in(strFile, std::ios::binary);
    const std::vector<char> vecBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* pSamples = reinterpret_cast<const int16_t*>(vecBytes.data());
    const size_t nSamples = vecBytes.size() / 2;
    const size_t nChannels = nFrameBytes / 2;

    // Before the command: the tone, at its 225 Hz, from where it set in
    // (the device ran silent until the tone was started).
    const size_t nMuteFrame = nBytesAtMute / nFrameBytes;
    size_t nToneFrame = 0;
    while (nToneFrame < nMuteFrame && pSamples[nToneFrame * nChannels] == 0)
        ++nToneFrame;
    ASSERT_LT(nToneFrame + size_t(nRate) / 5, nMuteFrame) << "less than 200 ms of tone before Mute";
    int nCrossings = 0;
    int nPeak = 0;
    for (size_t i = nToneFrame + 1; i < nMuteFrame; ++i) {
        const int16_t nPrev = pSamples[(i - 1) * nChannels];
        const int16_t nCur = pSamples[i * nChannels];
        nCrossings += nPrev < 0 && nCur >= 0;
        nPeak = std::max(nPeak, std::abs(int(nCur)));
    }
    EXPECT_GT(nPeak, 10000);
    EXPECT_NEAR(nCrossings * double(nRate) / double(nMuteFrame - nToneFrame), 225.0, 6.0);

    // After it: at most the device buffer that was already on its way, then
    // nothing but zeros on every channel, through unmute and beyond (until
    // the quiet device is closed).
    const size_t nSilentFrom = (nMuteFrame + 2 * size_t(nBufferFrames)) * nChannels;
    ASSERT_GT(nSamples, nSilentFrom + size_t(nRate) / 4 * nChannels);
    size_t nLoud = 0;
    for (size_t i = nSilentFrom; i < nSamples; ++i)
        nLoud += pSamples[i] != 0;
    EXPECT_EQ(nLoud, 0u) << "sound after Mute";
}
