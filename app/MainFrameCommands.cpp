// The main frame's menu and its commands: the table the menu is built from,
// running a command by its id, and the check marks that follow the flags.
#include "app/MainFrame.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QtGlobal>

#include "app/CommandIds.h"

namespace {

struct MenuEntry {
    const char* pszPopup;
    const char* pszItem;
    int nCommandId;
    bool bCheckable;
    // Shown beside the item; null for none.
    const char* pszShortcut;
};

// In menu order; consecutive entries with the same popup share it.
constexpr MenuEntry MenuTable[] = {
    {QT_TRANSLATE_NOOP("CMainFrame", "&File"), QT_TRANSLATE_NOOP("CMainFrame", "&Export Records..."), CommandId::ExportRecords, false, nullptr},
    {QT_TRANSLATE_NOOP("CMainFrame", "&File"), QT_TRANSLATE_NOOP("CMainFrame", "E&xit"), CommandId::AppExit, false, "Ctrl+Q"},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Options"), QT_TRANSLATE_NOOP("CMainFrame", "&Mute"), CommandId::Mute, true, "Ctrl+M"},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Options"), QT_TRANSLATE_NOOP("CMainFrame", "&Speak Texts"), CommandId::Speak, true, nullptr},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Options"), QT_TRANSLATE_NOOP("CMainFrame", "&Fit to Screen"), CommandId::FitToScreen, true, nullptr},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Options"), QT_TRANSLATE_NOOP("CMainFrame", "&Shapes on the Board"), CommandId::Shapes, true, nullptr},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Options"), QT_TRANSLATE_NOOP("CMainFrame", "Connect &Automatically"), CommandId::ConnectAutomatically, true, nullptr},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Options"), QT_TRANSLATE_NOOP("CMainFrame", "&Keep Records"), CommandId::KeepRecords, true, nullptr},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Options"), QT_TRANSLATE_NOOP("CMainFrame", "Show Records When &Idle"), CommandId::IdleRecords, true, nullptr},
    {QT_TRANSLATE_NOOP("CMainFrame", "&View"), QT_TRANSLATE_NOOP("CMainFrame", "&Full Screen"), CommandId::FullScreen, true, "F11"},
    {QT_TRANSLATE_NOOP("CMainFrame", "&View"), QT_TRANSLATE_NOOP("CMainFrame", "&Scale Down"), CommandId::ScaleDown, true, nullptr},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Show"), QT_TRANSLATE_NOOP("CMainFrame", "&Dravik Driver"), CommandId::DravikDriver, true, "Ctrl+D"},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Show"), QT_TRANSLATE_NOOP("CMainFrame", "&Manual Driver"), CommandId::ManualDriver, true, "Ctrl+Shift+M"},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Show"), QT_TRANSLATE_NOOP("CMainFrame", "&Records"), CommandId::RecordsWindow, true, "Ctrl+R"},
    {QT_TRANSLATE_NOOP("CMainFrame", "&Help"), QT_TRANSLATE_NOOP("CMainFrame", "&About Quado..."), CommandId::AppAbout, false, nullptr},
};

} // namespace

