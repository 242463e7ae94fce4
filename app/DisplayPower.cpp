#include "app/DisplayPower.h"

#include <QGuiApplication>

#if __has_include(<xcb/dpms.h>) && __has_include(<QtGui/qguiapplication_platform.h>)
#include <QtGui/qguiapplication_platform.h>
#if QT_CONFIG(xcb)
#define QUADO_HAS_DPMS 1
#include <dlfcn.h>
#include <xcb/dpms.h>
#include <xcb/xcb.h>

#include <cstdlib>
#endif
#endif

#ifdef QUADO_HAS_DPMS

struct CDisplayPower::Impl {
    void* pXcb = nullptr;
    void* pDpms = nullptr;
    xcb_connection_t* pConnection = nullptr;
    decltype(&xcb_flush) fnFlush = nullptr;
    decltype(&xcb_dpms_info) fnInfo = nullptr;
    decltype(&xcb_dpms_info_reply) fnInfoReply = nullptr;
    decltype(&xcb_dpms_enable) fnEnable = nullptr;
    decltype(&xcb_dpms_disable) fnDisable = nullptr;
    decltype(&xcb_dpms_force_level) fnForceLevel = nullptr;
    // Whether DPMS was on before Quado switched the screen off: it is put
    // back so after waking, and a screen saver's own settings stay.
    bool bWasEnabled = true;
    bool bOff = false;

    ~Impl()
    {
        if (pDpms)
            dlclose(pDpms);
        if (pXcb)
            dlclose(pXcb);
    }

    template <typename T> bool Find(void* pLibrary, const char* pszName, T& fn)
    {
        fn = reinterpret_cast<T>(dlsym(pLibrary, pszName));
        return fn != nullptr;
    }

    bool Load()
    {
        auto* pX11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!pX11 || !pX11->connection())
            return false;
        pConnection = pX11->connection();
        pXcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
        pDpms = pXcb ? dlopen("libxcb-dpms.so.0", RTLD_NOW | RTLD_LOCAL) : nullptr;
        if (!pDpms)
            return false;
        decltype(&xcb_get_extension_data) fnExtension = nullptr;
        decltype(&xcb_dpms_capable) fnCapable = nullptr;
        decltype(&xcb_dpms_capable_reply) fnCapableReply = nullptr;
        auto* pId = static_cast<xcb_extension_t*>(dlsym(pDpms, "xcb_dpms_id"));
        if (!pId || !Find(pXcb, "xcb_get_extension_data", fnExtension) || !Find(pXcb, "xcb_flush", fnFlush) ||
            !Find(pDpms, "xcb_dpms_capable", fnCapable) || !Find(pDpms, "xcb_dpms_capable_reply", fnCapableReply) ||
            !Find(pDpms, "xcb_dpms_info", fnInfo) || !Find(pDpms, "xcb_dpms_info_reply", fnInfoReply) ||
            !Find(pDpms, "xcb_dpms_enable", fnEnable) || !Find(pDpms, "xcb_dpms_disable", fnDisable) ||
            !Find(pDpms, "xcb_dpms_force_level", fnForceLevel))
            return false;
        // Asking a server without the extension would only earn an error.
        const xcb_query_extension_reply_t* pExtension = fnExtension(pConnection, pId);
        if (!pExtension || !pExtension->present)
            return false;
        xcb_dpms_capable_reply_t* pCapable = fnCapableReply(pConnection, fnCapable(pConnection), nullptr);
        const bool bCapable = pCapable && pCapable->capable;
        std::free(pCapable);
        return bCapable;
    }
};

CDisplayPower::CDisplayPower()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto pImpl = std::make_unique<Impl>();
    if (pImpl->Load())
        m_pImpl = std::move(pImpl);
}

bool CDisplayPower::SwitchOff()
{
    if (!m_pImpl)
        return false;
    Impl& x = *m_pImpl;
    if (!x.bOff) {
        xcb_dpms_info_reply_t* pInfo = x.fnInfoReply(x.pConnection, x.fnInfo(x.pConnection), nullptr);
        x.bWasEnabled = !pInfo || pInfo->state;
        std::free(pInfo);
    }
    x.fnEnable(x.pConnection);
    x.fnForceLevel(x.pConnection, XCB_DPMS_DPMS_MODE_OFF);
    x.fnFlush(x.pConnection);
    x.bOff = true;
    return true;
}

void CDisplayPower::SwitchOn()
{
    if (!m_pImpl || !m_pImpl->bOff)
        return;
    Impl& x = *m_pImpl;
    x.fnForceLevel(x.pConnection, XCB_DPMS_DPMS_MODE_ON);
    if (!x.bWasEnabled)
        x.fnDisable(x.pConnection);
    x.fnFlush(x.pConnection);
    x.bOff = false;
}

#else

struct CDisplayPower::Impl {};

CDisplayPower::CDisplayPower() = default;

bool CDisplayPower::SwitchOff()
{
    return false;
}

void CDisplayPower::SwitchOn() {}

#endif

CDisplayPower::~CDisplayPower()
{
    // Never leave the screen dark behind the program.
    SwitchOn();
}
