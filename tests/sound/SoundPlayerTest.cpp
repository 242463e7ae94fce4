// The SDL player heard through SDL's disk driver: the raw mixed output,
// paced in real time, is read back and its content checked (tone frequency,
// amplitude, where silence starts), never its exact size.
#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "assets/AssetIds.h"
#include "platform/SoundPlayer.h"

namespace {

using namespace std::chrono_literals;

constexpr int ToneFrames = 110250; // every colour tone: 5 s at 22,050 Hz

// The left channel of what the disk driver wrote while the actions ran.
struct Recording {
    std::vector<int16_t> vecLeft;
    int nRate = 0;

    double Seconds(size_t nFrames) const { return double(nFrames) / nRate; }
};

// Paces the actions by the output itself: on a loaded machine the audio
// thread may lag behind the wall clock, and only the output's own timeline
// says when a sound has had its time.
class COutputClock {
public:
    COutputClock(std::string strFile, double dBytesPerSecond)
        : m_strFile(std::move(strFile))
        , m_dBytesPerSecond(dBytesPerSecond)
    {
    }

    // Returns once the output holds dSeconds more than at the last call.
    void Advance(double dSeconds)
    {
        m_dTarget += dSeconds;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(dSeconds * 3 + 5);
        while (OutputSeconds() < m_dTarget && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(2ms);
    }

private:
    double OutputSeconds() const
    {
        std::error_code error;
        const auto nBytes = std::filesystem::file_size(m_strFile, error);
        return error ? 0.0 : double(nBytes) / m_dBytesPerSecond;
    }

    std::string m_strFile;
    double m_dBytesPerSecond;
    double m_dTarget = 0;
};

// nFirstSound is asked for as the player is made, before its device is open.
template <typename Actions>
Recording RecordThroughDisk(Actions actions, int nFirstSound = 0)
{
    QTemporaryDir dir;
    const std::string strFile = dir.filePath("out.raw").toStdString();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", strFile.c_str(), 1);
    Recording rec;
    int nChannels = 0;
    {
        CSoundPlayer player;
        if (nFirstSound != 0)
            player.PlayOnce(nFirstSound);
        EXPECT_TRUE(player.WaitForFirstAttempt());
        if (!player.IsOpen())
            return rec;
        EXPECT_EQ(player.GetPreparedClips(), 6) << "every clip made ready as the device opened";
        EXPECT_EQ(player.DeviceFormat(), AUDIO_S16SYS);
        rec.nRate = player.DeviceRate();
        nChannels = player.DeviceChannels();
        COutputClock clock(strFile, double(rec.nRate) * nChannels * 2);
        actions(player, clock);
    }
    std::ifstream in(strFile, std::ios::binary);
    const std::vector<char> vecBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t nFrames = vecBytes.size() / (2 * size_t(nChannels));
    const auto* pSamples = reinterpret_cast<const int16_t*>(vecBytes.data());
    for (size_t i = 0; i < nFrames; ++i)
        rec.vecLeft.push_back(pSamples[i * size_t(nChannels)]);
    return rec;
}

// Upward zero crossings per second over [nBegin, nEnd).
double Frequency(const Recording& rec, size_t nBegin, size_t nEnd)
{
    int nCrossings = 0;
    for (size_t i = nBegin + 1; i < nEnd; ++i)
        nCrossings += rec.vecLeft[i - 1] < 0 && rec.vecLeft[i] >= 0;
    return nCrossings / rec.Seconds(nEnd - nBegin);
}

int Peak(const Recording& rec, size_t nBegin, size_t nEnd)
{
    int nPeak = 0;
    for (size_t i = nBegin; i < nEnd; ++i)
        nPeak = std::max(nPeak, std::abs(int(rec.vecLeft[i])));
    return nPeak;
}

// Maximal runs of sound, split wherever 10 ms or more are exactly silent.
struct Span {
    size_t nBegin;
    size_t nEnd;
};

std::vector<Span> SoundSpans(const Recording& rec)
{
    const size_t nGap = size_t(rec.nRate / 100);
    std::vector<Span> vecSpans;
    size_t nZeros = 0;
    for (size_t i = 0; i < rec.vecLeft.size(); ++i) {
        if (rec.vecLeft[i] == 0) {
            ++nZeros;
            continue;
        }
        if (vecSpans.empty() || nZeros >= nGap)
            vecSpans.push_back({i, i + 1});
        vecSpans.back().nEnd = i + 1;
        nZeros = 0;
    }
    return vecSpans;
}

// The first frame from which on every 20 ms window is far from nHz.
size_t LastFrameNear(const Recording& rec, size_t nBegin, size_t nEnd, double dHz)
{
    const size_t nWindow = size_t(rec.nRate / 50);
    size_t nLast = nBegin;
    for (size_t i = nBegin; i + nWindow <= nEnd; i += nWindow) {
        if (std::abs(Frequency(rec, i, i + nWindow) - dHz) < 30)
            nLast = i + nWindow;
    }
    return nLast;
}

class SoundPlayerTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }
};

