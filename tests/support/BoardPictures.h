// Pictures the board tests compare against: the canvas a fresh view draws
// for a light and a panel text, and what the X server shows on screen.
#pragma once

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <string>

#include "board/ChildView.h"

namespace testsupport {

// What a board that went through any history must show when it ends with
// this light and this text ("" is the text a fresh board has).
inline QImage ExpectedCanvas(int nQuadrant, const std::wstring& strPanel)
{
    CChildView view;
    view.Create(nullptr);
    view.ShowPanelText(strPanel);
    view.LightQuadrant(nQuadrant);
    return view.Canvas();
}

inline QImage ScreenShot()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace testsupport
