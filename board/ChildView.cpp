#include "board/ChildView.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "board/BoardDescription.h"
#include "board/DrawKeyedBitmap.h"
#include "board/IMainFrame.h"
#include "board/PaintGeometry.h"

namespace {

// Board image ids in QuadrantIndex order.
constexpr int BoardImageIds[CChildView::BoardImageCount] = {
    AssetId::BoardNone, AssetId::BoardGreen, AssetId::BoardRed,
    AssetId::BoardBlue, AssetId::BoardYellow, AssetId::BoardAll,
};

constexpr QRgb BoardKey = qRgb(255, 255, 255);
constexpr QRgb TextKey = qRgb(0, 0, 0);
constexpr int PanelFontStartPixels = 48;

QImage LoadCanvasImage(int nId)
{
    const QImage image = LoadBitmapResource(nId);
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

// Copies all of source into target at (x, y), clipped to target.
void CopyImage(const QImage& source, QImage& target, int x, int y)
{
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(x, y, source);
}

} // namespace

CChildView::CChildView()
{
    // Painting covers the whole client area itself: the picture and black
    // margins. No background is filled first, so a change never flashes.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QString::fromLatin1(BoardAccessibleName));
    setAccessibleDescription(DescribeBoard(m_nLitQuadrant, m_strPanelText));
}

CChildView::~CChildView() = default;

bool CChildView::Create(QWidget* pParent)
{
    if (pParent)
        setParent(pParent);

    CreatePanelFont();
    m_bmpCanvas = LoadCanvasImage(AssetId::Background);
    for (int i = 0; i < BoardImageCount; ++i)
        m_bmpBoard[i] = LoadCanvasImage(BoardImageIds[i]);
    if (!m_bmpCanvas.isNull()) {
        DrawKeyedBitmap(m_bmpBoard[QuadrantNone], m_bmpCanvas, BoardLeft, BoardTop, BoardKey);
        m_bmpPanelBack = m_bmpCanvas.copy(PanelLeft, PanelTop, PanelWidth, PanelHeight);
    }
    m_cxClient = width();
    m_cyClient = height();
    return true;
}

void CChildView::CreatePanelFont()
{
    // The panel's 48 px is the height of a character cell, ascent plus
    // descent, as on the platform the board was designed for. Faces differ in
    // how much cell they put around the em, so the size is found by measuring.
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    for (int nPixels = PanelFontStartPixels; nPixels > 1; --nPixels) {
        font.setPixelSize(nPixels);
        const QFontMetrics metrics(font);
        if (metrics.ascent() + metrics.descent() <= PanelLineHeight)
            break;
    }
    m_fontPanel = font;
}

void CChildView::LightQuadrant(int nIndex)
{
    // An index with no board image would name nothing to draw; it is
    // ignored rather than remembered as "shown".
    if (nIndex == m_nLitQuadrant || nIndex < 0 || nIndex >= BoardImageCount)
        return;
    m_nLitQuadrant = nIndex;
    setAccessibleDescription(DescribeBoard(m_nLitQuadrant, m_strPanelText));
    // Each board image covers every non-white pixel of the others, so laying
    // the new one over the old gives the same picture as a clean start.
    if (!m_bmpCanvas.isNull())
        DrawKeyedBitmap(m_bmpBoard[nIndex], m_bmpCanvas, BoardLeft, BoardTop, BoardKey);
    RequestRepaint();
}

void CChildView::ShowPanelText(const std::wstring& strText)
{
    m_strPanelText = strText;
    setAccessibleDescription(DescribeBoard(m_nLitQuadrant, m_strPanelText));
    if (m_bmpCanvas.isNull() || m_bmpPanelBack.isNull()) {
        RequestRepaint();
        return;
    }

    // The text is drawn white on black and keyed on black over the clean
    // panel background: the artwork shows between the letters and nothing
    // of an earlier text survives.
    QImage bmpText(PanelWidth, PanelHeight, QImage::Format_RGB32);
    bmpText.fill(Qt::black);
    {
        QPainter painter(&bmpText);
        painter.setFont(m_fontPanel);
        painter.setPen(Qt::white);
        const QFontMetrics metrics = painter.fontMetrics();
        const QString strAll = QString::fromStdWString(strText);
        qsizetype nStart = 0;
        // Lines break only at '\n'; a line that starts below the panel can
        // show nothing, so the rest of a long text is never laid out.
        for (int nTop = 0; nTop < PanelHeight && nStart <= strAll.size(); nTop += PanelLineHeight) {
            qsizetype nEnd = strAll.indexOf(QLatin1Char('\n'), nStart);
            if (nEnd < 0)
                nEnd = strAll.size();
            const QString strLine = strAll.mid(nStart, nEnd - nStart);
            nStart = nEnd + 1;
            if (strLine.isEmpty())
                continue;
            // Centred even when wider than the panel, so a long line is cut
            // at both sides.
            const int nWidth = metrics.horizontalAdvance(strLine);
            painter.drawText(QPoint((PanelWidth - nWidth) / 2, nTop + metrics.ascent()), strLine);
        }
    }
    CopyImage(m_bmpPanelBack, m_bmpCanvas, PanelLeft, PanelTop);
    DrawKeyedBitmap(bmpText, m_bmpCanvas, PanelLeft, PanelTop, TextKey);
    RequestRepaint();
}

void CChildView::RequestRepaint()
{
    ++m_nRepaintRequests;
    update();
}

void CChildView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const PaintRect rc = ComputePaintRect(m_cxClient, m_cyClient, m_bScaleDown, m_bFitToScreen);
    m_rcLastPaint = rc;
    const QRect rcPicture(rc.nLeft, rc.nTop, rc.nWidth, rc.nHeight);
    if (m_bmpCanvas.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Only the margins are filled; the picture area is written once, by the
    // copy, so a changed canvas replaces the old picture without a flash.
    for (const QRect& rcMargin : QRegion(rect()).subtracted(QRegion(rcPicture)))
        painter.fillRect(rcMargin, Qt::black);
    if (rcPicture.isEmpty())
        return;
    if (rc.bStretched) {
        // Enlarged pictures are filtered so edges do not turn to staircases;
        // shrunk ones keep dropping pixels as before.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, rc.nWidth > CanvasWidth);
        painter.drawImage(rcPicture, m_bmpCanvas, m_bmpCanvas.rect());
    } else {
        painter.drawImage(QPoint(rc.nLeft, rc.nTop), m_bmpCanvas);
    }
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
