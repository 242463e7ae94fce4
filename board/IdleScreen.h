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
// the picture at the device's pixels, however large the picture is. It
// covers the whole of rcView evenly: nothing of the board shows through or
// beside it, so no text or picture of the board is cut at its edge.
// rcPicture: where the 1280 x 768 canvas lies, in the painter's pixels; the
// figures are laid out on it.
void DrawIdleScreen(QPainter& painter, const QRect& rcView, const QRect& rcPicture, const IdleFigures& figures);
