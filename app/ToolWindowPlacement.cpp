#include "app/ToolWindowPlacement.h"

#include <algorithm>

namespace {

// nStart moved into [nLow, nHigh - nLength], nLow when nothing fits.
int Clamp(int nStart, int nLength, int nLow, int nHigh)
{
    return std::max(nLow, std::min(nStart, nHigh - nLength));
}

} // namespace

std::optional<QPoint> PlaceBesideBoard(const QRect& rcBoard, const QRect& rcWork, const QSize& szFrame)
{
    const int nWorkRight = rcWork.left() + rcWork.width();
    const int nWorkBottom = rcWork.top() + rcWork.height();
    const int nBoardRight = rcBoard.left() + rcBoard.width();
    const int nBoardBottom = rcBoard.top() + rcBoard.height();
    const int cx = szFrame.width();
    const int cy = szFrame.height();
    if (rcBoard.isEmpty() || cx <= 0 || cy <= 0)
        return std::nullopt;

    // Beside the board, level with its top where the screen allows.
    if (cy <= rcWork.height()) {
        const int y = Clamp(rcBoard.top(), cy, rcWork.top(), nWorkBottom);
        const int xRight = nBoardRight + ToolWindowGap;
        if (xRight >= rcWork.left() && xRight + cx <= nWorkRight)
            return QPoint(xRight, y);
        const int xLeft = rcBoard.left() - ToolWindowGap - cx;
        if (xLeft >= rcWork.left() && xLeft + cx <= nWorkRight)
            return QPoint(xLeft, y);
    }
    // Below it, centred under it where the screen allows.
    if (cx <= rcWork.width()) {
        const int yBelow = nBoardBottom + ToolWindowGap;
        if (yBelow >= rcWork.top() && yBelow + cy <= nWorkBottom)
            return QPoint(Clamp(rcBoard.left() + (rcBoard.width() - cx) / 2, cx, rcWork.left(), nWorkRight),
                          yBelow);
    }
    return std::nullopt;
}
