#include "board/BoardDescription.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QEvent>
#include <QStringList>

#include <mutex>
#include <utility>

#include "board/ChildView.h"
#include "protocol/IQuadoBoard.h"

namespace {

// In QuadrantIndex order.
constexpr const char* LitTexts[] = {
    QT_TRANSLATE_NOOP("BoardDescription", "Nothing lit."), QT_TRANSLATE_NOOP("BoardDescription", "Green lit."),
    QT_TRANSLATE_NOOP("BoardDescription", "Red lit."),     QT_TRANSLATE_NOOP("BoardDescription", "Blue lit."),
    QT_TRANSLATE_NOOP("BoardDescription", "Yellow lit."),  QT_TRANSLATE_NOOP("BoardDescription", "All four lit."),
};

QString Translated(const char* pszText)
{
    return QCoreApplication::translate(BoardDescriptionContext, pszText);
}

// A focusable picture: a reader says its name, then what it shows now,
// whether or not that has been painted yet.
class CBoardAccessible : public QAccessibleWidget {
public:
    explicit CBoardAccessible(CChildView* pView)
        : QAccessibleWidget(pView, QAccessible::Graphic)
    {
    }

    QString text(QAccessible::Text nText) const override
    {
        if (nText != QAccessible::Description)
            return QAccessibleWidget::text(nText);
        const auto* pView = static_cast<const CChildView*>(widget());
        return DescribeBoard(pView->m_nLitQuadrant, pView->PanelText());
    }
};

QAccessibleInterface* BoardAccessibleFactory(const QString&, QObject* pObject)
{
    if (auto* pView = qobject_cast<CChildView*>(pObject))
        return new CBoardAccessible(pView);
    return nullptr;
}

} // namespace

QString BoardName()
{
    return Translated(BoardAccessibleName);
}

QString DescribeBoard(int nLitQuadrant, const std::wstring& strPanelText)
{
    // Anything else is never shown as lit, so it is read as nothing lit.
    const bool bKnown = nLitQuadrant >= 0 && nLitQuadrant < int(std::size(LitTexts));
    const QString strLit = Translated(LitTexts[bKnown ? nLitQuadrant : QuadrantNone]);
    // The panel breaks lines only where the text does; a reader hears them
    // one after another, empty lines left out.
    QStringList lines = QString::fromStdWString(strPanelText).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& strLine : lines)
        strLine = strLine.trimmed();
    lines.removeAll(QString());
    if (lines.isEmpty())
        return strLit + QLatin1Char(' ') + Translated(QT_TRANSLATE_NOOP("BoardDescription", "Panel empty."));
    return strLit + QLatin1Char(' ') +
           Translated(QT_TRANSLATE_NOOP("BoardDescription", "Panel: %1")).arg(lines.join(QStringLiteral(" / ")));
}

// The view's own, kept here with the words it says.
void CChildView::UpdateAccessibleDescription()
{
    // Without a screen reader nobody listens: no words are made.
    if (!QAccessible::isActive())
        return;
    QString strDescription = DescribeBoard(m_nLitQuadrant, m_strPanelText);
    if (strDescription == m_strToldDescription)
        return;
    m_strToldDescription = std::move(strDescription);
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

void InstallBoardAccessibility()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] { QAccessible::installFactory(BoardAccessibleFactory); });
}

void CChildView::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange) {
        setAccessibleName(BoardName());
        UpdateAccessibleDescription();
        // The idle screen's own words are painted in the interface's language.
        update();
    }
    QWidget::changeEvent(pEvent);
}
