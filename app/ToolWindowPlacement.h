// Where a tool window opens the first time it is shown: beside the board's
// picture on the main window, so that nothing of the game is hidden. Used
// by CMainFrame; plain geometry, so the tests can try any screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

// The space kept between the board and a tool window beside it.
inline constexpr int ToolWindowGap = 8;

// rcBoard: the board's picture on the screen; rcWork: the screen's area for
// windows; szFrame: the tool window with its frame. The frame's top-left
// corner right of the board, left of it or below it (the first that fits
// inside rcWork without touching rcBoard), or nothing when none does.
std::optional<QPoint> PlaceBesideBoard(const QRect& rcBoard, const QRect& rcWork, const QSize& szFrame);
