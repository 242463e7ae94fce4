#include "platform/SdlLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace {

// ALSA prints a paragraph of its own on stderr when it finds no card; the
// player's one line says all a user needs.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...)
{
}

// SDL's audio back ends use ALSA when there is no sound server; it is
// already loaded with SDL, or not present at all.
void QuietenAlsa()
{
    using ErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(ErrorHandler);
    void* pAlsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!pAlsa)
        return;
    if (auto pSet = reinterpret_cast<SetHandler>(dlsym(pAlsa, "snd_lib_error_set_handler")))
        pSet(&IgnoreAlsaError);
    // Kept loaded: the handler is ours for the rest of the run.
}

struct Loaded {
    SdlApi api {};
    bool bOk = false;
    std::string strError;
};

Loaded Load()
{
    Loaded loaded;
    void* pLibrary = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!pLibrary) {
        const char* pszError = dlerror();
        loaded.strError = pszError ? pszError : "libSDL2-2.0.so.0 not found";
        return loaded;
    }
    bool bAll = true;
    auto resolve = [&](auto& pFunction, const char* pszName) {
        pFunction = reinterpret_cast<std::remove_reference_t<decltype(pFunction)>>(dlsym(pLibrary, pszName));
        if (!pFunction && bAll) {
            bAll = false;
            loaded.strError = std::string("SDL lacks ") + pszName;
        }
    };
    SdlApi& api = loaded.api;
    resolve(api.SetHint, "SDL_SetHint");
    resolve(api.SetEventFilter, "SDL_SetEventFilter");
    resolve(api.InitSubSystem, "SDL_InitSubSystem");
    resolve(api.QuitSubSystem, "SDL_QuitSubSystem");
    resolve(api.GetError, "SDL_GetError");
    resolve(api.GetNumAudioDevices, "SDL_GetNumAudioDevices");
    resolve(api.OpenAudioDevice, "SDL_OpenAudioDevice");
    resolve(api.PauseAudioDevice, "SDL_PauseAudioDevice");
    resolve(api.GetAudioDeviceStatus, "SDL_GetAudioDeviceStatus");
    resolve(api.CloseAudioDevice, "SDL_CloseAudioDevice");
    resolve(api.LockAudioDevice, "SDL_LockAudioDevice");
    resolve(api.UnlockAudioDevice, "SDL_UnlockAudioDevice");
    resolve(api.RWFromConstMem, "SDL_RWFromConstMem");
    resolve(api.LoadWAV_RW, "SDL_LoadWAV_RW");
    resolve(api.FreeWAV, "SDL_FreeWAV");
    resolve(api.BuildAudioCVT, "SDL_BuildAudioCVT");
    resolve(api.ConvertAudio, "SDL_ConvertAudio");
    if (!bAll) {
        dlclose(pLibrary);
        return loaded;
    }
    QuietenAlsa();
    // SDL would take SIGINT and SIGTERM for an event queue nobody reads,
    // and Quado would then ignore Ctrl-C, kill and the end of the session.
    api.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    loaded.bOk = true;
    // The library stays for the rest of the run: SDL's threads and atexit
    // handlers live in it.
    return loaded;
}

} // namespace

const SdlApi* LoadSdl(std::string* pstrError)
{
    static const Loaded loaded = Load();
    if (!loaded.bOk && pstrError)
        *pstrError = loaded.strError;
    return loaded.bOk ? &loaded.api : nullptr;
}
