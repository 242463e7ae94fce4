// What the shape tests share: the looks a board is seen in (1x, a screen of
// ratio 2, Fit to Screen on a 1920 x 1080 screen), where a sector's shape
// lands in a picture, and a picture turned to grey.
#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QResizeEvent>

#include <cmath>
#include <vector>

#include "board/ChildView.h"
#include "board/PaintGeometry.h"
#include "board/QuadrantShapes.h"

namespace shapestest {

struct Look {
    const char* pszName;
    int cx;
    int cy;
    bool bFit;
    double dRatio;
};

inline const std::vector<Look>& Looks()
{
    static const std::vector<Look> looks = {
        {"1x", 1280, 768, false, 1.0}, {"2x", 1280, 768, false, 2.0}, {"fit 1920x1080", 1920, 1080, true, 1.0}};
    return looks;
}

inline void Resize(CChildView& view, int cx, int cy)
{
    view.resize(cx, cy);
    QResizeEvent event(QSize(cx, cy), view.size());
    QCoreApplication::sendEvent(&view, &event);
}

inline void SetLook(CChildView& view, const Look& look)
{
    view.m_bFitToScreen = look.bFit;
    Resize(view, look.cx, look.cy);
}

inline QImage Picture(CChildView& view, const Look& look)
{
    return view.PictureAt(look.dRatio);
}

// Device pixels per canvas pixel in the view's last picture.
inline double DeviceScale(const CChildView& view, const Look& look)
{
    const PaintRect& rc = view.LastPaintRect();
    return (rc.bStretched ? double(rc.nWidth) / CChildView::CanvasWidth : 1.0) * look.dRatio;
}

// The device pixel of a canvas point in the view's last picture.
inline QPointF DevicePoint(const CChildView& view, const Look& look, const QPointF& ptCanvas)
{
    const PaintRect& rc = view.LastPaintRect();
    const double s = DeviceScale(view, look);
    return QPointF(rc.nLeft * look.dRatio + ptCanvas.x() * s, rc.nTop * look.dRatio + ptCanvas.y() * s);
}

// Half the side of the square, in canvas pixels, that holds a sector's shape
// with room to spare; all of it lies on the sector's flat face.
inline constexpr double BoxHalf = 52.0;

// The centre of a sector's shape in the last picture, in device pixels.
inline QPointF ShapeCentre(const CChildView& view, const Look& look, int nSector)
{
    const QPointF ptBoard = QuadrantShapes::BoardCentre(nSector);
    return DevicePoint(view, look, QPointF(CChildView::BoardLeft + ptBoard.x(), CChildView::BoardTop + ptBoard.y()));
}

// The device pixels of that square.
inline QRect ShapeBox(const CChildView& view, const Look& look, int nSector)
{
    const QPointF pt = ShapeCentre(view, look, nSector);
    const double d = BoxHalf * DeviceScale(view, look);
    return QRectF(pt.x() - d, pt.y() - d, 2 * d, 2 * d).toAlignedRect();
}

// Luminance alone (Rec. 709 weights), as a player without colour vision
// sees the picture.
inline QImage Grey(const QImage& image)
{
    QImage grey(image.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y) {
        const auto* pSource = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* pTarget = grey.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            pTarget[x] = static_cast<uchar>(
                std::lround(0.2126 * qRed(pSource[x]) + 0.7152 * qGreen(pSource[x]) + 0.0722 * qBlue(pSource[x])));
    }
    return grey;
}

} // namespace shapestest
