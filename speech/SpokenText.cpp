#include "speech/SpokenText.h"

#include <QStringList>

namespace {

// The panel breaks lines where the words would fit, not where a sentence
// ends: "Sie Haben\nVerloren!" is one phrase.
QString AsPhrase(const QString& strLines)
{
    return strLines.split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QLatin1Char(' ')).simplified();
}

} // namespace

SpokenParts SplitPanelText(const std::wstring& strPanel)
{
    const QString strText = QString::fromStdWString(strPanel).remove(QLatin1Char('\r'));
    const qsizetype nBlank = strText.indexOf(QLatin1String("\n\n"));
    if (nBlank < 0)
        return {AsPhrase(strText), QString()};
    return {AsPhrase(strText.left(nBlank)), AsPhrase(strText.mid(nBlank + 2))};
}
