#include "device/SimulatedHidBackend.h"

struct CSimulatedHidBackend::Device {
    SimulatedDeviceSetup setup;
    std::shared_ptr<CSimulatedAdapter> pAdapter;

    std::mutex mutex;
    bool bPlugged = true;
    bool bHeld = false;
    HidOpenError refusal = HidOpenError::None;
    uint32_t nOpenAttempts = 0;
    CHidReportQueue queue;

    bool IsPlugged()
    {
        std::lock_guard lock(mutex);
        return bPlugged;
    }

    bool Deliver(const uint8_t* pReport, size_t nLength)
    {
        std::lock_guard lock(mutex);
        if (!bPlugged || !bHeld)
            return false;
        return queue.Push(pReport, nLength);
    }
};

namespace {

using Device = CSimulatedHidBackend::Device;

class CSimulatedHidHandle : public IHidHandle {
public:
    explicit CSimulatedHidHandle(std::shared_ptr<Device> pDevice) : m_pDevice(std::move(pDevice)) {}

    ~CSimulatedHidHandle() override
    {
        std::lock_guard lock(m_pDevice->mutex);
        m_pDevice->bHeld = false;
        m_pDevice->queue.Clear();
    }

    bool GetAttributes(uint16_t& nVendorId, uint16_t& nProductId) override
    {
        if (!m_pDevice->IsPlugged())
            return false;
        nVendorId = m_pDevice->setup.nVendorId;
        nProductId = m_pDevice->setup.nProductId;
        return true;
    }

    bool GetSerialNumber(std::string& strSerial) override
    {
        if (!m_pDevice->IsPlugged() || !m_pDevice->setup.bSerialReadable)
            return false;
        strSerial = m_pDevice->setup.strSerial;
        return true;
    }

    bool GetReportLengths(HidReportLengths& lengths) override
    {
        if (!m_pDevice->IsPlugged() || !m_pDevice->setup.bLengthsReadable)
            return false;
        lengths = m_pDevice->setup.lengths;
        return true;
    }

    bool GetNumInputBuffers(uint32_t& nCount) override
    {
        if (!m_pDevice->IsPlugged())
            return false;
        nCount = static_cast<uint32_t>(m_pDevice->queue.GetCapacity());
        return true;
    }

    bool SetNumInputBuffers(uint32_t nCount) override
    {
        return m_pDevice->IsPlugged() && m_pDevice->queue.SetCapacity(nCount);
    }

    HidReadResult ReadReports(uint8_t* pBuffer, size_t nReportLength, size_t nMaxReports, uint32_t nTimeoutMs,
                              size_t& nBytesRead) override
    {
        return m_pDevice->queue.Read(pBuffer, nReportLength, nMaxReports, nTimeoutMs, nBytesRead);
    }

    void CancelRead() override { m_pDevice->queue.Cancel(); }

    bool SetFeature(const uint8_t* pReport, size_t nLength) override
    {
        return m_pDevice->IsPlugged() && m_pDevice->pAdapter && m_pDevice->pAdapter->SetFeature(pReport, nLength);
    }

    bool GetFeature(uint8_t* pReport, size_t nLength) override
    {
        return m_pDevice->IsPlugged() && m_pDevice->pAdapter && m_pDevice->pAdapter->GetFeature(pReport, nLength);
    }

    bool FlushInput() override
    {
        if (!m_pDevice->IsPlugged())
            return false;
        m_pDevice->queue.Clear();
        return true;
    }

private:
    std::shared_ptr<Device> m_pDevice;
};

void UnplugDevice(Device& device)
{
    std::lock_guard lock(device.mutex);
    device.bPlugged = false;
    device.queue.MarkGone();
}

} // namespace

CSimulatedHidBackend::CSimulatedHidBackend() = default;

CSimulatedHidBackend::~CSimulatedHidBackend()
{
    // Models may outlive the backend; they must not call into dead devices.
    std::lock_guard lock(m_mutex);
    for (auto* pDevices : {&m_plugged, &m_unplugged}) {
        for (auto& [strPath, pDevice] : *pDevices) {
            if (pDevice->pAdapter)
                pDevice->pAdapter->SetInputSink(nullptr);
        }
    }
}

