// SDL, loaded the first time sound is wanted instead of with the program: its
// audio back ends bring some thirty libraries that no start should wait for,
// and a Quado that never plays a sound never maps them.
#pragma once

#include <SDL.h>

#include <string>

struct SdlApi {
    decltype(&SDL_SetHint) SetHint;
    decltype(&SDL_SetEventFilter) SetEventFilter;
    decltype(&SDL_InitSubSystem) InitSubSystem;
    decltype(&SDL_QuitSubSystem) QuitSubSystem;
    decltype(&SDL_GetError) GetError;
    decltype(&SDL_GetNumAudioDevices) GetNumAudioDevices;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice;
    decltype(&SDL_GetAudioDeviceStatus) GetAudioDeviceStatus;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice;
    decltype(&SDL_LockAudioDevice) LockAudioDevice;
    decltype(&SDL_UnlockAudioDevice) UnlockAudioDevice;
    decltype(&SDL_RWFromConstMem) RWFromConstMem;
    decltype(&SDL_LoadWAV_RW) LoadWAV_RW;
    decltype(&SDL_FreeWAV) FreeWAV;
    decltype(&SDL_BuildAudioCVT) BuildAudioCVT;
    decltype(&SDL_ConvertAudio) ConvertAudio;
};

// Loads the library once, from any thread; later calls return the same
// table. Null, with the reason in *pstrError, when it cannot be loaded or
// lacks a function: Quado then runs without sound.
const SdlApi* LoadSdl(std::string* pstrError = nullptr);
