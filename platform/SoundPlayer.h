// Plays the embedded sounds through SDL2 audio: once, looping, or stop.
// The application owns one; everything else reaches it as ISoundPlayer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "protocol/ISoundPlayer.h"

class CSoundPlayer : public ISoundPlayer {
public:
    // The device is asked for 16-bit stereo at the sounds' own rate, with a
    // short buffer so that a new tone or a stop is heard within a few ms.
    static constexpr int PreferredRate = 22050;
    static constexpr int PreferredChannels = 2;
    static constexpr int PreferredBufferFrames = 256;

    // Opens the default audio device. Without one the player stays silent,
    // says so in one line on stderr, and every call does nothing.
    CSoundPlayer();
    ~CSoundPlayer() override;
    CSoundPlayer(const CSoundPlayer&) = delete;
    CSoundPlayer& operator=(const CSoundPlayer&) = delete;

    // An id without a sound (0, unknown, undecodable) stops instead.
    void PlayOnce(int nSoundId) override;
    void PlayLooping(int nSoundId) override;
    void Stop() override;

    bool IsOpen() const { return m_hDevice != 0; }
    // The format the device runs in (SDL_AudioFormat), valid while open.
    uint16_t DeviceFormat() const { return m_nFormat; }
    int DeviceRate() const { return m_nRate; }
    int DeviceChannels() const { return m_nChannels; }
    int DeviceBufferFrames() const { return m_nBufferFrames; }

private:
    // A sound converted to the device format, ready to be copied out.
    struct Clip {
        std::vector<uint8_t> vecBytes;
    };

    void OpenDevice();
    const Clip* FindClip(int nSoundId);
    void Start(const Clip* pClip, bool bLoop);
    static void AudioCallback(void* pUser, uint8_t* pStream, int nLen);
    void Fill(uint8_t* pStream, int nLen);

    bool m_bSubsystemUp = false;
    uint32_t m_hDevice = 0;
    uint16_t m_nFormat = 0;
    int m_nRate = 0;
    int m_nChannels = 0;
    int m_nBufferFrames = 0;
    uint8_t m_nSilence = 0;

    // Filled on first use of an id and kept until the device is closed, so
    // the audio thread never sees a clip go away. Null entries remember ids
    // that have no sound.
    std::map<int, std::unique_ptr<Clip>> m_mapClips;

    // Touched by the audio thread; changed only under the device lock.
    const Clip* m_pPlaying = nullptr;
    size_t m_nPlayPos = 0;
    bool m_bLoop = false;
};
