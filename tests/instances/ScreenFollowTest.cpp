// The main window follows its chosen monitor (--screen) as monitors come
// and go: placed there before it is shown, full screen covering exactly
// that monitor, moved to the primary one when it goes and back when it
// returns, fitted again when its resolution changes. Runs on the offscreen
// platform with two named screens that the test changes while it runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>

#include "app/MainFrame.h"
#include "app/ScreenChoice.h"
#include "tests/instances/OffscreenScreens.h"
#include "tests/support/EventWait.h"
#include "tests/support/RecordingSoundPlayer.h"

using instancestest::ScreenSetup;
using instancestest::SetScreens;

namespace {

const ScreenSetup ScreenLeft{QStringLiteral("HDMI-1"), QRect(0, 0, 1920, 1080)};
const ScreenSetup ScreenRight{QStringLiteral("HDMI-2"), QRect(1920, 0, 1920, 1080)};

class ScreenFollow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SetScreens({ScreenLeft, ScreenRight}));
        ASSERT_TRUE(testsupport::WaitForEvents([] { return QGuiApplication::screens().size() == 2; }));
    }
    void TearDown() override { SetScreens({ScreenLeft, ScreenRight}); }

    // The monitor the window is on and its rectangle, as the platform has them.
    static QString Where(const CMainFrame& frame)
    {
        const QWindow* pWindow = frame.windowHandle();
        if (!pWindow || !pWindow->screen())
            return QStringLiteral("nowhere");
        const QRect rc = pWindow->geometry();
        return QStringLiteral("%1 %2,%3 %4x%5")
            .arg(pWindow->screen()->name())
            .arg(rc.x())
            .arg(rc.y())
            .arg(rc.width())
            .arg(rc.height());
    }
    static bool WaitUntilAt(const CMainFrame& frame, const QString& strWhere)
    {
        return testsupport::WaitForEvents([&] { return Where(frame) == strWhere; });
    }
    // On that monitor, as far as a window as large as the monitor (its
    // frame added) can be.
    static bool InsideOf(const CMainFrame& frame, const ScreenSetup& screen)
    {
        return frame.windowHandle() && frame.windowHandle()->screen() &&
               frame.windowHandle()->screen()->name() == screen.strName &&
               screen.rc.contains(frame.windowHandle()->geometry().center()) &&
               screen.rc.contains(frame.windowHandle()->geometry().topLeft());
    }

    CSilentPlayer m_player;
};

} // namespace

TEST(ScreenChoiceResolve, ANameFirstThenAnIndexInTheSystemsOrder)
{
    const QStringList names{"HDMI-1", "HDMI-2", "3"};
    EXPECT_EQ(CScreenChoice::Resolve("HDMI-2", names), 1);
    EXPECT_EQ(CScreenChoice::Resolve("0", names), 0);
    EXPECT_EQ(CScreenChoice::Resolve("1", names), 1);
    EXPECT_EQ(CScreenChoice::Resolve("3", names), 2) << "a monitor named 3 is meant before a fourth one";
    EXPECT_EQ(CScreenChoice::Resolve("4", names), -1);
    EXPECT_EQ(CScreenChoice::Resolve("-1", names), -1);
    EXPECT_EQ(CScreenChoice::Resolve("+1", names), -1);
    EXPECT_EQ(CScreenChoice::Resolve("hdmi-1", names), -1) << "names are the system's, exactly";
    EXPECT_EQ(CScreenChoice::Resolve("DP-1", {}), -1);
}

