#include "drivers/QuadoDriverDialog.h"

#include <QEvent>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QScreen>

#include "board/IMainFrame.h"
#include "assets/AssetIds.h"
#include "assets/SoundTable.h"
#include "platform/DialogUnits.h"
#include "protocol/IQuadoBoard.h"

namespace {

// The window's layout in dialog units: the buttons sit like the board's
// quadrants (blue top left, green top right, red bottom left, yellow bottom
// right), Exit below them. A button's size is its icon's.
constexpr int DialogWidth = 105;
constexpr int DialogHeight = 100;
constexpr int ButtonLeftColumn = 31;
constexpr int ButtonRightColumn = 52;
constexpr int ButtonTopRow = 17;
constexpr int ButtonBottomRow = 37;
constexpr int ExitLeft = 27;
constexpr int ExitTop = 68;
constexpr int ExitWidth = 50;
constexpr int ExitHeight = 14;

// What a screen reader calls each button.
constexpr char BlueName[] = QT_TRANSLATE_NOOP("CQuadoDriverDialog", "Blue");
constexpr char GreenName[] = QT_TRANSLATE_NOOP("CQuadoDriverDialog", "Green");
constexpr char RedName[] = QT_TRANSLATE_NOOP("CQuadoDriverDialog", "Red");
constexpr char YellowName[] = QT_TRANSLATE_NOOP("CQuadoDriverDialog", "Yellow");

} // namespace

CQuadoDriverDialog::CQuadoDriverDialog()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_btnBlue(AssetId::IconBlueDim, AssetId::IconBlueLit, QuadrantBlue, SoundBlue, L"Blue!")
    , m_btnGreen(AssetId::IconGreenDim, AssetId::IconGreenLit, QuadrantGreen, SoundGreen, L"Green!")
    , m_btnYellow(AssetId::IconYellowDim, AssetId::IconYellowLit, QuadrantYellow, SoundYellow, L"Yellow!")
    , m_btnRed(AssetId::IconRedDim, AssetId::IconRedLit, QuadrantRed, SoundRed, L"Red!")
    , m_btnExit(tr(ExitText))
{
    setWindowTitle(tr(Caption));
    const CDialogUnits units(font());
    setFixedSize(units.Size(DialogWidth, DialogHeight));

    const struct {
        CQuadoDriverDialogButton* pButton;
        int nLeft;
        int nTop;
    } placements[] = {
        {&m_btnBlue, ButtonLeftColumn, ButtonTopRow},
        {&m_btnGreen, ButtonRightColumn, ButtonTopRow},
        {&m_btnYellow, ButtonRightColumn, ButtonBottomRow},
        {&m_btnRed, ButtonLeftColumn, ButtonBottomRow},
    };
    for (const auto& placement : placements) {
        placement.pButton->setParent(this);
        placement.pButton->move(units.X(placement.nLeft), units.Y(placement.nTop));
    }

    m_btnExit.setParent(this);
    m_btnExit.setGeometry(units.Rect(ExitLeft, ExitTop, ExitWidth, ExitHeight));
    connect(&m_btnExit, &QPushButton::clicked, this, &CQuadoDriverDialog::reject);

    RetranslateUi();
    // Tab goes round the board in reading order, then to Exit; the window
    // opens with the first colour, so Space plays at once.
    setTabOrder(&m_btnBlue, &m_btnGreen);
    setTabOrder(&m_btnGreen, &m_btnRed);
    setTabOrder(&m_btnRed, &m_btnYellow);
    setTabOrder(&m_btnYellow, &m_btnExit);
    m_btnBlue.setFocus();

    // Placed once, while still hidden; later shows keep the place (and any
    // place the user dragged it to).
    if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
        const QRect rcWork = pScreen->availableGeometry();
        move(rcWork.left() + (rcWork.width() - width()) / 2, rcWork.top() + (rcWork.height() - height()) / 2);
    }
}

CQuadoDriverDialog::~CQuadoDriverDialog() = default;

void CQuadoDriverDialog::RetranslateUi()
{
    setWindowTitle(tr(Caption));
    m_btnExit.setText(tr(ExitText));
    m_btnBlue.setAccessibleName(tr(BlueName));
    m_btnGreen.setAccessibleName(tr(GreenName));
    m_btnRed.setAccessibleName(tr(RedName));
    m_btnYellow.setAccessibleName(tr(YellowName));
}

