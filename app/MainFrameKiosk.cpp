// The main frame left alone: start options, automatic connection and kiosk
// mode (the status line at the foot, the pointer that hides at rest).
#include "app/MainFrame.h"

#include <QEvent>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

// Hides the pointer once it has rested over the board for a while, and
// brings it back at the first movement.
class CPointerHider : public QObject {
public:
    CPointerHider(QWidget* pWidget, QTimer* pTimer)
        : QObject(pWidget)
        , m_pWidget(pWidget)
        , m_pTimer(pTimer)
    {
        m_pTimer->setSingleShot(true);
        connect(m_pTimer, &QTimer::timeout, this, [this] { m_pWidget->setCursor(Qt::BlankCursor); });
        m_pWidget->setMouseTracking(true);
        m_pWidget->installEventFilter(this);
        m_pTimer->start();
    }

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::MouseMove || pEvent->type() == QEvent::Enter) {
            m_pWidget->unsetCursor();
            m_pTimer->start();
        }
        return QObject::eventFilter(pObject, pEvent);
    }

private:
    QWidget* m_pWidget;
    QTimer* m_pTimer;
};

// Calls back whenever the widget's size changes.
class CResizeWatch : public QObject {
public:
    CResizeWatch(QWidget* pWidget, std::function<void()> onResized)
        : QObject(pWidget)
        , m_onResized(std::move(onResized))
    {
        pWidget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Resize)
            m_onResized();
        return QObject::eventFilter(pObject, pEvent);
    }

private:
    std::function<void()> m_onResized;
};

} // namespace

void CMainFrame::ToggleConnectAutomatically()
{
    m_autoConnect.Control().SetEnabled(!m_autoConnect.Control().IsEnabled());
}

void CMainFrame::ApplyStartOptionsBeforeCreate(const StartOptions& options)
{
    m_bKiosk = options.bKiosk;
    m_bMute = options.bMute;
    if (options.bShapes)
        SetShapesShown(true);
    if (m_bKiosk)
        m_bDravikDriverShown = false;
    ApplyRecordsOptions(options);
    m_autoConnect.Control().SetSerial(QString::fromStdString(options.strSerial));
    m_autoConnect.Control().m_onAttempted = [this] {
        UpdateCommandUI();
        UpdateKioskStatus();
    };
}

void CMainFrame::ApplyStartOptionsAfterShow(const StartOptions& options)
{
    if (options.bFullScreen && !m_bFullScreen)
        ToggleFullScreen();
    if (options.bFit) {
        if (!m_bFitToScreen)
            ToggleFitToScreen();
    }
    if (m_bKiosk) {
        m_pKioskStatus = new QLabel(&m_wndView);
        m_pKioskStatus->setTextFormat(Qt::PlainText);
        m_pKioskStatus->setAlignment(Qt::AlignCenter);
        m_pKioskStatus->setStyleSheet(QStringLiteral("color: #a0a0a0; background: transparent;"));
        m_pKioskStatus->setAttribute(Qt::WA_TransparentForMouseEvents);
        // Told, never polled: the link from the game events, the words from
        // the link's status, the place from the view's size.
        m_kioskLinkWatch = CGameEventSubscription(AdapterLink().GameEvents(), [this](const GameEvent& event) {
            if (event.nKind == GameEvent::Kind::Connected || event.nKind == GameEvent::Kind::Disconnected)
                UpdateKioskStatus();
        });
        connect(&AdapterLink(), &CAdapterLink::StatusChanged, this, &CMainFrame::UpdateKioskStatus);
        new CResizeWatch(&m_wndView, [this] { UpdateKioskStatus(); });
        m_pPointerTimer = new QTimer(this);
        m_pPointerTimer->setInterval(KioskPointerHideMs);
        new CPointerHider(&m_wndView, m_pPointerTimer);
    }
    if (options.bConnect)
        m_autoConnect.Control().SetEnabled(true);
    // Quado runs on without its voice; the menu item says why.
    if (options.bSpeak && !SetSpeak(true))
        std::fprintf(stderr, "Quado: --speak: %s\n", qPrintable(SpeakUnavailableReason()));
    UpdateKioskStatus();
    UpdateCommandUI();
}

void CMainFrame::UpdateKioskStatus()
{
    if (!m_pKioskStatus)
        return;
    if (AdapterLink().IsConnected()) {
        m_pKioskStatus->hide();
        return;
    }
    m_pKioskStatus->setText(AdapterLink().ShownStatus());
    // At the foot of the view: in the black margin below a letterboxed
    // board, else over the foot of the picture.
    const int nHeight = m_pKioskStatus->fontMetrics().height() + 8;
    m_pKioskStatus->setGeometry(0, m_wndView.height() - nHeight, m_wndView.width(), nHeight);
    m_pKioskStatus->show();
    m_pKioskStatus->raise();
}
