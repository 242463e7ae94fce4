// The board view keeps nothing at start that the first picture does not
// show (the dim board image, the clean panel, the panel's face): whatever
// comes later must still find them, at 1x and after a finer picture.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QResizeEvent>
#include <QWidget>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "board/ChildView.h"

namespace {

constexpr QRect BoardRect(CChildView::BoardLeft, CChildView::BoardTop, 512, 512);
constexpr QRect PanelRect(CChildView::PanelLeft, CChildView::PanelTop, CChildView::PanelWidth,
                          CChildView::PanelHeight);

QImage Asset(int nId)
{
    return LoadBitmapResource(nId).convertToFormat(QImage::Format_RGB32);
}

// The background with the non-white pixels of one board image laid over.
QImage BoardOverBackground(int nBoardId)
{
    QImage canvas = Asset(AssetId::Background);
    const QImage board = Asset(nBoardId);
    for (int y = 0; y < board.height(); ++y)
        for (int x = 0; x < board.width(); ++x)
            if ((board.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                canvas.setPixel(BoardRect.left() + x, BoardRect.top() + y, board.pixel(x, y));
    return canvas;
}

struct StartedView {
    StartedView()
    {
        parent.resize(1280, 768);
        bCreated = view.Create(&parent);
        // As a shown view would get it: the picture is laid out for it.
        view.resize(1280, 768);
        QResizeEvent event(view.size(), QSize());
        QCoreApplication::sendEvent(&view, &event);
    }
    QWidget parent;
    CChildView view;
    bool bCreated = false;
};

} // namespace

TEST(ChildViewStartTest, TheFirstLightAndTheWayBackToDimAreExact)
{
    StartedView started;
    ASSERT_TRUE(started.bCreated);
    CChildView& view = started.view;
    // No picture composed or painted before the first light.
    view.LightQuadrant(QuadrantGreen);
    EXPECT_TRUE(view.Canvas() == BoardOverBackground(AssetId::BoardGreen));
    view.LightQuadrant(QuadrantNone);
    EXPECT_TRUE(view.Canvas() == BoardOverBackground(AssetId::BoardNone));
    view.LightQuadrant(QuadrantAll);
    EXPECT_TRUE(view.Canvas() == BoardOverBackground(AssetId::BoardAll));
}

TEST(ChildViewStartTest, TheFirstTextCoversOnlyThePanelAndGoesWithoutTrace)
{
    StartedView started;
    ASSERT_TRUE(started.bCreated);
    CChildView& view = started.view;
    const QImage clean = BoardOverBackground(AssetId::BoardNone);
    view.ShowPanelText(L"Level 3\nStufe 3");
    const QImage shown = view.Canvas().copy();
    EXPECT_NE(shown.copy(PanelRect), clean.copy(PanelRect));
    EXPECT_EQ(view.m_bmpPanelBack, Asset(AssetId::Background).copy(PanelRect));
    view.ShowPanelText(L"");
    EXPECT_TRUE(view.Canvas() == clean);
    // A text while the board is lit, and a light while the text shows.
    view.LightQuadrant(QuadrantBlue);
    view.ShowPanelText(L"Level 3\nStufe 3");
    EXPECT_EQ(view.Canvas().copy(PanelRect), shown.copy(PanelRect));
    EXPECT_EQ(view.Canvas().copy(BoardRect), BoardOverBackground(AssetId::BoardBlue).copy(BoardRect));
}

// A finer picture lets the 1x one go; when it comes back, its panel is
// clean again, and a text shown meanwhile is drawn on it as on a view that
// never left 1x.
TEST(ChildViewStartTest, AfterAFinerPictureThe1xPanelIsCleanAndTakesTheText)
{
    StartedView reference;
    StartedView started;
    ASSERT_TRUE(reference.bCreated && started.bCreated);
    reference.view.ShowPanelText(L"Agj\n\u00c4gy");
    const QImage expected = reference.view.Canvas().copy();

    CChildView& view = started.view;
    const QRect rcFinePanel(PanelRect.topLeft() * 2, PanelRect.size() * 2);
    const QImage fineClean = view.PictureAt(2.0).copy(rcFinePanel);
    // The text's first use of the face is at 2x.
    view.ShowPanelText(L"Agj\n\u00c4gy");
    const QImage fine = view.PictureAt(2.0);
    ASSERT_EQ(fine.size(), QSize(2560, 1536));
    EXPECT_NE(fine.copy(rcFinePanel), fineClean);
    EXPECT_TRUE(view.Canvas() == expected);
    view.ShowPanelText(L"");
    EXPECT_TRUE(view.Canvas() == BoardOverBackground(AssetId::BoardNone));

    // Text cleared at 2x, then back at 1x: nothing of the old text.
    view.ShowPanelText(L"WWWW");
    view.PictureAt(2.0);
    view.ShowPanelText(L"");
    view.PictureAt(2.0);
    EXPECT_TRUE(view.Canvas() == BoardOverBackground(AssetId::BoardNone));
}

// The picture made with the assets has no shapes on it: a view told to mark
// them before it is made shows them from its first picture on.
TEST(ChildViewStartTest, ShapesAskedForBeforeCreationAreInTheFirstPicture)
{
    StartedView after;
    ASSERT_TRUE(after.bCreated);
    after.view.SetShapesShown(true);
    const QImage expected = after.view.Canvas().copy();
    ASSERT_FALSE(expected == BoardOverBackground(AssetId::BoardNone)) << "the marks show";

    QWidget parent;
    CChildView view;
    view.SetShapesShown(true);
    ASSERT_TRUE(view.Create(&parent));
    EXPECT_TRUE(view.Canvas() == expected);
    view.LightQuadrant(QuadrantRed);
    view.LightQuadrant(QuadrantNone);
    EXPECT_TRUE(view.Canvas() == expected);
}
