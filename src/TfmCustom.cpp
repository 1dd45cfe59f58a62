#include "src/TfmCustom.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/palm/PmDesktop.h"
#include "src/DialogSeam.h"
#include "src/FormStyle.h"
#include "src/core/CustomPropTable.h"

namespace {

constexpr int kWidth = 507;
constexpr int kHeight = 294;
constexpr int kBoxCount = 9;
constexpr int kLeftColumnBoxes = 5;   // Custom 1 to 5 on the left, 6 to 9 on the right

} // namespace

TfmCustom::TfmCustom(QWidget* pParent) : TfmCustom(pParent, static_cast<LONG>(GetDesktopVersion()))
{
}

TfmCustom::TfmCustom(QWidget* pParent, LONG nDesktopVersion) : QDialog(pParent)
{
    setObjectName(QStringLiteral("fmCustom"));
    setWindowTitle(QStringLiteral("Set Palm Desktop Custom Fields Mapping"));
    setFixedSize(kWidth, kHeight);
    ApplyFormFont(this);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(16, 16, 16, 12);
    auto* pGrid = new QGridLayout;
    pGrid->setHorizontalSpacing(10);
    pGrid->setVerticalSpacing(12);
    for (int i = 0; i < kBoxCount; ++i) {
        auto* pBox = new QComboBox(this);
        pBox->setObjectName(QStringLiteral("cbCustom%1").arg(i + 1));
        pBox->setEditable(false);
        pBox->setMaxVisibleItems(20);
        auto* pLabel = new QLabel(QStringLiteral("Custom %1:").arg(i + 1), this);
        pLabel->setBuddy(pBox);
        const int nLine = i < kLeftColumnBoxes ? i : i - kLeftColumnBoxes;
        const int nColumn = i < kLeftColumnBoxes ? 0 : 3;
        pGrid->addWidget(pLabel, nLine, nColumn);
        pGrid->addWidget(pBox, nLine, nColumn + 1);
        m_pBoxes[i] = pBox;
    }
    pGrid->setColumnStretch(1, 1);
    pGrid->setColumnStretch(4, 1);
    pGrid->setColumnMinimumWidth(2, 14);
    pLayout->addLayout(pGrid);
    pLayout->addStretch(1);

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    auto* pOk = new QPushButton(QStringLiteral("&OK"), this);
    pOk->setObjectName(QStringLiteral("sbtnOK"));
    pOk->setDefault(true);
    auto* pCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    pCancel->setObjectName(QStringLiteral("sbtnCancel"));
    for (QPushButton* pButton : {pOk, pCancel}) {
        pButton->setFixedSize(80, 27);
        pButtons->addWidget(pButton);
    }
    pLayout->addLayout(pButtons);
    connect(pOk, &QPushButton::clicked, this, [this] { sbtnOKClick(); });
    connect(pCancel, &QPushButton::clicked, this, [this] { done(kModalCancel); });

    FormCreate(nDesktopVersion);
}

void TfmCustom::FormCreate(LONG nDesktopVersion)
{
    // Older Palm Desktops (and an unknown one, -1) have four custom fields
    // the mapping can change.
    if (nDesktopVersion < kAllCustomVersion) {
        for (int i = 4; i < kBoxCount; ++i)
            m_pBoxes[i]->setEnabled(false);
    }
}

void TfmCustom::SetCustomIDs(int* pdwCustomIDs)
{
    Q_ASSERT(pdwCustomIDs != nullptr);
    m_pdwCustomIDs = pdwCustomIDs;
    for (int i = 0; i < kBoxCount; ++i)
        FillFieldCombo(m_pBoxes[i], static_cast<DWORD>(pdwCustomIDs[i]));
}

void TfmCustom::FillFieldCombo(QComboBox* pBox, DWORD ulTag)
{
    Q_ASSERT(pBox != nullptr);
    pBox->clear();
    pBox->addItem(QStringLiteral("None"), QVariant::fromValue<uint>(0));
    for (const WabPropertyChoice& choice : g_WabPropertyChoices)
        pBox->addItem(QString::fromLatin1(choice.pszName), QVariant::fromValue<uint>(choice.ulTag));
    pBox->setCurrentIndex(WabPropertyChoiceIndex(ulTag));
}

DWORD TfmCustom::GetSelectedTag(const QComboBox* pBox)
{
    if (pBox == nullptr || pBox->currentIndex() < 0)
        return 0;
    return static_cast<DWORD>(pBox->currentData().toUInt());
}

void TfmCustom::sbtnOKClick()
{
    // Every box, disabled ones included: a tag the table does not know
    // shows as "None" and is written back as 0.
    if (m_pdwCustomIDs != nullptr) {
        for (int i = 0; i < kBoxCount; ++i)
            m_pdwCustomIDs[i] = static_cast<int>(GetSelectedTag(m_pBoxes[i]));
    }
    done(kModalOk);
}

void TfmCustom::reject()
{
    done(kModalCancel);
}
