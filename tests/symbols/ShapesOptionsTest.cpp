// Shapes on the Board as a user turns it on: the Options menu item and its
// check mark, --symbols on quado, quado-demo and quado-replay, and the
// manual driver's colour buttons marked with the board's shapes.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/StartOptions.h"
#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "assets/gen/BoardArt.h"
#include "drivers/QuadoDriverDialog.h"
#include "tests/support/RecordingSoundPlayer.h"
#include "tests/symbols/ShapesSupport.h"
#include "tests/tools/ToolsTestSupport.h"
#include "tools/quado-replay/ReplayOptions.h"

using namespace shapestest;

namespace {

bool Shows(const CQuadoDriverDialogButton& button, const QPixmap& icon)
{
    return button.pixmap().toImage() == icon.toImage();
}

// The pixels a mark changed on an icon, cut to the smallest rectangle that
// holds them: the mark's outline, wherever on the icon it sits.
QImage MarkOutline(const QPixmap& marked, const QPixmap& plain)
{
    const QImage a = marked.toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage b = plain.toImage().convertToFormat(QImage::Format_ARGB32).scaled(a.size());
    QImage mask(a.size(), QImage::Format_Grayscale8);
    mask.fill(0);
    QRect rc;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qGray(p) - qGray(q)) + std::abs(qAlpha(p) - qAlpha(q)) > 48) {
                mask.setPixel(x, y, 255);
                rc |= QRect(x, y, 1, 1);
            }
        }
    return mask.copy(rc);
}

double Unlike(const QImage& a, const QImage& b)
{
    const QSize size = a.size().expandedTo(b.size());
    int nEither = 0;
    int nOne = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const bool bA = a.rect().contains(x, y) && qGray(a.pixel(x, y));
            const bool bB = b.rect().contains(x, y) && qGray(b.pixel(x, y));
            nEither += bA || bB;
            nOne += bA != bB;
        }
    return nEither ? double(nOne) / nEither : 0.0;
}

QAction* OptionsItem(CMainFrame& frame, const QString& strText)
{
    for (QAction* pMenu : frame.menuBar()->actions())
        if (pMenu->menu() && pMenu->text() == QStringLiteral("&Options"))
            for (QAction* pAction : pMenu->menu()->actions())
                if (pAction->text().remove(QLatin1Char('&')) == strText)
                    return pAction;
    return nullptr;
}

} // namespace

TEST(ShapesOptions, TheManualDriversButtonsCarryTheShapesAndLoseThemAgain)
{
    CQuadoDriverDialog dlg;
    const struct {
        CQuadoDriverDialogButton* pButton;
        int nNormal;
        int nPressed;
    } buttons[] = {{&dlg.m_btnBlue, AssetId::IconBlueDim, AssetId::IconBlueLit},
                   {&dlg.m_btnGreen, AssetId::IconGreenDim, AssetId::IconGreenLit},
                   {&dlg.m_btnRed, AssetId::IconRedDim, AssetId::IconRedLit},
                   {&dlg.m_btnYellow, AssetId::IconYellowDim, AssetId::IconYellowLit}};
    dlg.SetShapesShown(true);
    QImage outlines[4];
    for (int i = 0; i < 4; ++i) {
        CQuadoDriverDialogButton& button = *buttons[i].pButton;
        SCOPED_TRACE(i);
        const QPixmap plainNormal = LoadIconPixmap(buttons[i].nNormal);
        const QPixmap plainPressed = LoadIconPixmap(buttons[i].nPressed);
        EXPECT_NE(button.m_hIconNormal.toImage(), plainNormal.toImage());
        EXPECT_EQ(button.m_hIconNormal.deviceIndependentSize(), plainNormal.deviceIndependentSize());
        EXPECT_TRUE(Shows(button, button.m_hIconNormal));
        outlines[i] = MarkOutline(button.m_hIconNormal, plainNormal);
        // Pressed, the button keeps its shape; released, the normal one again.
        button.Press();
        EXPECT_TRUE(Shows(button, button.m_hIconPressed));
        EXPECT_GT(MarkOutline(button.m_hIconPressed, plainPressed).width(), 8);
        button.EndPress();
        EXPECT_TRUE(Shows(button, button.m_hIconNormal));
    }
    // The four marks differ by their outlines, not by where they sit.
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b)
            EXPECT_GT(Unlike(outlines[a], outlines[b]), 0.3) << "buttons " << a << " and " << b;
    // Off, the icons are the loaded ones again, even while one is held.
    buttons[1].pButton->Press();
    dlg.SetShapesShown(false);
    for (const auto& b : buttons) {
        EXPECT_EQ(b.pButton->m_hIconNormal.toImage(), LoadIconPixmap(b.nNormal).toImage());
        EXPECT_EQ(b.pButton->m_hIconPressed.toImage(), LoadIconPixmap(b.nPressed).toImage());
    }
    EXPECT_TRUE(Shows(*buttons[1].pButton, buttons[1].pButton->m_hIconPressed));
    buttons[1].pButton->EndPress();
}

