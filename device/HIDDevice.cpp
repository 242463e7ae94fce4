#include "device/HIDDevice.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool IsAdapter(uint16_t nVendorId, uint16_t nProductId)
{
    return nVendorId == CHIDDevice::AdapterVendorId && nProductId == CHIDDevice::AdapterProductId;
}

// The interfaces the walk may look at: the first MaxInterfaces present ones.
std::vector<HidDeviceEntry> ExaminedInterfaces()
{
    std::vector<HidDeviceEntry> entries = GetHidBackend().EnumerateDevices();
    if (entries.size() > CHIDDevice::MaxInterfaces)
        entries.resize(CHIDDevice::MaxInterfaces);
    return entries;
}

// An open handle when the entry is an adapter nobody holds, else null. Foreign
// devices whose ids are known from enumeration are not opened at all.
std::unique_ptr<IHidHandle> OpenAdapter(const HidDeviceEntry& entry, HidOpenError& error)
{
    error = HidOpenError::None;
    if (entry.bIdsKnown && !IsAdapter(entry.nVendorId, entry.nProductId)) {
        error = HidOpenError::NotFound;
        return nullptr;
    }
    std::unique_ptr<IHidHandle> pHandle = GetHidBackend().OpenDevice(entry.strPath, error);
    if (!pHandle)
        return nullptr;
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
    if (!pHandle->GetAttributes(nVendorId, nProductId) || !IsAdapter(nVendorId, nProductId)) {
        error = HidOpenError::NotFound;
        return nullptr;
    }
    return pHandle;
}

// Visits every adapter that can be opened, numbered from 0 in enumeration
// order. The visitor may take the handle and return true to end the walk;
// handles it leaves are closed.
template <class Visitor>
void WalkAdapters(Visitor&& visit)
{
    uint32_t nAdapter = 0;
    for (const HidDeviceEntry& entry : ExaminedInterfaces()) {
        HidOpenError error;
        std::unique_ptr<IHidHandle> pHandle = OpenAdapter(entry, error);
        if (!pHandle)
            continue;
        if (visit(pHandle, nAdapter++, entry))
            return;
    }
}

// The serial as the list shows it: cut so that it fits SerialNumberSize
// bytes with the terminator.
bool ReadSerial(IHidHandle& handle, std::string& strSerial)
{
    if (!handle.GetSerialNumber(strSerial))
        return false;
    if (strSerial.size() > CHIDDevice::SerialNumberSize - 1)
        strSerial.resize(CHIDDevice::SerialNumberSize - 1);
    strSerial.resize(std::strlen(strSerial.c_str()));
    return true;
}

} // namespace

CHIDDevice::CHIDDevice()
{
    m_nReadTimeout = DefaultReadTimeout;
    ResetState();
}

CHIDDevice::~CHIDDevice()
{
    if (m_bOpen)
        Close();
}

uint32_t CHIDDevice::GetDeviceCount()
{
    uint32_t nCount = 0;
    WalkAdapters([&](std::unique_ptr<IHidHandle>&, uint32_t, const HidDeviceEntry&) {
        ++nCount;
        return false;
    });
    return nCount;
}

DeviceStatus CHIDDevice::GetSerialNumber(uint32_t nIndex, char* pSerial)
{
    if (!pSerial)
        return DeviceNullArgument;
    DeviceStatus nResult = DeviceNotFound;
    WalkAdapters([&](std::unique_ptr<IHidHandle>& pHandle, uint32_t nAdapter, const HidDeviceEntry&) {
        if (nAdapter != nIndex)
            return false;
        std::string strSerial;
        if (ReadSerial(*pHandle, strSerial)) {
            std::memset(pSerial, 0, SerialNumberSize);
            std::memcpy(pSerial, strSerial.data(), strSerial.size());
            nResult = DeviceSuccess;
        }
        return false;
    });
    return nResult;
}

std::vector<CHIDDevice::AdapterIdentity> CHIDDevice::ListAdapters()
{
    std::vector<AdapterIdentity> adapters;
    WalkAdapters([&](std::unique_ptr<IHidHandle>& pHandle, uint32_t, const HidDeviceEntry& entry) {
        AdapterIdentity identity{entry.strPath, {}, false};
        identity.bSerialRead = ReadSerial(*pHandle, identity.strSerial);
        adapters.push_back(std::move(identity));
        return false;
    });
    return adapters;
}

uint32_t CHIDDevice::GetDeniedDeviceCount()
{
    uint32_t nCount = 0;
    for (const HidDeviceEntry& entry : ExaminedInterfaces()) {
        if (!entry.bIdsKnown || !IsAdapter(entry.nVendorId, entry.nProductId))
            continue;
        HidOpenError error;
        if (!OpenAdapter(entry, error) && error == HidOpenError::PermissionDenied)
            ++nCount;
    }
    return nCount;
}

uint32_t CHIDDevice::GetPresentAdapterCount()
{
    uint32_t nCount = 0;
    for (const HidDeviceEntry& entry : ExaminedInterfaces()) {
        if (!entry.bIdsKnown || IsAdapter(entry.nVendorId, entry.nProductId))
            ++nCount;
    }
    return nCount;
}

