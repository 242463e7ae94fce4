// One colour button of the manual driver: an icon that, while the left mouse
// button holds it down, lights its quadrant, names its colour in the board's
// panel and plays its tone. Four of them live in CQuadoDriverDialog.
#pragma once

#include <QLabel>
#include <QPixmap>

#include <string>

class IQuadoBoard;
class ISoundPlayer;

class CQuadoDriverDialogButton : public QLabel {
    Q_OBJECT
public:
    // nSound indexes SoundTable; 0 makes a press stop the sound instead.
    CQuadoDriverDialogButton(int nIconNormal, int nIconPressed, int nQuadrant, int nSound,
                             const std::wstring& strName);
    ~CQuadoDriverDialogButton() override;

    bool IsPressed() const { return m_bPressed; }
    // What a left button press does: pressed icon, name in the panel, the
    // quadrant lit, the tone once unless muted. Colour keys come here too.
    void Press();
    // Ends a press under way exactly as its release would; does nothing
    // while released. For the window losing the mouse in the middle of one.
    void EndPress();
    // Options > Shapes on the Board: both icons carry the shape of the
    // button's quadrant, drawn for the screen the button is on.
    void SetShapeShown(bool bShown);

    QPixmap m_hIconNormal;
    QPixmap m_hIconPressed;
    int m_nQuadrant;
    int m_nSound;
    std::wstring m_strName;
    // Links set by the frame once it exists; the view pointer is read
    // through its address at every use.
    IQuadoBoard** m_ppView = nullptr;
    const bool* m_pbMute = nullptr;
    ISoundPlayer* m_pSoundPlayer = nullptr;

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    // Draws the focus frame over the icon, so Tab shows where Space goes.
    void paintEvent(QPaintEvent* pEvent) override;

private:
    IQuadoBoard* View() const;

    bool m_bPressed = false;
    // The icons as loaded, for when the shape goes again.
    QPixmap m_hPlainNormal;
    QPixmap m_hPlainPressed;
};
