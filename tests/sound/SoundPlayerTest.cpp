// The SDL player heard through SDL's disk driver: the raw mixed output,
// paced in real time, is read back and its content checked (tone frequency,
// amplitude, where silence starts), never its exact size.
#include <gtest/gtest.h>

#include <SDL.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <atomic>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "assets/AssetIds.h"
#include "platform/SoundPlayer.h"
#include "tests/support/WaitFor.h"

namespace {

using namespace std::chrono_literals;
using testsupport::WaitFor;

constexpr int ToneFrames = 110250; // every colour tone: 5 s at 22,050 Hz

// The left channel of what the disk driver wrote while the actions ran.
struct Recording {
    std::vector<int16_t> vecLeft;
    int nRate = 0;

    double Seconds(size_t nFrames) const { return double(nFrames) / nRate; }
};

// Paces the actions by the output itself: on a loaded machine (or under
// emulation) the audio thread may write far slower than the wall clock, and
// only the output's own timeline says when a sound has had its time.
class COutputClock {
public:
    COutputClock(std::string strFile, double dBytesPerSecond)
        : m_strFile(std::move(strFile))
        , m_dBytesPerSecond(dBytesPerSecond)
    {
    }

    // Returns once the output holds dSeconds more than at the last call,
    // however long the output takes to write them.
    // From the output written so far: what came before (the device opening,
    // a slow start of the test) is not counted into the next Advance.
    void StartHere() { m_dTarget = OutputSeconds(); }

