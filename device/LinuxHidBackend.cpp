#include "device/LinuxHidBackend.h"

#include "device/HIDDevice.h"
#include "device/HidReportQueue.h"
#include "device/ReportDescriptor.h"

#include <libudev.h>
#include <linux/hidraw.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The kernel's largest report (HID_MAX_BUFFER_SIZE); a smaller read buffer
// would silently cut longer reports.
constexpr size_t MaxRawReportSize = 16384;
// HIDIOCGRAWUNIQ's answer is a USB string descriptor turned into UTF-8.
constexpr size_t MaxUniqLength = 256;
// The ioctl number keeps the transfer length in 14 bits.
constexpr size_t MaxIoctlLength = 0x3FFF;

std::string HidUniqOfFd(int nFd)
{
    struct stat st {};
    if (fstat(nFd, &st) != 0 || !S_ISCHR(st.st_mode))
        return {};
    udev* pUdev = udev_new();
    if (!pUdev)
        return {};
    std::string strUniq;
    if (udev_device* pDevice = udev_device_new_from_devnum(pUdev, 'c', st.st_rdev)) {
        udev_device* pParent = udev_device_get_parent_with_subsystem_devtype(pDevice, "hid", nullptr);
        if (const char* pszUniq = pParent ? udev_device_get_property_value(pParent, "HID_UNIQ") : nullptr)
            strUniq = pszUniq;
        udev_device_unref(pDevice);
    }
    udev_unref(pUdev);
    return strUniq;
}

class CLinuxHidHandle : public IHidHandle {
public:
    CLinuxHidHandle(int nFd, int nWakeFd, bool bSummaryValid, const ReportDescriptorSummary& summary)
        : m_nFd(nFd), m_nWakeFd(nWakeFd), m_bSummaryValid(bSummaryValid), m_summary(summary)
    {
    }

    ~CLinuxHidHandle() override
    {
        // The reader polls the fd: wake it and wait for it before closing.
        if (m_reader.joinable()) {
            const uint64_t nOne = 1;
            while (write(m_nWakeFd, &nOne, sizeof nOne) < 0 && errno == EINTR) {
            }
            m_reader.join();
        }
        close(m_nFd);
        close(m_nWakeFd);
    }

    bool StartReader()
    {
        try {
            m_reader = std::thread([this] { ReaderMain(); });
        } catch (...) {
            return false;
        }
        return true;
    }

    bool GetAttributes(uint16_t& nVendorId, uint16_t& nProductId) override
    {
        hidraw_devinfo info {};
        if (ioctl(m_nFd, HIDIOCGRAWINFO, &info) < 0)
            return false;
        // The kernel declares the ids signed: 0x8253 comes back negative.
        nVendorId = static_cast<uint16_t>(info.vendor);
        nProductId = static_cast<uint16_t>(info.product);
        return true;
    }

    bool GetSerialNumber(std::string& strSerial) override
    {
        char szUniq[MaxUniqLength + 1] = {};
        const int nLength = ioctl(m_nFd, HIDIOCGRAWUNIQ(MaxUniqLength), szUniq);
        std::string strUniq;
        if (nLength >= 0)
            strUniq.assign(szUniq, strnlen(szUniq, MaxUniqLength));
        else
            strUniq = HidUniqOfFd(m_nFd);
        // No serial string at all reads as a failure, as on the HID class driver.
        if (strUniq.empty())
            return false;
        strSerial = std::move(strUniq);
        return true;
    }

    bool GetReportLengths(HidReportLengths& lengths) override
    {
        if (!m_bSummaryValid)
            return false;
        lengths = m_summary.lengths;
        return true;
    }

    bool GetNumInputBuffers(uint32_t& nCount) override
    {
        nCount = static_cast<uint32_t>(m_queue.GetCapacity());
        return true;
    }

    bool SetNumInputBuffers(uint32_t nCount) override { return m_queue.SetCapacity(nCount); }

    HidReadResult ReadReports(uint8_t* pBuffer, size_t nReportLength, size_t nMaxReports, uint32_t nTimeoutMs,
                              size_t& nBytesRead) override
    {
        return m_queue.Read(pBuffer, nReportLength, nMaxReports, nTimeoutMs, nBytesRead);
    }

    void CancelRead() override { m_queue.Cancel(); }

