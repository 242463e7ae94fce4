// Where the board and the panel sit on the 1280 x 768 canvas: drawn into by
// the art generator and composited by the board view, so both read them here.
#pragma once

namespace CanvasLayout {

constexpr int Width = 1280;
constexpr int Height = 768;
constexpr int BoardLeft = 412;
constexpr int BoardTop = 120;
constexpr int PanelLeft = 934;
constexpr int PanelTop = 240;
constexpr int PanelWidth = 326;
constexpr int PanelHeight = 288;

} // namespace CanvasLayout
