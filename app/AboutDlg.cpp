#include "app/AboutDlg.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include "assets/AssetIds.h"
#include "assets/AssetStore.h"
#include "platform/DialogUnits.h"

namespace {

// The box's layout in dialog units: 235 x 55, icon at the left, two text
// lines beside it, OK at the top right.
constexpr int DialogWidth = 235;
constexpr int DialogHeight = 55;
constexpr int IconSize = 32;
constexpr int IconLeft = 11;
constexpr int IconTop = 17;
constexpr int TextLeft = 40;
constexpr int TextWidth = 119;
constexpr int TextHeight = 8;
constexpr int VersionTop = 10;
constexpr int DescriptionTop = 25;
constexpr int OkLeft = 178;
constexpr int OkTop = 7;
constexpr int OkWidth = 50;
constexpr int OkHeight = 16;

} // namespace

CAboutDlg::CAboutDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(tr(Caption));
    setModal(true);
    const CDialogUnits units(font());
    setFixedSize(units.Size(DialogWidth, DialogHeight));

    m_pIcon = new QLabel(this);
    m_pIcon->setPixmap(LoadIconResource(AssetId::IconApp).pixmap(IconSize, IconSize));
    // The icon keeps its own 32 px whatever the dialog font; only its
    // corner follows the units.
    m_pIcon->setGeometry(units.X(IconLeft), units.Y(IconTop), IconSize, IconSize);

    m_pVersion = new QLabel(tr(VersionText), this);
    m_pVersion->setTextFormat(Qt::PlainText);
    m_pVersion->setGeometry(units.Rect(TextLeft, VersionTop, TextWidth, TextHeight));

    m_pDescription = new QLabel(tr(DescriptionText), this);
    m_pDescription->setTextFormat(Qt::PlainText);
    m_pDescription->setGeometry(units.Rect(TextLeft, DescriptionTop, TextWidth, TextHeight));

    m_pOk = new QPushButton(tr("OK"), this);
    m_pOk->setDefault(true);
    m_pOk->setGeometry(units.Rect(OkLeft, OkTop, OkWidth, OkHeight));
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    m_pOk->setFocus();
}

void CAboutDlg::changeEvent(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange) {
        setWindowTitle(tr(Caption));
        m_pVersion->setText(tr(VersionText));
        m_pDescription->setText(tr(DescriptionText));
        m_pOk->setText(tr("OK"));
    }
    QDialog::changeEvent(pEvent);
}
