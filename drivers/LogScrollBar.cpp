#include "drivers/LogScrollBar.h"

#include <QPainter>
#include <QStyleOptionSlider>

#include <algorithm>

void CLogScrollBar::paintEvent(QPaintEvent* pEvent)
{
    if (m_bPressed || underMouse() || isSliderDown()) {
        m_pixCache = QPixmap();
        QScrollBar::paintEvent(pEvent);
        return;
    }
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    opt.subControls = QStyle::SC_All;
    opt.activeSubControls = QStyle::SC_None;
    const Look look{opt.rect,
                    style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this),
                    opt.state,
                    value() == minimum(),
                    value() == maximum(),
                    palette().cacheKey(),
                    devicePixelRatio()};
    if (m_pixCache.isNull() || look != m_look) {
        QPixmap pix(opt.rect.size() * look.dDevicePixelRatio);
        pix.setDevicePixelRatio(look.dDevicePixelRatio);
        pix.fill(Qt::transparent);
        QPainter painter(&pix);
        // Qt's raster engine splits a fill taller than about a hundred
        // rows over its pool of threads and waits for them: two threads
        // and this one woken for every picture of a growing log. Drawn
        // in strips of fewer rows, each on a picture of its own, every
        // fill stays on this thread and the pixels are the same.
        constexpr int StripRows = 64;
        const int nRows = pix.height();
        for (int nTop = 0; nTop < nRows; nTop += StripRows) {
            QPixmap strip(pix.width(), std::min(StripRows, nRows - nTop));
            strip.setDevicePixelRatio(look.dDevicePixelRatio);
            strip.fill(Qt::transparent);
            QPainter stripPainter(&strip);
            stripPainter.translate(0, -nTop / look.dDevicePixelRatio);
            style()->drawComplexControl(QStyle::CC_ScrollBar, &opt, &stripPainter, this);
            stripPainter.end();
            painter.drawPixmap(QPointF(0, nTop / look.dDevicePixelRatio), strip);
        }
        painter.end();
        m_pixCache = pix;
        m_look = look;
    }
    QPainter(this).drawPixmap(0, 0, m_pixCache);
}
