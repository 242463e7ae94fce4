// The adapter log's scroll bar, painted anew only when its look changes.
#pragma once

#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>

// The log's scroll bar keeps its last picture and shows it again while its
// look cannot have changed. A growing log moves its range every frame, but
// its handle only every few frames by a pixel; repainting the style's
// gradients and lines each time cost more than the rows of text beside it.
// While the pointer is over it or a button is held on it, it paints as any
// other scroll bar (hover and pressed looks).
class CLogScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override
    {
        m_bPressed = true;
        QScrollBar::mousePressEvent(pEvent);
    }

    void mouseReleaseEvent(QMouseEvent* pEvent) override
    {
        QScrollBar::mouseReleaseEvent(pEvent);
        m_bPressed = pEvent->buttons() != Qt::NoButton;
        update();
    }

private:
    // Everything the picture depends on; the handle's place stands for the
    // value, range and page.
    struct Look {
        QRect rcBar;
        QRect rcSlider;
        QStyle::State nState;
        bool bAtMinimum;
        bool bAtMaximum;
        qint64 nPalette;
        qreal dDevicePixelRatio;
        bool operator==(const Look&) const = default;
    };

    QPixmap m_pixCache;
    Look m_look{};
    bool m_bPressed = false;
};
