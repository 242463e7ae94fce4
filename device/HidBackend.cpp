#include "device/IHidBackend.h"

#include "device/LinuxHidBackend.h"

#include <atomic>

namespace {

std::atomic<IHidBackend*> g_pInstalledBackend{nullptr};

IHidBackend& DefaultBackend()
{
    static CLinuxHidBackend backend;
    return backend;
}

} // namespace

IHidBackend& GetHidBackend()
{
    IHidBackend* pBackend = g_pInstalledBackend.load(std::memory_order_acquire);
    return pBackend ? *pBackend : DefaultBackend();
}

void SetHidBackend(IHidBackend* pBackend)
{
    g_pInstalledBackend.store(pBackend, std::memory_order_release);
}
