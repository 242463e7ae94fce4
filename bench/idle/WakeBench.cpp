// What sleeping between sounds costs a tone: from PlayLooping to the tone's
// first samples handed to the device, once with the device asleep (closed,
// opened again for the tone) and once with it still open in the quiet after
// a stop. SDL's own device (its disk driver writing into /dev/null, which
// keeps time as a sound card would), watched through its fill function.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "assets/AssetIds.h"
#include "platform/AudioOutput.h"
#include "platform/SoundPlayer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int Runs = 20;

// SDL's output, noting when a buffer first carries sound.
class CWatchedOutput : public IAudioOutput {
public:
    CWatchedOutput()
        : m_pSdl(CreateSdlAudioOutput())
    {
    }

    void SetChangeHandler(ChangeHandler handler) override { m_pSdl->SetChangeHandler(std::move(handler)); }
    bool Open(const AudioFormat& want, FillFunction fill, void* pUser, AudioFormat* pHave,
              std::string* pstrError) override
    {
        m_fill = fill;
        m_pUser = pUser;
        return m_pSdl->Open(want, &CWatchedOutput::Fill, this, pHave, pstrError);
    }
    void Resume() override { m_pSdl->Resume(); }
    bool CanSleep() const override { return m_pSdl->CanSleep(); }
    void Suspend() override { m_pSdl->Suspend(); }
    bool Reopen(AudioFormat* pHave, std::string* pstrError) override { return m_pSdl->Reopen(pHave, pstrError); }
    bool IsAlive() override { return m_pSdl->IsAlive(); }
    void Close() override { m_pSdl->Close(); }
    void Lock() override { m_pSdl->Lock(); }
    void Unlock() override { m_pSdl->Unlock(); }

    // Forgets the sound seen so far; SoundSince then waits for the next.
    void Arm() { m_nSoundAt = 0; }
    Clock::time_point WaitForSound() const
    {
        while (m_nSoundAt.load() == 0)
            std::this_thread::sleep_for(200us);
        return Clock::time_point(Clock::duration(m_nSoundAt.load()));
    }

private:
    static void Fill(void* pUser, uint8_t* pStream, int nLen)
    {
        auto* pThis = static_cast<CWatchedOutput*>(pUser);
        pThis->m_fill(pThis->m_pUser, pStream, nLen);
        const auto* pSamples = reinterpret_cast<const int16_t*>(pStream);
        if (pThis->m_nSoundAt.load() == 0 &&
            std::any_of(pSamples, pSamples + nLen / 2, [](int16_t n) { return n != 0; }))
            pThis->m_nSoundAt = Clock::now().time_since_epoch().count();
    }

    std::unique_ptr<IAudioOutput> m_pSdl;
    FillFunction m_fill = nullptr;
    void* m_pUser = nullptr;
    std::atomic<Clock::rep> m_nSoundAt {0};
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    std::vector<double> vecAsleep;
    std::vector<double> vecOpen;
    int nBufferFrames = 0;
    int nRate = 0;
    {
        auto pOwned = std::make_unique<CWatchedOutput>();
        CWatchedOutput& output = *pOwned;
        CSoundPlayer player(std::move(pOwned));
        if (!player.WaitForFirstAttempt() || !player.IsOpen()) {
            std::printf("9. tone after sleep: no audio device; skipped\n");
            return 0;
        }
        nBufferFrames = player.DeviceBufferFrames();
        nRate = player.DeviceRate();
        for (int i = 0; i < Runs; ++i) {
            while (!player.IsAsleep())
                std::this_thread::sleep_for(5ms);
            // Fully asleep: the device's thread has been joined.
            std::this_thread::sleep_for(100ms);
            output.Arm();
            Clock::time_point tAsked = Clock::now();
            player.PlayLooping(AssetId::WaveGreen);
            vecAsleep.push_back(std::chrono::duration<double, std::milli>(output.WaitForSound() - tAsked).count());
            std::this_thread::sleep_for(100ms);
            player.Stop();
            // Still open in the quiet after the stop, asked at any point of
            // a buffer.
            std::this_thread::sleep_for(60ms + std::chrono::milliseconds(i * 7 % 23));
            output.Arm();
            tAsked = Clock::now();
            player.PlayLooping(AssetId::WaveRed);
            vecOpen.push_back(std::chrono::duration<double, std::milli>(output.WaitForSound() - tAsked).count());
            std::this_thread::sleep_for(100ms);
            player.Stop();
        }
    }
    std::printf("9. a tone handed to the device (%d-frame buffers at %d Hz, %.1f ms), %d runs:\n", nBufferFrames, nRate,
                1000.0 * nBufferFrames / nRate, Runs);
    std::printf("   device asleep: median %.1f ms, worst %.1f ms; device open: median %.1f ms, worst %.1f ms\n",
                Median(vecAsleep), *std::max_element(vecAsleep.begin(), vecAsleep.end()), Median(vecOpen),
                *std::max_element(vecOpen.begin(), vecOpen.end()));
    std::printf("   goal: waking the device adds at most 10 ms to a tone's start\n");
    std::printf("FIGURE P9_tone_after_sleep_ms %.1f\n", Median(vecAsleep));
    std::printf("FIGURE P9_tone_while_open_ms %.1f\n", Median(vecOpen));
    return 0;
}
