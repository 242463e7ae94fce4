// Drawing the board at a scale other than 1: rectangles scaled edge by edge,
// views into images, and the lit sectors made from the dim board.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include "board/QuadrantShapes.h"

// A canvas rectangle at dScale device pixels per canvas pixel, each edge
// rounded on its own so that neighbouring rectangles meet exactly.
QRect ScaleRect(const QRect& rc, double dScale);

// A read-only view of part of an RGB32 image, without copying its pixels.
QImage ImagePart(const QImage& image, const QRect& rc);

// Whether a QuadrantIndex lights the sector, in BoardArt's sector order
// (blue, green, red, yellow).
bool SectorLit(int nQuadrant, int nSector);

// Lays a sector's quadrant of the dim board over target, lit.
void DrawLitSector(const QImage& dim, const QRect& rc, int nSector, QImage& target, const QPoint& ptAt);

// Lays every sector of the dim board over target, whose pixel ptBoard is
// the board's top left, lit where nQuadrant lights it. ptCentre is the first
// column and row of the board's right and lower halves. A lit sector gets
// its lit shape from litShapes, if any were made.
void DrawScaledSectors(const QImage& dim, const QPoint& ptCentre, int nQuadrant, QImage& target,
                       const QPoint& ptBoard, const QuadrantShapes::LitShapes& litShapes);
