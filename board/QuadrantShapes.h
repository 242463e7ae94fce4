// Options > Shapes on the Board: a shape on each quadrant, so the four can be
// told apart by their outlines alone, whatever colours the player sees. The
// board view lays them on its board images; the manual driver marks its
// buttons with the same shapes.
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPixmap>
#include <QPoint>
#include <QPointF>
#include <QRect>

class QPainter;

namespace QuadrantShapes {

// Blue, green, red and yellow in BoardArt's sector order: a square, a
// triangle, a circle and a star.
enum class Shape { Square, Triangle, Circle, Star };
Shape ShapeOf(int nSector);

// BoardArt's sector a QuadrantIndex lights alone; -1 for none and all.
int SectorOfQuadrant(int nQuadrant);

// The outline of a shape of radius 1 centred on the origin.
QPainterPath Outline(Shape nShape);

// Where a sector's shape sits on the 512 x 512 board, in board pixels: on
// the middle of the sector's flat face, and how large.
QPointF BoardCentre(int nSector);
inline constexpr double BoardRadius = 38.0;

// Paints the sector's shape in the painter's coordinates: a white line
// dLine wide with black edges dEdge wide on both sides, so it stands out on
// a dark and on a bright colour alike. The white is not pure white: that is
// the board images' key colour.
void PaintShape(QPainter& painter, int nSector, const QPointF& ptCentre, double dRadius, double dLine,
                double dEdge);

// Each sector's shape as painted on the lit sector, for a board whose lit
// sectors are made from the dim board's pixels: laid over such a sector, it
// puts back the shape those pixels lost.
struct LitShapes {
    QImage bmpShape[4];
    // Where each goes, in pixels of the board image it was made for.
    QRect rcShape[4];

    // Copies sector nSector's lit shape into target, whose pixel ptBoard is
    // the board image's top left. Does nothing when none was made.
    void Lay(int nSector, QImage& target, const QPoint& ptBoard) const;
};

// Draws every sector's shape onto board, an RGB32 board image at dScale
// device pixels per canvas pixel whose top-left pixel is the canvas device
// pixel ptDevice. The shapes are drawn at that size, never enlarged.
void MarkBoard(QImage& board, double dScale, const QPoint& ptDevice);

// The lit shapes for the all-lit board image lit, placed as for MarkBoard.
LitShapes MakeLitShapes(const QImage& lit, double dScale, const QPoint& ptDevice);

// A colour button's icon with its sector's shape over it, drawn at dRatio
// device pixels per icon pixel.
QPixmap MarkIcon(const QPixmap& icon, int nSector, double dRatio);

} // namespace QuadrantShapes
