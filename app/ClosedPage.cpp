#include "app/ClosedPage.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>

namespace {

constexpr char FaceName[] = "Liberation Sans";

QFont Face(double dPixels, bool bBold)
{
    QFont font(QString::fromLatin1(FaceName));
    font.setPixelSize(std::max(1, static_cast<int>(dPixels)));
    font.setBold(bBold);
    return font;
}

// Shrinks the font until the text fits the width.
void FitWidth(QFont& font, const QString& str, double dWidth)
{
    const double dText = QFontMetricsF(font).horizontalAdvance(str);
    if (dText > dWidth && dText > 0)
        font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * dWidth / dText)));
}

} // namespace

CClosedPage::CClosedPage(QWidget* pView)
    : QWidget(pView)
{
    // Not marked opaque, on purpose: the view beneath still paints, so the
    // first picture still counts as shown (systemd's READY) and a frozen
    // board still shows in the venue's seconds_since_frame.
    // A board line or a click on the board still reaches the view.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(pView->rect());
    pView->installEventFilter(this);
    m_strTitle = tr("Closed");
    hide();
}

void CClosedPage::SetBlack(bool bBlack)
{
    if (bBlack != m_bBlack) {
        m_bBlack = bBlack;
        update();
    }
}

void CClosedPage::SetNextOpening(const QDateTime& when, const QDateTime& now)
{
    const QLocale locale;
    QString strDetail;
    if (when.isValid()) {
        // Hours and minutes in the language's way; an opening has no seconds.
        QString strFormat = locale.timeFormat(QLocale::ShortFormat);
        strFormat.remove(QStringLiteral(":ss")).remove(QStringLiteral(".ss"));
        const QString strTime = locale.toString(when.time(), strFormat);
        const qint64 nDays = now.date().daysTo(when.date());
        if (nDays == 0)
            strDetail = tr("Open again today at %1").arg(strTime);
        else if (nDays == 1)
            strDetail = tr("Open again tomorrow at %1").arg(strTime);
        else
            strDetail = tr("Open again on %1 at %2").arg(locale.toString(when.date(), QLocale::LongFormat), strTime);
    }
    if (strDetail != m_strDetail) {
        m_strDetail = strDetail;
        update();
    }
}

bool CClosedPage::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == parentWidget() && pEvent->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(pWatched, pEvent);
}

void CClosedPage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF rc = rect();
    if (m_bBlack) {
        painter.fillRect(rect(), Qt::black);
    } else {
        QLinearGradient ground(0, rc.top(), 0, rc.bottom());
        ground.setColorAt(0.0, QColor(24, 26, 44));
        ground.setColorAt(1.0, QColor(8, 8, 14));
        painter.fillRect(rect(), ground);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Quiet on purpose: a dim title and a dimmer line, nothing that moves.
    const double dUnit = std::min(rc.width() / 16.0, rc.height() / 9.0);
    QFont title = Face(dUnit * 1.6, true);
    FitWidth(title, m_strTitle, rc.width() * 0.8);
    painter.setFont(title);
    painter.setPen(m_bBlack ? QColor(110, 114, 140) : QColor(150, 156, 190));
    const double yTitle = rc.center().y() - dUnit * 0.2;
    painter.drawText(QRectF(rc.left(), yTitle - dUnit * 2, rc.width(), dUnit * 2), Qt::AlignHCenter | Qt::AlignBottom,
                     m_strTitle);
    if (!m_strDetail.isEmpty()) {
        QFont detail = Face(dUnit * 0.55, false);
        FitWidth(detail, m_strDetail, rc.width() * 0.9);
        painter.setFont(detail);
        painter.setPen(m_bBlack ? QColor(80, 84, 104) : QColor(120, 126, 160));
        painter.drawText(QRectF(rc.left(), yTitle + dUnit * 0.4, rc.width(), dUnit * 1.2), Qt::AlignHCenter | Qt::AlignTop,
                         m_strDetail);
    }
}
