// The embedded sounds: complete RIFF/WAVE files in the stated format, with
// the stated lengths, tone frequencies and peaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <QByteArray>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "assets/SoundTable.h"

namespace {

struct Wave {
    bool bValid = false;
    int nFormat = 0;
    int nChannels = 0;
    int nRate = 0;
    int nByteRate = 0;
    int nBlockAlign = 0;
    int nBits = 0;
    std::vector<int16_t> samples; // interleaved
};

uint32_t Le32(const QByteArray& b, int n)
{
    return static_cast<uint8_t>(b[n]) | static_cast<uint8_t>(b[n + 1]) << 8 | static_cast<uint8_t>(b[n + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[n + 3])) << 24;
}

uint16_t Le16(const QByteArray& b, int n)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[n]) | static_cast<uint8_t>(b[n + 1]) << 8);
}

// Walks the chunks as a player would, rather than assuming a 44-byte header.
Wave ParseWave(const QByteArray& bytes)
{
    Wave wave;
    if (bytes.size() < 12 || std::memcmp(bytes.constData(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.constData() + 8, "WAVE", 4) != 0 || Le32(bytes, 4) != static_cast<uint32_t>(bytes.size() - 8))
        return wave;
    bool bFormat = false;
    int n = 12;
    while (n + 8 <= bytes.size()) {
        const uint32_t nSize = Le32(bytes, n + 4);
        if (n + 8 + static_cast<qint64>(nSize) > bytes.size())
            return wave;
        if (std::memcmp(bytes.constData() + n, "fmt ", 4) == 0 && nSize >= 16) {
            wave.nFormat = Le16(bytes, n + 8);
            wave.nChannels = Le16(bytes, n + 10);
            wave.nRate = static_cast<int>(Le32(bytes, n + 12));
            wave.nByteRate = static_cast<int>(Le32(bytes, n + 16));
            wave.nBlockAlign = Le16(bytes, n + 20);
            wave.nBits = Le16(bytes, n + 22);
            bFormat = true;
        } else if (std::memcmp(bytes.constData() + n, "data", 4) == 0 && bFormat) {
            wave.samples.resize(nSize / 2);
            for (size_t i = 0; i < wave.samples.size(); ++i)
                wave.samples[i] = static_cast<int16_t>(Le16(bytes, n + 8 + static_cast<int>(2 * i)));
            wave.bValid = nSize % 2 == 0;
            return wave;
        }
        n += 8 + static_cast<int>(nSize) + (nSize & 1);
    }
    return wave;
}

std::vector<int16_t> Channel(const Wave& wave, int nChannel, size_t nFrom, size_t nTo)
{
    std::vector<int16_t> out;
    for (size_t i = nFrom; i < nTo; ++i)
        out.push_back(wave.samples[i * wave.nChannels + nChannel]);
    return out;
}

// Frequency from the count of sign changes: two per cycle.
double ZeroCrossingHz(const std::vector<int16_t>& samples)
{
    int nCrossings = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        nCrossings += (samples[i - 1] >= 0) != (samples[i] >= 0);
    return nCrossings / 2.0 / (static_cast<double>(samples.size()) / 22050.0);
}

int Peak(const std::vector<int16_t>& samples)
{
    int nPeak = 0;
    for (int16_t s : samples)
        nPeak = std::max(nPeak, std::abs(static_cast<int>(s)));
    return nPeak;
}

void ExpectPcm16At22050(const Wave& wave, int nChannels)
{
    ASSERT_TRUE(wave.bValid);
    EXPECT_EQ(wave.nFormat, 1);
    EXPECT_EQ(wave.nChannels, nChannels);
    EXPECT_EQ(wave.nRate, 22050);
    EXPECT_EQ(wave.nBits, 16);
    EXPECT_EQ(wave.nBlockAlign, 2 * nChannels);
    EXPECT_EQ(wave.nByteRate, 22050 * 2 * nChannels);
}

} // namespace

