// The audio thread's side of the sound player: the clips converted to the
// device's format, and the buffers filled from them.
#define SDL_MAIN_HANDLED
#include "platform/SoundPlayer.h"

#include <algorithm>
#include <cstring>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "platform/SdlLibrary.h"

namespace {

// Every sound the game plays; all of them are made ready when a device
// opens, so no play has to convert on the caller's thread.
constexpr int WaveIds[] = {AssetId::WaveGreen, AssetId::WaveRed, AssetId::WaveBlue,
                           AssetId::WaveYellow, AssetId::WaveLose, AssetId::WaveWin};

} // namespace

CSoundPlayer::ClipMap CSoundPlayer::PrepareClips(const AudioFormat& format)
{
    ClipMap mapClips;
    // Loaded by now when the output is SDL's; a stand-in output in tests
    // still has its clips converted by SDL.
    const SdlApi* pSdl = LoadSdl();
    if (!pSdl)
        return mapClips;
    const size_t nFrameBytes = size_t(SDL_AUDIO_BITSIZE(format.nFormat) / 8) * size_t(format.nChannels);
    for (const int nSoundId : WaveIds) {
        const QByteArray wave = LoadWaveResource(nSoundId);
        if (wave.isEmpty())
            continue;
        SDL_AudioSpec src {};
        Uint8* pSamples = nullptr;
        Uint32 nBytes = 0;
        if (!pSdl->LoadWAV_RW(pSdl->RWFromConstMem(wave.constData(), int(wave.size())), 1, &src, &pSamples,
                            &nBytes))
            continue;

        // Whole-clip conversion, not SDL_AudioStream: a flushed stream drops
        // the last few hundred frames when it resamples.
        SDL_AudioCVT cvt {};
        const int nBuilt = pSdl->BuildAudioCVT(&cvt, src.format, src.channels, src.freq, format.nFormat,
                                             Uint8(format.nChannels), format.nRate);
        auto pClip = std::make_unique<Clip>();
        bool bConverted = nBuilt >= 0;
        if (nBuilt == 0) {
            pClip->vecBytes.assign(pSamples, pSamples + nBytes);
        } else if (nBuilt > 0) {
            cvt.len = int(nBytes);
            pClip->vecBytes.resize(size_t(nBytes) * size_t(cvt.len_mult));
            std::memcpy(pClip->vecBytes.data(), pSamples, nBytes);
            cvt.buf = pClip->vecBytes.data();
            bConverted = pSdl->ConvertAudio(&cvt) == 0;
            pClip->vecBytes.resize(size_t(cvt.len_cvt));
        }
        pSdl->FreeWAV(pSamples);
        // A partial frame at the end would shift every loop after it.
        pClip->vecBytes.resize(pClip->vecBytes.size() / nFrameBytes * nFrameBytes);
        if (bConverted && !pClip->vecBytes.empty())
            mapClips[nSoundId] = std::move(pClip);
    }
    return mapClips;
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
    // m_format is set before the device runs and stays while it does.
    std::memset(pStream + nDone, m_format.nSilence, nWanted - nDone);

    const size_t nFrameBytes = size_t(SDL_AUDIO_BITSIZE(m_format.nFormat) / 8) * size_t(std::max(1, m_format.nChannels));
    const size_t nSilent = (nWanted - nDone) / nFrameBytes;
    m_nSilentFrames = nDone == nWanted || m_pPlaying ? 0 : (nDone == 0 ? m_nSilentFrames + nSilent : nSilent);
    if (!m_bQuiet && m_nSilentFrames >= size_t(m_format.nRate) * size_t(m_nSleepAfterSilenceMs.load()) / 1000) {
        m_bQuiet = true;
        // Without the player's mutex, which the audio thread never takes: a
        // keeper that misses this sees the quiet at its next check.
        m_cvChange.notify_all();
    }
}

void CSoundPlayer::SetSleepAfterSilence(std::chrono::milliseconds quiet)
{
    m_nSleepAfterSilenceMs = static_cast<int>(quiet.count());
}
