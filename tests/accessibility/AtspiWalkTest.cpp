// Quado read by a real screen reader's library: a game in progress with a
// colour lit, walked over AT-SPI by python3-pyatspi in another process. The
// main window and the adapter window must show every control by its name and
// role, the board must say what is lit and what the panel says, the log must
// read the board's lines, and the board's and the log's changes must reach
// the listener unasked. Run in English and in German; the names expected are
// the ones Quado gives in its language, the English ones also word by word.
#include "tests/accessibility/AccessibilitySupport.h"

#include <QDeadlineTimer>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/QuadoApp.h"
#include "app/StartOptions.h"
#include "board/BoardDescription.h"
#include "device/SimulatedAdapter.h"
#include "device/SimulatedHidBackend.h"
#include "protocol/IQuadoBoard.h"

using namespace a11ytest;

namespace {

constexpr char AdapterPath[] = "/dev/hidraw-atspi0";
constexpr char AdapterSerial[] = "ATSPI0001";

// One object as the client printed it; depth 0 is a window.
struct Node {
    int nDepth = 0;
    int nWindow = -1;
    QString strRole;
    QString strName;
    QString strDescription;
    QString strText;
};

QStringList Fields(const QString& strLine)
{
    QStringList fields;
    QString strField;
    for (qsizetype i = 0; i < strLine.size(); ++i) {
        const QChar c = strLine[i];
        if (c == QLatin1Char('|')) {
            fields << strField;
            strField.clear();
        } else if (c == QLatin1Char('\\') && i + 1 < strLine.size()) {
            const QChar e = strLine[++i];
            strField += e == QLatin1Char('n') ? QChar(u'\n') : e == QLatin1Char('r') ? QChar(u'\r')
                      : e == QLatin1Char('p') ? QChar(u'|') : e;
        } else {
            strField += c;
        }
    }
    return fields << strField;
}

// The interpreter python3-pyatspi belongs to.
QString Python()
{
    return qEnvironmentVariable("QUADO_ATSPI_PYTHON", QStringLiteral("python3"));
}

bool PyatspiUsable()
{
    QProcess python;
    python.start(Python(), {QStringLiteral("-c"), QStringLiteral("import pyatspi")});
    return python.waitForFinished(testsupport::HangGuardMs) && python.exitStatus() == QProcess::NormalExit &&
           python.exitCode() == 0;
}

QString WithoutMnemonic(QString str)
{
    return str.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

class AtSpi : public ::testing::Test {
protected:
    void SetUp() override
    {
        QUADO_NEED(WakeAccessibility(), "Qt's accessibility bridge on a session bus (dbus-run-session, at-spi2-core)");
        QUADO_NEED(PyatspiUsable(), "python3-pyatspi");
        QUADO_NEED(!qEnvironmentVariableIsEmpty("QUADO_ATSPI_WALK"), "QUADO_ATSPI_WALK (the walker script)");
        SetHidBackend(&m_backend);
        m_pAdapter = m_backend.AddAdapter(AdapterPath, AdapterSerial);
    }
    void TearDown() override
    {
        if (m_pWalker && m_pWalker->state() != QProcess::NotRunning) {
            m_pWalker->kill();
            m_pWalker->waitForFinished(testsupport::HangGuardMs);
        }
        m_pApp.reset();
        SetHidBackend(nullptr);
    }

    // Starts Quado in-process with these start options; false when they are
    // refused (an option this build does not have).
    bool Start(const std::vector<std::string>& extra)
    {
        std::vector<std::string> args = {"quado", "--no-records"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& str : args)
            argv.push_back(str.data());
        argv.push_back(nullptr);
        StartOptions options;
        if (HandleStartOptions(static_cast<int>(args.size()), argv.data(), false, &options) >= 0)
            return false;
        m_pApp = std::make_unique<CQuadoApp>();
        EXPECT_TRUE(m_pApp->InitInstance(options));
        return true;
    }
    CMainFrame& Frame() { return *m_pApp->MainFrame(); }

    // A game at level 3 with green lit, in both windows, painted.
    void PlayUntilGreen()
    {
        CQuadoDravikDriver& dlg = Frame().DravikDriver();
        // The adapter window comes, with its list, after the board's first picture.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
        ASSERT_TRUE(WaitForEvents([&] { return dlg.IsDeviceWatchStarted(); }));
        if (!Frame().IsDravikDriverShown())
            Frame().ToggleDravikDriver();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        ASSERT_TRUE(WaitForEvents([&] { return !dlg.ListedSerials().empty(); }));
        ASSERT_TRUE(dlg.ConnectQuietly(0));
        m_pAdapter->FeedUart("New\r\nMAX_LEVEL=5\r\nLevel 3 -\r\nG\r\n");
        ASSERT_TRUE(WaitForEvents([&] {
            return Frame().View().m_nLitQuadrant == QuadrantGreen && dlg.LogText().contains(QStringLiteral("G\n")) &&
                   !Frame().View().IsRepaintPending();
        }));
    }

    void StartWalker()
    {
        m_pWalker = std::make_unique<QProcess>();
        m_pWalker->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(m_pWalker.get(), &QProcess::readyReadStandardOutput, m_pWalker.get(), [this] {
            while (m_pWalker->canReadLine()) {
                const QString strLine = QString::fromUtf8(m_pWalker->readLine()).chopped(1);
                std::cout << "  " << strLine.toStdString() << '\n';
                m_lines << strLine;
            }
        });
        m_pWalker->start(Python(),
                         {qEnvironmentVariable("QUADO_ATSPI_WALK"), QString::number(QCoreApplication::applicationPid())});
    }
    // Runs the event loop (Quado answers the walker meanwhile) until the
    // walker has said that line, or has ended.
    bool WaitForLine(const QString& strLine)
    {
        WaitForEvents([&] { return m_lines.contains(strLine) || m_pWalker->state() == QProcess::NotRunning; });
        return m_lines.contains(strLine);
    }

    std::vector<Node> Tree() const
    {
        std::vector<Node> nodes;
        int nWindow = -1;
        for (const QString& strLine : m_lines) {
            const QStringList fields = Fields(strLine);
            if (fields.value(0) != QLatin1String("NODE") || fields.size() < 6)
                continue;
            Node node{fields[1].toInt(), -1, fields[2], fields[3], fields[4], fields[5]};
            if (node.nDepth == 0)
                ++nWindow;
            node.nWindow = nWindow;
            nodes.push_back(node);
        }
        return nodes;
    }
    // The nodes of the window with that role and name.
    static std::vector<Node> Window(const std::vector<Node>& nodes, const QString& strRole, const QString& strName)
    {
        std::vector<Node> window;
        int nWindow = -2;
        for (const Node& node : nodes) {
            if (node.nDepth == 0 && node.strRole == strRole && node.strName == strName)
                nWindow = node.nWindow;
            if (node.nWindow == nWindow)
                window.push_back(node);
        }
        return window;
    }
    static const Node* Find(const std::vector<Node>& nodes, const QString& strRole, const QString& strName)
    {
        for (const Node& node : nodes) {
            if (node.strRole == strRole && node.strName == strName)
                return &node;
        }
        return nullptr;
    }
    // Every control a user reaches says what it is.
    static void ExpectNamed(const std::vector<Node>& nodes)
    {
        const QStringList controls = {"push button", "combo box", "menu", "menu item", "check menu item",
                                      "image", "table", "list", "dialog", "frame"};
        for (const Node& node : nodes) {
            if (controls.contains(node.strRole))
                EXPECT_FALSE(node.strName.isEmpty()) << "a " << node.strRole.toStdString() << " without a name";
        }
    }

    // The tree, then the change events, in the language of those options.
    void Walk(bool bEnglish);

    CSimulatedHidBackend m_backend;
    std::shared_ptr<CSimulatedAdapter> m_pAdapter;
    std::unique_ptr<CQuadoApp> m_pApp;
    std::unique_ptr<QProcess> m_pWalker;
    QStringList m_lines;
};

void AtSpi::Walk(bool bEnglish)
{
    ASSERT_NO_FATAL_FAILURE(PlayUntilGreen());
    CChildView& view = Frame().View();
    CQuadoDravikDriver& dlg = Frame().DravikDriver();
    const QString strDescribed = QAccessible::queryAccessibleInterface(&view)->text(QAccessible::Description);
    std::cout << "The tree as a screen reader's library reads it:\n";
    StartWalker();
    ASSERT_TRUE(WaitForLine(QStringLiteral("END-OF-TREE"))) << "the walker ended early";
    const std::vector<Node> nodes = Tree();
    ExpectNamed(nodes);

    // The main window: its menus and the board, which says what is lit.
    const std::vector<Node> main = Window(nodes, QStringLiteral("frame"), Frame().windowTitle());
    ASSERT_FALSE(main.empty()) << "no main window named " << Frame().windowTitle().toStdString();
    EXPECT_TRUE(std::any_of(main.begin(), main.end(), [](const Node& node) { return node.strRole == "menu bar"; }));
    for (const QAction* pMenu : Frame().menuBar()->actions())
        EXPECT_NE(Find(main, "menu item", WithoutMnemonic(pMenu->text())), nullptr) << pMenu->text().toStdString();
    const Node* pBoard = Find(main, "image", BoardName());
    ASSERT_NE(pBoard, nullptr);
    EXPECT_EQ(pBoard->strDescription, strDescribed);
    EXPECT_EQ(strDescribed, DescribeBoard(QuadrantGreen, view.PanelText()));
    EXPECT_FALSE(view.PanelText().empty());

    // The adapter window: the list, named and showing the adapter, the
    // buttons, the log with the board's lines, and the status line.
    const std::vector<Node> adapter = Window(nodes, QStringLiteral("dialog"), dlg.windowTitle());
    ASSERT_FALSE(adapter.empty()) << "no adapter window named " << dlg.windowTitle().toStdString();
    const Node* pList = Find(adapter, "combo box", dlg.m_cbDevices.accessibleName());
    ASSERT_NE(pList, nullptr);
    bool bSerialShown = false;
    for (const Node& node : adapter)
        bSerialShown = bSerialShown || node.strName == AdapterSerial || node.strText == AdapterSerial;
    EXPECT_TRUE(bSerialShown);
    for (const QPushButton* pButton : {&dlg.m_btnHide, &dlg.m_btnConnect, &dlg.m_btnClear})
        EXPECT_NE(Find(adapter, "push button", pButton->text()), nullptr) << pButton->text().toStdString();
    const Node* pLog = Find(adapter, "text", dlg.m_reLog.accessibleName());
    ASSERT_NE(pLog, nullptr);
    EXPECT_EQ(pLog->strText, dlg.LogText());
    EXPECT_TRUE(pLog->strText.contains(QStringLiteral("Level 3 -")));
    EXPECT_NE(Find(adapter, "label", dlg.m_stStatus.text()), nullptr);

    if (bEnglish) {
        EXPECT_TRUE(pBoard->strName == "Quado board");
        EXPECT_TRUE(pBoard->strDescription.startsWith("Green lit. Panel: ")) << pBoard->strDescription.toStdString();
        EXPECT_TRUE(pList->strName == "Adapters");
        EXPECT_TRUE(pLog->strName == "Received data");
        EXPECT_NE(Find(adapter, "push button", "Disconnect"), nullptr);
        EXPECT_NE(Find(main, "menu item", "File"), nullptr);
    }

    // Unasked, the listener hears the board change and the log grow. It
    // joins while Quado runs; until Quado knows it listens, nothing is sent
    // to it, so the board changes again until it hears one.
    ASSERT_TRUE(WaitForLine(QStringLiteral("LISTENING")));
    std::cout << "Heard while the board changes:\n";
    const char* const lights[] = {"R\r\n", "Y\r\n"};
    const auto heard = [&](const QString& strType, const QString& strRole, const QString& strName,
                           const QString& strDetail) {
        for (const QString& strLine : m_lines) {
            const QStringList fields = Fields(strLine);
            if (fields.size() >= 5 && fields[0] == "EVENT" && fields[1] == strType && fields[2] == strRole &&
                fields[3] == strName && fields[4].contains(strDetail))
                return true;
        }
        return false;
    };
    bool bBoardHeard = false;
    bool bLogHeard = false;
    const QDeadlineTimer hangGuard(testsupport::HangGuardMs);
    for (int nTurn = 0; !(bBoardHeard && bLogHeard) && m_pWalker->state() == QProcess::Running; ++nTurn) {
        const std::string strLight = lights[nTurn % 2];
        m_pAdapter->FeedUart(strLight);
        const int nLit = nTurn % 2 ? QuadrantYellow : QuadrantRed;
        ASSERT_TRUE(WaitForEvents([&] { return view.m_nLitQuadrant == nLit; }));
        const QString strNow = DescribeBoard(nLit, view.PanelText());
        // A turn lasts while the listener may still be on its way; the
        // next turn tries again, so a slow machine only takes more turns.
        WaitForEvents(
            [&] {
                bBoardHeard = bBoardHeard ||
                              heard("object:property-change:accessible-description", "image", BoardName(), strNow);
                bLogHeard = bLogHeard || heard("object:text-changed:insert", "text", dlg.m_reLog.accessibleName(),
                                               QString::fromStdString(strLight).trimmed());
                return bBoardHeard && bLogHeard;
            },
            1000);
        ASSERT_FALSE(hangGuard.hasExpired()) << "nothing heard";
    }
    EXPECT_TRUE(bBoardHeard);
    EXPECT_TRUE(bLogHeard);
    m_pWalker->closeWriteChannel();
    WaitForEvents([&] { return m_pWalker->state() == QProcess::NotRunning; });
    EXPECT_EQ(m_pWalker->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_pWalker->exitCode(), 0);
}

TEST_F(AtSpi, InEnglish)
{
    ASSERT_TRUE(Start({}));
    Walk(true);
}

TEST_F(AtSpi, InGerman)
{
    if (!Start({"--language", "de"}))
        GTEST_SKIP() << "this build has no --language option yet";
    Walk(false);
}

} // namespace
