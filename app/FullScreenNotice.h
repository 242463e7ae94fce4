// The hint shown for a few seconds on entering full screen, saying how to
// leave it; it lies over the board's picture and then fades away. Made and
// positioned by CMainFrame.
#pragma once

#include <QLabel>
#include <QTimer>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

class CFullScreenNotice : public QLabel {
    Q_OBJECT
public:
    static constexpr char Text[] = QT_TRANSLATE_NOOP("CFullScreenNotice", "Press Esc to leave full screen");
    static constexpr int HoldMs = 3000;
    static constexpr int FadeMs = 700;

    // A child of pParent (the board view), hidden until Start.
    explicit CFullScreenNotice(QWidget* pParent);
    ~CFullScreenNotice() override;

    // Shows it fully opaque over rcPicture (parent coordinates), then fades
    // it out after HoldMs; a running fade starts over.
    void Start(const QRect& rcPicture);
    // Keeps it centred near the top of the picture as the picture moves.
    void PlaceOver(const QRect& rcPicture);
    // Gone at once, as when full screen is left before the fade ends.
    void Dismiss();
    // The end of the hold: the fade begins (the hold timer calls it).
    void StartFade();

    bool IsHolding() const { return m_timerHold.isActive(); }
    bool IsFading() const;
    QPropertyAnimation* Fade() const { return m_pFade; }

protected:
    void changeEvent(QEvent* pEvent) override;

private:
    QTimer m_timerHold;
    QGraphicsOpacityEffect* m_pOpacity = nullptr;
    QPropertyAnimation* m_pFade = nullptr;
};
