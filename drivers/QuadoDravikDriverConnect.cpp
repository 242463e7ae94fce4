// The adapter window's connection as the user drives it: the button's connect
// and disconnect through the link, the error boxes, and the list, button and
// status line following the link whoever connected it.
#include "drivers/QuadoDravikDriver.h"

#include <QGuiApplication>

#include <new>

#include "board/IMainFrame.h"
#include "platform/MessageBox.h"

namespace {

constexpr char ErrorCaption[] = QT_TRANSLATE_NOOP("CQuadoDravikDriver", "Error");

// The wait cursor for the whole of a connect or disconnect.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace

bool CQuadoDravikDriver::ConnectQuietly(int nIndex)
{
    if (IsConnected())
        return true;
    m_cbDevices.setCurrentIndex(nIndex);
    return m_link.ConnectQuietly(nIndex);
}

void CQuadoDravikDriver::UpdateStatusLine()
{
    m_link.UpdateStatus();
    ShowStatus();
}

void CQuadoDravikDriver::ShowStatus()
{
    m_strStatus = m_link.ShownStatus();
    const bool bChanged = m_stStatus.text() != m_strStatus;
    m_stStatus.setText(m_strStatus);
    m_stStatus.setToolTip(m_link.ShownStatusDetail());
    if (bChanged)
        emit StatusLineChanged();
}

void CQuadoDravikDriver::ShowConnection(bool bConnected)
{
    // Whoever connected, the greyed list shows the adapter held.
    if (bConnected) {
        const std::vector<CHIDDevice::AdapterIdentity>& listed = m_link.Adapters();
        for (size_t i = 0; i < listed.size(); ++i) {
            if (listed[i] == m_link.ConnectedAdapter()) {
                m_cbDevices.setCurrentIndex(int(i));
                break;
            }
        }
    }
    m_cbDevices.setEnabled(!bConnected);
    m_btnConnect.setText(tr(bConnected ? DisconnectCaption : ConnectCaption));
    if (m_pMainFrame)
        m_pMainFrame->OnDravikConnectionChanged(bConnected);
}

void CQuadoDravikDriver::ToggleConnection()
{
    const CWaitCursor waitCursor;
    if (IsConnected())
        m_link.Disconnect(DisconnectReason::User);
    else
        Connect();
}

// Shown once the failed attempt has let go of everything: the box's event
// loop runs timers and automatic connection, which must find nothing half
// open and must not connect while the box is up.
void CQuadoDravikDriver::ShowError(const char* pszText)
{
    m_link.HoldConnects(true);
    QuadoMessageBox(this, QCoreApplication::translate("CAdapterLink", pszText), tr(ErrorCaption), MessageIcon::Stop);
    m_link.HoldConnects(false);
}

uint8_t* CQuadoDravikDriver::AllocateReceiveBuffer(uint32_t nSize)
{
    return new (std::nothrow) uint8_t[nSize];
}

void CQuadoDravikDriver::Connect()
{
    const int nSelected = m_cbDevices.currentIndex();
    const std::vector<CHIDDevice::AdapterIdentity>& listed = m_link.Adapters();
    // Nothing selected is connected as nothing listed: the link lets go and
    // says so.
    const CHIDDevice::AdapterIdentity adapter = m_cbDevices.count() > 0 && nSelected >= 0 && size_t(nSelected) < listed.size()
                                                    ? listed[size_t(nSelected)]
                                                    : CHIDDevice::AdapterIdentity{};
    const CAdapterLink::ConnectResult nResult = m_link.Connect(adapter, CAdapterLink::FailureReport::ByCaller);
    if (nResult != CAdapterLink::ConnectResult::Connected)
        ShowError(CAdapterLink::FailureText(nResult));
}
