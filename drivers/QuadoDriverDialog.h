// The manual driver: a small tool window whose four colour buttons, laid out
// like the board, drive it by hand without any hardware. The main frame owns
// it, shows and hides it, and gives it and its buttons their links.
#pragma once

#include <QDialog>
#include <QPushButton>

#include <array>

#include "drivers/QuadoDriverDialogButton.h"

class IMainFrame;
class IQuadoBoard;
class QKeyEvent;

class CQuadoDriverDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* Caption = QT_TRANSLATE_NOOP("CQuadoDriverDialog", "QUADO Manual Driver");
    static constexpr const char* ExitText = QT_TRANSLATE_NOOP("CQuadoDriverDialog", "Exit");

    // Creates the window hidden, without an owner, centred on the primary
    // screen; showing and hiding it later keep where it is.
    CQuadoDriverDialog();
    ~CQuadoDriverDialog() override;

    // The four colour buttons in declaration order.
    std::array<CQuadoDriverDialogButton*, 4> Buttons();

    // Colour keys, for this window and the main window: while B, G, R or Y
    // (1, 2, 3, 4 in the board's reading order) is held, its button is
    // pressed as the mouse presses it. Auto-repeat changes nothing, a second
    // key ends the first key's press first, and nothing happens while the
    // adapter is connected. True when the event was a colour key's and is
    // used up.
    bool ColourKeyEvent(QKeyEvent* pEvent);
    // Ends the press a held key made, as the key's release would; for the
    // window that had the key losing the keyboard.
    void EndKeyPress();
    // The button a colour key presses, null for any other key.
    CQuadoDriverDialogButton* ButtonForKey(int nKey);

    // Options > Shapes on the Board: each colour button carries the shape
    // of its quadrant.
    void SetShapesShown(bool bShown);

    // Exit, the close box and Esc all end here: the frame hides the window
    // and clears its check mark.
    void reject() override;

    IMainFrame* m_pMainFrame = nullptr;
    // Kept for the frame's bookkeeping; the buttons read their own copies.
    IQuadoBoard** m_ppView = nullptr;
    const bool* m_pbMute = nullptr;
    // The frame's m_bDravikConnected: the keys leave the board alone then.
    const bool* m_pbDravikConnected = nullptr;
    CQuadoDriverDialogButton m_btnBlue;
    CQuadoDriverDialogButton m_btnGreen;
    CQuadoDriverDialogButton m_btnYellow;
    CQuadoDriverDialogButton m_btnRed;
    QPushButton m_btnExit;

protected:
    void hideEvent(QHideEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    // The colour keys, and Space on the focused colour button.
    void keyPressEvent(QKeyEvent* pEvent) override;
    void keyReleaseEvent(QKeyEvent* pEvent) override;

private:
    // The window's words in the language of the menus.
    void RetranslateUi();
    void EndPresses();
    // pSpaceButton: the button Space presses, null where Space is no key.
    bool KeyEvent(QKeyEvent* pEvent, CQuadoDriverDialogButton* pSpaceButton);

    // The key that holds a button down and that button; 0 and null when no
    // key does.
    int m_nHeldKey = 0;
    CQuadoDriverDialogButton* m_pKeyButton = nullptr;
};
