#include "src/TfmDetail.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/misc/CommAddrRecord.h"
#include "src/DialogSeam.h"
#include "src/FormStyle.h"

namespace {

// One edit box of the dialog and the record field it shows.
struct DetailBox {
    const char* pszName;  // objectName
    const char* pszLabel;
    int32_t nFieldId;  // neutral catalog id
};

// The upper half, in pairs: left box, right box of each line.
constexpr DetailBox kMainBoxes[] = {
    {"edtFirstName", "First Name:", CF_FIRST_NAME}, {"edtLastName", "Last Name:", CF_LAST_NAME},
    {"edtCompany", "Company:", CF_COMPANY},         {"edtTitle", "Title:", CF_TITLE},
    {"edtWorkPhone", "Work Phone:", CF_WORK_PHONE}, {"edtEmail", "Email:", CF_EMAIL},
    {"edtHomePhone", "Home Phone:", CF_HOME_PHONE}, {"edtMobile", "Mobile:", CF_MOBILE_PHONE},
};

// The three address pages, each with street, city, state, postal code and
// country.
struct AddressPage {
    const char* pszName;
    const char* pszCaption;
    const char* pszPrefix;  // of the boxes' names: edtWork..., edtHome...
    int32_t nFirstFieldId;  // the street; the other four follow in order
};
constexpr AddressPage kAddressPages[] = {
    {"tsBusiness", "Business Address", "edtWork", CF_WORK_STREET},
    {"tsHome", "Home Address", "edtHome", CF_HOME_STREET},
    {"tsOther", "Other Address", "edtOther", CF_OTHER_STREET},
};
constexpr const char* kAddressParts[5][2] = {
    {"Street", "Street:"}, {"City", "City:"}, {"State", "State:"}, {"Postal", "Postal:"}, {"Country", "Country:"},
};

// Dialog size (client area).
constexpr int kWidth = 463;
constexpr int kHeight = 393;

}  // namespace

TfmDetail::TfmDetail(QWidget* pParent) : QDialog(pParent)
{
    setObjectName(QStringLiteral("fmDetail"));
    setWindowTitle(QStringLiteral("Contacts Detail Information"));
    setFixedSize(kWidth, kHeight);
    ApplyFormFont(this);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(12, 12, 12, 10);
    pLayout->setSpacing(10);

    auto* pMainGrid = new QGridLayout;
    pMainGrid->setHorizontalSpacing(8);
    pMainGrid->setVerticalSpacing(6);
    for (int i = 0; i < static_cast<int>(std::size(kMainBoxes)); ++i) {
        const DetailBox& box = kMainBoxes[i];
        auto* pEdit = new QLineEdit(this);
        pEdit->setObjectName(QString::fromLatin1(box.pszName));
        auto* pLabel = new QLabel(QString::fromLatin1(box.pszLabel), this);
        pLabel->setBuddy(pEdit);
        const int nLine = i / 2;
        const int nColumn = (i % 2) * 2;
        pMainGrid->addWidget(pLabel, nLine, nColumn);
        pMainGrid->addWidget(pEdit, nLine, nColumn + 1);
    }
    pMainGrid->setColumnStretch(1, 1);
    pMainGrid->setColumnStretch(3, 1);
    pMainGrid->setColumnMinimumWidth(2, 80);
    pLayout->addLayout(pMainGrid);

    auto* pPages = new QTabWidget(this);
    pPages->setObjectName(QStringLiteral("pcAddress"));
    for (const AddressPage& page : kAddressPages) {
        auto* pPage = new QWidget(pPages);
        pPage->setObjectName(QString::fromLatin1(page.pszName));
        auto* pForm = new QFormLayout(pPage);
        pForm->setContentsMargins(10, 10, 10, 10);
        pForm->setVerticalSpacing(6);
        for (const auto& part : kAddressParts) {
            auto* pEdit = new QLineEdit(pPage);
            pEdit->setObjectName(QString::fromLatin1(page.pszPrefix) + QString::fromLatin1(part[0]));
            pForm->addRow(QString::fromLatin1(part[1]), pEdit);
        }
        pPages->addTab(pPage, QString::fromLatin1(page.pszCaption));
    }
    pPages->setCurrentIndex(0);
    pLayout->addWidget(pPages, 1);

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    auto* pClose = new QPushButton(QStringLiteral("&Close"), this);
    pClose->setObjectName(QStringLiteral("btnCancel"));
    pClose->setFixedSize(80, 27);
    pClose->setDefault(true);
    connect(pClose, &QPushButton::clicked, this, [this] { done(kModalCancel); });
    pButtons->addWidget(pClose);
    pLayout->addLayout(pButtons);
}

void TfmDetail::reject()
{
    done(kModalCancel);
}

void TfmDetail::FillControls()
{
    if (m_pRecord == nullptr)
        return;
    auto show = [this](const QString& strName, int32_t nFieldId) {
        if (auto* pEdit = findChild<QLineEdit*>(strName)) {
            pEdit->setText(AnsiToQString(GetTextField(m_pRecord, nFieldId)));
            pEdit->setCursorPosition(0);  // a long text shows its beginning
        }
    };
    for (const DetailBox& box : kMainBoxes)
        show(QString::fromLatin1(box.pszName), box.nFieldId);
    for (const AddressPage& page : kAddressPages) {
        for (int nPart = 0; nPart < 5; ++nPart)
            show(QString::fromLatin1(page.pszPrefix) + QString::fromLatin1(kAddressParts[nPart][0]),
                 page.nFirstFieldId + nPart);
    }
}
