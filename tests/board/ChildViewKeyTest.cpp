// The Escape key in the board view leaves full-screen mode through the
// frame, and does nothing else.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>

#include "app/MainFrame.h"
#include "tests/support/RecordingSoundPlayer.h"

namespace {

void SendKey(QWidget& widget, int nKey, const QString& strText)
{
    QKeyEvent press(QEvent::KeyPress, nKey, Qt::NoModifier, strText);
    QCoreApplication::sendEvent(&widget, &press);
}

} // namespace

TEST(ChildViewKeys, EscapeLeavesFullScreenAndOnlyThen)
{
    CSilentPlayer player;
    CMainFrame frame(&player);
    ASSERT_TRUE(frame.Create());
    ASSERT_EQ(frame.View().m_pMainFrame, &frame);

    SendKey(frame.View(), Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_FALSE(frame.IsFullScreen()) << "Escape while windowed changes nothing";

    frame.ToggleFullScreen();
    ASSERT_TRUE(frame.IsFullScreen()) << "the frame did not enter full screen";
    SendKey(frame.View(), Qt::Key_A, QStringLiteral("a"));
    SendKey(frame.View(), Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_TRUE(frame.IsFullScreen()) << "other keys leave full screen alone";
    SendKey(frame.View(), Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_FALSE(frame.IsFullScreen());
}
