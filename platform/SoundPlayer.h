// Plays the embedded sounds through an audio output: once, looping, or stop.
// The application owns one; everything else reaches it as ISoundPlayer.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/AudioOutput.h"
#include "protocol/ISoundPlayer.h"

// Pauses between attempts to open a missing audio device, doubling from the
// first to the longest; a device that appears cuts a pause short.
struct SoundRetryTiming {
    std::chrono::milliseconds first {1000};
    std::chrono::milliseconds longest {30000};
};

class CSoundPlayer : public ISoundPlayer {
public:
    // The device is asked for 16-bit stereo at the sounds' own rate. Its
    // thread wakes once a buffer while open: 23 ms buffers keep a new tone
    // or a stop well inside what the eye takes for the same moment as the
    // light, and wake it half as often as 12 ms ones did.
    static constexpr int PreferredRate = 22050;
    static constexpr int PreferredChannels = 2;
    static constexpr int PreferredBufferFrames = 512;
    // After this much silence played in a row the device is closed, so that
    // its thread stops waking; the next sound opens it again. Counted in
    // the output's own time: longer than the dark between the colours the
    // board shows (200 ms), so a shown sequence keeps it open, and short
    // enough that it sleeps while the player thinks.
    static constexpr int SleepAfterSilenceMs = 250;

    // When the device is first opened: at construction, or once a sound is
    // wanted (the first sound asked for, or Prepare). Until then nothing of
    // the audio stack is loaded.
    enum class Opening { AtOnce, WhenWanted };

    // Opens the default audio device on a thread of its own and returns at
    // once. Without a device the player is silent, says so in one line on
    // stderr, and plays again once a device is there (at start or after
    // the device went away). pOutput: SDL's default device when null.
    explicit CSoundPlayer(Opening nOpening = Opening::AtOnce);
    explicit CSoundPlayer(std::unique_ptr<IAudioOutput> pOutput, SoundRetryTiming timing = {},
                          Opening nOpening = Opening::AtOnce);
    ~CSoundPlayer() override;
    CSoundPlayer(const CSoundPlayer&) = delete;
    CSoundPlayer& operator=(const CSoundPlayer&) = delete;

    // Never wait for the device. A sound asked for before the first open
    // has ended plays once it has; a looping one asked for while there is
    // no device sounds when one comes; a single sound then is dropped, as
    // it would be heard out of its time. An id without a sound (0,
    // unknown, undecodable) stops instead.
    void PlayOnce(int nSoundId) override;
    void PlayLooping(int nSoundId) override;
    void Stop() override;
    void Prepare() override;

    // Waits until the first attempt to open has ended; true when open.
    // With Opening::WhenWanted, only an attempt that was started ends.
    bool WaitForFirstAttempt(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool IsOpen() const;
    // Open, but closed while nothing sounds (see SleepAfterSilenceMs).
    bool IsAsleep() const;
    // How much silence closes the device. A recording of the output that
    // must stay one file (SDL's disk driver starts its file afresh at each
    // opening) asks for longer than it will ever be quiet.
    void SetSleepAfterSilence(std::chrono::milliseconds quiet);
    // The format the device runs in (SDL_AudioFormat), valid while open.
    uint16_t DeviceFormat() const;
    int DeviceRate() const;
    int DeviceChannels() const;
    int DeviceBufferFrames() const;
    // How often a device was opened, and the pause before the next attempt.
    int GetOpenings() const;
    std::chrono::milliseconds GetRetryPause() const;
    // Sounds ready in the device's format.
    int GetPreparedClips() const;
    // How often an open device went away, and how often sound came back
    // after the player had run silent; for a venue's health report.
    uint64_t GetDeviceLosses() const { return m_nDeviceLosses; }
    uint64_t GetDeviceReturns() const { return m_nDeviceReturns; }

private:
    // A sound converted to the device format, ready to be copied out.
    struct Clip {
        std::vector<uint8_t> vecBytes;
    };
    using ClipMap = std::map<int, std::unique_ptr<Clip>>;
    enum class State { FirstAttempt, Open, Absent };
    struct Request {
        int nSoundId = 0;
        bool bLoop = false;
    };

    // Starts the device's keeper unless it runs or the player is stopping.
    void StartLocked();
    void Run();
    // True while the device lasted; false when stopping.
    bool WaitWhileOpen();
    void WaitBeforeRetry();
    // The keeper closes the quiet device, and opens it for the next sound:
    // false when it cannot be opened again (taken as lost).
    void FallAsleep();
    bool WakeUp();
    // The device runs in `have` (bOpened: newly opened, not woken): the
    // clips ready for it, and the sound that waited for it started.
    void StartOnDevice(const AudioFormat& have, bool bOpened);
    void OnChange(IAudioOutput::Change change);
    static ClipMap PrepareClips(const AudioFormat& format);
    void Ask(int nSoundId, bool bLoop);
    void PlayLocked(int nSoundId, bool bLoop);
    static void AudioCallback(void* pUser, uint8_t* pStream, int nLen);
    void Fill(uint8_t* pStream, int nLen);

    std::unique_ptr<IAudioOutput> m_pOutput;
    const SoundRetryTiming m_timing;

    mutable std::mutex m_mutex;
    std::condition_variable m_cvChange;
    State m_nState = State::FirstAttempt;
    bool m_bStopping = false;
    bool m_bLost = false;
    bool m_bAdded = false;
    AudioFormat m_format;
    // Replaced only while no device is open, so the audio thread never sees
    // a clip go away.
    ClipMap m_mapClips;
    AudioFormat m_formatClips;
    // What is asked to sound while no device plays it.
    Request m_pending;
    // The last call was PlayLooping of this id: it sounds still.
    int m_nLoopingId = 0;
    int m_nOpenings = 0;
    // The device is closed for quiet; m_pending holds what is to wake it.
    bool m_bAsleep = false;
    bool m_bWakeWanted = false;
    std::chrono::milliseconds m_retryPause;

    // Touched by the audio thread; changed only under the output's lock.
    const Clip* m_pPlaying = nullptr;
    size_t m_nPlayPos = 0;
    bool m_bLoop = false;
    // Silence played since the last sound, in frames; set once it is long
    // enough to close the device for.
    size_t m_nSilentFrames = 0;
    std::atomic<bool> m_bQuiet{false};
    std::atomic<int> m_nSleepAfterSilenceMs{SleepAfterSilenceMs};

    std::atomic<uint64_t> m_nDeviceLosses{0};
    std::atomic<uint64_t> m_nDeviceReturns{0};

    // Last, so that it starts once everything above exists.
    std::thread m_thread;
};
