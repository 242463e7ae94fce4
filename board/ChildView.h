// The game board on screen: a fixed 1280 x 768 canvas into which the lit
// board image and the panel text are composited. On a screen whose pixels
// are finer than the canvas's, or with Fit to Screen, the same canvas is
// drawn again at the device size, so nothing shown is an enlarged picture.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

#include <optional>
#include <string>

#include "assets/CanvasLayout.h"
#include "board/FramePacer.h"
#include "board/IdleScreen.h"
#include "board/PaintGeometry.h"
#include "board/QuadrantShapes.h"
#include "protocol/IQuadoBoard.h"

class IMainFrame;
class QPainter;

class CChildView : public QWidget, public IQuadoBoard {
    Q_OBJECT
public:
    static constexpr int CanvasWidth = CanvasLayout::Width;
    static constexpr int CanvasHeight = CanvasLayout::Height;
    static constexpr int BoardLeft = CanvasLayout::BoardLeft;
    static constexpr int BoardTop = CanvasLayout::BoardTop;
    static constexpr int PanelLeft = CanvasLayout::PanelLeft;
    static constexpr int PanelTop = CanvasLayout::PanelTop;
    static constexpr int PanelWidth = CanvasLayout::PanelWidth;
    static constexpr int PanelHeight = CanvasLayout::PanelHeight;
    // The panel font's cell height (ascent plus descent) and line advance.
    static constexpr int PanelLineHeight = 48;
    static constexpr int BoardImageCount = 6;

    CChildView();
    ~CChildView() override;

    // Builds canvas, images, panel background and font and becomes a child
    // of pParent. Fails only when the widget cannot be made a child.
    bool Create(QWidget* pParent);

    void LightQuadrant(int nIndex) override;
    void ShowPanelText(const std::wstring& strText) override;

    // The 1x canvas with every change so far composited into it. Changes
    // are composited when a paint or this call needs them, so a burst of
    // them between two paints costs one composition.
    // Composing is a cache fill, not a change of what the view shows, so
    // this is const.
    const QImage& Canvas() const;
    // The client area as painting draws it on a screen of the given device
    // pixel ratio: device pixels, client size times the ratio.
    QImage PictureAt(double dDevicePixelRatio);
    // How many repaints the view has asked for since construction; lets
    // tests see that a change requested one and a non-change did not.
    int RepaintRequestCount() const { return m_nRepaintRequests; }
    // A change waits for its frame to be repainted.
    bool IsRepaintPending() const { return m_pacer.IsRepaintPending(); }
    // The text last given to ShowPanelText ("" before any), and where the
    // last paint put the canvas; read by quado-replay's state report.
    const std::wstring& PanelText() const { return m_strPanelText; }
    const PaintRect& LastPaintRect() const { return m_rcLastPaint; }

    // The panel's face, fitted to its line height when first asked for.
    const QFont& PanelFont();

    // Options > Shapes on the Board: each quadrant marked with its shape.
    void SetShapesShown(bool bShown);
    bool ShapesShown() const { return m_bShapes; }

    // The idle screen over the picture (the frame decides when), and gone.
    void ShowIdleScreen(const IdleFigures& figures);
    void HideIdleScreen();
    const std::optional<IdleFigures>& IdleScreen() const { return m_idle; }

    int m_nLitQuadrant = 0;
    IMainFrame* m_pMainFrame = nullptr;
    bool m_bScaleDown = false;
    // Set by the frame's Fit to Screen command.
    bool m_bFitToScreen = false;

    // Indexed by QuadrantIndex; each is decoded when first composited (the
    // first picture has the dim one already). An image that failed to load
    // stays null and is never drawn.
    QImage m_bmpBoard[BoardImageCount];
    QImage m_bmpCanvas;
    // The canvas's panel without text; null until a text first covers it.
    QImage m_bmpPanelBack;
    int m_cxClient = 0;
    int m_cyClient = 0;

signals:
    // What the board shows has changed; followed by whoever reports it.
    void LitQuadrantChanged(int nQuadrant);
    void PanelTextChanged();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    // The language changed: what a screen reader says follows it
    // (BoardDescription.cpp).
    void changeEvent(QEvent* pEvent) override;

private:
    // The canvas drawn at a device scale other than 1 (a fine screen, or
    // Fit to Screen), and what is composited into it so far.
    struct ScaledCanvas {
        double dScale = 0.0;
        QImage bmpCanvas;
        QImage bmpPanelBack;
        QImage bmpBoardDim;
        QPoint ptBoard;
        QPoint ptBoardCentre;
        QuadrantShapes::LitShapes litShapes;
        QRect rcPanel;
        int nShownQuadrant = -1;
        bool bPanelStale = true;
    };

    // The 1x canvas as the first picture shows it, the panel clean.
    void LoadDimCanvas();
    void KeepPanelBackground();
    // A screen reader hears what is shown, in words, when it differs from
    // what it heard last: once a painted frame at most, however many
    // changes the frame shows (BoardDescription.cpp).
    void UpdateAccessibleDescription();
    // Asks for a repaint of the part of the view that shows rcCanvas.
    void RequestRepaint(const QRect& rcCanvas);
    const QImage& BoardImage(int nIndex);
    // The canvas rectangle in which board images nFrom and nTo may differ:
    // where either differs from the dim one, or the whole board while
    // either is not decoded.
    QRect BoardChange(int nFrom, int nTo) const;
    void ComposeCanvas();
    const QImage& ComposeScaledCanvas(double dScale);
    QImage RenderPanelText(double dScale, const QSize& size, const QPointF& ptOffset);
    // Draws the whole client area in device pixels; the painter maps them 1:1.
    void PaintPicture(QPainter& painter, const QSize& sizeDevice, double dDevicePixelRatio);

    bool m_bShapes = false;
    QFont m_fontPanel;
    bool m_bPanelFontFitted = false;
    int m_nCanvasQuadrant = -1;
    bool m_bCanvasPanelStale = false;
    unsigned m_nBoardsLoaded = 0;
    // Where each decoded board image differs from the dim one, in image
    // pixels (empty for the dim one itself).
    QRect m_rcBoardChange[BoardImageCount];
    // The 1x images were let go for a scaled picture (they did load).
    bool m_b1xReleased = false;
    ScaledCanvas m_scaled;
    int m_nRepaintRequests = 0;
    // The lights of a burst between two frames cost one composition.
    CFramePacer m_pacer;
    std::wstring m_strPanelText;
    PaintRect m_rcLastPaint;
    std::optional<IdleFigures> m_idle;
    QString m_strToldDescription;
};