    bool SetFeature(const uint8_t* pReport, size_t nLength) override
    {
        if (!pReport || nLength == 0 || nLength > MaxIoctlLength)
            return false;
        std::vector<uint8_t> report(pReport, pReport + nLength);
        return ioctl(m_nFd, HIDIOCSFEATURE(nLength), report.data()) >= 0;
    }

    bool GetFeature(uint8_t* pReport, size_t nLength) override
    {
        if (!pReport || nLength == 0 || nLength > MaxIoctlLength)
            return false;
        return ioctl(m_nFd, HIDIOCGFEATURE(nLength), pReport) >= 0;
    }

    bool FlushInput() override
    {
        // No flush ioctl exists: drain what the kernel holds, then our queue.
        // The reader is kept out meanwhile: a report it had taken from the
        // node just before would otherwise be queued just after.
        const std::lock_guard lock(m_drainMutex);
        uint8_t scratch[MaxRawReportSize];
        for (;;) {
            const ssize_t nRead = read(m_nFd, scratch, sizeof scratch);
            if (nRead > 0 || (nRead < 0 && errno == EINTR))
                continue;
            break;
        }
        m_queue.Clear();
        return true;
    }

private:
    // Returns false once the device is gone.
    bool DrainKernelQueue(std::vector<uint8_t>& buffer)
    {
        // Unnumbered devices send no id byte; slot 0 stands in for it.
        uint8_t* pRaw = buffer.data() + 1;
        for (;;) {
            // Taking a report and queueing it is one step as a flush sees it.
            const std::lock_guard lock(m_drainMutex);
            const ssize_t nRead = read(m_nFd, pRaw, MaxRawReportSize);
            if (nRead > 0) {
                if (m_summary.bNumbered)
                    m_queue.Push(pRaw, static_cast<size_t>(nRead));
                else
                    m_queue.Push(buffer.data(), static_cast<size_t>(nRead) + 1);
                continue;
            }
            // hidraw never reads 0 bytes from a live device: take it as the end.
            if (nRead == 0)
                return false;
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }

    void ReaderMain()
    {
        std::vector<uint8_t> buffer(MaxRawReportSize + 1, 0);
        pollfd fds[2] = {{m_nFd, POLLIN, 0}, {m_nWakeFd, POLLIN, 0}};
        for (;;) {
            const int nReady = poll(fds, 2, -1);
            if (nReady < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (fds[1].revents)
                return;
            if ((fds[0].revents & POLLIN) && !DrainKernelQueue(buffer))
                break;
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                break;
        }
        // Unplugged or broken: what is queued is still read, then reads fail.
        m_queue.MarkGone();
        uint64_t nValue = 0;
        pollfd wake = {m_nWakeFd, POLLIN, 0};
        while (poll(&wake, 1, -1) < 0 && errno == EINTR) {
        }
        while (read(m_nWakeFd, &nValue, sizeof nValue) < 0 && errno == EINTR) {
        }
    }

    int m_nFd;
    int m_nWakeFd;
    bool m_bSummaryValid;
    ReportDescriptorSummary m_summary;
    CHidReportQueue m_queue;
    std::mutex m_drainMutex;
    std::thread m_reader;
};

HidOpenError OpenErrorOf(int nErrno)
{
    switch (nErrno) {
    case EACCES:
    case EPERM:
        return HidOpenError::PermissionDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return HidOpenError::NotFound;
    case EBUSY:
        return HidOpenError::InUse;
    default:
        return HidOpenError::Other;
    }
}

bool ReadDescriptor(int nFd, ReportDescriptorSummary& summary)
{
    int nSize = 0;
    if (ioctl(nFd, HIDIOCGRDESCSIZE, &nSize) < 0 || nSize <= 0 || nSize > HID_MAX_DESCRIPTOR_SIZE)
        return false;
    hidraw_report_descriptor descriptor {};
    descriptor.size = static_cast<uint32_t>(nSize);
    if (ioctl(nFd, HIDIOCGRDESC, &descriptor) < 0)
        return false;
    return ParseReportDescriptor(descriptor.value, descriptor.size, summary);
}

} // namespace

bool ParseHidId(const char* pszHidId, uint16_t& nBus, uint16_t& nVendorId, uint16_t& nProductId)
{
    if (!pszHidId)
        return false;
    unsigned int nParsedBus = 0;
    unsigned int nParsedVendor = 0;
    unsigned int nParsedProduct = 0;
    int nConsumed = 0;
    if (std::sscanf(pszHidId, "%x:%x:%x%n", &nParsedBus, &nParsedVendor, &nParsedProduct, &nConsumed) != 3 ||
        pszHidId[nConsumed] != '\0' || nParsedBus > 0xFFFF || nParsedVendor > 0xFFFF || nParsedProduct > 0xFFFF)
        return false;
    nBus = static_cast<uint16_t>(nParsedBus);
    nVendorId = static_cast<uint16_t>(nParsedVendor);
    nProductId = static_cast<uint16_t>(nParsedProduct);
    return true;
}

bool IsAdapterHidrawDevice(udev_device* pDevice)
{
    if (!pDevice)
        return false;
    udev_device* pParent = udev_device_get_parent_with_subsystem_devtype(pDevice, "hid", nullptr);
    if (!pParent)
        return false;
    uint16_t nBus = 0;
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
    return ParseHidId(udev_device_get_property_value(pParent, "HID_ID"), nBus, nVendorId, nProductId) &&
           nVendorId == CHIDDevice::AdapterVendorId && nProductId == CHIDDevice::AdapterProductId;
}

std::vector<HidDeviceEntry> CLinuxHidBackend::EnumerateDevices()
{
    std::vector<std::pair<std::string, HidDeviceEntry>> found;
    udev* pUdev = udev_new();
    if (!pUdev)
        return {};
    if (udev_enumerate* pEnumerate = udev_enumerate_new(pUdev)) {
        udev_enumerate_add_match_subsystem(pEnumerate, "hidraw");
        udev_enumerate_scan_devices(pEnumerate);
        udev_list_entry* pEntry = nullptr;
        udev_list_entry_foreach(pEntry, udev_enumerate_get_list_entry(pEnumerate))
        {
            const char* pszSysPath = udev_list_entry_get_name(pEntry);
            udev_device* pDevice = pszSysPath ? udev_device_new_from_syspath(pUdev, pszSysPath) : nullptr;
            if (!pDevice)
                continue;
            HidDeviceEntry entry;
            if (const char* pszNode = udev_device_get_devnode(pDevice))
                entry.strPath = pszNode;
            else if (const char* pszName = udev_device_get_sysname(pDevice))
                entry.strPath = std::string("/dev/") + pszName;
            if (udev_device* pParent = udev_device_get_parent_with_subsystem_devtype(pDevice, "hid", nullptr)) {
                uint16_t nBus = 0;
                entry.bIdsKnown = ParseHidId(udev_device_get_property_value(pParent, "HID_ID"), nBus,
                                             entry.nVendorId, entry.nProductId);
            }
            if (!entry.strPath.empty())
                found.emplace_back(pszSysPath, std::move(entry));
            udev_device_unref(pDevice);
        }
        udev_enumerate_unref(pEnumerate);
    }
    udev_unref(pUdev);

    // Sysfs paths follow the bus topology, so an adapter keeps its place in
    // the list while others come and go on other ports.
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<HidDeviceEntry> entries;
    entries.reserve(found.size());
    for (auto& [strSysPath, entry] : found)
        entries.push_back(std::move(entry));
    return entries;
}

std::unique_ptr<IHidHandle> CLinuxHidBackend::OpenDevice(const std::string& strPath, HidOpenError& error)
{
    const int nFd = open(strPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0) {
        error = OpenErrorOf(errno);
        return nullptr;
    }
    // hidraw has no exclusive open; an advisory lock per open file stands in
    // for it, and refuses a second open inside this process as well.
    if (flock(nFd, LOCK_EX | LOCK_NB) != 0) {
        error = (errno == EWOULDBLOCK) ? HidOpenError::InUse : HidOpenError::Other;
        close(nFd);
        return nullptr;
    }
    const int nWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (nWakeFd < 0) {
        error = HidOpenError::Other;
        close(nFd);
        return nullptr;
    }
    ReportDescriptorSummary summary;
    const bool bSummaryValid = ReadDescriptor(nFd, summary);
    auto pHandle = std::make_unique<CLinuxHidHandle>(nFd, nWakeFd, bSummaryValid, summary);
    if (!pHandle->StartReader()) {
        error = HidOpenError::Other;
        return nullptr;
    }
    error = HidOpenError::None;
    return pHandle;
}
