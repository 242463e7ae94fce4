// Where the board view puts its 1280 x 768 canvas in a client area of a
// given size: 1:1 and centred, or shrunk to 5:3 when Scale Down is on and
// the area is too small. Used by the view's painting and by its tests.
#pragma once

struct PaintRect {
    int nLeft = 0;
    int nTop = 0;
    int nWidth = 0;
    int nHeight = 0;
    // True: the whole canvas is stretched into the rectangle. False: the
    // canvas is copied 1:1 with its top-left corner at (nLeft, nTop), and the
    // rectangle is the part of the client area it covers.
    bool bStretched = false;

    bool operator==(const PaintRect&) const = default;
};

PaintRect ComputePaintRect(int cx, int cy, bool bScaleDown);

// As above, and with bFitToScreen a client area larger than the canvas in
// both directions shows it as large as fits, 5:3 kept and centred; a smaller
// area keeps Scale Down's rule.
PaintRect ComputePaintRect(int cx, int cy, bool bScaleDown, bool bFitToScreen);
