#include "board/ChildView.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

#include "assets/AssetIds.h"
#include "assets/gen/BoardArt.h"
#include "board/BoardDescription.h"
#include "board/CanvasImages.h"
#include "board/DrawKeyedBitmap.h"
#include "board/IMainFrame.h"
#include "board/PaintGeometry.h"
#include "board/QuadrantShapes.h"
#include "board/ScaledDrawing.h"

namespace {

// Board image ids in QuadrantIndex order.
constexpr int BoardImageIds[CChildView::BoardImageCount] = {
    AssetId::BoardNone, AssetId::BoardGreen, AssetId::BoardRed,
    AssetId::BoardBlue, AssetId::BoardYellow, AssetId::BoardAll,
};

constexpr QRgb BoardKey = qRgb(255, 255, 255);
constexpr QRgb TextKey = qRgb(0, 0, 0);
constexpr QRect BoardRect(CChildView::BoardLeft, CChildView::BoardTop, 512, 512);
constexpr QRect PanelRect(CChildView::PanelLeft, CChildView::PanelTop, CChildView::PanelWidth,
                          CChildView::PanelHeight);

} // namespace

CChildView::CChildView()
    : m_pacer(this)
{
    // Painting covers the whole client area itself: the picture and black
    // margins. No background is filled first, so a change never flashes.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setFocusPolicy(Qt::StrongFocus);
    InstallBoardAccessibility();
    setAccessibleName(BoardName());
}

CChildView::~CChildView() = default;

bool CChildView::Create(QWidget* pParent)
{
    if (pParent)
        setParent(pParent);

    // The first picture is the background and the dim board, with no text,
    // laid together when the assets were made. The dim image itself, the
    // panel's clean background and the panel's font are only needed once
    // the board changes, so the idle start does not hold them: each comes
    // when first wanted.
    LoadDimCanvas();
    m_cxClient = width();
    m_cyClient = height();
    return true;
}

void CChildView::LoadDimCanvas()
{
    m_bmpCanvas = LoadCanvasImage(AssetId::CanvasDim);
    m_bmpPanelBack = QImage();
    // Marked shapes are not in the made picture: the dim image with its
    // marks is laid over it when first composed.
    m_nCanvasQuadrant = m_bShapes ? -1 : QuadrantNone;
}

void CChildView::KeepPanelBackground()
{
    // Until a text is first laid over it, the canvas's panel is the clean
    // background itself; it is kept aside only from then on.
    if (m_bmpPanelBack.isNull() && !m_bmpCanvas.isNull())
        m_bmpPanelBack = m_bmpCanvas.copy(PanelRect);
}

const QImage& CChildView::BoardImage(int nIndex)
{
    // Most games light only some of the images at this scale, and a Fit to
    // Screen view none of them: each is decoded on first use.
    const unsigned nBit = 1u << nIndex;
    if (!(m_nBoardsLoaded & nBit)) {
        m_bmpBoard[nIndex] = LoadCanvasImage(BoardImageIds[nIndex]);
        if (m_bShapes)
            QuadrantShapes::MarkBoard(m_bmpBoard[nIndex], 1.0, QPoint(BoardLeft, BoardTop));
        m_nBoardsLoaded |= nBit;
        m_rcBoardChange[nIndex] =
            nIndex == QuadrantNone ? QRect() : DifferingRect(BoardImage(QuadrantNone), m_bmpBoard[nIndex]);
    }
    return m_bmpBoard[nIndex];
}

QRect CChildView::BoardChange(int nFrom, int nTo) const
{
    // The light shown before may be anything the member was set to.
    if (nFrom < 0 || nFrom >= BoardImageCount || nTo < 0 || nTo >= BoardImageCount)
        return BoardRect;
    const unsigned nBoth = (1u << nFrom) | (1u << nTo);
    if ((m_nBoardsLoaded & nBoth) != nBoth)
        return BoardRect;
    return (m_rcBoardChange[nFrom] | m_rcBoardChange[nTo]).translated(BoardLeft, BoardTop);
}

void CChildView::LightQuadrant(int nIndex)
{
    // An index with no board image would name nothing to draw; it is
    // ignored rather than remembered as "shown".
    if (nIndex == m_nLitQuadrant || nIndex < 0 || nIndex >= BoardImageCount)
        return;
    const int nWasLit = std::exchange(m_nLitQuadrant, nIndex);
    // Pictures at another scale are drawn from art of their own, whose
    // changes the 1x images do not bound.
    const bool b1x = m_scaled.bmpCanvas.isNull() && devicePixelRatioF() == 1.0;
    RequestRepaint(b1x ? BoardChange(nWasLit, nIndex) : BoardRect);
    emit LitQuadrantChanged(nIndex);
}

void CChildView::ShowPanelText(const std::wstring& strText)
{
    m_strPanelText = strText;
    m_bCanvasPanelStale = true;
    m_scaled.bPanelStale = true;
    RequestRepaint(PanelRect);
    emit PanelTextChanged();
}

