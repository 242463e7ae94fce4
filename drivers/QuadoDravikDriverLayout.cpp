// The adapter driver window's layout: the dialog template's places in dialog
// units, turned into pixels for the window's font.
#include "drivers/QuadoDravikDriver.h"

#include <algorithm>

#include "drivers/NamedListAccessible.h"
#include "platform/DialogUnits.h"

namespace {

// Template 158, in dialog units: the window, then each control's x, y, w, h.
constexpr int DialogWidth = 186;
constexpr int DialogHeight = 365;
constexpr int HideRect[] = {119, 344, 50, 14};
constexpr int SelectGroupRect[] = {7, 7, 172, 65};
constexpr int DeviceListRect[] = {32, 24, 122, 30};
constexpr int ConnectRect[] = {59, 46, 68, 14};
constexpr int LogRect[] = {7, 88, 172, 230};
constexpr int ReceivedLabelRect[] = {7, 76, 50, 8};
constexpr int StatusRect[] = {7, 319, 172, 19};
constexpr int ClearRect[] = {17, 344, 50, 14};

QRect DialogRect(const CDialogUnits& units, const int (&rect)[4])
{
    return units.Rect(rect[0], rect[1], rect[2], rect[3]);
}

} // namespace

void CQuadoDravikDriver::LayOut()
{
    const CDialogUnits units(font());
    setFixedSize(units.Size(DialogWidth, DialogHeight));

    // Template order is tab order.
    QWidget* const controls[] = {&m_btnHide, &m_grpSelect, &m_cbDevices, &m_btnConnect,
                                 &m_reLog,   &m_stReceived, &m_stStatus,  &m_btnClear};
    for (QWidget* pControl : controls)
        pControl->setParent(this);

    m_btnHide.setGeometry(DialogRect(units, HideRect));
    m_grpSelect.setGeometry(DialogRect(units, SelectGroupRect));

    // The template's height includes the dropped-down list; the closed box
    // is as high as its edit field.
    m_cbDevices.setEditable(true);
    m_cbDevices.setInsertPolicy(QComboBox::NoInsert);
    const QRect rcList = DialogRect(units, DeviceListRect);
    m_cbDevices.setGeometry(rcList.left(), rcList.top(), rcList.width(), m_cbDevices.sizeHint().height());

    m_btnConnect.setGeometry(DialogRect(units, ConnectRect));

    m_reLog.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_reLog.setGeometry(DialogRect(units, LogRect));

    const QRect rcLabel = DialogRect(units, ReceivedLabelRect);
    m_stReceived.setGeometry(rcLabel.left(), rcLabel.top(),
                             std::max(rcLabel.width(), m_stReceived.sizeHint().width()), rcLabel.height());
    m_stReceived.setTextFormat(Qt::PlainText);

    m_stStatus.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_stStatus.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_stStatus.setTextFormat(Qt::PlainText);
    m_stStatus.setWordWrap(true);
    m_stStatus.setGeometry(DialogRect(units, StatusRect));

    m_btnClear.setGeometry(DialogRect(units, ClearRect));

    // Screen readers name the list and the log by these (again when the
    // language changes); the other controls are named by their own text.
    InstallNamedListAccessibility();
    m_cbDevices.setAccessibleName(tr("Adapters"));
    m_reLog.setAccessibleName(tr("Received data"));

    setTabOrder(&m_btnHide, &m_cbDevices);
    setTabOrder(&m_cbDevices, &m_btnConnect);
    setTabOrder(&m_btnConnect, &m_reLog);
    setTabOrder(&m_reLog, &m_btnClear);
}
