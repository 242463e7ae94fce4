#include "drivers/QuadoDravikDriver.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>

#include <string>

#include "board/IMainFrame.h"

namespace {

constexpr char HideText[] = QT_TRANSLATE_NOOP("CQuadoDravikDriver", "Hide");
constexpr char SelectGroupText[] = QT_TRANSLATE_NOOP("CQuadoDravikDriver", "Dravik Select");
constexpr char ReceivedLabelText[] = QT_TRANSLATE_NOOP("CQuadoDravikDriver", "Received Data:");
constexpr char ClearText[] = QT_TRANSLATE_NOOP("CQuadoDravikDriver", "Clear Data");
// Shown in an empty list when adapters are present but may not be opened.
constexpr char NoAccessHint[] = QT_TRANSLATE_NOOP("CQuadoDravikDriver", "Adapter present, no access (udev rule?)");

} // namespace

CQuadoDravikDriver::CQuadoDravikDriver(DeviceWatch nWatch)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_btnHide(tr(HideText))
    , m_grpSelect(tr(SelectGroupText))
    , m_btnConnect(tr(ConnectCaption))
    , m_stReceived(tr(ReceivedLabelText))
    , m_btnClear(tr(ClearText))
{
    setWindowTitle(tr(Caption));
    LayOut();

    connect(&m_btnHide, &QPushButton::clicked, this, &CQuadoDravikDriver::reject);
    connect(&m_btnConnect, &QPushButton::clicked, this, &CQuadoDravikDriver::ToggleConnection);
    connect(&m_btnClear, &QPushButton::clicked, this, &CQuadoDravikDriver::OnClearData);

    connect(&m_link, &CAdapterLink::ListChanged, this, &CQuadoDravikDriver::ShowList);
    connect(&m_link, &CAdapterLink::StatusChanged, this, &CQuadoDravikDriver::ShowStatus);
    connect(&m_link, &CAdapterLink::ConnectionChanged, this, &CQuadoDravikDriver::ShowConnection);
    connect(&m_link, &CAdapterLink::LogCleared, this, [this] { m_reLog.Clear(); });
    connect(&m_link, &CAdapterLink::TextReceived, this, &CQuadoDravikDriver::AppendToLog);
    // The log is emptied while the adapter's stale input goes, then given back.
    connect(&m_link, &CAdapterLink::InputFlushed, this, [this] {
        m_strLogBeforeFlush = m_reLog.Text();
        m_bLogFlushed = true;
        m_reLog.Clear();
    });
    connect(&m_link, &CAdapterLink::ConnectAttemptEnded, this, [this] {
        if (m_bLogFlushed)
            m_reLog.SetText(m_strLogBeforeFlush);
        m_bLogFlushed = false;
        m_strLogBeforeFlush.clear();
    });
    m_link.SetWaitIndicator([](bool bWaiting) {
        if (bWaiting)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::restoreOverrideCursor();
    });

    if (nWatch == DeviceWatch::AtOnce)
        StartDeviceWatch();
    UpdateStatusLine();

    // Placed once, while still hidden; later shows keep the place (and any
    // place the user dragged it to).
    if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
        const QRect rcWork = pScreen->availableGeometry();
        move(rcWork.left() + (rcWork.width() - width()) / 2, rcWork.top() + (rcWork.height() - height()) / 2);
    }
}

CQuadoDravikDriver::~CQuadoDravikDriver()
{
    // The end of the program ends an open connection cleanly, while the
    // window's parts still exist; nothing more is shown.
    m_link.disconnect(this);
    m_link.SetWaitIndicator({});
    m_link.Close();
}

void CQuadoDravikDriver::SetLinks(IMainFrame* pMainFrame, IQuadoBoard** ppView, const bool* pbMute,
                                  ISoundPlayer* pSoundPlayer)
{
    m_pMainFrame = pMainFrame;
    m_ppView = ppView;
    m_pbMute = pbMute;
    m_link.SetOutputs(ppView, pbMute, pSoundPlayer);
}

void CQuadoDravikDriver::ShowList()
{
    m_cbDevices.clear();
    // A serial is shown as it is; only "no serial number" is in words.
    for (const QString& strSerial : m_link.ListedSerials())
        m_cbDevices.addItem(QCoreApplication::translate("CAdapterLink", strSerial.toUtf8().constData()));
    if (m_cbDevices.count() > 0)
        m_cbDevices.setCurrentIndex(0);
    // An empty list says why when the reason is one the user can fix.
    m_cbDevices.lineEdit()->setPlaceholderText(m_link.IsListEmptyForLackOfAccess() ? tr(NoAccessHint)
                                                                                   : QString());
}

void CQuadoDravikDriver::RetranslateUi()
{
    setWindowTitle(tr(Caption));
    m_btnHide.setText(tr(HideText));
    m_grpSelect.setTitle(tr(SelectGroupText));
    m_stReceived.setText(tr(ReceivedLabelText));
    m_btnClear.setText(tr(ClearText));
    m_cbDevices.setAccessibleName(tr("Adapters"));
    m_reLog.setAccessibleName(tr("Received data"));
    m_btnConnect.setText(tr(m_link.IsConnected() ? DisconnectCaption : ConnectCaption));
    if (m_cbDevices.lineEdit())
        m_cbDevices.lineEdit()->setPlaceholderText(m_link.IsListEmptyForLackOfAccess() ? tr(NoAccessHint) : QString());
    ShowStatus();
}

void CQuadoDravikDriver::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange)
        RetranslateUi();
    QDialog::changeEvent(pEvent);
}

void CQuadoDravikDriver::OnClearData()
{
    m_reLog.Clear();
}

void CQuadoDravikDriver::reject()
{
    if (!m_pMainFrame) {
        hide();
        return;
    }
    m_pMainFrame->ToggleDravikDriver();
    m_pMainFrame->UpdateCommandUI();
}

void CQuadoDravikDriver::keyPressEvent(QKeyEvent* pEvent)
{
    const bool bEnter = pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter;
    QWidget* pFocus = focusWidget();
    if (bEnter && pFocus && (pFocus == &m_cbDevices || m_cbDevices.isAncestorOf(pFocus))) {
        pEvent->accept();
        m_btnConnect.click();
        // Connecting greys the list out: the focus stays with the button, so
        // the next Enter disconnects instead of reaching the Hide button.
        if (!m_cbDevices.isEnabled())
            m_btnConnect.setFocus();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CQuadoDravikDriver::AppendToLog(const QString& strText)
{
    // The view lays out and scrolls when it next paints, so a burst of
    // chunks costs one layout, not one each.
    m_reLog.Append(strText);
    if (m_reLog.Text().size() > MaxLogChars + LogTrimSlack)
        m_reLog.KeepLast(MaxLogChars);
}
