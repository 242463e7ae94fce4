#define SDL_MAIN_HANDLED
#include "platform/SoundPlayer.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "assets/AssetStore.h"

namespace {

// The one line a user without sound sees; no dialog, Quado runs on.
void ReportNoSound(const char* pszReason)
{
    std::fprintf(stderr, "Quado: no audio device, running without sound (%s)\n",
                 pszReason && *pszReason ? pszReason : "unknown reason");
}

// ALSA prints a paragraph of its own on stderr when it finds no card; the
// one line above says all a user needs, so ALSA is kept quiet while SDL
// looks for a device.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...)
{
}

} // namespace

CSoundPlayer::CSoundPlayer()
{
    snd_lib_error_set_handler(&IgnoreAlsaError);
    OpenDevice();
    snd_lib_error_set_handler(nullptr);
}

void CSoundPlayer::OpenDevice()
{
    // SDL would take SIGINT and SIGTERM for an event queue nobody reads, and
    // Quado would then ignore Ctrl-C, kill and the end of the session.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        ReportNoSound(SDL_GetError());
        return;
    }
    m_bSubsystemUp = true;

    SDL_AudioSpec want {};
    want.freq = PreferredRate;
    want.format = AUDIO_S16SYS;
    want.channels = PreferredChannels;
    want.samples = PreferredBufferFrames;
    want.callback = &CSoundPlayer::AudioCallback;
    want.userdata = this;
    SDL_AudioSpec have {};
    // Rate, format and channels may follow the device: every clip is
    // converted once to what the device runs. The buffer size must stay
    // small, so SDL may not grow it.
    const int nAllowed = SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_FORMAT_CHANGE
        | SDL_AUDIO_ALLOW_CHANNELS_CHANGE;
    const SDL_AudioDeviceID hDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, nAllowed);
    if (hDevice == 0) {
        ReportNoSound(SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bSubsystemUp = false;
        return;
    }
    m_hDevice = hDevice;
    m_nFormat = have.format;
    m_nRate = have.freq;
    m_nChannels = have.channels;
    m_nBufferFrames = have.samples;
    m_nSilence = have.silence;
    SDL_PauseAudioDevice(m_hDevice, 0);
}

CSoundPlayer::~CSoundPlayer()
{
    // Closing joins the audio thread, after which the clips may go.
    if (m_hDevice != 0)
        SDL_CloseAudioDevice(m_hDevice);
    if (m_bSubsystemUp)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void CSoundPlayer::PlayOnce(int nSoundId)
{
    if (m_hDevice != 0)
        Start(FindClip(nSoundId), false);
}

void CSoundPlayer::PlayLooping(int nSoundId)
{
    if (m_hDevice != 0)
        Start(FindClip(nSoundId), true);
}

void CSoundPlayer::Stop()
{
    if (m_hDevice != 0)
        Start(nullptr, false);
}

void CSoundPlayer::Start(const Clip* pClip, bool bLoop)
{
    SDL_LockAudioDevice(m_hDevice);
    m_pPlaying = pClip;
    m_nPlayPos = 0;
    m_bLoop = bLoop;
    SDL_UnlockAudioDevice(m_hDevice);
}

const CSoundPlayer::Clip* CSoundPlayer::FindClip(int nSoundId)
{
    if (nSoundId == 0)
        return nullptr;
    if (auto it = m_mapClips.find(nSoundId); it != m_mapClips.end())
        return it->second.get();
    std::unique_ptr<Clip>& pSlot = m_mapClips[nSoundId];

    const QByteArray wave = LoadWaveResource(nSoundId);
    if (wave.isEmpty())
        return nullptr;
    SDL_AudioSpec src {};
    Uint8* pSamples = nullptr;
    Uint32 nBytes = 0;
    if (!SDL_LoadWAV_RW(SDL_RWFromConstMem(wave.constData(), int(wave.size())), 1, &src, &pSamples,
                        &nBytes))
        return nullptr;

    // Whole-clip conversion, not SDL_AudioStream: a flushed stream drops
    // the last few hundred frames when it resamples.
    SDL_AudioCVT cvt {};
    const int nBuilt = SDL_BuildAudioCVT(&cvt, src.format, src.channels, src.freq, m_nFormat,
                                         Uint8(m_nChannels), m_nRate);
    auto pClip = std::make_unique<Clip>();
    if (nBuilt < 0) {
        SDL_FreeWAV(pSamples);
        return nullptr;
    }
    if (nBuilt == 0) {
        pClip->vecBytes.assign(pSamples, pSamples + nBytes);
    } else {
        cvt.len = int(nBytes);
        pClip->vecBytes.resize(size_t(nBytes) * size_t(cvt.len_mult));
        std::memcpy(pClip->vecBytes.data(), pSamples, nBytes);
        cvt.buf = pClip->vecBytes.data();
        if (SDL_ConvertAudio(&cvt) != 0) {
            SDL_FreeWAV(pSamples);
            return nullptr;
        }
        pClip->vecBytes.resize(size_t(cvt.len_cvt));
    }
    SDL_FreeWAV(pSamples);

    // A partial frame at the end would shift every loop after it.
    const size_t nFrameBytes = size_t(SDL_AUDIO_BITSIZE(m_nFormat) / 8) * size_t(m_nChannels);
    pClip->vecBytes.resize(pClip->vecBytes.size() / nFrameBytes * nFrameBytes);
    if (pClip->vecBytes.empty())
        return nullptr;
    pSlot = std::move(pClip);
    return pSlot.get();
}

void CSoundPlayer::AudioCallback(void* pUser, uint8_t* pStream, int nLen)
{
    static_cast<CSoundPlayer*>(pUser)->Fill(pStream, nLen);
}

void CSoundPlayer::Fill(uint8_t* pStream, int nLen)
{
    size_t nDone = 0;
    const size_t nWanted = size_t(nLen);
    while (nDone < nWanted && m_pPlaying) {
        const std::vector<uint8_t>& vecBytes = m_pPlaying->vecBytes;
        const size_t nCopy = std::min(nWanted - nDone, vecBytes.size() - m_nPlayPos);
        std::memcpy(pStream + nDone, vecBytes.data() + m_nPlayPos, nCopy);
        nDone += nCopy;
        m_nPlayPos += nCopy;
        if (m_nPlayPos == vecBytes.size()) {
            m_nPlayPos = 0;
            if (!m_bLoop)
                m_pPlaying = nullptr;
        }
    }
    std::memset(pStream + nDone, m_nSilence, nWanted - nDone);
}
