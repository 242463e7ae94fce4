#include "app/FullScreenBar.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QToolBar>

#include "app/CommandIds.h"
#include "assets/AssetIds.h"
#include "assets/AssetStore.h"

namespace {

constexpr int CaptionMargin = 128;

} // namespace

CFullScreenBar::CFullScreenBar(QWidget* pOwner)
    : QWidget(pOwner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(tr(Caption));
    // The keys must stay with the board view, where Escape leaves full screen.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    m_pToolBar = new QToolBar(tr(Caption), this);
    m_pToolBar->setMovable(false);
    m_pToolBar->setFloatable(false);
    m_pToolBar->setFocusPolicy(Qt::NoFocus);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pToolBar);
}

CFullScreenBar* CFullScreenBar::Create(QWidget* pOwner)
{
    const QImage image = LoadBitmapResource(AssetId::ToolBarFullScreen);
    if (image.isNull())
        return nullptr;

    auto* pBar = new CFullScreenBar(pOwner);
    pBar->m_pToolBar->setIconSize(image.size());
    pBar->m_pButton = pBar->m_pToolBar->addAction(QIcon(QPixmap::fromImage(image)),
                                                  tr(Caption));
    pBar->m_pButton->setData(CommandId::FullScreenBar);
    pBar->m_pButton->setToolTip(tr(ButtonToolTip));
    connect(pBar->m_pButton, &QAction::triggered, pBar,
            [pBar] { emit pBar->Command(CommandId::FullScreenBar); });
    // One button alone would make the window too narrow for the window
    // manager to show its caption; the margin is room for the title bar's
    // own icon and close box.
    pBar->setMinimumWidth(pBar->fontMetrics().horizontalAdvance(pBar->windowTitle()) + CaptionMargin);
    pBar->adjustSize();
    return pBar;
}

void CFullScreenBar::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange) {
        setWindowTitle(tr(Caption));
        m_pToolBar->setWindowTitle(tr(Caption));
        if (m_pButton) {
            m_pButton->setText(tr(Caption));
            m_pButton->setToolTip(tr(ButtonToolTip));
        }
    }
    QWidget::changeEvent(pEvent);
}

void CFullScreenBar::FloatAt(const QPoint& ptScreen)
{
    move(ptScreen);
    show();
    raise();
}
