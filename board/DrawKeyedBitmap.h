// Colour-keyed copy of a whole image into another: the board view lays the
// board images over the canvas with white as the key and the panel text
// over its background with black as the key.
#pragma once

#include <QImage>

// Copies image into target with its top-left corner at (x, y). Every image
// pixel whose red, green and blue equal the key's leaves the target pixel as
// it was; every other pixel replaces it. The image is not changed; whatever
// falls outside the target is dropped. A null image or target draws nothing.
// A target that is not 32-bit RGB is converted to Format_RGB32 first.
void DrawKeyedBitmap(const QImage& image, QImage& target, int x, int y, QRgb key);
