#include "drivers/QuadoDriverDialogButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <iterator>

#include "assets/AssetStore.h"
#include "assets/SoundTable.h"
#include "board/QuadrantShapes.h"
#include "protocol/IQuadoBoard.h"
#include "protocol/ISoundPlayer.h"

CQuadoDriverDialogButton::CQuadoDriverDialogButton(int nIconNormal, int nIconPressed, int nQuadrant,
                                                   int nSound, const std::wstring& strName)
    : m_hIconNormal(LoadIconPixmap(nIconNormal))
    , m_hIconPressed(LoadIconPixmap(nIconPressed))
    , m_nQuadrant(nQuadrant)
    , m_nSound(nSound)
    , m_strName(strName)
    , m_hPlainNormal(m_hIconNormal)
    , m_hPlainPressed(m_hIconPressed)
{
    // Like an icon control, the button is as large as its icon.
    setPixmap(m_hIconNormal);
    setFixedSize(m_hIconNormal.isNull() ? QSize(0, 0) : m_hIconNormal.size());
    // Reached by Tab and by a click, so that Space can press it.
    setFocusPolicy(Qt::StrongFocus);
}

CQuadoDriverDialogButton::~CQuadoDriverDialogButton() = default;

IQuadoBoard* CQuadoDriverDialogButton::View() const
{
    return m_ppView ? *m_ppView : nullptr;
}

void CQuadoDriverDialogButton::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(pEvent);
        return;
    }
    pEvent->accept();
    Press();
}

void CQuadoDriverDialogButton::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() != Qt::LeftButton) {
        QLabel::mouseReleaseEvent(pEvent);
        return;
    }
    // The widget that took the press receives its release wherever the
    // pointer is by then, so no "still over me" test: a release off the
    // button must end the press as well, or the board would stay lit.
    pEvent->accept();
    EndPress();
}

void CQuadoDriverDialogButton::paintEvent(QPaintEvent* pEvent)
{
    QLabel::paintEvent(pEvent);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void CQuadoDriverDialogButton::Press()
{
    m_bPressed = true;
    setPixmap(m_hIconPressed);
    if (IQuadoBoard* pView = View()) {
        pView->ShowPanelText(m_strName);
        pView->LightQuadrant(m_nQuadrant);
    }
    if ((m_pbMute && *m_pbMute) || !m_pSoundPlayer)
        return;
    const bool bHasSound = m_nSound > 0 && m_nSound < int(std::size(SoundTable));
    if (bHasSound)
        m_pSoundPlayer->PlayOnce(SoundTable[m_nSound]);
    else
        m_pSoundPlayer->Stop();
}

void CQuadoDriverDialogButton::EndPress()
{
    if (!m_bPressed)
        return;
    m_bPressed = false;
    setPixmap(m_hIconNormal);
    if (IQuadoBoard* pView = View()) {
        pView->ShowPanelText(std::wstring());
        pView->LightQuadrant(QuadrantNone);
    }
    // Muted or not: a tone started before mute was switched on ends too.
    if (m_pSoundPlayer)
        m_pSoundPlayer->Stop();
}

void CQuadoDriverDialogButton::SetShapeShown(bool bShown)
{
    const int nSector = QuadrantShapes::SectorOfQuadrant(m_nQuadrant);
    const double dRatio = devicePixelRatioF();
    m_hIconNormal = bShown ? QuadrantShapes::MarkIcon(m_hPlainNormal, nSector, dRatio) : m_hPlainNormal;
    m_hIconPressed = bShown ? QuadrantShapes::MarkIcon(m_hPlainPressed, nSector, dRatio) : m_hPlainPressed;
    setPixmap(m_bPressed ? m_hIconPressed : m_hIconNormal);
}
