// The game board on screen: a fixed 1280 x 768 canvas into which the lit
// board image and the panel text are composited; painting only copies it.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

#include "board/PaintGeometry.h"
#include "protocol/IQuadoBoard.h"

class IMainFrame;

class CChildView : public QWidget, public IQuadoBoard {
    Q_OBJECT
public:
    static constexpr int CanvasWidth = 1280;
    static constexpr int CanvasHeight = 768;
    static constexpr int BoardLeft = 412;
    static constexpr int BoardTop = 120;
    static constexpr int PanelLeft = 934;
    static constexpr int PanelTop = 240;
    static constexpr int PanelWidth = 326;
    static constexpr int PanelHeight = 288;
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

    const QImage& Canvas() const { return m_bmpCanvas; }
    // How many repaints the view has asked for since construction; lets
    // tests see that a change requested one and a non-change did not.
    int RepaintRequestCount() const { return m_nRepaintRequests; }
    // The text last given to ShowPanelText ("" before any), and where the
    // last paint put the canvas; read by quado-replay's state report.
    const std::wstring& PanelText() const { return m_strPanelText; }
    const PaintRect& LastPaintRect() const { return m_rcLastPaint; }

    int m_nLitQuadrant = 0;
    IMainFrame* m_pMainFrame = nullptr;
    bool m_bScaleDown = false;
    // Set by the frame's Fit to Screen command.
    bool m_bFitToScreen = false;

    // Indexed by QuadrantIndex; an image that failed to load stays null and
    // is never drawn.
    QImage m_bmpBoard[BoardImageCount];
    QImage m_bmpCanvas;
    QImage m_bmpPanelBack;
    QFont m_fontPanel;
    int m_cxClient = 0;
    int m_cyClient = 0;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void CreatePanelFont();
    void RequestRepaint();

    int m_nRepaintRequests = 0;
    std::wstring m_strPanelText;
    PaintRect m_rcLastPaint;
};