TEST(ShapesOptions, TheOptionsItemTurnsTheShapesOnAndOffOnTheBoardAndTheButtons)
{
    CRecordingPlayer player;
    CMainFrame frame(&player);
    ASSERT_TRUE(frame.Create());
    QAction* pItem = OptionsItem(frame, QStringLiteral("Shapes on the Board"));
    ASSERT_NE(pItem, nullptr);
    ASSERT_TRUE(pItem->isCheckable());
    frame.UpdateCommandUI();
    EXPECT_FALSE(pItem->isChecked());
    EXPECT_FALSE(frame.View().ShapesShown());
    const QImage plainIcon = frame.ManualDriver().m_btnRed.m_hIconNormal.toImage();

    pItem->trigger();
    EXPECT_TRUE(pItem->isChecked());
    EXPECT_TRUE(frame.ShowsShapes() && frame.View().ShapesShown());
    EXPECT_NE(frame.ManualDriver().m_btnRed.m_hIconNormal.toImage(), plainIcon);

    EXPECT_TRUE(frame.OnCommand(CommandId::Shapes));
    EXPECT_FALSE(pItem->isChecked());
    EXPECT_FALSE(frame.View().ShapesShown());
    EXPECT_EQ(frame.ManualDriver().m_btnRed.m_hIconNormal.toImage(), plainIcon);
}

TEST(ShapesOptions, SymbolsIsAnOptionOfQuadoTheDemoAndTheReplay)
{
    for (bool bDemo : {false, true}) {
        EXPECT_FALSE(ParseStartOptions({}, bDemo).options.bShapes);
        const StartOptionsResult result = ParseStartOptions({"--mute", "--symbols"}, bDemo);
        EXPECT_TRUE(result.strError.empty()) << result.strError;
        EXPECT_TRUE(result.options.bShapes && result.options.bMute);
        EXPECT_EQ(ParseStartOptions({"--symbols=yes"}, bDemo).strError, "option --symbols takes no value");
        EXPECT_NE(StartOptionsHelp("quado", bDemo).find("--symbols"), std::string::npos);
    }
    // Before the window exists, so the first picture already has them.
    StartOptions options;
    options.bShapes = true;
    CRecordingPlayer player;
    CMainFrame frame(&player);
    frame.ApplyStartOptionsBeforeCreate(options);
    ASSERT_TRUE(frame.Create());
    EXPECT_TRUE(frame.View().ShapesShown());
    EXPECT_NE(frame.ManualDriver().m_btnBlue.m_hIconNormal.toImage(),
              LoadIconPixmap(AssetId::IconBlueDim).toImage());

    ReplayOptions replay;
    std::string strError;
    EXPECT_FALSE(replay.bShapes);
    ASSERT_TRUE(ParseReplayOptions({"--symbols", "game.bin"}, replay, strError)) << strError;
    EXPECT_TRUE(replay.bShapes);
    EXPECT_NE(std::string(ReplayHelp).find("--symbols"), std::string::npos);
}

TEST(ShapesOptions, AReplayWithSymbolsShowsTheShapesWhereTheBoardIsAndNowhereElse)
{
    toolstest::Replay plain;
    toolstest::Replay marked;
    toolstest::RunReplay(plain, {toolstest::DataFile("won-game.txt")});
    toolstest::RunReplay(marked, {QStringLiteral("--symbols"), toolstest::DataFile("won-game.txt")});
    ASSERT_TRUE(plain.Ok()) << plain.run.stderrBytes.constData();
    ASSERT_TRUE(marked.Ok()) << marked.run.stderrBytes.constData();
    ASSERT_EQ(plain.canvas.size(), marked.canvas.size());
    // The same game, so the same panel and light: only the board's squares
    // around the shapes differ.
    CChildView view;
    const Look& look = Looks()[0];
    ASSERT_TRUE(view.Create(nullptr));
    SetLook(view, look);
    Picture(view, look);
    QRegion rgnBoxes;
    for (int s = 0; s < BoardArt::SectorCount; ++s)
        rgnBoxes += ShapeBox(view, look, s);
    int nInside = 0;
    int nOutside = 0;
    for (int y = 0; y < plain.canvas.height(); ++y)
        for (int x = 0; x < plain.canvas.width(); ++x)
            if (plain.canvas.pixel(x, y) != marked.canvas.pixel(x, y))
                ++(rgnBoxes.contains(QPoint(x, y)) ? nInside : nOutside);
    EXPECT_EQ(nOutside, 0);
    EXPECT_GT(nInside, 4 * 700);
}