    void Advance(double dSeconds)
    {
        m_dTarget += dSeconds;
        ASSERT_TRUE(WaitFor([&] { return OutputSeconds() >= m_dTarget; })) << "the output stopped growing";
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
        // One file from start to end: the device stays open through the
        // quiet between the actions.
        player.SetSleepAfterSilence(std::chrono::minutes(1));
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
        clock.StartHere();
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
    EXPECT_LE(double(nBufferFrames) / rec.nRate, 0.024) << "device buffering too long";

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

// --- A device that goes away and comes back ---


// An output in the test's hand: there or not, slow to open or not, and its
// buffers filled only when the test pulls them.
class CHandOutput : public IAudioOutput {
public:
    struct Control {
        std::mutex mutex;
        bool bPresent = true;
        bool bHoldOpen = false;
        bool bOpen = false;
        bool bAlive = false;
        int nOpenAttempts = 0;
        ChangeHandler handler;
        FillFunction fill = nullptr;
        void* pUser = nullptr;

        // Told as SDL tells: outside the device's lock.
        void TakeAway()
        {
            {
                std::lock_guard lock(mutex);
                bPresent = false;
                bAlive = false;
            }
            handler(Change::Lost);
        }
        void GiveBack(bool bTell)
        {
            {
                std::lock_guard lock(mutex);
                bPresent = true;
            }
            if (bTell)
                handler(Change::Added);
        }
        // The left channel of what the player puts into the next nFrames.
        Recording Pull(size_t nFrames)
        {
            std::lock_guard lock(mutex);
            Recording rec;
            rec.nRate = CSoundPlayer::PreferredRate;
            if (!bOpen)
                return rec;
            std::vector<int16_t> vecFrames(nFrames * 2);
            fill(pUser, reinterpret_cast<uint8_t*>(vecFrames.data()), int(vecFrames.size() * 2));
            for (size_t i = 0; i < nFrames; ++i)
                rec.vecLeft.push_back(vecFrames[i * 2]);
            return rec;
        }
    };

    explicit CHandOutput(std::shared_ptr<Control> pControl) : m_pControl(std::move(pControl)) {}

    void SetChangeHandler(ChangeHandler handler) override { m_pControl->handler = std::move(handler); }
    bool Open(const AudioFormat& want, FillFunction fill, void* pUser, AudioFormat* pHave,
              std::string* pstrError) override
    {
        WaitFor([&] {
            std::lock_guard lock(m_pControl->mutex);
            return !m_pControl->bHoldOpen;
        });
        std::lock_guard lock(m_pControl->mutex);
        ++m_pControl->nOpenAttempts;
        if (!m_pControl->bPresent) {
            *pstrError = "pulled out";
            return false;
        }
        m_pControl->bOpen = m_pControl->bAlive = true;
        m_pControl->fill = fill;
        m_pControl->pUser = pUser;
        *pHave = want;
        return true;
    }
    void Resume() override {}
    bool IsAlive() override
    {
        std::lock_guard lock(m_pControl->mutex);
        return m_pControl->bAlive;
    }
    void Close() override
    {
        std::lock_guard lock(m_pControl->mutex);
        m_pControl->bOpen = m_pControl->bAlive = false;
    }
    void Lock() override { m_pControl->mutex.lock(); }
    void Unlock() override { m_pControl->mutex.unlock(); }

private:
    std::shared_ptr<Control> m_pControl;
};

constexpr size_t TenthFrames = CSoundPlayer::PreferredRate / 10;

bool IsSilent(const Recording& rec)
{
    return Peak(rec, 0, rec.vecLeft.size()) == 0;
}

TEST(SoundDeviceTest, ALostDeviceComesBackWithTheLoopThatSoundedOrWasAskedFor)
{
    auto pControl = std::make_shared<CHandOutput::Control>();
    // Pauses far longer than the test: only the new device's arrival may
    // bring the sound back.
    CSoundPlayer player(std::make_unique<CHandOutput>(pControl), {std::chrono::minutes(5), std::chrono::minutes(5)});
    ASSERT_TRUE(player.WaitForFirstAttempt());
    EXPECT_EQ(player.GetPreparedClips(), 6);
    player.PlayLooping(AssetId::WaveGreen);
    EXPECT_NEAR(Frequency(pControl->Pull(TenthFrames), 0, TenthFrames), 225.0, 15.0);

    pControl->TakeAway();
    ASSERT_TRUE(WaitFor([&] { return !player.IsOpen(); }));
    pControl->GiveBack(true);
    ASSERT_TRUE(WaitFor([&] { return player.IsOpen(); }));
    EXPECT_NEAR(Frequency(pControl->Pull(TenthFrames), 0, TenthFrames), 225.0, 15.0) << "the loop goes on";

    // A loop asked for while the device is away sounds when it returns.
    pControl->TakeAway();
    ASSERT_TRUE(WaitFor([&] { return !player.IsOpen(); }));
    player.PlayLooping(AssetId::WaveRed);
    pControl->GiveBack(true);
    ASSERT_TRUE(WaitFor([&] { return player.IsOpen(); }));
    EXPECT_NEAR(Frequency(pControl->Pull(TenthFrames), 0, TenthFrames), 300.0, 15.0);

    EXPECT_EQ(player.GetOpenings(), 3);
    // What a venue's health report counts.
    EXPECT_TRUE(WaitFor([&] { return player.GetDeviceLosses() == 2 && player.GetDeviceReturns() == 2; }));
}

TEST(SoundDeviceTest, MissingAtStartIsTriedWithGrowingPausesAndFoundWithoutBeingTold)
{
    auto pControl = std::make_shared<CHandOutput::Control>();
    pControl->bPresent = false;
    CSoundPlayer player(std::make_unique<CHandOutput>(pControl), {2ms, 16ms});
    EXPECT_FALSE(player.WaitForFirstAttempt());
    player.PlayOnce(AssetId::WaveGreen); // nothing to wait for
    ASSERT_TRUE(WaitFor([&] { return player.GetRetryPause() == 16ms; })) << "the pause grows to its longest";
    EXPECT_GE(pControl->nOpenAttempts, 4);
    pControl->GiveBack(false);
    ASSERT_TRUE(WaitFor([&] { return player.IsOpen(); }));
    EXPECT_TRUE(IsSilent(pControl->Pull(TenthFrames))) << "the single sound was not kept";
    player.PlayOnce(AssetId::WaveBlue);
    EXPECT_NEAR(Frequency(pControl->Pull(TenthFrames), 0, TenthFrames), 166.0, 15.0);
}

TEST(SoundDeviceTest, ASlowDeviceHoldsNoCallerAndTheFirstToneWaitsForIt)
{
    auto pControl = std::make_shared<CHandOutput::Control>();
    pControl->bHoldOpen = true;
    CSoundPlayer player(std::make_unique<CHandOutput>(pControl));
    player.PlayLooping(AssetId::WaveYellow);
    player.Stop();
    player.PlayOnce(AssetId::WaveBlue);
    EXPECT_FALSE(player.IsOpen());
    {
        std::lock_guard lock(pControl->mutex);
        pControl->bHoldOpen = false;
    }
    ASSERT_TRUE(player.WaitForFirstAttempt());
    EXPECT_NEAR(Frequency(pControl->Pull(TenthFrames), 0, TenthFrames), 166.0, 15.0);
}

// Opened when wanted: no device is touched (and no audio library loaded)
// until a sound is asked for or one is said to come; a stop is no reason.
TEST(SoundDeviceTest, OpenedWhenWantedTheFirstToneStillSounds)
{
    auto pControl = std::make_shared<CHandOutput::Control>();
    CSoundPlayer player(std::make_unique<CHandOutput>(pControl), {}, CSoundPlayer::Opening::WhenWanted);
    player.Stop();
    EXPECT_FALSE(player.WaitForFirstAttempt(50ms));
    EXPECT_EQ(pControl->nOpenAttempts, 0);
    player.PlayLooping(AssetId::WaveBlue);
    ASSERT_TRUE(player.WaitForFirstAttempt());
    EXPECT_NEAR(Frequency(pControl->Pull(TenthFrames), 0, TenthFrames), 166.0, 15.0);

    auto pPrepared = std::make_shared<CHandOutput::Control>();
    CSoundPlayer prepared(std::make_unique<CHandOutput>(pPrepared), {}, CSoundPlayer::Opening::WhenWanted);
    prepared.Prepare();
    EXPECT_TRUE(prepared.WaitForFirstAttempt());
}

// The same through SDL's disk driver: its output file names the device.
// One that cannot be made (its folder does not exist) is a device missing
// at start; a pipe whose reader leaves is a device lost while it plays.
Recording LeftOf(const std::string& strBytes)
{
    Recording rec;
    rec.nRate = CSoundPlayer::PreferredRate;
    for (size_t i = 0; i + 4 <= strBytes.size(); i += 4)
        rec.vecLeft.push_back(int16_t(uint8_t(strBytes[i]) | uint8_t(strBytes[i + 1]) << 8));
    return rec;
}

Recording ReadLeft(const std::string& strFile)
{
    std::ifstream in(strFile, std::ios::binary);
    return LeftOf(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

TEST_F(SoundPlayerTest, DiskDeviceMissingAtStartSoundsTheLoopOnceItIsThere)
{
    QTemporaryDir dir;
    const std::string strFolder = dir.filePath("later").toStdString();
    const std::string strFile = strFolder + "/out.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", strFile.c_str(), 1);
    {
        CSoundPlayer player(nullptr, {20ms, 80ms});
        EXPECT_FALSE(player.WaitForFirstAttempt());
        player.PlayLooping(AssetId::WaveGreen);
        ASSERT_EQ(mkdir(strFolder.c_str(), 0700), 0);
        ASSERT_TRUE(WaitFor([&] { return player.IsOpen(); }));
        COutputClock(strFile, CSoundPlayer::PreferredRate * 4.0).Advance(0.5);
    }
    const Recording rec = ReadLeft(strFile);
    const std::vector<Span> vecSpans = SoundSpans(rec);
    ASSERT_EQ(vecSpans.size(), 1u);
    EXPECT_NEAR(Frequency(rec, vecSpans[0].nBegin, vecSpans[0].nEnd), 225.0, 6.0);
}

TEST_F(SoundPlayerTest, DiskDeviceLostWhilePlayingGoesOnWhereTheNextOneIs)
{
    QTemporaryDir dir;
    const std::string strLink = dir.filePath("device").toStdString();
    const std::string strPipe = dir.filePath("pipe").toStdString();
    const std::string strFile = dir.filePath("out.raw").toStdString();
    ASSERT_EQ(mkfifo(strPipe.c_str(), 0600), 0);
    ASSERT_EQ(symlink(strPipe.c_str(), strLink.c_str()), 0);
    // With a reader there the driver's open does not block; once it has
    // gone, the driver's write fails (and no signal may end the test).
    const int hReader = open(strPipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(hReader, 0);
    const auto prevSigPipe = std::signal(SIGPIPE, SIG_IGN);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", strLink.c_str(), 1);

    std::string strPiped;
    {
        CSoundPlayer player(nullptr, {20ms, 80ms});
        ASSERT_TRUE(player.WaitForFirstAttempt());
        player.PlayLooping(AssetId::WaveGreen);
        // Enough of the tone to tell its pitch, however slowly it is written.
        const size_t nWanted = CSoundPlayer::PreferredRate * 3 / 10;
        ASSERT_TRUE(WaitFor([&] {
            char buffer[4096];
            const ssize_t nRead = read(hReader, buffer, sizeof buffer);
            if (nRead > 0)
                strPiped.append(buffer, size_t(nRead));
            const std::vector<Span> vecSpans = SoundSpans(LeftOf(strPiped));
            return !vecSpans.empty() && vecSpans.back().nEnd - vecSpans.back().nBegin >= nWanted;
        }));
        // The next device is a file; the pipe's reader leaves.
        const std::string strNewLink = strLink + ".new";
        ASSERT_EQ(symlink(strFile.c_str(), strNewLink.c_str()), 0);
        ASSERT_EQ(rename(strNewLink.c_str(), strLink.c_str()), 0);
        close(hReader);
        ASSERT_TRUE(WaitFor([&] { return player.GetOpenings() == 2 && player.IsOpen(); }));
        COutputClock(strFile, CSoundPlayer::PreferredRate * 4.0).Advance(0.5);
    }
    std::signal(SIGPIPE, prevSigPipe);

    const Recording piped = LeftOf(strPiped);
    const std::vector<Span> vecBefore = SoundSpans(piped);
    ASSERT_FALSE(vecBefore.empty());
    EXPECT_NEAR(Frequency(piped, vecBefore[0].nBegin, vecBefore[0].nEnd), 225.0, 6.0);
    const Recording after = ReadLeft(strFile);
    const std::vector<Span> vecAfter = SoundSpans(after);
    ASSERT_EQ(vecAfter.size(), 1u) << "the loop sounds on the next device";
    EXPECT_NEAR(Frequency(after, vecAfter[0].nBegin, vecAfter[0].nEnd), 225.0, 6.0);
}

// The audio threads SDL runs in this process.
int AudioThreads()
{
    int nThreads = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string strName;
        std::getline(comm, strName);
        nThreads += strName.rfind("SDLAudio", 0) == 0;
    }
    return nThreads;
}

// With nothing to sound the device is closed and no audio thread wakes;
// the next tone opens it again and sounds whole, from its first sample, as
// the one before did. A loop keeps it open however long it runs.
TEST_F(SoundPlayerTest, AQuietDeviceSleepsAndTheNextToneStillSoundsWhole)
{
    QTemporaryDir dir;
    const std::string strFile = dir.filePath("out.raw").toStdString();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", strFile.c_str(), 1);
    Recording first;
    Recording second;
    {
        CSoundPlayer player;
        ASSERT_TRUE(player.WaitForFirstAttempt());
        player.PlayOnce(AssetId::WaveLose);
        ASSERT_TRUE(WaitFor([&] { return player.IsAsleep(); }));
        ASSERT_TRUE(WaitFor([] { return AudioThreads() == 0; })) << "a closed device's thread still runs";
        first = ReadLeft(strFile);

        player.PlayOnce(AssetId::WaveLose);
        EXPECT_TRUE(WaitFor([&] { return !player.IsAsleep(); }));
        ASSERT_TRUE(WaitFor([&] { return player.IsAsleep() && AudioThreads() == 0; }));
        // SDL's disk driver starts its file afresh as it opens.
        second = ReadLeft(strFile);

        player.PlayLooping(AssetId::WaveRed);
        ASSERT_TRUE(WaitFor([&] { return !player.IsAsleep(); }));
        COutputClock clock(strFile, CSoundPlayer::PreferredRate * 4.0);
        clock.StartHere();
        clock.Advance(1.0);
        EXPECT_FALSE(player.IsAsleep()) << "a loop that sounds is no quiet";
        EXPECT_EQ(AudioThreads(), 1);
    }
    const std::vector<Span> vecFirst = SoundSpans(first);
    const std::vector<Span> vecSecond = SoundSpans(second);
    ASSERT_FALSE(vecFirst.empty());
    ASSERT_FALSE(vecSecond.empty());
    const Span a = vecFirst.back();
    const Span b = vecSecond.back();
    EXPECT_NEAR(double(b.nEnd - b.nBegin), double(a.nEnd - a.nBegin), 4.0) << "the tone after the pause was cut";
    EXPECT_NEAR(Frequency(second, b.nBegin, b.nEnd), Frequency(first, a.nBegin, a.nEnd), 1.0);
    // Frames of output, not time: the quiet the device played before it
    // slept is counted as the player counts it.
    EXPECT_GE(first.vecLeft.size() - a.nEnd, size_t(first.nRate) * CSoundPlayer::SleepAfterSilenceMs / 1000)
        << "the device slept before the quiet was long";
}

} // namespace
