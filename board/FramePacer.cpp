#include "board/FramePacer.h"

#include <utility>

CFramePacer::CFramePacer(Repaint fnRepaint)
    : m_fnRepaint(std::move(fnRepaint))
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        const QRegion rgn = std::exchange(m_rgnDue, QRegion());
        m_fnRepaint(rgn);
    });
}

void CFramePacer::Request(const QRegion& rgn)
{
    if (m_timer.isActive()) {
        m_rgnDue += rgn;
        return;
    }
    const qint64 nSincePaint = m_sinceLastPaint.isValid() ? m_sinceLastPaint.elapsed() : MinIntervalMs;
    if (nSincePaint >= MinIntervalMs) {
        m_fnRepaint(rgn);
        return;
    }
    m_rgnDue = rgn;
    m_timer.start(static_cast<int>(MinIntervalMs - nSincePaint));
}
