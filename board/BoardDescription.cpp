#include "board/BoardDescription.h"

#include <QStringList>

#include "protocol/IQuadoBoard.h"

QString DescribeBoard(int nLitQuadrant, const std::wstring& strPanelText)
{
    QString strLit;
    switch (nLitQuadrant) {
    case QuadrantGreen:
        strLit = QStringLiteral("Green lit.");
        break;
    case QuadrantRed:
        strLit = QStringLiteral("Red lit.");
        break;
    case QuadrantBlue:
        strLit = QStringLiteral("Blue lit.");
        break;
    case QuadrantYellow:
        strLit = QStringLiteral("Yellow lit.");
        break;
    case QuadrantAll:
        strLit = QStringLiteral("All four lit.");
        break;
    default:
        strLit = QStringLiteral("Nothing lit.");
        break;
    }
    // The panel breaks lines only where the text does; a reader hears them
    // one after another, empty lines left out.
    QStringList lines = QString::fromStdWString(strPanelText).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& strLine : lines)
        strLine = strLine.trimmed();
    lines.removeAll(QString());
    if (lines.isEmpty())
        return strLit + QStringLiteral(" Panel empty.");
    return strLit + QStringLiteral(" Panel: ") + lines.join(QStringLiteral(" / "));
}
