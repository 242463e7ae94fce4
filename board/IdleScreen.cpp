#include "board/IdleScreen.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "assets/gen/BoardArt.h"

namespace {

// In canvas pixels: below the title and its colour bar, above the caption.
constexpr QRect PanelRect(150, 136, 980, 524);
constexpr int FrameWidth = 3;
constexpr int ColumnWidth = 430;
constexpr int NumberPixels = 230;
constexpr int LabelPixels = 30;
constexpr int HeaderPixels = 34;
constexpr char FaceName[] = "Liberation Sans";
constexpr char NoneYet[] = "\u2013";

// The screen speaks to visitors in both of the board's languages: the
// interface's own first and brighter, the other one beneath it
// ("IdleScreenOther" holds the lines beneath).
QString Words(const char* pszText)
{
    return QCoreApplication::translate("IdleScreen", pszText);
}

QString OtherWords(const char* pszText)
{
    return QCoreApplication::translate("IdleScreenOther", pszText);
}

QFont Face(int nPixels, bool bBold)
{
    QFont font(QString::fromLatin1(FaceName));
    font.setPixelSize(nPixels);
    font.setBold(bBold);
    return font;
}

void DrawCentred(QPainter& painter, const QString& str, double xCentre, double yBaseline)
{
    const double dWidth = QFontMetricsF(painter.font()).horizontalAdvance(str);
    painter.drawText(QPointF(xCentre - dWidth / 2, yBaseline), str);
}

// A figure as large as its column allows, lit like the title: near white
// above fading to the background's blue-grey, with the title's shadow.
void DrawFigure(QPainter& painter, const QString& str, double xCentre, double yBaseline)
{
    QFont font = Face(NumberPixels, true);
    const double dWidth = QFontMetricsF(font).horizontalAdvance(str);
    if (dWidth > ColumnWidth - 20)
        font.setPixelSize(static_cast<int>(NumberPixels * (ColumnWidth - 20) / dWidth));
    painter.setFont(font);
    const double dAscent = QFontMetricsF(font).capHeight();
    painter.setPen(QColor(0, 0, 0, 150));
    DrawCentred(painter, str, xCentre + 4, yBaseline + 4);
    QLinearGradient fill(0, yBaseline - dAscent, 0, yBaseline);
    fill.setColorAt(0.0, QColor(250, 250, 255));
    fill.setColorAt(1.0, QColor(170, 178, 210));
    painter.setPen(QPen(QBrush(fill), 1));
    DrawCentred(painter, str, xCentre, yBaseline);
}

} // namespace

void DrawIdleScreen(QPainter& painter, const QRect& rcView, const QRect& rcPicture, const IdleFigures& figures)
{
    if (rcView.isEmpty() || rcPicture.isEmpty())
        return;
    painter.save();
    // One opaque ground from edge to edge: a board half seen through it, or
    // cut off at a panel's edge, would read as part of the figures.
    QLinearGradient cover(0, rcView.top(), 0, rcView.bottom());
    cover.setColorAt(0.0, QColor(24, 26, 44));
    cover.setColorAt(1.0, QColor(8, 8, 14));
    painter.fillRect(rcView, cover);
    // Laid out in canvas pixels, drawn at the picture's size: every edge and
    // letter is drawn at the device's resolution, nothing is enlarged.
    painter.translate(rcPicture.topLeft());
    painter.scale(double(rcPicture.width()) / BoardArt::BackgroundWidth,
                  double(rcPicture.height()) / BoardArt::BackgroundHeight);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient ground(0, PanelRect.top(), 0, PanelRect.bottom());
    ground.setColorAt(0.0, QColor(34, 37, 60));
    ground.setColorAt(1.0, QColor(14, 14, 24));
    QPainterPath panel;
    panel.addRoundedRect(QRectF(PanelRect), 24, 24);
    painter.fillPath(panel, ground);
    painter.setPen(QPen(QColor(78, 82, 110), FrameWidth));
    painter.drawPath(panel);

    // The four colours as under the title.
    const int nBarWidth = 120;
    const int nBarsLeft = PanelRect.center().x() - 2 * nBarWidth;
    for (int s = 0; s < BoardArt::SectorCount; ++s)
        painter.fillRect(nBarsLeft + s * nBarWidth, PanelRect.top() + 96, nBarWidth - 8, 5, QColor(BoardArt::BoardLit[s]));

    const double xCentre = PanelRect.center().x() + 0.5;
    painter.setFont(Face(HeaderPixels, true));
    painter.setPen(QColor(205, 208, 225));
    DrawCentred(painter, Words(QT_TRANSLATE_NOOP("IdleScreen", "Today  ·  Heute")), xCentre, PanelRect.top() + 72);

    const double xLeft = PanelRect.left() + PanelRect.width() / 4.0;
    const double xRight = PanelRect.left() + PanelRect.width() * 3 / 4.0;
    const double yNumbers = PanelRect.top() + 338;
    DrawFigure(painter, QString::number(figures.nGames), xLeft, yNumbers);
    DrawFigure(painter, figures.strBestLevel.isEmpty() ? QString::fromUtf8(NoneYet) : figures.strBestLevel, xRight,
               yNumbers);
    painter.setPen(QPen(QColor(78, 82, 110), 2));
    painter.drawLine(QPointF(xCentre, PanelRect.top() + 140), QPointF(xCentre, PanelRect.top() + 420));

    painter.setFont(Face(LabelPixels, false));
    painter.setPen(QColor(180, 186, 215));
    DrawCentred(painter,
                figures.nGames == 1 ? Words(QT_TRANSLATE_NOOP("IdleScreen", "game"))
                                    : Words(QT_TRANSLATE_NOOP("IdleScreen", "games")),
                xLeft, yNumbers + 56);
    DrawCentred(painter, Words(QT_TRANSLATE_NOOP("IdleScreen", "best level")), xRight, yNumbers + 56);
    painter.setPen(QColor(140, 146, 175));
    DrawCentred(painter,
                figures.nGames == 1 ? OtherWords(QT_TRANSLATE_NOOP("IdleScreenOther", "Spiel"))
                                    : OtherWords(QT_TRANSLATE_NOOP("IdleScreenOther", "Spiele")),
                xLeft,
                yNumbers + 94);
    DrawCentred(painter, OtherWords(QT_TRANSLATE_NOOP("IdleScreenOther", "höchste Schwierigkeit")), xRight, yNumbers + 94);

    painter.setFont(Face(LabelPixels - 4, false));
    painter.setPen(QColor(205, 208, 225));
    DrawCentred(painter, Words(QT_TRANSLATE_NOOP("IdleScreen", "Press the button to play  ·  Drücken Sie den Knopf zum Spielen")),
                xCentre, PanelRect.bottom() - 24);
    painter.restore();
}