TEST_F(SoundPlayerTest, PlayOnceSoundsTheWholeToneThenFallsSilent)
{
    // The tone asked for while the device is still being opened sounds whole.
    const Recording rec = RecordThroughDisk([](CSoundPlayer&, COutputClock& clock) { clock.Advance(5.4); },
                                            AssetId::WaveGreen);
    ASSERT_EQ(rec.nRate, CSoundPlayer::PreferredRate);
    const std::vector<Span> vecSpans = SoundSpans(rec);
    ASSERT_EQ(vecSpans.size(), 1u);
    const Span span = vecSpans.front();
    // A sine starting at phase 0 opens with a zero sample or so.
    EXPECT_NEAR(double(span.nEnd - span.nBegin), double(ToneFrames), 4.0);
    EXPECT_NEAR(Frequency(rec, span.nBegin, span.nEnd), 225.0, 1.0);
    EXPECT_NEAR(Peak(rec, span.nBegin, span.nEnd), 16362, 2);
    EXPECT_GT(rec.Seconds(rec.vecLeft.size() - span.nEnd), 0.2) << "no silence after the tone";
}

TEST_F(SoundPlayerTest, LoopRunsPastTheClipSeamlesslyUntilANewSoundReplacesIt)
{
    const Recording rec = RecordThroughDisk([](CSoundPlayer& player, COutputClock& clock) {
        player.PlayLooping(AssetId::WaveRed);
        clock.Advance(5.6);
        player.PlayOnce(AssetId::WaveLose);
        clock.Advance(1.3);
    });
    const std::vector<Span> vecSpans = SoundSpans(rec);
    ASSERT_EQ(vecSpans.size(), 1u) << "the loop or the switch left a gap";
    const Span span = vecSpans.front();

    const size_t nSwitch = LastFrameNear(rec, span.nBegin, span.nEnd, 300.0);
    // The last window before the switch may already hold the new sound.
    const size_t nLoopEnd = nSwitch - size_t(rec.nRate / 50);
    EXPECT_GT(rec.Seconds(nSwitch - span.nBegin), 5.4) << "the loop stopped at the clip's end";
    EXPECT_NEAR(Frequency(rec, span.nBegin, nLoopEnd), 300.0, 1.5);
    EXPECT_NEAR(Peak(rec, span.nBegin, nLoopEnd), 9156, 2);
    // A join with a jump would click: neighbouring samples of this sine
    // differ by at most 2*pi*300/22050*9156 (about 783).
    int nMaxStep = 0;
    for (size_t i = span.nBegin + 1; i < nLoopEnd; ++i)
        nMaxStep = std::max(nMaxStep, std::abs(rec.vecLeft[i] - rec.vecLeft[i - 1]));
    EXPECT_LT(nMaxStep, 800);

    // After the switch only the lose sound: no 300 Hz left, and it ends by
    // itself after its 1.08 s.
    const double dTail = rec.Seconds(span.nEnd - nSwitch);
    EXPECT_GT(dTail, 0.8);
    EXPECT_LT(dTail, 1.1);
    EXPECT_GT(Frequency(rec, nSwitch, span.nEnd), 380.0);
    EXPECT_GT(rec.Seconds(rec.vecLeft.size() - span.nEnd), 0.1) << "no silence after the lose sound";
}

TEST_F(SoundPlayerTest, StopAndSoundlessIdsSilenceWhatPlays)
{
    int nBufferFrames = 0;
    const Recording rec = RecordThroughDisk([&](CSoundPlayer& player, COutputClock& clock) {
        nBufferFrames = player.DeviceBufferFrames();
        player.PlayLooping(AssetId::WaveGreen);
        clock.Advance(0.4);
        player.Stop();
        clock.Advance(0.3);
        player.PlayLooping(AssetId::WaveBlue);
        clock.Advance(0.4);
        player.PlayOnce(0);
        clock.Advance(0.3);
        player.PlayLooping(AssetId::WaveYellow);
        clock.Advance(0.4);
        player.PlayLooping(12345);
        clock.Advance(0.3);
        player.Stop(); // stopping silence is harmless
    });
    EXPECT_LE(double(nBufferFrames) / rec.nRate, 0.012) << "device buffering too long";

    const std::vector<Span> vecSpans = SoundSpans(rec);
    ASSERT_EQ(vecSpans.size(), 3u);
    const double dExpectedHz[] = {225.0, 166.0, 200.0};
    for (size_t i = 0; i < vecSpans.size(); ++i) {
        const Span span = vecSpans[i];
        EXPECT_NEAR(Frequency(rec, span.nBegin, span.nEnd), dExpectedHz[i], 6.0) << "span " << i;
    }
}

TEST_F(SoundPlayerTest, WithoutAnAudioDeviceEverythingIsSilentAndSaidOnce)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    std::FILE* pCapture = std::tmpfile();
    ASSERT_NE(pCapture, nullptr);
    std::fflush(stderr);
    const int nSavedStderr = dup(2);
    dup2(fileno(pCapture), 2);
    {
        CSoundPlayer player;
        EXPECT_FALSE(player.WaitForFirstAttempt());
        player.PlayOnce(AssetId::WaveGreen);
        player.PlayLooping(AssetId::WaveWin);
        player.Stop();
        player.PlayLooping(0);
    }
    std::fflush(stderr);
    dup2(nSavedStderr, 2);
    close(nSavedStderr);

    std::string strSaid;
    std::rewind(pCapture);
    for (int c; (c = std::fgetc(pCapture)) != EOF;)
        strSaid += char(c);
    std::fclose(pCapture);
    EXPECT_NE(strSaid.find("without sound"), std::string::npos) << strSaid;
    EXPECT_EQ(std::count(strSaid.begin(), strSaid.end(), '\n'), 1) << strSaid;
}

} // namespace
