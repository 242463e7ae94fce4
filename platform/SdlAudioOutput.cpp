#define SDL_MAIN_HANDLED
#include "platform/AudioOutput.h"

#include <atomic>
#include <climits>
#include <mutex>

#include "platform/SdlLibrary.h"

namespace {

class CSdlAudioOutput : public IAudioOutput {
public:
    CSdlAudioOutput() = default;

    ~CSdlAudioOutput() override
    {
        Close();
        if (!m_pSdl)
            return;
        if (m_bSubsystemUp)
            m_pSdl->QuitSubSystem(SDL_INIT_AUDIO);
        m_pSdl->SetEventFilter(nullptr, nullptr);
    }

    void SetChangeHandler(ChangeHandler handler) override { m_handler = std::move(handler); }

    bool Open(const AudioFormat& want, FillFunction fill, void* pUser, AudioFormat* pHave,
              std::string* pstrError) override
    {
        // A fresh start of the subsystem each time: a sound server that was
        // not up at the last attempt, or has restarted, is found again. The
        // devices it lists as it starts are no news; one that appears after
        // that is, even while the device is being opened (that open may
        // well fail without it).
        if (!m_pSdl) {
            m_pSdl = LoadSdl(pstrError);
            if (!m_pSdl)
                return false;
            // The only SDL events Quado gets are the audio devices' own; the
            // filter takes them as they are raised and keeps the queue,
            // which nobody reads, empty.
            m_pSdl->SetEventFilter(&CSdlAudioOutput::FilterEvent, this);
        }
        m_nListed = INT_MAX;
        if (m_bSubsystemUp)
            m_pSdl->QuitSubSystem(SDL_INIT_AUDIO);
        m_bSubsystemUp = m_pSdl->InitSubSystem(SDL_INIT_AUDIO) == 0;
        // An added device's event carries its index: the listed ones are
        // below. A driver that cannot count its devices is not trusted with
        // news either.
        const int nListed = m_bSubsystemUp ? m_pSdl->GetNumAudioDevices(0) : -1;
        m_nListed = nListed >= 0 ? nListed : INT_MAX;
        if (!m_bSubsystemUp) {
            *pstrError = m_pSdl->GetError();
            return false;
        }
        m_specWant = SDL_AudioSpec {};
        m_specWant.freq = want.nRate;
        m_specWant.format = want.nFormat;
        m_specWant.channels = Uint8(want.nChannels);
        m_specWant.samples = Uint16(want.nBufferFrames);
        m_specWant.callback = fill;
        m_specWant.userdata = pUser;
        return OpenDevice(pHave, pstrError);
    }

    bool CanSleep() const override { return true; }

    void Suspend() override
    {
        const SDL_AudioDeviceID hDevice = m_hDevice.exchange(0);
        if (m_pSdl && hDevice != 0) {
            m_pSdl->PauseAudioDevice(hDevice, 1);
            // Joins the device's thread: nothing wakes until Reopen.
            m_pSdl->CloseAudioDevice(hDevice);
        }
    }

    bool Reopen(AudioFormat* pHave, std::string* pstrError) override
    {
        if (!m_pSdl || !m_bSubsystemUp) {
            *pstrError = "the audio subsystem is not up";
            return false;
        }
        return OpenDevice(pHave, pstrError);
    }

    void Resume() override
    {
        if (m_pSdl && m_hDevice != 0)
            m_pSdl->PauseAudioDevice(m_hDevice, 0);
    }

    bool IsAlive() override { return m_pSdl && m_hDevice != 0 && m_pSdl->GetAudioDeviceStatus(m_hDevice) != SDL_AUDIO_STOPPED; }

    void Close() override
    {
        const SDL_AudioDeviceID hDevice = m_hDevice.exchange(0);
        // Joins the device's thread.
        if (m_pSdl && hDevice != 0)
            m_pSdl->CloseAudioDevice(hDevice);
    }

    void Lock() override
    {
        if (m_pSdl)
            m_pSdl->LockAudioDevice(m_hDevice);
    }
    void Unlock() override
    {
        if (m_pSdl)
            m_pSdl->UnlockAudioDevice(m_hDevice);
    }

private:
    bool OpenDevice(AudioFormat* pHave, std::string* pstrError)
    {
        SDL_AudioSpec specWant = m_specWant;
        SDL_AudioSpec have {};
        // Rate, format and channels may follow the device: every clip is
        // converted once to what it runs. The buffer must stay small, so
        // SDL may not grow it.
        const int nAllowed = SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_FORMAT_CHANGE
            | SDL_AUDIO_ALLOW_CHANNELS_CHANGE;
        const SDL_AudioDeviceID hDevice = m_pSdl->OpenAudioDevice(nullptr, 0, &specWant, &have, nAllowed);
        if (hDevice == 0)
            *pstrError = m_pSdl->GetError();
        m_hDevice = hDevice;
        if (hDevice == 0)
            return false;
        pHave->nFormat = have.format;
        pHave->nRate = have.freq;
        pHave->nChannels = have.channels;
        pHave->nBufferFrames = have.samples;
        pHave->nSilence = have.silence;
        return true;
    }

    // On the thread that raised the event: the device's own when it fails,
    // the driver's hot-plug thread when a device appears.
    static int FilterEvent(void* pUser, SDL_Event* pEvent)
    {
        auto* pThis = static_cast<CSdlAudioOutput*>(pUser);
        if (pEvent->type == SDL_AUDIODEVICEREMOVED && !pEvent->adevice.iscapture) {
            if (pEvent->adevice.which == pThis->m_hDevice && pThis->m_handler)
                pThis->m_handler(Change::Lost);
        } else if (pEvent->type == SDL_AUDIODEVICEADDED && !pEvent->adevice.iscapture) {
            if (int(pEvent->adevice.which) >= pThis->m_nListed && pThis->m_handler)
                pThis->m_handler(Change::Added);
        }
        return 0;
    }

    // Set by the first Open, on the player's thread, before any other call
    // reaches SDL.
    const SdlApi* m_pSdl = nullptr;
    ChangeHandler m_handler;
    bool m_bSubsystemUp = false;
    // What Open asked for, asked again by Reopen.
    SDL_AudioSpec m_specWant {};
    // Devices the subsystem listed as it started; all of them while it starts.
    std::atomic<int> m_nListed = INT_MAX;
    std::atomic<SDL_AudioDeviceID> m_hDevice = 0;
};

} // namespace

std::unique_ptr<IAudioOutput> CreateSdlAudioOutput()
{
    return std::make_unique<CSdlAudioOutput>();
}
