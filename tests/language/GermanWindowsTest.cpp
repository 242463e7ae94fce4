// Every window in German. Built while German is chosen, each word differs
// from the same window built in English, but for names and numbers: a word
// left out of the catalogue, or never marked for translation, fails with the
// place it stands. Switched by Options > Language, the windows say exactly
// what they say when built in that language, and English again after.
#include "tests/adapter/AdapterTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>

#include "app/AboutDlg.h"
#include "app/CommandIds.h"
#include "app/FullScreenBar.h"
#include "app/FullScreenNotice.h"
#include "app/Language.h"
#include "records/RecordStore.h"
#include "records/RecordsWindow.h"
#include "tests/language/WindowWords.h"
#include "tests/support/HangGuard.h"

using namespace adaptertest;

namespace {

class LanguageFrame : public AdapterFrameTest {
protected:
    void TearDown() override
    {
        CloseFrame();
        ApplyLanguage(UiLanguage::English);
        AdapterFrameTest::TearDown();
    }

    // The frame with an adapter connected and one game won and kept; the
    // Records window showing it, the about box, the full-screen bar and its
    // notice, the manual driver's refusal while the adapter is connected.
    void BuildWindows()
    {
        if (!m_pAdapter)
            m_pAdapter = AddAdapter();
        MakeFrame();
        m_pFrame->SetRecordsFile(m_dir.filePath(QStringLiteral("records.sqlite")));
        m_pFrame->SetKeepRecords(true);
        ClickConnect();
        ASSERT_TRUE(Dlg().IsConnected());
        ASSERT_TRUE(FeedRead(*m_pAdapter, "New\r\nMAX_LEVEL=4\r\nLevel 1 -\r\nLevel 2 -\r\nCongrat\r\n"));
        ASSERT_TRUE(m_pFrame->OnCommand(CommandId::RecordsWindow));
        CRecordsWindow* pRecords = Records();
        ASSERT_NE(pRecords, nullptr);
        ASSERT_TRUE(WaitForEvents([&] { return pRecords->IsLoaded() && pRecords->Games().rowCount() == 1; }));
        new CAboutDlg(m_pFrame.get());
        ASSERT_NE(CFullScreenBar::Create(m_pFrame.get()), nullptr);
        new CFullScreenNotice(m_pFrame->BoardView());
        m_pFrame->ToggleManualDriver();
        ASSERT_EQ(m_boxes.m_vecBoxes.size(), 1u);
    }

