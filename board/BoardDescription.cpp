#include "board/BoardDescription.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStringList>

#include "board/ChildView.h"
#include "protocol/IQuadoBoard.h"

QString DescribeBoard(int nLitQuadrant, const std::wstring& strPanelText)
{
    QString strLit;
    switch (nLitQuadrant) {
    case QuadrantGreen:
        strLit = QCoreApplication::translate("DescribeBoard", "Green lit.");
        break;
    case QuadrantRed:
        strLit = QCoreApplication::translate("DescribeBoard", "Red lit.");
        break;
    case QuadrantBlue:
        strLit = QCoreApplication::translate("DescribeBoard", "Blue lit.");
        break;
    case QuadrantYellow:
        strLit = QCoreApplication::translate("DescribeBoard", "Yellow lit.");
        break;
    case QuadrantAll:
        strLit = QCoreApplication::translate("DescribeBoard", "All four lit.");
        break;
    default:
        strLit = QCoreApplication::translate("DescribeBoard", "Nothing lit.");
        break;
    }
    // The panel breaks lines only where the text does; a reader hears them
    // one after another, empty lines left out.
    QStringList lines = QString::fromStdWString(strPanelText).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& strLine : lines)
        strLine = strLine.trimmed();
    lines.removeAll(QString());
    if (lines.isEmpty())
        return strLit + QLatin1Char(' ') + QCoreApplication::translate("DescribeBoard", "Panel empty.");
    return strLit + QLatin1Char(' ') + QCoreApplication::translate("DescribeBoard", "Panel:") + QLatin1Char(' ') + lines.join(QStringLiteral(" / "));
}

void CChildView::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange) {
        setAccessibleName(tr(BoardAccessibleName));
        setAccessibleDescription(DescribeBoard(m_nLitQuadrant, m_strPanelText));
    }
    QWidget::changeEvent(pEvent);
}
