#include "src/TfmCustom.h"

#include <QAbstractItemView>
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
constexpr int kLeftColumnBoxes = 5;  // Custom 1 to 5 on the left, 6 to 9 on the right

}  // namespace

TfmCustom::TfmCustom(QWidget* pParent) : TfmCustom(pParent, static_cast<LONG>(GetDesktopVersion())) { }

TfmCustom::TfmCustom(QWidget* pParent, LONG nDesktopVersion) : QDialog(pParent)
{
    setObjectName(QStringLiteral("fmCustom"));
    setWindowTitle(QStringLiteral("Set Palm Desktop Custom Fields Mapping"));
    setFixedSize(kWidth, kHeight);
    ApplyFormFont(this);

    // Each label stands above its box, so that the boxes are wide enough
    // for the longest property names.
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(12, 10, 12, 10);
    auto* pGrid = new QGridLayout;
    pGrid->setHorizontalSpacing(16);
    pGrid->setVerticalSpacing(4);
    for (int i = 0; i < kBoxCount; ++i) {
        auto* pBox = new QComboBox(this);
        pBox->setObjectName(QStringLiteral("cbCustom%1").arg(i + 1));
        pBox->setEditable(false);
        pBox->setMaxVisibleItems(20);
        auto* pLabel = new QLabel(QStringLiteral("Custom %1:").arg(i + 1), this);
        pLabel->setBuddy(pBox);
        const int nLine = i < kLeftColumnBoxes ? i : i - kLeftColumnBoxes;
        const int nColumn = i < kLeftColumnBoxes ? 0 : 1;
        pGrid->addWidget(pLabel, 2 * nLine, nColumn);
        pGrid->addWidget(pBox, 2 * nLine + 1, nColumn);
        m_pBoxes[i] = pBox;
    }
    pGrid->setColumnStretch(0, 1);
    pGrid->setColumnStretch(1, 1);
    pLayout->addLayout(pGrid);
    pLayout->addStretch(1);

    const OkCancelRow buttons = AddOkCancelRow(this, pLayout);
    connect(buttons.pOk, &QPushButton::clicked, this, [this] { sbtnOKClick(); });
    connect(buttons.pCancel, &QPushButton::clicked, this, [this] { done(kModalCancel); });

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
    // The list that drops down shows every name whole, even where the box
    // itself is too narrow for the longest.
    pBox->view()->setMinimumWidth(pBox->view()->sizeHintForColumn(0) + 24);
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
