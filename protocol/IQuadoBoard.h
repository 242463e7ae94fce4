// The board as the game logic sees it: light a quadrant, write the panel.
// The board view implements it; tests pass recorders.
#pragma once

#include <string>

// Which board image is shown.
enum QuadrantIndex : int {
    QuadrantNone = 0,
    QuadrantGreen = 1,
    QuadrantRed = 2,
    QuadrantBlue = 3,
    QuadrantYellow = 4,
    QuadrantAll = 5,
};

class IQuadoBoard {
public:
    virtual ~IQuadoBoard() = default;
    // nIndex is a QuadrantIndex, 0 to 5.
    virtual void LightQuadrant(int nIndex) = 0;
    // Any length, may be empty, lines separated by '\n'.
    virtual void ShowPanelText(const std::wstring& strText) = 0;
};
