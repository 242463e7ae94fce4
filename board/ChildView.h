// The game board on screen: a fixed 1280 x 768 canvas into which the lit
// board image and the panel text are composited; painting only copies it.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

#include "protocol/IQuadoBoard.h"

class CMainFrame;

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

    CChildView();
    ~CChildView() override;

    // Builds canvas, images, panel background and font and becomes a child
    // of pParent. Fails only when the widget cannot be made a child.
    bool Create(QWidget* pParent);

    void LightQuadrant(int nIndex) override;
    void ShowPanelText(const std::wstring& strText) override;

    const QImage& Canvas() const { return m_bmpCanvas; }

    int m_nLitQuadrant = 0;
    CMainFrame* m_pMainFrame = nullptr;
    bool m_bScaleDown = false;
    // ... implementation members follow (images, panel background, font, client size)
};
