#include "board/QuadrantShapes.h"

#include <cmath>
#include <numbers>

#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>

#include "assets/CanvasLayout.h"
#include "assets/gen/BoardArt.h"
#include "protocol/IQuadoBoard.h"

namespace QuadrantShapes {
namespace {

// The width of the white line and of each black edge on the board, in
// board pixels: together about a third of the shape's radius, thick enough
// to read across a room.
constexpr double BoardLine = 6.0;
constexpr double BoardEdge = 3.5;
// The sector's face is flat (no bevel) from 68 to 230 board pixels from the
// centre, and its middle by area lies about 151 pixels out on the diagonal.
constexpr double FaceMiddle = 106.5;

// On the 32 x 32 button icon the sector's ring is centred on the corner that
// faces the board's centre; its middle lies this far in along each axis.
constexpr double IconMiddle = 14.4;
constexpr double IconRadius = 8.0;
constexpr double IconLine = 1.8;
constexpr double IconEdge = 1.1;

// Near white: pure white is the key of the board images and would let the
// background through.
constexpr QRgb LineColour = qRgb(248, 248, 248);

// -1 for a sector on the left or top, +1 for one on the right or bottom.
double SideX(int nSector)
{
    return (nSector == BoardArt::SectorGreen || nSector == BoardArt::SectorYellow) ? 1.0 : -1.0;
}

double SideY(int nSector)
{
    return (nSector == BoardArt::SectorRed || nSector == BoardArt::SectorYellow) ? 1.0 : -1.0;
}

QPainterPath Polygon(int nCorners, double dOuter, double dInner, double dDown)
{
    // Corners (and, for a star, the notches between them) from the top
    // clockwise; dDown moves it so its bulk, not its circumcircle, is centred.
    QPolygonF polygon;
    const int nPoints = dInner > 0 ? 2 * nCorners : nCorners;
    for (int i = 0; i < nPoints; ++i) {
        const double dAngle = -std::numbers::pi / 2 + 2 * std::numbers::pi * i / nPoints;
        const double r = (dInner > 0 && i % 2) ? dInner : dOuter;
        polygon << QPointF(r * std::cos(dAngle), r * std::sin(dAngle) + dDown);
    }
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

// A sector's outline at its place and size.
QPainterPath PlacedOutline(int nSector, const QPointF& ptCentre, double dRadius)
{
    QTransform place;
    place.translate(ptCentre.x(), ptCentre.y());
    place.scale(dRadius, dRadius);
    return place.map(Outline(ShapeOf(nSector)));
}

// The black pen, under the white line and reaching past it on both sides.
// Sharp corners: they are much of what tells a triangle or a star from the
// rest; the default miter limit keeps the star's points from spiking.
QPen EdgePen(double dLine, double dEdge)
{
    return QPen(QColor(Qt::black), dLine + 2 * dEdge, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
}

// The painter maps board pixels onto the pixels of an image at dScale whose
// top-left pixel is the canvas device pixel ptDevice.
QTransform BoardToImage(double dScale, const QPoint& ptDevice)
{
    QTransform transform;
    transform.translate(CanvasLayout::BoardLeft * dScale - ptDevice.x(), CanvasLayout::BoardTop * dScale - ptDevice.y());
    transform.scale(dScale, dScale);
    return transform;
}

// The image pixels a sector's shape may touch, with a pixel to spare for
// the smoothing of its edges.
QRect ShapeBox(int nSector, const QTransform& transform)
{
    // The stroke's own outline, miters and all.
    const QPainterPathStroker stroker(EdgePen(BoardLine, BoardEdge));
    const QRectF rcBoard = stroker.createStroke(PlacedOutline(nSector, BoardCentre(nSector), BoardRadius)).boundingRect();
    return transform.mapRect(rcBoard).toAlignedRect().adjusted(-1, -1, 1, 1);
}

} // namespace

Shape ShapeOf(int nSector)
{
    // Blue keeps the square: among the four it is told from the others by
    // its hue in red-green blindness, and from green, its neighbour in blue
    // blindness, by the triangle's point. Red, green and yellow, which
    // red-green blindness runs together, get the three most unlike outlines.
    switch (nSector) {
    case BoardArt::SectorBlue:
        return Shape::Square;
    case BoardArt::SectorGreen:
        return Shape::Triangle;
    case BoardArt::SectorRed:
        return Shape::Circle;
    default:
        return Shape::Star;
    }
}

int SectorOfQuadrant(int nQuadrant)
{
    switch (nQuadrant) {
    case QuadrantBlue:
        return BoardArt::SectorBlue;
    case QuadrantGreen:
        return BoardArt::SectorGreen;
    case QuadrantRed:
        return BoardArt::SectorRed;
    case QuadrantYellow:
        return BoardArt::SectorYellow;
    default:
        return -1;
    }
}

QPainterPath Outline(Shape nShape)
{
    // Sizes chosen so the four look about equally large.
    switch (nShape) {
    case Shape::Square: {
        QPainterPath path;
        path.addRect(QRectF(-0.8, -0.8, 1.6, 1.6));
        return path;
    }
    case Shape::Triangle:
        return Polygon(3, 1.0, 0.0, 0.32);
    case Shape::Circle: {
        QPainterPath path;
        path.addEllipse(QPointF(0, 0), 0.9, 0.9);
        return path;
    }
    case Shape::Star:
        return Polygon(5, 0.95, 0.45, 0.13);
    }
    return {};
}

QPointF BoardCentre(int nSector)
{
    constexpr double Middle = BoardArt::BoardSize / 2.0;
    return QPointF(Middle + SideX(nSector) * FaceMiddle, Middle + SideY(nSector) * FaceMiddle);
}

void PaintShape(QPainter& painter, int nSector, const QPointF& ptCentre, double dRadius, double dLine, double dEdge)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    // The outline is scaled as a path, so the pens keep their own widths.
    const QPainterPath path = PlacedOutline(nSector, ptCentre, dRadius);
    QPen pen = EdgePen(dLine, dEdge);
    painter.setPen(pen);
    painter.drawPath(path);
    pen.setColor(QColor(LineColour));
    pen.setWidthF(dLine);
    painter.setPen(pen);
    painter.drawPath(path);
    painter.restore();
}

void LitShapes::Lay(int nSector, QImage& target, const QPoint& ptBoard) const
{
    if (nSector < 0 || nSector >= 4 || bmpShape[nSector].isNull())
        return;
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(ptBoard + rcShape[nSector].topLeft(), bmpShape[nSector]);
}

void MarkBoard(QImage& board, double dScale, const QPoint& ptDevice)
{
    if (board.isNull())
        return;
    QPainter painter(&board);
    painter.setTransform(BoardToImage(dScale, ptDevice));
    for (int nSector = 0; nSector < BoardArt::SectorCount; ++nSector)
        PaintShape(painter, nSector, BoardCentre(nSector), BoardRadius, BoardLine, BoardEdge);
}

LitShapes MakeLitShapes(const QImage& lit, double dScale, const QPoint& ptDevice)
{
    LitShapes shapes;
    if (lit.isNull())
        return shapes;
    const QTransform transform = BoardToImage(dScale, ptDevice);
    for (int nSector = 0; nSector < BoardArt::SectorCount; ++nSector) {
        const QRect rc = ShapeBox(nSector, transform).intersected(lit.rect());
        QImage bmp = lit.copy(rc);
        QPainter painter(&bmp);
        painter.setTransform(transform * QTransform::fromTranslate(-rc.left(), -rc.top()));
        PaintShape(painter, nSector, BoardCentre(nSector), BoardRadius, BoardLine, BoardEdge);
        painter.end();
        shapes.bmpShape[nSector] = std::move(bmp);
        shapes.rcShape[nSector] = rc;
    }
    return shapes;
}

QPixmap MarkIcon(const QPixmap& icon, int nSector, double dRatio)
{
    if (icon.isNull() || nSector < 0 || nSector >= BoardArt::SectorCount)
        return icon;
    const QSizeF size = icon.deviceIndependentSize();
    QImage image((size * dRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(image.rect(), icon);
    painter.scale(dRatio, dRatio);
    const double dCornerX = SideX(nSector) < 0 ? size.width() : 0.0;
    const double dCornerY = SideY(nSector) < 0 ? size.height() : 0.0;
    const QPointF ptCentre(dCornerX + SideX(nSector) * IconMiddle, dCornerY + SideY(nSector) * IconMiddle);
    PaintShape(painter, nSector, ptCentre, IconRadius, IconLine, IconEdge);
    painter.end();
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(dRatio);
    return pixmap;
}

} // namespace QuadrantShapes
