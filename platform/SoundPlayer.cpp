#define SDL_MAIN_HANDLED
#include "platform/SoundPlayer.h"


#include <algorithm>
#include <cstdio>
#include <cstring>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "platform/SdlLibrary.h"

namespace {

// How often an open device is checked in case its loss was not told.
constexpr std::chrono::milliseconds AliveCheckPeriod {500};

void Say(const char* pszLine, const std::string& strReason = {})
{
    if (strReason.empty())
        std::fprintf(stderr, "Quado: %s\n", pszLine);
    else
        std::fprintf(stderr, "Quado: %s (%s)\n", pszLine, strReason.c_str());
}

bool SameFormat(const AudioFormat& a, const AudioFormat& b)
{
    return a.nFormat == b.nFormat && a.nRate == b.nRate && a.nChannels == b.nChannels;
}

} // namespace

CSoundPlayer::CSoundPlayer(Opening nOpening)
    : CSoundPlayer(nullptr, {}, nOpening)
{
}

CSoundPlayer::CSoundPlayer(std::unique_ptr<IAudioOutput> pOutput, SoundRetryTiming timing, Opening nOpening)
    : m_pOutput(pOutput ? std::move(pOutput) : CreateSdlAudioOutput())
    , m_timing(timing)
    , m_retryPause(timing.first)
{
    m_pOutput->SetChangeHandler([this](IAudioOutput::Change change) { OnChange(change); });
    if (nOpening == Opening::AtOnce) {
        std::lock_guard lock(m_mutex);
        StartLocked();
    }
}

void CSoundPlayer::StartLocked()
{
    if (!m_thread.joinable() && !m_bStopping)
        m_thread = std::thread([this] { Run(); });
}

CSoundPlayer::~CSoundPlayer()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_cvChange.notify_all();
    // No keeper starts once m_bStopping is set.
    if (m_thread.joinable())
        m_thread.join();
    // Before the members its change handler reaches go.
    m_pOutput.reset();
}

// The device's keeper. Output calls other than Lock and Unlock are made
// without m_mutex held: they may take long or join the audio thread, which
// may be telling of a change at that moment.
void CSoundPlayer::Run()
{
    bool bSaidSilent = false;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_bStopping)
                return;
            m_bLost = false;
            m_bAdded = false;
        }
        const AudioFormat want {AUDIO_S16SYS, PreferredRate, PreferredChannels, PreferredBufferFrames, 0};
        AudioFormat have;
        std::string strError;
        if (!m_pOutput->Open(want, &CSoundPlayer::AudioCallback, this, &have, &strError)) {
            {
                std::lock_guard lock(m_mutex);
                m_nState = State::Absent;
            }
            m_cvChange.notify_all();
            if (!bSaidSilent)
                Say("no audio device, running without sound", strError.empty() ? "unknown reason" : strError);
            bSaidSilent = true;
            WaitBeforeRetry();
            continue;
        }

        StartOnDevice(have, true);
        m_cvChange.notify_all();
        m_pOutput->Resume();
        if (bSaidSilent) {
            Say("audio device found, sound on");
            ++m_nDeviceReturns;
        }
        bSaidSilent = false;

        const auto opened = std::chrono::steady_clock::now();
        const bool bLost = WaitWhileOpen();
        m_pOutput->Close();
        {
            // No audio thread runs now; nothing may point into clips that
            // the next open may replace.
            std::lock_guard lock(m_mutex);
            m_pPlaying = nullptr;
            m_nPlayPos = 0;
        }
        if (!bLost)
            return;
        Say("audio device lost, running without sound until one is there");
        ++m_nDeviceLosses;
        bSaidSilent = true;
        // A device that comes and goes at once is not tried at full speed.
        if (std::chrono::steady_clock::now() - opened >= m_timing.longest) {
            std::lock_guard lock(m_mutex);
            m_retryPause = m_timing.first;
        }
        WaitBeforeRetry();
    }
}

bool CSoundPlayer::WaitWhileOpen()
{
    const bool bCanSleep = m_pOutput->CanSleep();
    for (;;) {
        bool bAsleep = false;
        {
            std::lock_guard lock(m_mutex);
            bAsleep = m_bAsleep;
        }
        // A closed device has nothing to check; its loss shows when it is
        // opened again.
        const bool bAlive = bAsleep || m_pOutput->IsAlive();
        std::unique_lock lock(m_mutex);
        if (m_bStopping)
            return false;
        if (!bAlive || m_bLost) {
            // From here on no call locks the device that is about to close;
            // the loop that sounded is asked for again.
            m_nState = State::Absent;
            m_bAsleep = m_bWakeWanted = false;
            m_pending = {m_nLoopingId, m_nLoopingId != 0};
            return true;
        }
        if (m_bAsleep && m_bWakeWanted) {
            lock.unlock();
            if (!WakeUp()) {
                std::lock_guard relock(m_mutex);
                m_bLost = true;
            }
            continue;
        }
        if (!m_bAsleep && bCanSleep && m_bQuiet) {
            lock.unlock();
            FallAsleep();
            continue;
        }
        // Asleep, nothing is polled: only a sound, a stop or a loss wakes.
        const auto pred = [this, bCanSleep] {
            return m_bStopping || m_bLost || (m_bAsleep ? m_bWakeWanted : bCanSleep && m_bQuiet);
        };
        if (m_bAsleep)
            m_cvChange.wait(lock, pred);
        else
            m_cvChange.wait_for(lock, AliveCheckPeriod, pred);
    }
}