void CHIDDevice::ResetState()
{
    // Dropping the handle closes it: a reset never leaves a device held
    // with nobody able to release it.
    m_pHandle.reset();
    m_strOpenPath.clear();
    m_bOpen = 0;
    m_nInputReportLength = 0;
    m_nOutputReportLength = 0;
    m_nFeatureReportLength = 0;
    m_nInputBufferCount = DefaultInputBufferCount;
}

DeviceStatus CHIDDevice::Open(uint32_t nIndex, uint16_t nInputBufferCount)
{
    return OpenChecked(nIndex, nInputBufferCount, nullptr);
}

DeviceStatus CHIDDevice::Open(uint32_t nIndex, uint16_t nInputBufferCount, const AdapterIdentity& expected)
{
    return OpenChecked(nIndex, nInputBufferCount, &expected);
}

DeviceStatus CHIDDevice::OpenChecked(uint32_t nIndex, uint16_t nInputBufferCount, const AdapterIdentity* pExpected)
{
    if (m_bOpen)
        return DeviceOpenFailed;

    bool bWrongAdapter = false;
    WalkAdapters([&](std::unique_ptr<IHidHandle>& pHandle, uint32_t nAdapter, const HidDeviceEntry& entry) {
        if (nAdapter != nIndex)
            return false;
        if (pExpected) {
            // A node's name is reused by the next device plugged in: the
            // serial tells them apart.
            std::string strSerial;
            const bool bSerialRead = ReadSerial(*pHandle, strSerial);
            bWrongAdapter = entry.strPath != pExpected->strPath ||
                            (pExpected->bSerialRead && (!bSerialRead || strSerial != pExpected->strSerial));
            if (bWrongAdapter)
                return true;
        }
        m_pHandle = std::move(pHandle);
        m_strOpenPath = entry.strPath;
        m_bOpen = 1;

        HidReportLengths lengths;
        if (!m_pHandle->GetReportLengths(lengths))
            return true;
        if (lengths.nInput)
            m_nInputReportLength = lengths.nInput;
        if (lengths.nOutput)
            m_nOutputReportLength = lengths.nOutput;
        if (lengths.nFeature)
            m_nFeatureReportLength = lengths.nFeature;

        if (m_nInputBufferCount && nInputBufferCount) {
            m_nInputBufferCount = std::max(m_nInputBufferCount, nInputBufferCount);
            m_pHandle->SetNumInputBuffers(nInputBufferCount);
        } else {
            uint32_t nCount = 0;
            if (m_pHandle->GetNumInputBuffers(nCount))
                m_nInputBufferCount = static_cast<uint16_t>(nCount);
        }
        return true;
    });
    if (bWrongAdapter)
        return DeviceWrongAdapter;
    return m_bOpen ? DeviceSuccess : DeviceNotFound;
}

bool CHIDDevice::IsOpen()
{
    if (!m_bOpen)
        return false;
    if (m_pHandle)
        return true;
    ResetState();
    return false;
}

void CHIDDevice::Close()
{
    if (!m_bOpen)
        return;
    m_pHandle.reset();
    ResetState();
}

DeviceStatus CHIDDevice::ReadInputReports(uint8_t* pBuffer, uint32_t nCapacity, uint16_t nReportCount,
                                          uint32_t* pBytesRead)
{
    const uint32_t nWanted = uint32_t{m_nInputReportLength} * nReportCount;
    if (!pBuffer || nCapacity < nWanted || nReportCount > m_nInputBufferCount)
        return DeviceBadBuffer;
    if (!pBytesRead)
        return DeviceNullArgument;
    std::memset(pBuffer, 0, nCapacity);
    if (!IsOpen())
        return DeviceNotOpen;

    size_t nBytes = 0;
    switch (m_pHandle->ReadReports(pBuffer, m_nInputReportLength, nReportCount, m_nReadTimeout, nBytes)) {
    case HidReadResult::Ok:
        *pBytesRead = static_cast<uint32_t>(std::min<size_t>(nBytes, nWanted));
        return DeviceSuccess;
    case HidReadResult::Timeout:
        return DeviceTransferFailed;
    case HidReadResult::Failed:
        break;
    }
    return DeviceReadFailed;
}

void CHIDDevice::CancelRead()
{
    if (m_pHandle)
        m_pHandle->CancelRead();
}

bool CHIDDevice::SetFeatureReport(const uint8_t* pReport, uint32_t nLength)
{
    if (!m_bOpen || !m_pHandle || !pReport || nLength == 0)
        return false;
    return m_pHandle->SetFeature(pReport, nLength);
}

bool CHIDDevice::GetFeatureReport(uint8_t* pReport, uint32_t nLength)
{
    if (!m_bOpen || !m_pHandle || !pReport || nLength == 0)
        return false;
    std::memset(pReport + 1, 0, nLength - 1);
    return m_pHandle->GetFeature(pReport, nLength);
}

void CHIDDevice::FlushInputQueue()
{
    if (m_pHandle)
        m_pHandle->FlushInput();
}