void CMainFrame::CreateMenus()
{
    QMenu* pPopup = nullptr;
    const char* pszPopup = nullptr;
    for (const MenuEntry& entry : MenuTable) {
        if (!pPopup || qstrcmp(pszPopup, entry.pszPopup) != 0) {
            pszPopup = entry.pszPopup;
            pPopup = menuBar()->addMenu(tr(entry.pszPopup));
            // The update handlers run as a popup opens, so its check marks
            // never lag behind a flag another window changed.
            connect(pPopup, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
            // An open menu takes the keyboard: a colour key held now would
            // never see its release here.
            connect(pPopup, &QMenu::aboutToShow, &m_dlgManualDriver, &CQuadoDriverDialog::EndKeyPress);
        }
        QAction* pAction = pPopup->addAction(tr(entry.pszItem));
        pAction->setData(entry.nCommandId);
        pAction->setCheckable(entry.bCheckable);
        const int nCommandId = entry.nCommandId;
        connect(pAction, &QAction::triggered, this, [this, nCommandId] { OnCommand(nCommandId); });
        if (entry.nCommandId == CommandId::Speak) {
            // Its tool tip tells why it is greyed; the others have none.
            pPopup->setToolTipsVisible(true);
            connect(pPopup, &QMenu::aboutToShow, this, &CMainFrame::CheckSpeechInstalled);
        }
        if (entry.pszShortcut) {
            pAction->setShortcut(QKeySequence(QString::fromLatin1(entry.pszShortcut), QKeySequence::PortableText));
            // The window holds the actions too: full screen hides the menu
            // bar, and with it every shortcut that only the bar holds.
            addAction(pAction);
        }
    }
    CreateLanguageMenu();
}

void CMainFrame::RetranslateMenus()
{
    // By command id, not by place: a menu may hold items from elsewhere.
    for (QAction* pMenu : menuBar()->actions()) {
        if (!pMenu->menu())
            continue;
        for (QAction* pAction : pMenu->menu()->actions()) {
            for (const MenuEntry& entry : MenuTable) {
                if (!pAction->menu() && pAction->data().toInt() == entry.nCommandId) {
                    pAction->setText(tr(entry.pszItem));
                    pMenu->setText(tr(entry.pszPopup));
                }
            }
        }
    }
    RetranslateLanguageMenu();
}

QAction* CMainFrame::FindCommand(int nCommandId) const
{
    for (QAction* pMenu : menuBar()->actions()) {
        if (!pMenu->menu())
            continue;
        for (QAction* pAction : pMenu->menu()->actions()) {
            if (pAction->data().toInt() == nCommandId)
                return pAction;
        }
    }
    return nullptr;
}

bool CMainFrame::OnCommand(int nCommandId)
{
    switch (nCommandId) {
    case CommandId::Mute:
        ToggleMute();
        break;
    case CommandId::Speak:
        ToggleSpeak();
        break;
    case CommandId::FullScreen:
    case CommandId::FullScreenBar:
        ToggleFullScreen();
        break;
    case CommandId::FitToScreen:
        ToggleFitToScreen();
        break;
    case CommandId::ScaleDown:
        ToggleScaleDown();
        break;
    case CommandId::Shapes:
        SetShapesShown(!ShowsShapes());
        break;
    case CommandId::DravikDriver:
        ToggleDravikDriver();
        break;
    case CommandId::ManualDriver:
        ToggleManualDriver();
        break;
    case CommandId::AppAbout:
        OnAppAbout();
        break;
    case CommandId::ConnectAutomatically:
        ToggleConnectAutomatically();
        break;
    case CommandId::AppExit:
        close();
        break;
    case CommandId::ExportRecords:
        OnExportRecords();
        break;
    case CommandId::KeepRecords:
        ToggleKeepRecords();
        break;
    case CommandId::IdleRecords:
        ToggleIdleRecords();
        break;
    case CommandId::RecordsWindow:
        ToggleRecordsWindow();
        break;
    case CommandId::LanguageEnglish:
    case CommandId::LanguageGerman:
        SetLanguage(nCommandId == CommandId::LanguageGerman ? UiLanguage::German : UiLanguage::English);
        break;
    default:
        return false;
    }
    UpdateCommandUI();
    return true;
}

void CMainFrame::UpdateCommandUI()
{
    // Qt flips a checkable action itself when it is triggered; the flags,
    // not that flip, decide what the menu shows (a refused command must not
    // leave a check behind).
    const struct {
        int nCommandId;
        bool bChecked;
    } states[] = {
        {CommandId::Mute, m_bMute},
        {CommandId::Speak, IsSpeakOn()},
        {CommandId::FullScreen, m_bFullScreen},
        {CommandId::ScaleDown, m_wndView.m_bScaleDown},
        {CommandId::FitToScreen, m_bFitToScreen},
        {CommandId::Shapes, ShowsShapes()},
        {CommandId::DravikDriver, m_bDravikDriverShown},
        {CommandId::ManualDriver, m_bManualDriverShown},
        {CommandId::ConnectAutomatically, m_autoConnect.Control().IsEnabled()},
        {CommandId::KeepRecords, IsKeepingRecords()},
        {CommandId::IdleRecords, m_bIdleRecords},
        {CommandId::RecordsWindow, m_bRecordsWindowShown},
    };
    for (const auto& state : states) {
        if (QAction* pAction = FindCommand(state.nCommandId)) {
            pAction->setEnabled(true);
            pAction->setChecked(state.bChecked);
        }
    }
    // There is nothing to export while no records are kept.
    if (QAction* pAction = FindCommand(CommandId::ExportRecords))
        pAction->setEnabled(IsKeepingRecords());
    UpdateLanguageUI();
    UpdateSpeakCommand();
}
