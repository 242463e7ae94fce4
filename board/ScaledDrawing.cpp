#include "board/ScaledDrawing.h"

#include <algorithm>
#include <cmath>

#include "assets/gen/BoardArt.h"
#include "board/ChildView.h"
#include "board/DrawKeyedBitmap.h"

// A canvas rectangle at dScale device pixels per canvas pixel, each edge
// rounded on its own so that neighbouring rectangles meet exactly.
QRect ScaleRect(const QRect& rc, double dScale)
{
    const int nLeft = static_cast<int>(std::lround(rc.left() * dScale));
    const int nTop = static_cast<int>(std::lround(rc.top() * dScale));
    const int nRight = static_cast<int>(std::lround((rc.left() + rc.width()) * dScale));
    const int nBottom = static_cast<int>(std::lround((rc.top() + rc.height()) * dScale));
    return QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

// A read-only view of part of an RGB32 image, without copying its pixels.
QImage ImagePart(const QImage& image, const QRect& rc)
{
    return QImage(image.constScanLine(rc.top()) + rc.left() * 4, rc.width(), rc.height(), image.bytesPerLine(),
                  image.format());
}

// Which sectors a QuadrantIndex lights, in BoardArt's sector order (blue,
// green, red, yellow).
bool SectorLit(int nQuadrant, int nSector)
{
    constexpr int SectorQuadrant[BoardArt::SectorCount] = {QuadrantBlue, QuadrantGreen, QuadrantRed,
                                                           QuadrantYellow};
    return nQuadrant == QuadrantAll || nQuadrant == SectorQuadrant[nSector];
}

// Lays a sector's quadrant of the dim board over target lit: every dim
// pixel is the sector's dim colour times a coverage and shade, carried
// whole by its strongest channel, so the lit pixel is the lit colour times
// the same. Flat pixels come out exactly lit, black stays black, and the
// key keeps the target pixel as DrawKeyedBitmap does. Holding one board
// instead of two keeps a 4K picture's memory down.
void DrawLitSector(const QImage& dim, const QRect& rc, int nSector, QImage& target, const QPoint& ptAt)
{
    const QRgb rgbDim = BoardArt::BoardDim[nSector];
    const QRgb rgbLit = BoardArt::BoardLit[nSector];
    const int nShift = qBlue(rgbDim) ? 0 : (qGreen(rgbDim) ? 8 : 16);
    const int nFull = (rgbDim >> nShift) & 0xFF;
    QRgb table[256];
    for (int v = 0; v < 256; ++v) {
        const double k = double(v) / nFull;
        auto channel = [k](int c) { return std::min(255, static_cast<int>(std::lround(c * k))); };
        table[v] = qRgb(channel(qRed(rgbLit)), channel(qGreen(rgbLit)), channel(qBlue(rgbLit)));
    }
    constexpr QRgb Key = 0x00FFFFFFu;
    const QRect rcTarget = QRect(ptAt, rc.size()).intersected(target.rect());
    for (int y = rcTarget.top(); y <= rcTarget.bottom(); ++y) {
        const auto* pSource = reinterpret_cast<const QRgb*>(dim.constScanLine(rc.top() + y - ptAt.y())) + rc.left() +
                              (rcTarget.left() - ptAt.x());
        auto* pTarget = reinterpret_cast<QRgb*>(target.scanLine(y)) + rcTarget.left();
        for (int x = 0; x < rcTarget.width(); ++x) {
            const QRgb rgb = pSource[x] & Key;
            if (rgb != Key)
                pTarget[x] = table[(rgb >> nShift) & 0xFF];
        }
    }
}


void DrawScaledSectors(const QImage& dim, const QPoint& ptCentre, int nQuadrant, QImage& target,
                       const QPoint& ptBoard, const QuadrantShapes::LitShapes& litShapes)
{
    // A pixel of the board belongs to one sector or to the black cross, so
    // each quadrant is drawn whole, dim or lit.
    constexpr QRgb BoardKey = qRgb(255, 255, 255);
    const int cx = dim.width();
    const int cy = dim.height();
    const int nMidX = ptCentre.x();
    const int nMidY = ptCentre.y();
    const QRect rcSectors[BoardArt::SectorCount] = {QRect(0, 0, nMidX, nMidY), QRect(nMidX, 0, cx - nMidX, nMidY),
                                                    QRect(0, nMidY, nMidX, cy - nMidY),
                                                    QRect(nMidX, nMidY, cx - nMidX, cy - nMidY)};
    for (int nSector = 0; nSector < BoardArt::SectorCount; ++nSector) {
        const QRect& rc = rcSectors[nSector];
        if (rc.isEmpty())
            continue;
        const QPoint ptAt = ptBoard + rc.topLeft();
        if (SectorLit(nQuadrant, nSector)) {
            DrawLitSector(dim, rc, nSector, target, ptAt);
            // The dim board's shape came out tinted like the face; the lit
            // one goes over it.
            litShapes.Lay(nSector, target, ptBoard);
        } else {
            DrawKeyedBitmap(ImagePart(dim, rc), target, ptAt.x(), ptAt.y(), BoardKey);
        }
    }
}