    // The frame goes, and its records file with it: the next build starts
    // from the same place with no game.
    void CloseFrame()
    {
        m_pFrame.reset();
        if (m_pAdapter)
            m_backend.RemoveDevice(AdapterPath);
        m_pAdapter.reset();
        m_boxes.m_vecBoxes.clear();
        CRecordStore::WaitForClosed(testsupport::HangGuard);
        for (const char* pszSuffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(m_dir.filePath(QStringLiteral("records.sqlite") + QLatin1String(pszSuffix)));
    }

    static CRecordsWindow* Records()
    {
        for (QWidget* pWindow : QApplication::topLevelWidgets()) {
            if (auto* pRecords = qobject_cast<CRecordsWindow*>(pWindow))
                return pRecords;
        }
        return nullptr;
    }

    WindowWords Words()
    {
        WindowWords words;
        CollectWords(m_pFrame.get(), QStringLiteral("frame"), words);
        CollectWords(&Dlg(), QStringLiteral("adapter"), words);
        CollectWords(&m_pFrame->ManualDriver(), QStringLiteral("manual"), words);
        if (CRecordsWindow* pRecords = Records())
            CollectWords(pRecords, QStringLiteral("records"), words);
        for (size_t i = 0; i < m_boxes.m_vecBoxes.size(); ++i) {
            words.insert(QStringLiteral("box#%1.text").arg(i), m_boxes.m_vecBoxes[i].strText);
            words.insert(QStringLiteral("box#%1.caption").arg(i), m_boxes.m_vecBoxes[i].strCaption);
        }
        return words;
    }

    // Words that can differ from one build to the next (times, lengths)
    // hold no word, and are left out where builds are compared.
    static WindowWords Worded(const WindowWords& words)
    {
        WindowWords worded;
        for (auto it = words.cbegin(); it != words.cend(); ++it) {
            if (!IsLanguageNeutral(it.value()))
                worded.insert(it.key(), it.value());
        }
        return worded;
    }

    QAction* LanguageAction(int nCommandId) const
    {
        for (QAction* pMenu : m_pFrame->menuBar()->actions()) {
            if (!pMenu->menu())
                continue;
            for (QAction* pItem : pMenu->menu()->actions()) {
                if (!pItem->menu())
                    continue;
                for (QAction* pLanguage : pItem->menu()->actions()) {
                    if (pLanguage->data().toInt() == nCommandId)
                        return pLanguage;
                }
            }
        }
        return nullptr;
    }

    // Chooses the language as the user does, and waits until the windows
    // have heard of it.
    void Choose(int nCommandId, const QString& strFileMenu)
    {
        QAction* pAction = LanguageAction(nCommandId);
        ASSERT_NE(pAction, nullptr);
        pAction->trigger();
        ASSERT_TRUE(WaitForEvents([&] { return m_pFrame->menuBar()->actions().value(0)->text() == strFileMenu; }));
        // Every window has its LanguageChange by now: they were posted together.
        QCoreApplication::processEvents();
        EXPECT_TRUE(pAction->isChecked());
    }

    QTemporaryDir m_dir;
    std::shared_ptr<CSimulatedAdapter> m_pAdapter;
};

} // namespace

TEST_F(LanguageFrame, EveryWordOfEveryWindowBuiltInGermanIsGerman)
{
    BuildWindows();
    const WindowWords english = Words();
    CloseFrame();

    ASSERT_TRUE(ApplyLanguage(UiLanguage::German));
    BuildWindows();
    const WindowWords german = Words();
    // The walk reached what matters, and the same places in both.
    EXPECT_GT(german.size(), 80);
    QStringList onlyOne;
    for (const QString& strKey : Worded(english).keys())
        if (!Worded(german).contains(strKey))
            onlyOne << QStringLiteral("English only: ") + strKey;
    for (const QString& strKey : Worded(german).keys())
        if (!Worded(english).contains(strKey))
            onlyOne << QStringLiteral("German only: ") + strKey;
    EXPECT_EQ(onlyOne, QStringList());
    EXPECT_EQ(SameWords(german, english), std::vector<std::string>()) << "still English in German";

    EXPECT_EQ(german.value(QStringLiteral("frame.title")), QStringLiteral("Quado"));
    EXPECT_EQ(Dlg().windowTitle(), QStringLiteral("QUADO Dravik-Treiber"));
    // The status line, as the window shows it.
    const QString strShown = Dlg().Link().ShownStatus();
    EXPECT_TRUE(strShown.startsWith(QStringLiteral("VERBUNDEN  -  "))) << qPrintable(strShown);
    EXPECT_TRUE(strShown.contains(QStringLiteral("  -  8 Datenbits  -  "))) << qPrintable(strShown);
    EXPECT_TRUE(german.values().contains(strShown));
    // What the venue reads stays English.
    EXPECT_TRUE(Dlg().Link().Status().startsWith(QStringLiteral("CONNECTED  -  ")));
    EXPECT_EQ(m_boxes.m_vecBoxes[0].strCaption, QStringLiteral("Manueller Treiber gesperrt"));
}

TEST_F(LanguageFrame, OptionsLanguageSwitchesEveryWindowAndBackWithoutARestart)
{
    ASSERT_TRUE(ApplyLanguage(UiLanguage::German));
    BuildWindows();
    const WindowWords builtGerman = Worded(Words());
    CloseFrame();
    ASSERT_TRUE(ApplyLanguage(UiLanguage::English));
    BuildWindows();
    const WindowWords builtEnglish = Worded(Words());
    EXPECT_TRUE(LanguageAction(CommandId::LanguageEnglish)->isChecked());

    Choose(CommandId::LanguageGerman, QStringLiteral("&Datei"));
    EXPECT_EQ(CurrentLanguage(), UiLanguage::German);
    EXPECT_FALSE(LanguageAction(CommandId::LanguageEnglish)->isChecked());
    WindowWords switched = Worded(Words());
    // The boxes already shown keep their words; a new one speaks German.
    switched.remove(QStringLiteral("box#0.text"));
    switched.remove(QStringLiteral("box#0.caption"));
    m_pFrame->ToggleManualDriver();
    ASSERT_EQ(m_boxes.m_vecBoxes.size(), 2u);
    switched.insert(QStringLiteral("box#0.text"), m_boxes.m_vecBoxes[1].strText);
    switched.insert(QStringLiteral("box#0.caption"), m_boxes.m_vecBoxes[1].strCaption);
    EXPECT_EQ(DifferentWords(switched, builtGerman), std::vector<std::string>());

    Choose(CommandId::LanguageEnglish, QStringLiteral("&File"));
    EXPECT_EQ(CurrentLanguage(), UiLanguage::English);
    WindowWords back = Worded(Words());
    back.remove(QStringLiteral("box#1.text"));
    back.remove(QStringLiteral("box#1.caption"));
    EXPECT_EQ(DifferentWords(back, builtEnglish), std::vector<std::string>());
}
