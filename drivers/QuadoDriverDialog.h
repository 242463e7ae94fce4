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

class CQuadoDriverDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* Caption = "QUADO Manual Driver";
    static constexpr const char* ExitText = "Exit";

    // Creates the window hidden, without an owner, centred on the primary
    // screen; showing and hiding it later keep where it is.
    CQuadoDriverDialog();
    ~CQuadoDriverDialog() override;

    // The four colour buttons in declaration order.
    std::array<CQuadoDriverDialogButton*, 4> Buttons();

    // Exit, the close box and Esc all end here: the frame hides the window
    // and clears its check mark.
    void reject() override;

    IMainFrame* m_pMainFrame = nullptr;
    // Kept for the frame's bookkeeping; the buttons read their own copies.
    IQuadoBoard** m_ppView = nullptr;
    const bool* m_pbMute = nullptr;
    CQuadoDriverDialogButton m_btnBlue;
    CQuadoDriverDialogButton m_btnGreen;
    CQuadoDriverDialogButton m_btnYellow;
    CQuadoDriverDialogButton m_btnRed;
    QPushButton m_btnExit;

protected:
    void hideEvent(QHideEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    void EndPresses();
};
