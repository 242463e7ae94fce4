#include "tools/quado-sim/UhidAdapter.h"

#include <linux/uhid.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr const char* UhidPath = "/dev/uhid";
constexpr uint16_t BusUsb = 0x03;

// The kernel takes these as terminated strings; a longer one is cut.
void CopyString(uint8_t* pTarget, std::size_t nSize, const std::string& str)
{
    const std::size_t nCount = std::min(str.size(), nSize - 1);
    std::memcpy(pTarget, str.data(), nCount);
    pTarget[nCount] = 0;
}

} // namespace

int OpenUhid(std::string& strError)
{
    const int fd = ::open(UhidPath, O_RDWR | O_CLOEXEC);
    if (fd >= 0)
        return fd;
    const int nError = errno;
    if (nError == ENOENT || nError == ENODEV || nError == ENXIO)
        strError = "no uhid support in this kernel: modprobe uhid";
    else if (nError == EACCES || nError == EPERM)
        strError = std::string(UhidPath) + ": " + std::strerror(nError) + " (run as root)";
    else
        strError = std::string(UhidPath) + ": " + std::strerror(nError);
    return -1;
}

CUhidAdapter::~CUhidAdapter()
{
    Destroy();
}

bool CUhidAdapter::Create(int fd, const UhidIdentity& identity, int& nError)
{
    Destroy();
    m_hUhid = fd;
    m_strSerial = identity.strSerial;
    if (identity.descriptor.size() > HID_MAX_DESCRIPTOR_SIZE) {
        nError = EINVAL;
        return false;
    }

    uhid_event ev {};
    ev.type = UHID_CREATE2;
    CopyString(ev.u.create2.name, sizeof ev.u.create2.name, identity.strName);
    CopyString(ev.u.create2.phys, sizeof ev.u.create2.phys, "quado-sim/" + identity.strSerial);
    CopyString(ev.u.create2.uniq, sizeof ev.u.create2.uniq, identity.strSerial);
    ev.u.create2.rd_size = static_cast<uint16_t>(identity.descriptor.size());
    ev.u.create2.bus = BusUsb;
    ev.u.create2.vendor = identity.nVendorId;
    ev.u.create2.product = identity.nProductId;
    std::memcpy(ev.u.create2.rd_data, identity.descriptor.data(), identity.descriptor.size());
    if (!WriteEvent(&ev, sizeof ev)) {
        nError = errno;
        return false;
    }
    return true;
}

void CUhidAdapter::SetHandlers(SetFeatureHandler onSet, GetFeatureHandler onGet)
{
    m_onSet = std::move(onSet);
    m_onGet = std::move(onGet);
}

bool CUhidAdapter::HandleEvent()
{
    if (m_hUhid < 0)
        return false;
    uhid_event ev {};
    const ssize_t nRead = ::read(m_hUhid, &ev, sizeof ev);
    if (nRead < 0)
        return errno == EAGAIN || errno == EINTR;
    if (nRead < static_cast<ssize_t>(sizeof ev.type))
        return false;

    switch (ev.type) {
    case UHID_START:
        m_bStarted = true;
        break;
    case UHID_STOP:
        m_bStarted = false;
        break;
    case UHID_OPEN:
        m_bOpenedByHost = true;
        break;
    case UHID_CLOSE:
        m_bOpenedByHost = false;
        break;
    case UHID_GET_REPORT: {
        const uint32_t nId = ev.u.get_report.id;
        const uint8_t nReport = ev.u.get_report.rnum;
        const bool bFeature = ev.u.get_report.rtype == UHID_FEATURE_REPORT;
        std::vector<uint8_t> reply;
        if (bFeature && m_onGet)
            reply = m_onGet(nReport);
        uhid_event answer {};
        answer.type = UHID_GET_REPORT_REPLY;
        answer.u.get_report_reply.id = nId;
        if (reply.empty() || reply.size() > UHID_DATA_MAX) {
            answer.u.get_report_reply.err = EIO;
        } else {
            answer.u.get_report_reply.size = static_cast<uint16_t>(reply.size());
            std::memcpy(answer.u.get_report_reply.data, reply.data(), reply.size());
        }
        if (!WriteEvent(&answer, sizeof answer))
            return false;
        break;
    }
    case UHID_SET_REPORT: {
        const uint32_t nId = ev.u.set_report.id;
        const bool bFeature = ev.u.set_report.rtype == UHID_FEATURE_REPORT;
        const std::size_t nSize = std::min<std::size_t>(ev.u.set_report.size, UHID_DATA_MAX);
        bool bAccepted = false;
        if (bFeature && m_onSet && nSize > 0)
            bAccepted = m_onSet(ev.u.set_report.data, nSize);
        uhid_event answer {};
        answer.type = UHID_SET_REPORT_REPLY;
        answer.u.set_report_reply.id = nId;
        answer.u.set_report_reply.err = bAccepted ? 0 : EIO;
        if (!WriteEvent(&answer, sizeof answer))
            return false;
        break;
    }
    default:
        // Output reports: the adapter never carries data towards the board.
        break;
    }
    return true;
}

bool CUhidAdapter::SendInputReport(const uint8_t* pReport, std::size_t nLength)
{
    if (m_hUhid < 0 || nLength == 0 || nLength > UHID_DATA_MAX)
        return false;
    uhid_event ev {};
    ev.type = UHID_INPUT2;
    ev.u.input2.size = static_cast<uint16_t>(nLength);
    std::memcpy(ev.u.input2.data, pReport, nLength);
    // Only the used part of the record travels, as the kernel allows.
    return WriteEvent(&ev, sizeof ev.type + sizeof ev.u.input2.size + nLength);
}

void CUhidAdapter::Destroy()
{
    if (m_hUhid < 0)
        return;
    uhid_event ev {};
    ev.type = UHID_DESTROY;
    WriteEvent(&ev, sizeof ev);
    // Closing the fd alone would also remove the device; the explicit destroy
    // keeps the order visible to the host the same on every path.
    ::close(m_hUhid);
    m_hUhid = -1;
    m_bStarted = false;
    m_bOpenedByHost = false;
}

bool CUhidAdapter::WriteEvent(const void* pEvent, std::size_t nLength)
{
    for (;;) {
        const ssize_t nWritten = ::write(m_hUhid, pEvent, nLength);
        if (nWritten == static_cast<ssize_t>(nLength))
            return true;
        if (nWritten < 0 && errno == EINTR)
            continue;
        return false;
    }
}
