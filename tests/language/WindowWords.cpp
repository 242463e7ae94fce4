#include "tests/language/WindowWords.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QStatusBar>
#include <QWidget>

namespace {

// The same in both languages, or names.
const QStringList NeutralWords = {
    QStringLiteral("Quado"), QStringLiteral("OK"), QStringLiteral("Adapter"), QStringLiteral("Quado Version 1.0"),
    QStringLiteral("&English"), QStringLiteral("English"), QStringLiteral("&Deutsch"), QStringLiteral("Deutsch"),
};

QString Place(const QObject* pObject)
{
    const QObject* pParent = pObject->parent();
    int nIndex = 0;
    if (pParent) {
        for (const QObject* pSibling : pParent->children()) {
            if (pSibling == pObject)
                break;
            if (pSibling->metaObject() == pObject->metaObject())
                ++nIndex;
        }
    }
    const QString strName = pObject->objectName().isEmpty() ? QString::fromLatin1(pObject->metaObject()->className())
                                                            : pObject->objectName();
    return strName + QLatin1Char('#') + QString::number(nIndex);
}

void Add(WindowWords& words, const QString& strKey, const QString& strText)
{
    if (!strText.isEmpty())
        words.insert(strKey, strText);
}

void AddActions(const QWidget* pWidget, const QString& strKey, WindowWords& words)
{
    int nIndex = 0;
    for (const QAction* pAction : pWidget->actions()) {
        const QString strAction = strKey + QStringLiteral("/action#") + QString::number(nIndex++);
        Add(words, strAction + QStringLiteral(".text"), pAction->text());
        // Qt makes a tool tip from the text when none is set; only one set
        // by hand is a word of its own.
        if (pAction->toolTip() != QString(pAction->text()).remove(QLatin1Char('&')))
            Add(words, strAction + QStringLiteral(".toolTip"), pAction->toolTip());
        if (pAction->menu())
            Add(words, strAction + QStringLiteral(".menu"), pAction->menu()->title());
    }
}

void Collect(QWidget* pWidget, const QString& strKey, WindowWords& words)
{
    // The toolkit's own inner parts (a spin box's line, a scroll area's
    // viewport) hold no word of Quado's.
    if (pWidget->objectName().startsWith(QLatin1String("qt_")))
        return;
    if (pWidget->isWindow())
        Add(words, strKey + QStringLiteral(".title"), pWidget->windowTitle());
    Add(words, strKey + QStringLiteral(".toolTip"), pWidget->toolTip());
    Add(words, strKey + QStringLiteral(".accessibleName"), pWidget->accessibleName());
    Add(words, strKey + QStringLiteral(".accessibleDescription"), pWidget->accessibleDescription());
    if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        Add(words, strKey + QStringLiteral(".text"), pLabel->text());
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        Add(words, strKey + QStringLiteral(".text"), pButton->text());
    if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget))
        Add(words, strKey + QStringLiteral(".title"), pGroup->title());
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        Add(words, strKey + QStringLiteral(".placeholder"), pEdit->placeholderText());
    if (auto* pCombo = qobject_cast<QComboBox*>(pWidget)) {
        for (int i = 0; i < pCombo->count(); ++i)
            Add(words, strKey + QStringLiteral(".item#") + QString::number(i), pCombo->itemText(i));
    }
    if (auto* pMenu = qobject_cast<QMenu*>(pWidget))
        Add(words, strKey + QStringLiteral(".menuTitle"), pMenu->title());
    if (auto* pBar = qobject_cast<QStatusBar*>(pWidget))
        Add(words, strKey + QStringLiteral(".message"), pBar->currentMessage());
    if (auto* pView = qobject_cast<QAbstractItemView*>(pWidget); pView && pView->model()) {
        const QAbstractItemModel* pModel = pView->model();
        for (int c = 0; c < pModel->columnCount(); ++c)
            Add(words, strKey + QStringLiteral(".header#") + QString::number(c),
                pModel->headerData(c, Qt::Horizontal).toString());
        for (int r = 0; r < pModel->rowCount(); ++r) {
            for (int c = 0; c < pModel->columnCount(); ++c)
                Add(words, strKey + QStringLiteral(".cell#%1,%2").arg(r).arg(c),
                    pModel->index(r, c).data().toString());
        }
    }
    if (auto* pChart = qobject_cast<QChartView*>(pWidget); pChart && pChart->chart())
        Add(words, strKey + QStringLiteral(".chartTitle"), pChart->chart()->title());
    AddActions(pWidget, strKey, words);
    for (QObject* pChild : pWidget->children()) {
        if (auto* pChildWidget = qobject_cast<QWidget*>(pChild))
            Collect(pChildWidget, strKey + QLatin1Char('/') + Place(pChildWidget), words);
    }
}

} // namespace

void CollectWords(QWidget* pWindow, const QString& strName, WindowWords& words)
{
    Collect(pWindow, strName, words);
}

bool IsLanguageNeutral(const QString& strText)
{
    if (NeutralWords.contains(strText))
        return true;
    // No letters: numbers, times, dates, dashes.
    static const QRegularExpression Letter(QStringLiteral("\\p{L}"));
    if (!strText.contains(Letter))
        return true;
    // An adapter's serial number, a file's path.
    static const QRegularExpression Serial(QStringLiteral("^(?=.*[0-9])[A-Z0-9-]+$"));
    return strText.contains(Serial) || strText.startsWith(QLatin1Char('/'));
}

std::vector<std::string> SameWords(const WindowWords& first, const WindowWords& second)
{
    std::vector<std::string> same;
    for (auto it = first.cbegin(); it != first.cend(); ++it) {
        if (second.value(it.key()) == it.value() && !IsLanguageNeutral(it.value()))
            same.push_back((it.key() + QStringLiteral(": ") + it.value()).toStdString());
    }
    return same;
}

std::vector<std::string> DifferentWords(const WindowWords& first, const WindowWords& second)
{
    QStringList keys = first.keys() + second.keys();
    keys.removeDuplicates();
    keys.sort();
    std::vector<std::string> different;
    for (const QString& strKey : keys) {
        const QString strFirst = first.value(strKey, QStringLiteral("(none)"));
        const QString strSecond = second.value(strKey, QStringLiteral("(none)"));
        if (strFirst != strSecond)
            different.push_back((strKey + QStringLiteral(": ") + strFirst + QStringLiteral(" | ") + strSecond).toStdString());
    }
    return different;
}