std::vector<HidDeviceEntry> CSimulatedHidBackend::EnumerateDevices()
{
    std::lock_guard lock(m_mutex);
    std::vector<HidDeviceEntry> entries;
    for (const auto& [strPath, pDevice] : m_plugged) {
        HidDeviceEntry entry;
        entry.strPath = strPath;
        if (pDevice->setup.bIdsKnown) {
            entry.nVendorId = pDevice->setup.nVendorId;
            entry.nProductId = pDevice->setup.nProductId;
            entry.bIdsKnown = true;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::unique_ptr<IHidHandle> CSimulatedHidBackend::OpenDevice(const std::string& strPath, HidOpenError& error)
{
    std::shared_ptr<Device> pDevice;
    {
        std::lock_guard lock(m_mutex);
        pDevice = FindPluggedLocked(strPath);
    }
    if (!pDevice) {
        error = HidOpenError::NotFound;
        return nullptr;
    }
    std::lock_guard lock(pDevice->mutex);
    ++pDevice->nOpenAttempts;
    if (!pDevice->bPlugged) {
        error = HidOpenError::NotFound;
        return nullptr;
    }
    if (pDevice->refusal != HidOpenError::None) {
        error = pDevice->refusal;
        return nullptr;
    }
    if (pDevice->bHeld) {
        error = HidOpenError::InUse;
        return nullptr;
    }
    pDevice->bHeld = true;
    pDevice->queue.Reset();
    pDevice->queue.SetCapacity(pDevice->setup.nInputBuffers);
    error = HidOpenError::None;
    return std::make_unique<CSimulatedHidHandle>(pDevice);
}

std::shared_ptr<CSimulatedHidBackend::Device> CSimulatedHidBackend::FindPluggedLocked(
    const std::string& strPath) const
{
    auto it = m_plugged.find(strPath);
    return it == m_plugged.end() ? nullptr : it->second;
}

std::shared_ptr<CSimulatedHidBackend::Device> CSimulatedHidBackend::MakeDeviceLocked(
    const SimulatedDeviceSetup& setup, std::shared_ptr<CSimulatedAdapter> pAdapter)
{
    if (auto it = m_plugged.find(setup.strPath); it != m_plugged.end()) {
        UnplugDevice(*it->second);
        m_plugged.erase(it);
    }
    m_unplugged.erase(setup.strPath);

    auto pDevice = std::make_shared<Device>();
    pDevice->setup = setup;
    pDevice->pAdapter = std::move(pAdapter);
    if (pDevice->pAdapter) {
        std::weak_ptr<Device> pWeak = pDevice;
        pDevice->pAdapter->SetInputSink([pWeak](const uint8_t* pReport, size_t nLength) {
            if (std::shared_ptr<Device> pTarget = pWeak.lock())
                pTarget->Deliver(pReport, nLength);
        });
    }
    m_plugged[setup.strPath] = pDevice;
    return pDevice;
}

std::shared_ptr<CSimulatedAdapter> CSimulatedHidBackend::AddAdapter(const std::string& strPath,
                                                                    const std::string& strSerial)
{
    SimulatedDeviceSetup setup;
    setup.strPath = strPath;
    setup.strSerial = strSerial;
    return AddAdapter(setup);
}

std::shared_ptr<CSimulatedAdapter> CSimulatedHidBackend::AddAdapter(const SimulatedDeviceSetup& setup,
                                                                    std::shared_ptr<CSimulatedAdapter> pAdapter)
{
    if (!pAdapter)
        pAdapter = std::make_shared<CSimulatedAdapter>();
    std::lock_guard lock(m_mutex);
    MakeDeviceLocked(setup, pAdapter);
    return pAdapter;
}

void CSimulatedHidBackend::AddDevice(const SimulatedDeviceSetup& setup)
{
    std::lock_guard lock(m_mutex);
    MakeDeviceLocked(setup, nullptr);
}

bool CSimulatedHidBackend::Unplug(const std::string& strPath)
{
    std::lock_guard lock(m_mutex);
    auto it = m_plugged.find(strPath);
    if (it == m_plugged.end())
        return false;
    UnplugDevice(*it->second);
    m_unplugged[strPath] = it->second;
    m_plugged.erase(it);
    return true;
}

bool CSimulatedHidBackend::Replug(const std::string& strPath)
{
    std::lock_guard lock(m_mutex);
    auto it = m_unplugged.find(strPath);
    if (it == m_unplugged.end())
        return false;
    const std::shared_ptr<Device> pOld = it->second;
    if (pOld->pAdapter)
        pOld->pAdapter->PowerCycle();
    MakeDeviceLocked(pOld->setup, pOld->pAdapter);
    return true;
}

bool CSimulatedHidBackend::RemoveDevice(const std::string& strPath)
{
    std::lock_guard lock(m_mutex);
    bool bFound = false;
    if (auto it = m_plugged.find(strPath); it != m_plugged.end()) {
        UnplugDevice(*it->second);
        if (it->second->pAdapter)
            it->second->pAdapter->SetInputSink(nullptr);
        m_plugged.erase(it);
        bFound = true;
    }
    if (auto it = m_unplugged.find(strPath); it != m_unplugged.end()) {
        if (it->second->pAdapter)
            it->second->pAdapter->SetInputSink(nullptr);
        m_unplugged.erase(it);
        bFound = true;
    }
    return bFound;
}

void CSimulatedHidBackend::SetOpenRefusal(const std::string& strPath, HidOpenError error)
{
    std::lock_guard lock(m_mutex);
    if (std::shared_ptr<Device> pDevice = FindPluggedLocked(strPath)) {
        std::lock_guard deviceLock(pDevice->mutex);
        pDevice->refusal = error;
    }
}

bool CSimulatedHidBackend::IsHeld(const std::string& strPath) const
{
    std::lock_guard lock(m_mutex);
    std::shared_ptr<Device> pDevice = FindPluggedLocked(strPath);
    if (!pDevice)
        return false;
    std::lock_guard deviceLock(pDevice->mutex);
    return pDevice->bHeld;
}

uint32_t CSimulatedHidBackend::GetOpenAttempts(const std::string& strPath) const
{
    std::lock_guard lock(m_mutex);
    std::shared_ptr<Device> pDevice = FindPluggedLocked(strPath);
    if (!pDevice)
        return 0;
    std::lock_guard deviceLock(pDevice->mutex);
    return pDevice->nOpenAttempts;
}

bool CSimulatedHidBackend::PushInputReport(const std::string& strPath, const std::vector<uint8_t>& report)
{
    std::shared_ptr<Device> pDevice;
    {
        std::lock_guard lock(m_mutex);
        pDevice = FindPluggedLocked(strPath);
    }
    return pDevice && pDevice->Deliver(report.data(), report.size());
}

uint64_t CSimulatedHidBackend::GetDroppedReports(const std::string& strPath) const
{
    std::lock_guard lock(m_mutex);
    std::shared_ptr<Device> pDevice = FindPluggedLocked(strPath);
    return pDevice ? pDevice->queue.GetDroppedCount() : 0;
}
