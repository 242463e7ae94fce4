// Helpers of the board view's canvas: images loaded, copied and compared, and
// the panel's font fitted to its line height.
#pragma once

#include <QFont>
#include <QImage>
#include <QRect>

// The asset as RGB32; null when it cannot be loaded.
QImage LoadCanvasImage(int nId);

// The smallest rectangle holding every pixel in which two RGB32 images
// differ; all of b when they cannot be compared.
QRect DifferingRect(const QImage& a, const QImage& b);

// Copies all of source into target at (x, y), clipped to target.
void CopyImage(const QImage& source, QImage& target, int x, int y);

// The panel's face at the largest pixel size up to nStartPixels whose
// character cell (ascent plus descent) fits nLineHeight.
QFont FitPanelFont(int nLineHeight, int nStartPixels);
