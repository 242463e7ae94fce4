// Places dialog controls by dialog units, as the windows' layouts are given:
// a horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height. Used by the about box and the tool
// windows.
#pragma once

#include <QFont>
#include <QRect>

class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    int X(int nUnits) const;
    int Y(int nUnits) const;
    QRect Rect(int nLeft, int nTop, int nWidth, int nHeight) const;
    QSize Size(int nWidth, int nHeight) const;

private:
    int m_nBaseX;
    int m_nBaseY;
};
