// Spaces a widget's repaints at least a screen refresh apart: the first change
// after a quiet frame is repainted at once, later ones wait together for the
// next frame. Used by the board view and the adapter window's log.
#pragma once

#include <QElapsedTimer>
#include <QRegion>
#include <QTimer>

#include <functional>

class QPainter;
class QWidget;

class CFramePacer {
public:
    // Used when the screen does not tell its refresh rate.
    static constexpr double FallbackRefreshHz = 60.0;

    // pWidget is what is repainted; fnBeforeRepaint, if any, runs just before
    // each repaint is asked for (work whose result the paint shows, done
    // outside the paint so that it cannot ask for another one).
    explicit CFramePacer(QWidget* pWidget, std::function<void()> fnBeforeRepaint = {});

    // Asks for that part of the widget, or the whole of it, to be repainted.
    void Request(const QRegion& rgn);
    void RequestAll();
    // Called by the widget's paint handler with its painter and what it
    // repaints: the frame starts now, and a repaint still waiting for its
    // frame is not needed any more when this paint covers it. A paint into
    // a picture (grab, render) is no frame and changes nothing here.
    void Painted(const QPainter& painter, const QRegion& rgnPainted);

    // The frame interval, from the refresh rate of the widget's screen.
    double IntervalMs() const;
    bool IsRepaintPending() const { return m_timer.isActive(); }
    // For benches and tests: pretend every screen refreshes this often (0:
    // ask the screen again).
    static void SetRefreshRateOverride(double dHz);

private:
    void Due(const QRegion& rgn, bool bAll);
    void Repaint();

    QWidget* m_pWidget;
    std::function<void()> m_fnBeforeRepaint;
    QRegion m_rgnDue;
    bool m_bAllDue = false;
    QElapsedTimer m_sinceLastPaint;
    QTimer m_timer;
};
