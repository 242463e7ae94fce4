// The idle screen: while nobody plays, the day's number of games and its best
// level over the board, large enough to read across a room.
#pragma once

#include <QRect>
#include <QString>

class QPainter;

struct IdleFigures {
    int nGames = 0;
    // Shown as given; empty for none yet.
    QString strBestLevel;

    bool operator==(const IdleFigures&) const = default;
};

// In the colours and letters of the canvas background, drawn straight into
// the picture at the device's pixels, however large the picture is.
// rcPicture: where the 1280 x 768 canvas lies, in the painter's pixels.
void DrawIdleScreen(QPainter& painter, const QRect& rcPicture, const IdleFigures& figures);

// The part of the canvas the idle screen covers, in canvas pixels.
QRect IdleScreenRect();
