#include "drivers/AutoConnect.h"

#include "drivers/AdapterLink.h"

#include <algorithm>

CAutoConnect::CAutoConnect(IAutoConnectTarget* pTarget)
    : m_pTarget(pTarget)
{
    m_timerRetry.setSingleShot(true);
    connect(&m_timerRetry, &QTimer::timeout, this, [this] {
        // Nothing may have told of the adapter's return (no udev events):
        // the list is read afresh before each retry.
        m_bAttempting = true;
        m_pTarget->RefreshList();
        m_bAttempting = false;
        TryNow();
    });
}

void CAutoConnect::SetEnabled(bool bEnabled)
{
    m_bEnabled = bEnabled;
    m_nBackOffMs = FirstBackOffMs;
    m_timerRetry.stop();
    if (m_bEnabled)
        OnListOrConnectionChanged();
}

void CAutoConnect::OnListOrConnectionChanged()
{
    if (!m_bEnabled || m_bAttempting || m_bTryQueued)
        return;
    m_bTryQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_bTryQueued = false;
        TryNow();
    });
}

void CAutoConnect::OnManualDisconnect()
{
    SetEnabled(false);
    if (m_onAttempted)
        m_onAttempted();
}

int CAutoConnect::ChosenIndex()
{
    const std::vector<QString> serials = m_pTarget->ListedSerials();
    if (m_strSerial.isEmpty())
        return serials.empty() ? -1 : 0;
    const auto it = std::find(serials.begin(), serials.end(), m_strSerial);
    return it == serials.end() ? -1 : static_cast<int>(it - serials.begin());
}

void CAutoConnect::TryNow()
{
    if (!m_bEnabled || m_bAttempting || m_pTarget->IsBusy() || m_pTarget->IsConnected())
        return;
    const int nIndex = ChosenIndex();
    bool bConnected = false;
    if (nIndex >= 0) {
        m_bAttempting = true;
        ++m_nAttempts;
        bConnected = m_pTarget->ConnectQuietly(nIndex);
        m_bAttempting = false;
    }
    if (bConnected) {
        ++m_nConnections;
        m_nBackOffMs = FirstBackOffMs;
        m_timerRetry.stop();
    } else if (!m_timerRetry.isActive()) {
        // An arrival still tries at once; the timer covers a fault that an
        // arrival will not announce the end of, never faster than the pause.
        m_timerRetry.start(m_nBackOffMs);
        if (nIndex >= 0)
            m_nBackOffMs = std::min(m_nBackOffMs * 2, MaxBackOffMs);
    }
    if (m_onAttempted)
        m_onAttempted();
}

CDravikAutoConnect::CDravikAutoConnect(CAdapterLink& link)
    : m_link(link)
    , m_autoConnect(this)
{
    QObject::connect(&m_link, &CAdapterLink::ListOrConnectionChanged, &m_autoConnect,
                     &CAutoConnect::OnListOrConnectionChanged);
    QObject::connect(&m_link, &CAdapterLink::Disconnected, &m_autoConnect, [this](DisconnectReason nReason) {
        if (nReason == DisconnectReason::User && m_autoConnect.IsEnabled())
            m_autoConnect.OnManualDisconnect();
    });
}

CDravikAutoConnect::~CDravikAutoConnect()
{
    m_link.disconnect(&m_autoConnect);
}

bool CDravikAutoConnect::IsConnected()
{
    return m_link.IsConnected();
}

std::vector<QString> CDravikAutoConnect::ListedSerials()
{
    return m_link.ListedSerials();
}

void CDravikAutoConnect::RefreshList()
{
    if (!m_link.IsConnected())
        m_link.RefreshAdapters();
}

bool CDravikAutoConnect::IsBusy()
{
    return m_link.AreConnectsHeld();
}

bool CDravikAutoConnect::ConnectQuietly(int nIndex)
{
    return m_link.ConnectQuietly(nIndex);
}
