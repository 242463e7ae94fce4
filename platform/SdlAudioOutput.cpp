#define SDL_MAIN_HANDLED
#include "platform/AudioOutput.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include <atomic>
#include <mutex>

namespace {

// ALSA prints a paragraph of its own on stderr when it finds no card; the
// player's one line says all a user needs.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...)
{
}

class CSdlAudioOutput : public IAudioOutput {
public:
    CSdlAudioOutput()
    {
        snd_lib_error_set_handler(&IgnoreAlsaError);
        // SDL would take SIGINT and SIGTERM for an event queue nobody reads,
        // and Quado would then ignore Ctrl-C, kill and the end of the session.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // The only SDL events Quado gets are the audio devices' own; the
        // filter takes them as they are raised and keeps the queue, which
        // nobody reads, empty.
        SDL_SetEventFilter(&CSdlAudioOutput::FilterEvent, this);
    }

    ~CSdlAudioOutput() override
    {
        Close();
        if (m_bSubsystemUp)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        SDL_SetEventFilter(nullptr, nullptr);
        snd_lib_error_set_handler(nullptr);
    }

    void SetChangeHandler(ChangeHandler handler) override { m_handler = std::move(handler); }

    bool Open(const AudioFormat& want, FillFunction fill, void* pUser, AudioFormat* pHave,
              std::string* pstrError) override
    {
        // A fresh start of the subsystem each time: a sound server that was
        // not up at the last attempt, or has restarted, is found again. The
        // devices it lists as it starts are no news.
        m_bOpening = true;
        if (m_bSubsystemUp)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bSubsystemUp = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!m_bSubsystemUp) {
            *pstrError = SDL_GetError();
            m_bOpening = false;
            return false;
        }
        SDL_AudioSpec specWant {};
        specWant.freq = want.nRate;
        specWant.format = want.nFormat;
        specWant.channels = Uint8(want.nChannels);
        specWant.samples = Uint16(want.nBufferFrames);
        specWant.callback = fill;
        specWant.userdata = pUser;
        SDL_AudioSpec have {};
        // Rate, format and channels may follow the device: every clip is
        // converted once to what it runs. The buffer must stay small, so
        // SDL may not grow it.
        const int nAllowed = SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_FORMAT_CHANGE
            | SDL_AUDIO_ALLOW_CHANNELS_CHANGE;
        const SDL_AudioDeviceID hDevice = SDL_OpenAudioDevice(nullptr, 0, &specWant, &have, nAllowed);
        if (hDevice == 0)
            *pstrError = SDL_GetError();
        m_hDevice = hDevice;
        m_bOpening = false;
        if (hDevice == 0)
            return false;
        pHave->nFormat = have.format;
        pHave->nRate = have.freq;
        pHave->nChannels = have.channels;
        pHave->nBufferFrames = have.samples;
        pHave->nSilence = have.silence;
        return true;
    }

    void Resume() override
    {
        if (m_hDevice != 0)
            SDL_PauseAudioDevice(m_hDevice, 0);
    }

    bool IsAlive() override { return m_hDevice != 0 && SDL_GetAudioDeviceStatus(m_hDevice) != SDL_AUDIO_STOPPED; }

    void Close() override
    {
        const SDL_AudioDeviceID hDevice = m_hDevice.exchange(0);
        // Joins the device's thread.
        if (hDevice != 0)
            SDL_CloseAudioDevice(hDevice);
    }

    void Lock() override { SDL_LockAudioDevice(m_hDevice); }
    void Unlock() override { SDL_UnlockAudioDevice(m_hDevice); }

private:
    // On the thread that raised the event: the device's own when it fails,
    // the driver's hot-plug thread when a device appears.
    static int FilterEvent(void* pUser, SDL_Event* pEvent)
    {
        auto* pThis = static_cast<CSdlAudioOutput*>(pUser);
        if (pEvent->type == SDL_AUDIODEVICEREMOVED && !pEvent->adevice.iscapture) {
            if (pEvent->adevice.which == pThis->m_hDevice && pThis->m_handler)
                pThis->m_handler(Change::Lost);
        } else if (pEvent->type == SDL_AUDIODEVICEADDED && !pEvent->adevice.iscapture) {
            if (!pThis->m_bOpening && pThis->m_handler)
                pThis->m_handler(Change::Added);
        }
        return 0;
    }

    ChangeHandler m_handler;
    bool m_bSubsystemUp = false;
    std::atomic<bool> m_bOpening = false;
    std::atomic<SDL_AudioDeviceID> m_hDevice = 0;
};

} // namespace

std::unique_ptr<IAudioOutput> CreateSdlAudioOutput()
{
    return std::make_unique<CSdlAudioOutput>();
}
