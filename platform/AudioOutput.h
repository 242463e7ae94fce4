// The audio output the sound player talks to: SDL's default device in the
// program, a stand-in in tests that can be taken away and given back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct AudioFormat {
    uint16_t nFormat = 0; // an SDL_AudioFormat
    int nRate = 0;
    int nChannels = 0;
    int nBufferFrames = 0;
    uint8_t nSilence = 0;
};

class IAudioOutput {
public:
    // Called on the output's own thread for every buffer it needs filled.
    using FillFunction = void (*)(void* pUser, uint8_t* pStream, int nLen);
    // What the output tells of itself, from whatever thread learns it.
    enum class Change { Lost, Added };
    using ChangeHandler = std::function<void(Change)>;

    virtual ~IAudioOutput() = default;

    // Set once, before the first Open. The handler must not block.
    virtual void SetChangeHandler(ChangeHandler handler) = 0;
    // Opens the default device, paused: *pHave is what it runs (rate, format
    // and channels may differ from want). False with a reason when there is
    // none. May take long, so never on the UI thread.
    virtual bool Open(const AudioFormat& want, FillFunction fill, void* pUser, AudioFormat* pHave,
                      std::string* pstrError) = 0;
    virtual void Resume() = 0;
    // Whether Suspend and Reopen work: SDL's device keeps its thread waking
    // at every buffer even while paused, so an output that is to sleep
    // between sounds must close its device and open it again.
    virtual bool CanSleep() const { return false; }
    // Pauses and closes the open device, keeping what Open set up, so that
    // Reopen is quick. The fill function is not called until Reopen.
    virtual void Suspend() {}
    // Opens the device again, paused, as the last Open asked for it.
    virtual bool Reopen(AudioFormat* /*pHave*/, std::string* /*pstrError*/) { return false; }
    // False once the open device has gone, even if no Lost was told.
    virtual bool IsAlive() = 0;
    // After this the fill function is not called any more.
    virtual void Close() = 0;
    // Keeps the output's thread out of the fill function while held.
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

// SDL's default audio device, with SDL's device events as the changes.
std::unique_ptr<IAudioOutput> CreateSdlAudioOutput();
