// The board view's panel text: its face, fitted when first wanted, the
// clean panel kept aside once a text covers it, and the text drawn.
#include "board/ChildView.h"

#include <QFontMetrics>
#include <QPainter>

#include "board/CanvasImages.h"

namespace {

constexpr int PanelFontStartPixels = 48;
constexpr QRect PanelRect(CChildView::PanelLeft, CChildView::PanelTop, CChildView::PanelWidth,
                          CChildView::PanelHeight);

} // namespace

const QFont& CChildView::PanelFont()
{
    // Fitting loads the face; a board that never shows a text never needs it.
    if (!m_bPanelFontFitted) {
        m_fontPanel = FitPanelFont(PanelLineHeight, PanelFontStartPixels);
        m_bPanelFontFitted = true;
    }
    return m_fontPanel;
}

QImage CChildView::RenderPanelText(double dScale, const QSize& size, const QPointF& ptOffset)
{
    // The text is drawn white on black and keyed on black over the clean
    // panel background: the artwork shows between the letters and nothing
    // of an earlier text survives. At another scale the same lines are laid
    // out in canvas pixels and drawn at the device size.
    QImage bmpText(size, QImage::Format_RGB32);
    bmpText.fill(Qt::black);
    if (m_strPanelText.empty())
        return bmpText;
    QPainter painter(&bmpText);
    if (dScale != 1.0) {
        painter.translate(ptOffset);
        painter.scale(dScale, dScale);
    }
    QFont font = PanelFont();
    // Qt drops hinting on its own once the screens are scaled; the 1x text
    // keeps the light hinting it has on a plain screen, so the 1x canvas is
    // the same on every screen.
    if (dScale == 1.0)
        font.setHintingPreference(QFont::PreferVerticalHinting);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QFontMetrics metrics = painter.fontMetrics();
    const QString strAll = QString::fromStdWString(m_strPanelText);
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
    return bmpText;
}

