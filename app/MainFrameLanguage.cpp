// Options > Language: the language of every window's words, switched while
// Quado runs. The frame hears QEvent::LanguageChange like every widget and
// names its menus again; the board's own texts are not its words.
#include "app/MainFrame.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>

#include <cstdio>

#include "app/CommandIds.h"

namespace {

constexpr char LanguageMenuText[] = QT_TRANSLATE_NOOP("CMainFrame", "&Language");

// Each language by its own name, so that it can be found whatever language
// the menus are in.
struct LanguageItem {
    UiLanguage nLanguage;
    int nCommandId;
    const char* pszName;
};
constexpr LanguageItem LanguageItems[] = {
    {UiLanguage::English, CommandId::LanguageEnglish, "&English"},
    {UiLanguage::German, CommandId::LanguageGerman, "&Deutsch"},
};

} // namespace

void CMainFrame::CreateLanguageMenu()
{
    // Below the other options, in the menu that holds Mute.
    const QAction* pMute = FindCommand(CommandId::Mute);
    QMenu* pOptions = nullptr;
    for (QAction* pMenu : menuBar()->actions()) {
        if (pMenu->menu() && pMute && pMenu->menu()->actions().contains(pMute))
            pOptions = pMenu->menu();
    }
    if (!pOptions)
        return;
    pOptions->addSeparator();
    m_pLanguageMenu = pOptions->addMenu(tr(LanguageMenuText));
    auto* pGroup = new QActionGroup(m_pLanguageMenu);
    for (const LanguageItem& item : LanguageItems) {
        QAction* pAction = m_pLanguageMenu->addAction(QString::fromUtf8(item.pszName));
        pAction->setData(item.nCommandId);
        pAction->setCheckable(true);
        pGroup->addAction(pAction);
        const int nCommandId = item.nCommandId;
        connect(pAction, &QAction::triggered, this, [this, nCommandId] { OnCommand(nCommandId); });
    }
    UpdateLanguageUI();
}

void CMainFrame::RetranslateLanguageMenu()
{
    if (m_pLanguageMenu)
        m_pLanguageMenu->setTitle(tr(LanguageMenuText));
}

void CMainFrame::UpdateLanguageUI()
{
    if (!m_pLanguageMenu)
        return;
    const UiLanguage nCurrent = CurrentLanguage();
    for (QAction* pAction : m_pLanguageMenu->actions()) {
        for (const LanguageItem& item : LanguageItems) {
            if (pAction->data().toInt() == item.nCommandId)
                pAction->setChecked(item.nLanguage == nCurrent);
        }
    }
}

bool CMainFrame::SetLanguage(UiLanguage nLanguage)
{
    const bool bApplied = ApplyLanguage(nLanguage);
    if (!bApplied)
        std::fprintf(stderr, "Quado: no catalogue for language %s, the words stay as they are\n",
                     LanguageCode(nLanguage));
    UpdateLanguageUI();
    return bApplied;
}

void CMainFrame::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange) {
        RetranslateMenus();
        UpdateLanguageUI();
        UpdateKioskStatus();
    }
    QMainWindow::changeEvent(pEvent);
}