const QImage& CChildView::Canvas() const
{
    // No view is ever made const: it is a widget owned by its frame.
    const_cast<CChildView*>(this)->ComposeCanvas();
    return m_bmpCanvas;
}

void CChildView::ComposeCanvas()
{
    if (m_b1xReleased) {
        // Decoded again as at creation; the board and the panel follow below.
        m_b1xReleased = false;
        LoadDimCanvas();
        m_bCanvasPanelStale = true;
    }
    if (m_bmpCanvas.isNull())
        return;
    // Each board image covers every non-white pixel of the others, so laying
    // the last one over whatever is there gives the same picture as laying
    // every one in turn. Outside where either image differs from the dim
    // one the two are the same, so laying the new one there would change
    // nothing: a light going on or off costs its quadrant, not the board.
    // The board and the panel do not overlap.
    if (m_nCanvasQuadrant != m_nLitQuadrant) {
        const QImage& bmpBoard = BoardImage(m_nLitQuadrant);
        const QRect rcChange = m_nCanvasQuadrant < 0 ? bmpBoard.rect()
                                                     : BoardChange(m_nCanvasQuadrant, m_nLitQuadrant)
                                                           .translated(-BoardLeft, -BoardTop)
                                                           .intersected(bmpBoard.rect());
        if (!rcChange.isEmpty())
            DrawKeyedBitmap(ImagePart(bmpBoard, rcChange), m_bmpCanvas, BoardLeft + rcChange.left(),
                            BoardTop + rcChange.top(), BoardKey);
        m_nCanvasQuadrant = m_nLitQuadrant;
    }
    if (m_bCanvasPanelStale && !(m_bmpPanelBack.isNull() && m_strPanelText.empty())) {
        KeepPanelBackground();
        CopyImage(m_bmpPanelBack, m_bmpCanvas, PanelLeft, PanelTop);
        DrawKeyedBitmap(RenderPanelText(1.0, m_bmpPanelBack.size(), QPointF()), m_bmpCanvas, PanelLeft, PanelTop,
                        TextKey);
    }
    m_bCanvasPanelStale = false;
}

const QImage& CChildView::ComposeScaledCanvas(double dScale)
{
    ScaledCanvas& sc = m_scaled;
    if (sc.dScale != dScale || sc.bmpCanvas.isNull()) {
        // The old scale's pictures go before the new ones are drawn, so a
        // change of size never holds two sets.
        sc = ScaledCanvas();
        // Nor is the 1x canvas kept while the view shows another scale; it
        // comes back when painting or Canvas() needs it.
        if (!m_bmpCanvas.isNull()) {
            m_bmpCanvas = QImage();
            m_bmpPanelBack = QImage();
            for (QImage& bmpBoard : m_bmpBoard)
                bmpBoard = QImage();
            m_nBoardsLoaded = 0;
            m_b1xReleased = true;
        }
        sc.dScale = dScale;
        sc.bmpCanvas = BoardArt::RenderBackground(dScale);
        BoardArt::ScaledBoards boards = BoardArt::RenderBoards(dScale);
        sc.ptBoard = boards.ptOrigin;
        sc.ptBoardCentre = boards.ptCentre;
        sc.bmpBoardDim = std::move(boards.bmpDim);
        if (m_bShapes) {
            sc.litShapes = QuadrantShapes::MakeLitShapes(boards.bmpLit, dScale, sc.ptBoard);
            QuadrantShapes::MarkBoard(sc.bmpBoardDim, dScale, sc.ptBoard);
        }
        sc.rcPanel = ScaleRect(PanelRect, dScale);
        sc.bmpPanelBack = sc.bmpCanvas.copy(sc.rcPanel);
    }
    if (sc.nShownQuadrant != m_nLitQuadrant) {
        DrawScaledSectors(sc.bmpBoardDim, sc.ptBoardCentre, m_nLitQuadrant, sc.bmpCanvas, sc.ptBoard, sc.litShapes);
        sc.nShownQuadrant = m_nLitQuadrant;
    }
    if (sc.bPanelStale) {
        CopyImage(sc.bmpPanelBack, sc.bmpCanvas, sc.rcPanel.left(), sc.rcPanel.top());
        const QPointF ptOffset(PanelLeft * dScale - sc.rcPanel.left(), PanelTop * dScale - sc.rcPanel.top());
        DrawKeyedBitmap(RenderPanelText(dScale, sc.rcPanel.size(), ptOffset), sc.bmpCanvas, sc.rcPanel.left(),
                        sc.rcPanel.top(), TextKey);
        sc.bPanelStale = false;
    }
    return sc.bmpCanvas;
}

