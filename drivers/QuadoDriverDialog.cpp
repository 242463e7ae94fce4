#include "drivers/QuadoDriverDialog.h"

#include <QEvent>
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

} // namespace

CQuadoDriverDialog::CQuadoDriverDialog()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_btnBlue(AssetId::IconBlueDim, AssetId::IconBlueLit, QuadrantBlue, SoundBlue, L"Blue!")
    , m_btnGreen(AssetId::IconGreenDim, AssetId::IconGreenLit, QuadrantGreen, SoundGreen, L"Green!")
    , m_btnYellow(AssetId::IconYellowDim, AssetId::IconYellowLit, QuadrantYellow, SoundYellow, L"Yellow!")
    , m_btnRed(AssetId::IconRedDim, AssetId::IconRedLit, QuadrantRed, SoundRed, L"Red!")
    , m_btnExit(QString::fromLatin1(ExitText))
{
    setWindowTitle(QString::fromLatin1(Caption));
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

    // Placed once, while still hidden; later shows keep the place (and any
    // place the user dragged it to).
    if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
        const QRect rcWork = pScreen->availableGeometry();
        move(rcWork.left() + (rcWork.width() - width()) / 2, rcWork.top() + (rcWork.height() - height()) / 2);
    }
}

CQuadoDriverDialog::~CQuadoDriverDialog() = default;

std::array<CQuadoDriverDialogButton*, 4> CQuadoDriverDialog::Buttons()
{
    return {&m_btnBlue, &m_btnGreen, &m_btnYellow, &m_btnRed};
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
    for (CQuadoDriverDialogButton* pButton : Buttons())
        pButton->EndPress();
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
    QDialog::changeEvent(pEvent);
}
