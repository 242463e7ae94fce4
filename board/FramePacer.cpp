#include "board/FramePacer.h"

#include <QBackingStore>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

double g_dRefreshOverrideHz = 0.0;

} // namespace

CFramePacer::CFramePacer(QWidget* pWidget, std::function<void()> fnBeforeRepaint)
    : m_pWidget(pWidget)
    , m_fnBeforeRepaint(std::move(fnBeforeRepaint))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Repaint(); });
}

void CFramePacer::SetRefreshRateOverride(double dHz)
{
    g_dRefreshOverrideHz = dHz;
}

double CFramePacer::IntervalMs() const
{
    double dHz = g_dRefreshOverrideHz;
    if (dHz <= 0.0) {
        const QScreen* pScreen = m_pWidget->screen();
        dHz = pScreen ? pScreen->refreshRate() : 0.0;
    }
    // A screen reporting nonsense gets an ordinary pace.
    if (!(dHz >= 20.0 && dHz <= 500.0))
        dHz = FallbackRefreshHz;
    return 1000.0 / dHz;
}

void CFramePacer::Request(const QRegion& rgn)
{
    Due(rgn, false);
}

void CFramePacer::RequestAll()
{
    Due(QRegion(), true);
}

void CFramePacer::Due(const QRegion& rgn, bool bAll)
{
    m_rgnDue += rgn;
    m_bAllDue = m_bAllDue || bAll;
    if (m_timer.isActive())
        return;
    const double dInterval = IntervalMs();
    const double dSincePaint =
        m_sinceLastPaint.isValid() ? double(m_sinceLastPaint.nsecsElapsed()) / 1e6 : dInterval;
    if (dSincePaint >= dInterval) {
        Repaint();
        return;
    }
    m_timer.start(std::max(1, int(std::ceil(dInterval - dSincePaint))));
}

void CFramePacer::Repaint()
{
    m_timer.stop();
    const QRegion rgn = std::exchange(m_rgnDue, QRegion());
    const bool bAll = std::exchange(m_bAllDue, false);
    if (!bAll && rgn.isEmpty())
        return;
    if (m_fnBeforeRepaint)
        m_fnBeforeRepaint();
    if (bAll)
        m_pWidget->update();
    else
        m_pWidget->update(rgn);
}

void CFramePacer::Painted(const QPainter& painter, const QRegion& rgnPainted)
{
    // Only what is drawn into the window's back buffer reaches the screen.
    QBackingStore* pStore = m_pWidget->window()->backingStore();
    const QPaintEngine* pEngine = painter.paintEngine();
    if (!pStore || !pEngine || pEngine->paintDevice() != pStore->paintDevice())
        return;
    m_sinceLastPaint.start();
    if (!m_timer.isActive())
        return;
    // What lies outside the widget is never painted, nor needs to be.
    const QRegion rgnDue = m_bAllDue ? QRegion(m_pWidget->rect()) : m_rgnDue & m_pWidget->rect();
    const bool bCovered = (rgnDue - rgnPainted).isEmpty();
    if (!bCovered)
        return;
    m_timer.stop();
    m_rgnDue = QRegion();
    m_bAllDue = false;
}
