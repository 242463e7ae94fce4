// The board view's side of Options > Shapes on the Board.
#include "board/ChildView.h"

namespace {

constexpr QRect BoardRect(CChildView::BoardLeft, CChildView::BoardTop, 512, 512);

} // namespace

void CChildView::SetShapesShown(bool bShown)
{
    if (bShown == m_bShapes)
        return;
    m_bShapes = bShown;
    // The board images, at every scale, are made again with or without them.
    for (QImage& bmpBoard : m_bmpBoard)
        bmpBoard = QImage();
    m_nBoardsLoaded = 0;
    m_nCanvasQuadrant = -1;
    m_scaled.bmpCanvas = QImage();
    RequestRepaint(BoardRect);
}