std::array<CQuadoDriverDialogButton*, 4> CQuadoDriverDialog::Buttons()
{
    return {&m_btnBlue, &m_btnGreen, &m_btnYellow, &m_btnRed};
}

void CQuadoDriverDialog::SetShapesShown(bool bShown)
{
    for (CQuadoDriverDialogButton* pButton : Buttons())
        pButton->SetShapeShown(bShown);
}

void CQuadoDriverDialog::reject()
{
    if (!m_pMainFrame) {
        QDialog::reject();
        return;
    }
    m_pMainFrame->ToggleManualDriver();
    // The menu learns of a change made outside it at once, not only when
    // its popup next opens.
    m_pMainFrame->UpdateCommandUI();
}

void CQuadoDriverDialog::EndPresses()
{
    m_nHeldKey = 0;
    m_pKeyButton = nullptr;
    for (CQuadoDriverDialogButton* pButton : Buttons())
        pButton->EndPress();
}

CQuadoDriverDialogButton* CQuadoDriverDialog::ButtonForKey(int nKey)
{
    switch (nKey) {
    case Qt::Key_B:
    case Qt::Key_1:
        return &m_btnBlue;
    case Qt::Key_G:
    case Qt::Key_2:
        return &m_btnGreen;
    case Qt::Key_R:
    case Qt::Key_3:
        return &m_btnRed;
    case Qt::Key_Y:
    case Qt::Key_4:
        return &m_btnYellow;
    default:
        return nullptr;
    }
}

bool CQuadoDriverDialog::ColourKeyEvent(QKeyEvent* pEvent)
{
    return KeyEvent(pEvent, nullptr);
}

bool CQuadoDriverDialog::KeyEvent(QKeyEvent* pEvent, CQuadoDriverDialogButton* pSpaceButton)
{
    const int nKey = pEvent->key();
    CQuadoDriverDialogButton* pButton = nKey == Qt::Key_Space ? pSpaceButton : ButtonForKey(nKey);
    if (pEvent->type() == QEvent::KeyRelease) {
        // Whatever modifiers came meanwhile, the held key's release ends it.
        if (nKey == m_nHeldKey && !pEvent->isAutoRepeat())
            EndKeyPress();
        return pButton != nullptr || nKey == m_nHeldKey;
    }
    if (pEvent->type() != QEvent::KeyPress || !pButton)
        return false;
    if (pEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (m_pbDravikConnected && *m_pbDravikConnected)
        return false;
    // A repeat neither restarts the tone nor flickers the board, and a key
    // that lost its press to a focus change stays without one.
    if (pEvent->isAutoRepeat() || (nKey == m_nHeldKey && m_pKeyButton && m_pKeyButton->IsPressed()))
        return true;
    EndPresses();
    m_nHeldKey = nKey;
    m_pKeyButton = pButton;
    pButton->Press();
    return true;
}

void CQuadoDriverDialog::EndKeyPress()
{
    CQuadoDriverDialogButton* pButton = m_pKeyButton;
    m_nHeldKey = 0;
    m_pKeyButton = nullptr;
    if (pButton)
        pButton->EndPress();
}

void CQuadoDriverDialog::keyPressEvent(QKeyEvent* pEvent)
{
    if (KeyEvent(pEvent, qobject_cast<CQuadoDriverDialogButton*>(focusWidget()))) {
        pEvent->accept();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CQuadoDriverDialog::keyReleaseEvent(QKeyEvent* pEvent)
{
    if (KeyEvent(pEvent, qobject_cast<CQuadoDriverDialogButton*>(focusWidget()))) {
        pEvent->accept();
        return;
    }
    QDialog::keyReleaseEvent(pEvent);
}

void CQuadoDriverDialog::hideEvent(QHideEvent* pEvent)
{
    // A hidden or inactive window may never see the release of a press
    // under way; end it now rather than leave the board lit and the tone on.
    EndPresses();
    QDialog::hideEvent(pEvent);
}

void CQuadoDriverDialog::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::ActivationChange && !isActiveWindow())
        EndPresses();
    if (pEvent->type() == QEvent::LanguageChange)
        RetranslateUi();
    QDialog::changeEvent(pEvent);
}
