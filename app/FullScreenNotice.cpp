#include "app/FullScreenNotice.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>

namespace {

// From the picture's top edge to the notice's.
constexpr int TopMargin = 24;
constexpr int FontPixels = 20;

} // namespace

CFullScreenNotice::CFullScreenNotice(QWidget* pParent)
    : QLabel(tr(Text), pParent)
{
    // A hint, not a control: the clicks and the keys stay with the board.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    setStyleSheet(QStringLiteral("QLabel { color: white; background-color: rgba(32, 32, 32, 210);"
                                 " border: 1px solid rgba(255, 255, 255, 120); border-radius: 8px;"
                                 " padding: 10px 20px; }"));
    QFont noticeFont = font();
    noticeFont.setPixelSize(FontPixels);
    setFont(noticeFont);
    adjustSize();

    m_pOpacity = new QGraphicsOpacityEffect(this);
    m_pOpacity->setOpacity(1.0);
    setGraphicsEffect(m_pOpacity);
    m_pFade = new QPropertyAnimation(m_pOpacity, "opacity", this);
    m_pFade->setDuration(FadeMs);
    m_pFade->setStartValue(1.0);
    m_pFade->setEndValue(0.0);
    connect(m_pFade, &QPropertyAnimation::finished, this, &QWidget::hide);

    m_timerHold.setSingleShot(true);
    m_timerHold.setInterval(HoldMs);
    connect(&m_timerHold, &QTimer::timeout, this, &CFullScreenNotice::StartFade);
    hide();
}

CFullScreenNotice::~CFullScreenNotice() = default;

void CFullScreenNotice::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange) {
        setText(tr(Text));
        adjustSize();
    }
    QLabel::changeEvent(pEvent);
}

void CFullScreenNotice::Start(const QRect& rcPicture)
{
    m_pFade->stop();
    m_pOpacity->setOpacity(1.0);
    PlaceOver(rcPicture);
    show();
    raise();
    m_timerHold.start();
}

void CFullScreenNotice::PlaceOver(const QRect& rcPicture)
{
    move(rcPicture.left() + (rcPicture.width() - width()) / 2, rcPicture.top() + TopMargin);
}

void CFullScreenNotice::Dismiss()
{
    m_timerHold.stop();
    m_pFade->stop();
    hide();
}

void CFullScreenNotice::StartFade()
{
    m_timerHold.stop();
    m_pFade->start();
}

bool CFullScreenNotice::IsFading() const
{
    return m_pFade->state() == QAbstractAnimation::Running;
}
