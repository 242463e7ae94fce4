// What the main frame shows other rooms through its doors, as the venue uses
// them: mute, full screen, fit, the lit colour, the panel text and a picture,
// each with its change told; nothing read from the frame's members.
#include <QSignalSpy>

#include "app/CommandIds.h"
#include "tests/adapter/AdapterTestSupport.h"

using namespace adaptertest;

namespace {

class FrameDoors : public AdapterFrameTest {};

} // namespace

TEST_F(FrameDoors, EachSwitchAVenueSteersIsToldOnceItHasChanged)
{
    MakeFrame();
    CMainFrame& frame = *m_pFrame;
    QSignalSpy mute(&frame, &CMainFrame::MuteChanged);
    QSignalSpy fit(&frame, &CMainFrame::FitToScreenChanged);
    QSignalSpy fullScreen(&frame, &CMainFrame::FullScreenChanged);

    ASSERT_FALSE(frame.IsMuted());
    frame.OnCommand(CommandId::Mute);
    EXPECT_TRUE(frame.IsMuted());
    frame.OnCommand(CommandId::Mute);
    EXPECT_FALSE(frame.IsMuted());
    ASSERT_EQ(mute.count(), 2);
    EXPECT_EQ(mute.at(0).at(0).toBool(), true);
    EXPECT_EQ(mute.at(1).at(0).toBool(), false);

    frame.OnCommand(CommandId::FitToScreen);
    EXPECT_TRUE(frame.IsFitToScreen());
    ASSERT_EQ(fit.count(), 1);
    EXPECT_EQ(fit.at(0).at(0).toBool(), true);

    frame.show();
    frame.OnCommand(CommandId::FullScreen);
    ASSERT_TRUE(frame.IsFullScreen());
    ASSERT_EQ(fullScreen.count(), 1);
    EXPECT_EQ(fullScreen.at(0).at(0).toBool(), true);
    frame.OnCommand(CommandId::FullScreen);
    ASSERT_EQ(fullScreen.count(), 2);
    EXPECT_EQ(fullScreen.at(1).at(0).toBool(), false);
}

TEST_F(FrameDoors, WhatTheBoardShowsIsToldAsTheLinesArrive)
{
    auto pAdapter = AddAdapter();
    MakeFrame();
    CMainFrame& frame = *m_pFrame;
    QSignalSpy lit(&frame, &CMainFrame::LitQuadrantChanged);
    QSignalSpy panel(&frame, &CMainFrame::PanelTextChanged);
    ASSERT_TRUE(frame.AdapterLink().ConnectQuietly(0));

    ASSERT_TRUE(FeedRead(*pAdapter, "New\r\nLevel 3 -\r\n"));
    EXPECT_GE(panel.count(), 1);
    EXPECT_NE(frame.PanelText().find(L'3'), std::wstring::npos) << "the level reaches the panel";
    const int nPanelTold = panel.count();

    ASSERT_TRUE(FeedRead(*pAdapter, "B\r\n"));
    ASSERT_FALSE(lit.isEmpty());
    EXPECT_EQ(lit.last().at(0).toInt(), int(QuadrantBlue));
    EXPECT_EQ(frame.LitQuadrant(), int(QuadrantBlue));
    EXPECT_EQ(panel.count(), nPanelTold) << "a light alone leaves the panel untold";

    // The same light again changes nothing and is not told again.
    const int nLitTold = lit.count();
    ASSERT_TRUE(FeedRead(*pAdapter, "B\r\n"));
    EXPECT_EQ(lit.count(), nLitTold);

    const QImage picture = frame.Screenshot();
    EXPECT_EQ(picture.size(), frame.BoardView()->size());
}
