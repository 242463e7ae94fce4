#include "board/PaintGeometry.h"

#include "board/ChildView.h"

PaintRect ComputePaintRect(int cx, int cy, bool bScaleDown)
{
    constexpr int CanvasWidth = CChildView::CanvasWidth;
    constexpr int CanvasHeight = CChildView::CanvasHeight;
    constexpr double Aspect = 5.0 / 3.0;
    cx = cx < 0 ? 0 : cx;
    cy = cy < 0 ? 0 : cy;

    PaintRect rc{0, 0, CanvasWidth, CanvasHeight, false};
    if (cx < CanvasWidth)
        rc.nWidth = cx;
    else
        rc.nLeft = (cx - CanvasWidth) / 2;
    if (cy < CanvasHeight)
        rc.nHeight = cy;
    else
        rc.nTop = (cy - CanvasHeight) / 2;

    if ((cx < CanvasWidth || cy < CanvasHeight) && bScaleDown) {
        rc.bStretched = true;
        // A zero height makes the ratio infinite (or undefined when the
        // width is zero too); those cases are decided without dividing.
        if (rc.nHeight == 0) {
            if (rc.nWidth > 0) {
                rc.nWidth = 0;
                rc.nLeft = cx / 2;
            }
            return rc;
        }
        const double dRatio = static_cast<double>(rc.nWidth) / rc.nHeight;
        if (dRatio > Aspect) {
            rc.nWidth = static_cast<int>(rc.nHeight * Aspect + 0.5);
            rc.nLeft = (cx - rc.nWidth) / 2;
        } else if (dRatio < Aspect) {
            rc.nHeight = static_cast<int>(rc.nWidth / Aspect + 0.5);
            rc.nTop = (cy - rc.nHeight) / 2;
        }
    }
    return rc;
}

PaintRect ComputePaintRect(int cx, int cy, bool bScaleDown, bool bFitToScreen)
{
    constexpr int CanvasWidth = CChildView::CanvasWidth;
    constexpr int CanvasHeight = CChildView::CanvasHeight;
    if (!bFitToScreen || cx <= CanvasWidth || cy <= CanvasHeight)
        return ComputePaintRect(cx, cy, bScaleDown);
    // Integer arithmetic: the largest 5:3 rectangle inside cx x cy, so that
    // 1920 x 1080 gives exactly 1800 x 1080.
    PaintRect rc;
    rc.bStretched = true;
    if (static_cast<long long>(cx) * 3 >= static_cast<long long>(cy) * 5) {
        rc.nHeight = cy;
        rc.nWidth = static_cast<int>((static_cast<long long>(cy) * 5 + 1) / 3);
    } else {
        rc.nWidth = cx;
        rc.nHeight = static_cast<int>((static_cast<long long>(cx) * 3 + 2) / 5);
    }
    rc.nLeft = (cx - rc.nWidth) / 2;
    rc.nTop = (cy - rc.nHeight) / 2;
    return rc;
}
