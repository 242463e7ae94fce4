// Every control a screen reader reaches has a name of its own and the role it
// is: in the main window, the adapter window (the list named as a list whose
// value is the adapter, the log as text) and the Records window (each figure
// read with its caption, the list and charts named).
#include "tests/adapter/AdapterTestSupport.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QMenuBar>

#include "records/BarChart.h"
#include "records/RecordsWindow.h"

using namespace adaptertest;

namespace {

// The roles a user meets as controls.
bool IsControl(QAccessible::Role nRole)
{
    switch (nRole) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::SpinBox:
    case QAccessible::MenuItem:
    case QAccessible::PopupMenu:
    case QAccessible::Graphic:
    case QAccessible::Chart:
    case QAccessible::Grouping:
        return true;
    default:
        return false;
    }
}

// Walks the tree under pIface: every shown control has a name, unless it is
// part of another control that names it (a list's edit field, a table's cells).
void ExpectControlsNamed(QAccessibleInterface* pIface, const std::string& strPath)
{
    if (!pIface || pIface->state().invisible)
        return;
    const std::string strHere = strPath + "/" + QAccessible::staticMetaObject.enumerator(
        QAccessible::staticMetaObject.indexOfEnumerator("Role")).valueToKey(pIface->role());
    if (IsControl(pIface->role()))
        EXPECT_FALSE(pIface->text(QAccessible::Name).isEmpty()) << strHere << " has no name";
    const QAccessible::Role nRole = pIface->role();
    if (nRole == QAccessible::ComboBox || nRole == QAccessible::Table || nRole == QAccessible::SpinBox)
        return;
    for (int i = 0; i < pIface->childCount(); ++i)
        ExpectControlsNamed(pIface->child(i), strHere);
}

QAccessibleInterface* Iface(QObject* pObject)
{
    return QAccessible::queryAccessibleInterface(pObject);
}

class ControlNames : public AdapterFrameTest {};

TEST_F(ControlNames, TheAdapterListIsNamedAsAListAndItsValueIsTheAdapter)
{
    AddAdapter();
    CQuadoDravikDriver& dlg = MakeFrame();
    QAccessibleInterface* pList = Iface(&dlg.m_cbDevices);
    EXPECT_EQ(pList->role(), QAccessible::ComboBox);
    EXPECT_EQ(pList->text(QAccessible::Name), "Adapters");
    EXPECT_EQ(pList->text(QAccessible::Value), AdapterSerial);
    // The name is the list's own, not what is picked in it.
    ClickConnect();
    ASSERT_TRUE(dlg.IsConnected());
    EXPECT_EQ(Iface(&dlg.m_cbDevices)->text(QAccessible::Name), "Adapters");

    // Opened and closed as a reader's "press" does.
    EXPECT_TRUE(pList->state().collapsed);
    pList->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(dlg.m_cbDevices.view()->isVisible());
    EXPECT_TRUE(Iface(&dlg.m_cbDevices)->state().expanded);
    pList->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_FALSE(dlg.m_cbDevices.view()->isVisible());

    QAccessibleInterface* pLog = Iface(&dlg.m_reLog);
    EXPECT_EQ(pLog->role(), QAccessible::EditableText);
    EXPECT_EQ(pLog->text(QAccessible::Name), "Received data");
    EXPECT_NE(pLog->textInterface(), nullptr);
    EXPECT_EQ(Iface(&dlg.m_btnConnect)->text(QAccessible::Name), "Disconnect");
    EXPECT_EQ(Iface(&dlg.m_btnConnect)->role(), QAccessible::Button);
    EXPECT_EQ(Iface(&dlg.m_btnClear)->text(QAccessible::Name), "Clear Data");
    EXPECT_EQ(Iface(&dlg.m_btnHide)->text(QAccessible::Name), "Hide");
    EXPECT_EQ(Iface(&dlg.m_stStatus)->text(QAccessible::Name), dlg.m_stStatus.text());
    ExpectControlsNamed(Iface(&dlg), "adapter window");
}

TEST(NamedLists, AListWithoutANameOfItsOwnIsLeftToQt)
{
    QComboBox unnamed;
    unnamed.addItem(QStringLiteral("one"));
    EXPECT_EQ(Iface(&unnamed)->role(), QAccessible::ComboBox);
    EXPECT_EQ(Iface(&unnamed)->text(QAccessible::Value), "one");
    QComboBox named;
    named.setAccessibleName(QStringLiteral("Numbers"));
    named.addItem(QStringLiteral("two"));
    EXPECT_EQ(Iface(&named)->text(QAccessible::Name), "Numbers");
    EXPECT_EQ(Iface(&named)->text(QAccessible::Value), "two");
    named.setCurrentIndex(-1);
    EXPECT_EQ(Iface(&named)->text(QAccessible::Value), "");
}

TEST_F(ControlNames, TheMainWindowsMenusAndBoardAreNamed)
{
    MakeFrame();
    QAccessibleInterface* pBoard = Iface(&m_pFrame->View());
    EXPECT_EQ(pBoard->role(), QAccessible::Graphic);
    EXPECT_EQ(pBoard->text(QAccessible::Name), "Quado board");
    EXPECT_EQ(pBoard->text(QAccessible::Description), "Nothing lit. Panel empty.");
    QAccessibleInterface* pBar = Iface(m_pFrame->menuBar());
    ASSERT_NE(pBar, nullptr);
    ASSERT_GT(pBar->childCount(), 0);
    EXPECT_EQ(pBar->child(0)->role(), QAccessible::MenuItem);
    EXPECT_EQ(pBar->child(0)->text(QAccessible::Name), "File");
    ExpectControlsNamed(Iface(m_pFrame.get()), "main window");
    ExpectControlsNamed(Iface(&m_pFrame->ManualDriver()), "manual driver");
}

TEST(RecordsNames, EachFigureIsReadWithItsCaptionAndTheListAndChartsAreNamed)
{
    CRecordsWindow window;
    window.SetStore(nullptr);
    EXPECT_EQ(Iface(&window.m_stGames)->text(QAccessible::Name), "Games: 0");
    EXPECT_EQ(Iface(&window.m_stWins)->text(QAccessible::Name), "Won: 0");
    EXPECT_EQ(Iface(&window.m_stBest)->text(QAccessible::Name), QString::fromUtf8("Best level: \u2013"));
    EXPECT_EQ(Iface(&window.m_stMedian)->text(QAccessible::Name), QString::fromUtf8("Median length: \u2013"));
    EXPECT_EQ(Iface(&window.m_tblGames)->role(), QAccessible::Table);
    EXPECT_EQ(Iface(&window.m_tblGames)->text(QAccessible::Name), "Games of the day");
    EXPECT_EQ(Iface(window.m_pHours)->text(QAccessible::Name), "Games per hour");
    EXPECT_EQ(Iface(window.m_pLevels)->text(QAccessible::Name), "Games by level reached");
    EXPECT_EQ(Iface(&window.m_dateDay)->text(QAccessible::Name), "Day");
    window.show();
    ExpectControlsNamed(Iface(&window), "records window");
}

} // namespace