TEST_F(ScreenFollow, FullScreenCoversTheChosenMonitorAndFollowsItAwayAndBack)
{
    CMainFrame frame(&m_player);
    ASSERT_TRUE(frame.Create());
    frame.FollowScreen(QStringLiteral("HDMI-2"));
    frame.show();
    ASSERT_TRUE(testsupport::WaitForEvents([&] { return frame.windowHandle() && frame.windowHandle()->isExposed(); }));
    EXPECT_TRUE(InsideOf(frame, ScreenRight)) << Where(frame).toStdString();
    ASSERT_TRUE(frame.ScreenChoice()->IsChosenPresent());

    frame.ToggleFullScreen();
    EXPECT_TRUE(WaitUntilAt(frame, "HDMI-2 1920,0 1920x1080")) << Where(frame).toStdString();
    EXPECT_EQ(frame.FullScreenRect(), ScreenRight.rc);

    // The right monitor is switched off: the exhibit goes on on the primary.
    ASSERT_TRUE(SetScreens({ScreenLeft}));
    EXPECT_TRUE(WaitUntilAt(frame, "HDMI-1 0,0 1920x1080")) << Where(frame).toStdString();
    EXPECT_EQ(frame.FullScreenRect(), ScreenLeft.rc);
    EXPECT_FALSE(frame.ScreenChoice()->IsChosenPresent());
    EXPECT_TRUE(frame.IsFullScreen());

    // And on again: back where it was told to be.
    ASSERT_TRUE(SetScreens({ScreenLeft, ScreenRight}));
    EXPECT_TRUE(WaitUntilAt(frame, "HDMI-2 1920,0 1920x1080")) << Where(frame).toStdString();
    EXPECT_TRUE(frame.ScreenChoice()->IsChosenPresent());

    // A new resolution on it: full screen fits it again.
    const ScreenSetup smaller{ScreenRight.strName, QRect(1920, 0, 1280, 720)};
    ASSERT_TRUE(SetScreens({ScreenLeft, smaller}));
    EXPECT_TRUE(WaitUntilAt(frame, "HDMI-2 1920,0 1280x720")) << Where(frame).toStdString();

    // Leaving full screen leaves the window on the chosen monitor.
    frame.ToggleFullScreen();
    EXPECT_TRUE(testsupport::WaitForEvents([&] { return InsideOf(frame, smaller); })) << Where(frame).toStdString();
}

TEST_F(ScreenFollow, AMonitorMissingAtTheStartIsGoneToOnceItAppears)
{
    ASSERT_TRUE(SetScreens({ScreenLeft}));
    ASSERT_TRUE(testsupport::WaitForEvents([] { return QGuiApplication::screens().size() == 1; }));
    CMainFrame frame(&m_player);
    ASSERT_TRUE(frame.Create());
    testing::internal::CaptureStderr();
    frame.FollowScreen(QStringLiteral("HDMI-2"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Quado: no screen 'HDMI-2' (there are: HDMI-1); using the primary screen until it appears\n");
    frame.show();
    frame.ToggleFullScreen();
    EXPECT_TRUE(WaitUntilAt(frame, "HDMI-1 0,0 1920x1080")) << Where(frame).toStdString();

    ASSERT_TRUE(SetScreens({ScreenLeft, ScreenRight}));
    EXPECT_TRUE(WaitUntilAt(frame, "HDMI-2 1920,0 1920x1080")) << Where(frame).toStdString();
}

TEST_F(ScreenFollow, WithoutAChoiceFullScreenTakesTheWindowsOwnMonitorAsBefore)
{
    CMainFrame frame(&m_player);
    ASSERT_TRUE(frame.Create());
    frame.move(ScreenRight.rc.topLeft() + QPoint(50, 50));
    frame.show();
    ASSERT_TRUE(testsupport::WaitForEvents([&] { return frame.windowHandle() && frame.windowHandle()->isExposed(); }));
    EXPECT_EQ(frame.ScreenChoice(), nullptr);
    frame.ToggleFullScreen();
    EXPECT_TRUE(WaitUntilAt(frame, "HDMI-2 1920,0 1920x1080")) << Where(frame).toStdString();
    EXPECT_EQ(frame.FullScreenRect(), ScreenRight.rc);
}

int main(int argc, char* argv[])
{
    // The two monitors from the start, as a computer with two outputs has them.
    QTemporaryDir dir;
    const QString strScreens = dir.filePath(QStringLiteral("screens.json"));
    {
        QFile file(strScreens);
        if (!file.open(QIODevice::WriteOnly) || file.write(instancestest::ScreensJson({ScreenLeft, ScreenRight})) < 0)
            return 1;
    }
    QByteArray platform = "offscreen:configfile=" + QFile::encodeName(strScreens);
    std::vector<char*> args(argv, argv + argc);
    char szPlatformOption[] = "-platform";
    args.insert(args.begin() + 1, {szPlatformOption, platform.data()});
    int nArgs = int(args.size());
    QApplication app(nArgs, args.data());
    ::testing::InitGoogleTest(&nArgs, args.data());
    return RUN_ALL_TESTS();
}
