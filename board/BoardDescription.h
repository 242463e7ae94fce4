// What a screen reader says of the board view: its name, its role, and a
// sentence on what is lit and what the panel shows. The view keeps the
// sentence up to date and tells the screen reader once a frame at most.
#pragma once

#include <QtGlobal>
#include <QString>

#include <string>

inline constexpr char BoardDescriptionContext[] = "BoardDescription";
inline constexpr char BoardAccessibleName[] = QT_TRANSLATE_NOOP("BoardDescription", "Quado board");

// The board's name in the user's language.
QString BoardName();

// nLitQuadrant is a QuadrantIndex; the panel's lines are read in order, as
// the board sent them (its texts are never translated).
QString DescribeBoard(int nLitQuadrant, const std::wstring& strPanelText);

// Lets screen readers meet the board view as a picture rather than an
// empty pane. Once per program; later calls do nothing.
void InstallBoardAccessibility();