void CChildView::RequestRepaint(const QRect& rcCanvas)
{
    ++m_nRepaintRequests;
    // Only the part showing the change is repainted; a margin of two pixels
    // covers the rounding of shrunk, enlarged and fractional-ratio pictures.
    const PaintRect rc = ComputePaintRect(m_cxClient, m_cyClient, m_bScaleDown, m_bFitToScreen);
    QRectF rcArea(rcCanvas);
    if (rc.bStretched) {
        const double sx = double(rc.nWidth) / CanvasWidth;
        const double sy = double(rc.nHeight) / CanvasHeight;
        rcArea = QRectF(rc.nLeft + rcCanvas.left() * sx, rc.nTop + rcCanvas.top() * sy, rcCanvas.width() * sx,
                        rcCanvas.height() * sy);
    } else {
        rcArea.translate(rc.nLeft, rc.nTop);
    }
    const QRect rcUpdate = rcArea.toAlignedRect().adjusted(-2, -2, 2, 2);
    m_pacer.Request(rcUpdate);
}

void CChildView::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(this);
    m_pacer.Painted(painter, pEvent->region());
    UpdateAccessibleDescription();
    const double dRatio = devicePixelRatioF();
    // Everything below is placed in device pixels.
    if (dRatio != 1.0)
        painter.setWorldTransform(QTransform::fromScale(1.0 / dRatio, 1.0 / dRatio));
    const QSize sizeDevice(static_cast<int>(std::lround(width() * dRatio)),
                           static_cast<int>(std::lround(height() * dRatio)));
    PaintPicture(painter, sizeDevice, dRatio);
}

QImage CChildView::PictureAt(double dDevicePixelRatio)
{
    QImage image(static_cast<int>(std::lround(m_cxClient * dDevicePixelRatio)),
                 static_cast<int>(std::lround(m_cyClient * dDevicePixelRatio)), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    QPainter painter(&image);
    PaintPicture(painter, image.size(), dDevicePixelRatio);
    return image;
}

void CChildView::PaintPicture(QPainter& painter, const QSize& sizeDevice, double dRatio)
{
    const PaintRect rc = ComputePaintRect(m_cxClient, m_cyClient, m_bScaleDown, m_bFitToScreen);
    m_rcLastPaint = rc;
    const QRect rcAll(QPoint(0, 0), sizeDevice);
    if (m_bmpCanvas.isNull() && !m_b1xReleased) {
        painter.fillRect(rcAll, Qt::black);
        return;
    }
    const QRect rcPicture = ScaleRect(QRect(rc.nLeft, rc.nTop, rc.nWidth, rc.nHeight), dRatio);
    const bool bEnlarged = rc.bStretched && rc.nWidth > CanvasWidth;
    QRect rcDrawn = rcPicture;
    const QImage* pCanvas = &m_bmpCanvas;
    if (dRatio == 1.0 && !bEnlarged) {
        // The 1x canvas serves; a finer one is no longer needed.
        if (!m_scaled.bmpCanvas.isNull())
            m_scaled = ScaledCanvas();
        ComposeCanvas();
    } else {
        // Enlarged or on a fine screen: the canvas drawn at the device size
        // (for Fit to Screen, the picture's own width), never a 1x picture
        // enlarged.
        const double dScale = bEnlarged ? double(rcPicture.width()) / CanvasWidth : dRatio;
        pCanvas = &ComposeScaledCanvas(dScale);
        if (!rc.bStretched || bEnlarged)
            rcDrawn = QRect(rcPicture.topLeft(), pCanvas->size()).intersected(rcPicture);
    }
    // Only the margins are filled; the picture area is written once, by the
    // copy, so a changed canvas replaces the old picture without a flash.
    for (const QRect& rcMargin : QRegion(rcAll).subtracted(QRegion(rcDrawn)))
        painter.fillRect(rcMargin, Qt::black);
    if (rcDrawn.isEmpty())
        return;
    if (rc.bStretched && !bEnlarged) {
        // Shrunk as before: pixels dropped, no smoothing.
        painter.drawImage(rcPicture, *pCanvas, pCanvas->rect());
    } else {
        painter.drawImage(rcDrawn.topLeft(), *pCanvas, QRect(QPoint(0, 0), rcDrawn.size()));
    }
    // Over the whole view, laid out on the whole canvas: a client too small
    // for it shows its top-left part, and the same part of the idle screen.
    if (m_idle)
        DrawIdleScreen(painter, rcAll,
                       rc.bStretched ? rcPicture
                                     : ScaleRect(QRect(rc.nLeft, rc.nTop, CanvasWidth, CanvasHeight), dRatio),
                       *m_idle);
}

void CChildView::ShowIdleScreen(const IdleFigures& figures)
{
    if (m_idle == figures)
        return;
    m_idle = figures;
    ++m_nRepaintRequests;
    m_pacer.Request(rect());
}

void CChildView::HideIdleScreen()
{
    if (!m_idle)
        return;
    m_idle.reset();
    ++m_nRepaintRequests;
    m_pacer.Request(rect());
}

void CChildView::resizeEvent(QResizeEvent* pEvent)
{
    QWidget::resizeEvent(pEvent);
    m_cxClient = pEvent->size().width();
    m_cyClient = pEvent->size().height();
}

void CChildView::keyPressEvent(QKeyEvent* pEvent)
{
    if (pEvent->key() == Qt::Key_Escape && m_pMainFrame && m_pMainFrame->IsFullScreen())
        m_pMainFrame->ToggleFullScreen();
    QWidget::keyPressEvent(pEvent);
}