void CSoundPlayer::FallAsleep()
{
    {
        std::lock_guard lock(m_mutex);
        // A sound asked for since the audio thread found the quiet keeps the
        // device open.
        m_pOutput->Lock();
        const bool bStillQuiet = !m_pPlaying && m_bQuiet;
        m_pOutput->Unlock();
        if (!bStillQuiet || m_bStopping || m_bLost)
            return;
        // From here on a sound asked for waits in m_pending for WakeUp.
        m_bAsleep = true;
        m_bWakeWanted = false;
        m_pending = {};
    }
    m_pOutput->Suspend();
}

void CSoundPlayer::StartOnDevice(const AudioFormat& have, bool bOpened)
{
    bool bReuse = false;
    {
        std::lock_guard lock(m_mutex);
        bReuse = !m_mapClips.empty() && SameFormat(m_formatClips, have);
    }
    // A device that came back in another format (a sound server changed
    // meanwhile) gets its clips anew; no audio thread reads them now.
    ClipMap mapClips;
    if (!bReuse)
        mapClips = PrepareClips(have);
    std::lock_guard lock(m_mutex);
    if (!bReuse) {
        m_mapClips = std::move(mapClips);
        m_formatClips = have;
    }
    m_format = have;
    if (bOpened) {
        m_nState = State::Open;
        ++m_nOpenings;
    }
    m_bAsleep = m_bWakeWanted = false;
    m_pOutput->Lock();
    m_nSilentFrames = 0;
    m_bQuiet = false;
    PlayLocked(m_pending.nSoundId, m_pending.bLoop);
    m_pOutput->Unlock();
    m_pending = {};
}

bool CSoundPlayer::WakeUp()
{
    AudioFormat have;
    std::string strError;
    if (!m_pOutput->Reopen(&have, &strError))
        return false;
    StartOnDevice(have, false);
    m_pOutput->Resume();
    return true;
}

void CSoundPlayer::WaitBeforeRetry()
{
    std::unique_lock lock(m_mutex);
    m_cvChange.wait_for(lock, m_retryPause, [this] { return m_bStopping || m_bAdded; });
    m_retryPause = std::min(m_retryPause * 2, m_timing.longest);
}

void CSoundPlayer::OnChange(IAudioOutput::Change change)
{
    {
        std::lock_guard lock(m_mutex);
        (change == IAudioOutput::Change::Lost ? m_bLost : m_bAdded) = true;
    }
    m_cvChange.notify_all();
}

bool CSoundPlayer::WaitForFirstAttempt(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_cvChange.wait_for(lock, timeout, [this] { return m_nState != State::FirstAttempt; });
    return m_nState == State::Open;
}

bool CSoundPlayer::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_nState == State::Open;
}

bool CSoundPlayer::IsAsleep() const
{
    std::lock_guard lock(m_mutex);
    return m_nState == State::Open && m_bAsleep;
}

uint16_t CSoundPlayer::DeviceFormat() const
{
    std::lock_guard lock(m_mutex);
    return m_format.nFormat;
}

int CSoundPlayer::DeviceRate() const
{
    std::lock_guard lock(m_mutex);
    return m_format.nRate;
}

int CSoundPlayer::DeviceChannels() const
{
    std::lock_guard lock(m_mutex);
    return m_format.nChannels;
}

int CSoundPlayer::DeviceBufferFrames() const
{
    std::lock_guard lock(m_mutex);
    return m_format.nBufferFrames;
}

int CSoundPlayer::GetOpenings() const
{
    std::lock_guard lock(m_mutex);
    return m_nOpenings;
}

std::chrono::milliseconds CSoundPlayer::GetRetryPause() const
{
    std::lock_guard lock(m_mutex);
    return m_retryPause;
}

int CSoundPlayer::GetPreparedClips() const
{
    std::lock_guard lock(m_mutex);
    return int(m_mapClips.size());
}

void CSoundPlayer::PlayOnce(int nSoundId)
{
    Ask(nSoundId, false);
}

void CSoundPlayer::PlayLooping(int nSoundId)
{
    Ask(nSoundId, true);
}

void CSoundPlayer::Stop()
{
    Ask(0, false);
}

void CSoundPlayer::Prepare()
{
    std::lock_guard lock(m_mutex);
    StartLocked();
}

void CSoundPlayer::Ask(int nSoundId, bool bLoop)
{
    std::lock_guard lock(m_mutex);
    // A stop before any sound needs no device.
    if (nSoundId != 0)
        StartLocked();
    m_nLoopingId = bLoop ? nSoundId : 0;
    switch (m_nState) {
    case State::Open:
        if (m_bAsleep) {
            // Only a sound there is to play opens the device again.
            m_pending = {nSoundId, bLoop};
            if (m_mapClips.count(nSoundId) != 0) {
                m_bWakeWanted = true;
                m_cvChange.notify_all();
            }
            break;
        }
        m_pOutput->Lock();
        PlayLocked(nSoundId, bLoop);
        m_pOutput->Unlock();
        break;
    case State::FirstAttempt:
        m_pending = {nSoundId, bLoop};
        break;
    case State::Absent:
        m_pending = {bLoop ? nSoundId : 0, bLoop};
        break;
    }
}

void CSoundPlayer::PlayLocked(int nSoundId, bool bLoop)
{
    const auto it = m_mapClips.find(nSoundId);
    m_pPlaying = it == m_mapClips.end() ? nullptr : it->second.get();
    m_nPlayPos = 0;
    m_bLoop = bLoop;
    if (m_pPlaying) {
        m_nSilentFrames = 0;
        m_bQuiet = false;
    }
}
