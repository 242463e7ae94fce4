// Spaces a widget's repaints at least a frame apart: the first change after a
// quiet frame is repainted at once, later ones wait together for the next
// frame. Used by the board view and the adapter window's log.
#pragma once

#include <QElapsedTimer>
#include <QRegion>
#include <QTimer>

#include <functional>

class CFramePacer {
public:
    // A screen shows no more frames than this allows.
    static constexpr int MinIntervalMs = 16;
    using Repaint = std::function<void(const QRegion&)>;

    // fnRepaint asks the widget for a repaint of what is due; it is called
    // from Request or, for a change that must wait, from the frame timer.
    explicit CFramePacer(Repaint fnRepaint);

    void Request(const QRegion& rgn);
    // Called by the widget's paint handler: the frame starts now.
    void Painted() { m_sinceLastPaint.start(); }

private:
    Repaint m_fnRepaint;
    QRegion m_rgnDue;
    QElapsedTimer m_sinceLastPaint;
    QTimer m_timer;
};
