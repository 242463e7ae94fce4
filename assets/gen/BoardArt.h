// Drawing of Quado's pictures: the board images, the canvas background, the
// button icons, the application icon and the tool-bar image. The generator
// draws the 1x set at build time; the board view draws the canvas and the
// boards at any other scale at run time from the same shapes.
#pragma once

#include <QColor>
#include <QImage>

#include "assets/CanvasLayout.h"

namespace BoardArt {

// Sector order used throughout: blue (top left), green (top right),
// red (bottom left), yellow (bottom right).
enum Sector { SectorBlue, SectorGreen, SectorRed, SectorYellow, SectorCount };

inline constexpr QRgb BoardDim[SectorCount] = {
    qRgb(0, 0, 255), qRgb(0, 175, 0), qRgb(175, 0, 0), qRgb(175, 175, 0)};
inline constexpr QRgb BoardLit[SectorCount] = {
    qRgb(25, 100, 255), qRgb(0, 255, 0), qRgb(255, 0, 0), qRgb(255, 255, 0)};
inline constexpr QRgb IconDim[SectorCount] = {
    qRgb(0, 0, 255), qRgb(0, 128, 0), qRgb(128, 0, 0), qRgb(128, 128, 0)};

inline constexpr int BoardSize = 512;
inline constexpr int BackgroundWidth = CanvasLayout::Width;
inline constexpr int BackgroundHeight = CanvasLayout::Height;
inline constexpr int IconSize = 32;

// A 512 x 512 board, RGB888, white outside the disc and in the hole with
// hard edges there (white is the compositing key, so no pixel may be
// almost-white). bLit[s] selects the lit colour of sector s.
QImage RenderBoard(const bool bLit[SectorCount]);

// The 1280 x 768 canvas background, RGB888.
QImage RenderBackground();

// The canvas background drawn at dScale device pixels per canvas pixel:
// round(1280 dScale) x round(768 dScale), RGB32. Every shape and letter is
// drawn at that size, none is enlarged from the 1x picture.
QImage RenderBackground(double dScale);

// The board at dScale, for laying over the background of the same scale.
// ptOrigin is the device pixel where the images go; they cover the board's
// square there. The dim and lit images share their white (key) area, and a
// pixel belongs to one sector or to the black cross, so a board with any
// sectors lit is the dim image with those sectors' quadrants of the lit one.
struct ScaledBoards {
    QPoint ptOrigin;
    QImage bmpDim;   // RGB32
    QImage bmpLit;   // RGB32
    QPoint ptCentre; // first device column and row, in image pixels, of the right and lower halves
};
ScaledBoards RenderBoards(double dScale);

// A 32 x 32 ARGB icon showing one sector in the given colour.
QImage RenderSectorIcon(Sector nSector, QRgb rgb);

// The application icon at nSize pixels, ARGB, a small board.
QImage RenderAppIcon(int nSize);

// The 16 x 15 full-screen tool-bar button image, ARGB.
QImage RenderToolBarImage();

} // namespace BoardArt
