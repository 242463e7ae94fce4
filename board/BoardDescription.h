// What a screen reader says of the board view: its name, and a sentence on
// what is lit and what the panel shows. The view keeps it up to date.
#pragma once

#include <QString>

#include <string>

inline constexpr char BoardAccessibleName[] = QT_TRANSLATE_NOOP("CChildView", "Quado board");

// nLitQuadrant is a QuadrantIndex; the panel's lines are read in order.
QString DescribeBoard(int nLitQuadrant, const std::wstring& strPanelText);
