// Access to the pictures, icons and sounds embedded in the program. Used by
// the board view, the frame, the manual driver and the sound player; nothing
// is ever read from disk.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <initializer_list>

// A bitmap by id (board images, background, tool-bar image). A null image
// when the id is unknown.
QImage LoadBitmapResource(int nId);

// Starts unpacking these bitmaps on a thread of their own and returns at
// once. The next LoadBitmapResource of each takes that result (waiting for
// it if need be) instead of unpacking again; later ones unpack as usual.
// For the start, where the first picture's images can be made while the
// toolkit connects to the display.
void PrefetchBitmaps(std::initializer_list<int> ids);

// An icon by id. The application icon carries 16, 32 and 48 px; the button
// icons are 32 px. A null icon when the id is unknown.
QIcon LoadIconResource(int nId);

// A button icon as a 32 x 32 pixmap. A null pixmap when the id is unknown.
QPixmap LoadIconPixmap(int nId);

// The whole RIFF/WAVE file of a sound id. Empty when the id is unknown.
QByteArray LoadWaveResource(int nId);