TEST(Tones, FiveSecondSinesWithExactFrequencyAndPeak)
{
    struct ToneCase {
        int nId;
        double dHz;
        int nPeak;
    };
    const ToneCase cases[] = {
        {AssetId::WaveGreen, 225, 16362},
        {AssetId::WaveRed, 300, 9156},
        {AssetId::WaveBlue, 166, 32765},
        {AssetId::WaveYellow, 200, 16362},
    };
    for (const ToneCase& c : cases) {
        SCOPED_TRACE(c.nId);
        const Wave wave = ParseWave(LoadWaveResource(c.nId));
        ExpectPcm16At22050(wave, 1);
        ASSERT_EQ(wave.samples.size(), 110250u);
        EXPECT_NEAR(ZeroCrossingHz(wave.samples), c.dHz, 0.5);
        EXPECT_EQ(Peak(wave.samples), c.nPeak);

        // Looping joins without a click: the step from the last sample back
        // to the first is no bigger than the steps inside the tone.
        int nLargestStep = 0;
        for (size_t i = 1; i < wave.samples.size(); ++i)
            nLargestStep = std::max(nLargestStep, std::abs(wave.samples[i] - wave.samples[i - 1]));
        EXPECT_LE(std::abs(wave.samples.front() - wave.samples.back()), nLargestStep);
        EXPECT_EQ(wave.samples.front(), 0);
    }
}

TEST(LoseSound, FallingBuzzThatFadesOut)
{
    const Wave wave = ParseWave(LoadWaveResource(AssetId::WaveLose));
    ExpectPcm16At22050(wave, 1);
    ASSERT_EQ(wave.samples.size(), 23792u);

    const size_t nTenth = wave.samples.size() / 10;
    const double dStartHz = ZeroCrossingHz(Channel(wave, 0, 0, nTenth));
    const double dLateHz = ZeroCrossingHz(Channel(wave, 0, 8 * nTenth, 9 * nTenth));
    EXPECT_NEAR(dStartHz, 745, 30);
    EXPECT_NEAR(dLateHz, 470, 30);
    double dPrevious = 1e9;
    for (size_t k = 0; k < 9; ++k) {
        const double dHz = ZeroCrossingHz(Channel(wave, 0, k * nTenth, (k + 1) * nTenth));
        EXPECT_LT(dHz, dPrevious) << "tenth " << k;
        dPrevious = dHz;
    }
    EXPECT_LT(Peak(Channel(wave, 0, 9 * nTenth, wave.samples.size())), Peak(wave.samples) / 10);
}

TEST(WinSound, StereoJingleAroundOnePointTwoToOnePointFiveKilohertzWithQuietTail)
{
    const Wave wave = ParseWave(LoadWaveResource(AssetId::WaveWin));
    ExpectPcm16At22050(wave, 2);
    ASSERT_EQ(wave.samples.size(), 2u * 42752u);

    const size_t nFrames = 42752;
    const int nPeak = Peak(wave.samples);
    EXPECT_GT(nPeak, 10000);
    for (int ch = 0; ch < 2; ++ch) {
        SCOPED_TRACE(ch);
        const double dHz = ZeroCrossingHz(Channel(wave, ch, 0, nFrames / 2));
        EXPECT_GT(dHz, 1150);
        EXPECT_LT(dHz, 1550);
        EXPECT_LT(Peak(Channel(wave, ch, nFrames * 4 / 5, nFrames)), nPeak / 100);
    }
}

TEST(SoundTableEntries, EveryNumberButZeroNamesAnEmbeddedWave)
{
    EXPECT_EQ(SoundTable[SoundNone], 0);
    EXPECT_TRUE(LoadWaveResource(SoundTable[SoundNone]).isEmpty());
    for (int n = SoundGreen; n <= SoundWin; ++n)
        EXPECT_TRUE(ParseWave(LoadWaveResource(SoundTable[n])).bValid) << n;
}
