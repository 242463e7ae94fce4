// Drawing of Quado's pictures: the board images, the canvas background, the
// button icons, the application icon and the tool-bar image. Used only by
// the build-time asset generator.
#pragma once

#include <QColor>
#include <QImage>

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
inline constexpr int BackgroundWidth = 1280;
inline constexpr int BackgroundHeight = 768;
inline constexpr int IconSize = 32;

// A 512 x 512 board, RGB888, white outside the disc and in the hole with
// hard edges there (white is the compositing key, so no pixel may be
// almost-white). bLit[s] selects the lit colour of sector s.
QImage RenderBoard(const bool bLit[SectorCount]);

// The 1280 x 768 canvas background, RGB888.
QImage RenderBackground();

// A 32 x 32 ARGB icon showing one sector in the given colour.
QImage RenderSectorIcon(Sector nSector, QRgb rgb);

// The application icon at nSize pixels, ARGB, a small board.
QImage RenderAppIcon(int nSize);

// The 16 x 15 full-screen tool-bar button image, ARGB.
QImage RenderToolBarImage();

} // namespace BoardArt
