// Sound number -> WAVE id. Numbers 1 to 4 equal the colour's QuadrantIndex,
// so whoever lights quadrant n plays entry n. Entry 0 is "no sound".
#pragma once

#include "assets/AssetIds.h"

inline constexpr int SoundTable[7] = {
    0,
    AssetId::WaveGreen,  // 1 green
    AssetId::WaveRed,    // 2 red
    AssetId::WaveBlue,   // 3 blue
    AssetId::WaveYellow, // 4 yellow
    AssetId::WaveLose,   // 5 lose
    AssetId::WaveWin,    // 6 win
};

enum SoundNumber : int {
    SoundNone = 0,
    SoundGreen = 1,
    SoundRed = 2,
    SoundBlue = 3,
    SoundYellow = 4,
    SoundLose = 5,
    SoundWin = 6,
};
