// The small floating window of full-screen mode: captioned "Full Screen",
// one tool button that leaves full screen again. CMainFrame makes one on
// entering full screen and deletes it on leaving.
#pragma once

#include <QWidget>

class QAction;
class QToolBar;

class CFullScreenBar : public QWidget {
    Q_OBJECT
public:
    static constexpr char Caption[] = QT_TRANSLATE_NOOP("CFullScreenBar", "Full Screen");
    // The button's tool tip: what it does, and the key that does the same.
    static constexpr char ButtonToolTip[] = QT_TRANSLATE_NOOP("CFullScreenBar", "Leave full screen (Esc)");

    // A tool window over pOwner, not yet shown. Null when the button's
    // image cannot be loaded: a bar without its button could not be left.
    static CFullScreenBar* Create(QWidget* pOwner);

    // Shows the bar with its frame's top-left corner at ptScreen, without
    // taking the focus from the board view.
    void FloatAt(const QPoint& ptScreen);

    QToolBar* ToolBar() const { return m_pToolBar; }
    QAction* Button() const { return m_pButton; }

protected:
    void changeEvent(QEvent* pEvent) override;

signals:
    // The button was pressed; it carries the full-screen bar's command id.
    void Command(int nCommandId);

private:
    explicit CFullScreenBar(QWidget* pOwner);

    QToolBar* m_pToolBar = nullptr;
    QAction* m_pButton = nullptr;
};
