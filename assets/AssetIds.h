// Numeric ids of every embedded picture and sound. The ids are how the rest
// of the program names assets; AssetStore turns an id into its bytes.
#pragma once

namespace AssetId {
// Board images (512 x 512, 24-bit), one per QuadrantIndex.
constexpr int BoardNone = 144;
constexpr int BoardGreen = 143;
constexpr int BoardRed = 145;
constexpr int BoardBlue = 142;
constexpr int BoardYellow = 141;
constexpr int BoardAll = 157;
// Canvas background, 1280 x 768.
constexpr int Background = 150;
// The background with the dim board laid over it (white keyed out), 1280 x
// 768: the first picture, composed when the assets are made.
constexpr int CanvasDim = 147;
// Full-screen tool bar button image, 16 x 15.
constexpr int ToolBarFullScreen = 137;

// Icons (32 x 32): the manual driver's buttons and the application icon.
constexpr int IconBlueDim = 149;
constexpr int IconGreenDim = 150;
constexpr int IconRedDim = 151;
constexpr int IconYellowDim = 152;
constexpr int IconYellowLit = 153;
constexpr int IconRedLit = 154;
constexpr int IconGreenLit = 155;
constexpr int IconBlueLit = 156;
constexpr int IconApp = 128;

// Sounds (RIFF/WAVE, PCM 16-bit, 22,050 Hz).
constexpr int WaveGreen = 153;
constexpr int WaveRed = 154;
constexpr int WaveBlue = 151;
constexpr int WaveYellow = 156;
constexpr int WaveLose = 152;
constexpr int WaveWin = 160;
} // namespace AssetId
