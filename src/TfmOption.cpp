#include "src/TfmOption.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <filesystem>
#include <system_error>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrRecord.h"
#include "common/palm/PmDesktop.h"
#include "platform/codepage/CodePage.h"
#include "platform/profile/PrivateProfile.h"
#include "src/DialogSeam.h"
#include "src/FormStyle.h"
#include "src/TfmCustom.h"
#include "src/core/TransferEngine.h"

namespace {

constexpr int kWidth = 486;
constexpr int kHeight = 420;

// The column check boxes of the second page, in their order, with the flag
// each one shows. (The three postal-code flags have no box here and are
// never changed by the dialog.)
struct ColumnBox {
    const char* pszName;
    const char* pszCaption;
    int SysSettings::*pFlag;
};
constexpr ColumnBox kColumnBoxes[] = {
    {"cbDisplayName", "Display Name", &SysSettings::ShowDisplayName},
    {"cbFirstName", "First Name", &SysSettings::ShowFirstName},
    {"cbLastName", "Last Name", &SysSettings::ShowLastName},
    {"cbCompany", "Company", &SysSettings::ShowCompany},
    {"cbTitle", "Title", &SysSettings::ShowTitle},
    {"cbEmail", "Email Address", &SysSettings::ShowEmail},
    {"cbBusiPhone", "Business Phone", &SysSettings::ShowBusiPhone},
    {"cbHomePhone", "Home Phone", &SysSettings::ShowHomePhone},
    {"cbMobilePhone", "Mobile Phone", &SysSettings::ShowMobilePhone},
    {"cbFax", "Fax", &SysSettings::ShowFax},
    {"cbMainPhone", "Main Phone", &SysSettings::ShowMainPhone},
    {"cbBusiCountry", "Country ( Busi. )", &SysSettings::ShowBusiCountry},
    {"cbBusiState", "State ( Busi. )", &SysSettings::ShowBusiState},
    {"cbBusiCity", "City ( Busi. )", &SysSettings::ShowBusiCity},
    {"cbBusiStreet", "Street ( Busi. )", &SysSettings::ShowBusiStreet},
    {"cbHomeCountry", "Country ( Home )", &SysSettings::ShowHomeCountry},
    {"cbHomeState", "State ( Home )", &SysSettings::ShowHomeState},
    {"cbHomeCity", "City ( Home )", &SysSettings::ShowHomeCity},
    {"cbHomeStreet", "Street ( Home )", &SysSettings::ShowHomeStreet},
    {"cbOtherCountry", "Country ( Other )", &SysSettings::ShowOtherCountry},
    {"cbOtherState", "State ( Other )", &SysSettings::ShowOtherState},
    {"cbOtherCity", "City ( Other )", &SysSettings::ShowOtherCity},
    {"cbOtherStreet", "Street ( Other )", &SysSettings::ShowOtherStreet},
};
static_assert(std::size(kColumnBoxes) == 23, "one box per column flag the dialog edits");

// The three colour panels with their labels and settings.
struct ColorPanel {
    const char* pszName;
    const char* pszLabel;
    int SysSettings::*pColor;
};
constexpr ColorPanel kColorPanels[] = {
    {"pnlSameColor", "Same Records:", &SysSettings::SameColor},
    {"pnlModifiedColor", "Modified Records:", &SysSettings::ModifiedColor},
    {"pnlNewColor", "New Records:", &SysSettings::NewColor},
};

constexpr const char kErrorCaption[] = "Error";
constexpr const char kNoWabChosen[] = "Please choose a Windows address book (*.wab) !";
constexpr const char kWabMissing[] = "WAB File doesn't exist, please choose another one!";
constexpr const char kWabPathUnusable[] =
    "The path of the WAB file is too long (at most 259 bytes), please choose another one!";

constexpr const char kPalmFolderMissing[] = "The Palm Desktop folder doesn't exist, please choose another one!";
constexpr const char kPalmFolderUnusable[] =
    "The path of the Palm Desktop folder is too long (at most 259 bytes), please choose another one!";

// A code page name as one spelling: "windows-1251" and "1251" are "CP1251".
QString CodePageKey(const QString& strName)
{
    QString strKey = strName.trimmed().toUpper();
    if (strKey.startsWith(QLatin1String("WINDOWS-")))
        strKey = QStringLiteral("CP") + strKey.mid(8);
    else if (!strKey.isEmpty() && strKey.front().isDigit())
        strKey = QStringLiteral("CP") + strKey;
    return strKey;
}

// PDPath as the settings file holds it now, "" when it is not set.
std::string ReadPalmFolderSetting()
{
    char szIni[MAX_PATH] = {};
    char szFolder[MAX_PATH] = {};
    if (GetIniFilePath(szIni))
        GetPrivateProfileStringA("Path", "PDPath", "", szFolder, MAX_PATH, szIni);
    return szFolder;
}

QCheckBox* NewCheckBox(QWidget* pParent, const char* pszName, const char* pszCaption)
{
    auto* pBox = new QCheckBox(QString::fromLatin1(pszCaption), pParent);
    pBox->setObjectName(QString::fromLatin1(pszName));
    return pBox;
}

}  // namespace

TfmOption::TfmOption(SysSettings& settings, QWidget* pParent) : QDialog(pParent), m_Settings(settings)
{
    setObjectName(QStringLiteral("fmOption"));
    setWindowTitle(QStringLiteral("Set Varnwick Options"));
    setFixedSize(kWidth, kHeight);
    ApplyFormFont(this);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(8, 8, 8, 8);
    spMain = new QTabWidget(this);
    spMain->setObjectName(QStringLiteral("spMain"));
    auto* pGeneral = new QWidget(spMain);
    pGeneral->setObjectName(QStringLiteral("tGen"));
    BuildGeneralPage(pGeneral);
    spMain->addTab(pGeneral, QStringLiteral("General Options"));
    auto* pColumns = new QWidget(spMain);
    pColumns->setObjectName(QStringLiteral("tColumn"));
    BuildColumnPage(pColumns);
    spMain->addTab(pColumns, QStringLiteral("User Interface Options"));
    spMain->setCurrentIndex(0);
    pLayout->addWidget(spMain, 1);

    const OkCancelRow buttons = AddOkCancelRow(this, pLayout);
    connect(buttons.pOk, &QPushButton::clicked, this, [this] { sbtnOKClick(); });
    connect(buttons.pCancel, &QPushButton::clicked, this, [this] { done(kModalCancel); });

    FormCreate();
}

void TfmOption::BuildGeneralPage(QWidget* pPage)
{
    auto* pLayout = new QVBoxLayout(pPage);
    pLayout->setContentsMargins(10, 10, 10, 10);
    pLayout->setSpacing(10);

    auto* pOutlook = new QGroupBox(QStringLiteral(" Outlook Express "), pPage);
    auto* pOutlookLayout = new QVBoxLayout(pOutlook);
    rbtnDefault = new QRadioButton(QStringLiteral("Default Windows Address Book File"), pOutlook);
    rbtnDefault->setObjectName(QStringLiteral("rbtnDefault"));
    rbtnOther = new QRadioButton(QStringLiteral("Choose Another File ( *.wab )"), pOutlook);
    rbtnOther->setObjectName(QStringLiteral("rbtnOther"));
    auto* pFileLine = new QHBoxLayout;
    pFileLine->setContentsMargins(22, 0, 0, 0);
    edtWabName = new QLineEdit(pOutlook);
    edtWabName->setObjectName(QStringLiteral("edtWabName"));
    sbtnBrowse = new QPushButton(QStringLiteral("..."), pOutlook);
    sbtnBrowse->setObjectName(QStringLiteral("sbtnBrowse"));
    sbtnBrowse->setFixedWidth(32);
    pFileLine->addWidget(edtWabName, 1);
    pFileLine->addWidget(sbtnBrowse);
    pOutlookLayout->addWidget(rbtnDefault);
    pOutlookLayout->addWidget(rbtnOther);
    pOutlookLayout->addLayout(pFileLine);
    pLayout->addWidget(pOutlook);

    auto* pPalm = new QGroupBox(QStringLiteral(" Palm Desktop "), pPage);
    auto* pPalmLayout = new QVBoxLayout(pPalm);
    // Where the users' folders are, and how their text is written.
    auto* pPlaceGrid = new QGridLayout;
    auto* pFolderLabel = new QLabel(QStringLiteral("Palm Desktop folder:"), pPalm);
    edtPDPath = new QLineEdit(pPalm);
    edtPDPath->setObjectName(QStringLiteral("edtPDPath"));
    edtPDPath->setToolTip(
        QStringLiteral("The folder that holds one folder per Palm user, as copied from "
                       "\"Palm\" or \"Palm OS Desktop\" on Windows"));
    sbtnPDPath = new QPushButton(QStringLiteral("..."), pPalm);
    sbtnPDPath->setObjectName(QStringLiteral("sbtnPDPath"));
    sbtnPDPath->setFixedWidth(32);
    pFolderLabel->setBuddy(edtPDPath);
    auto* pTextLabel = new QLabel(QStringLiteral("Text encoding:"), pPalm);
    cmbCodePage = new QComboBox(pPalm);
    cmbCodePage->setObjectName(QStringLiteral("cmbCodePage"));
    cmbCodePage->setToolTip(QStringLiteral("The Windows character set the Palm data was written in"));
    pTextLabel->setBuddy(cmbCodePage);
    pPlaceGrid->addWidget(pFolderLabel, 0, 0);
    pPlaceGrid->addWidget(edtPDPath, 0, 1);
    pPlaceGrid->addWidget(sbtnPDPath, 0, 2);
    pPlaceGrid->addWidget(pTextLabel, 1, 0);
    pPlaceGrid->addWidget(cmbCodePage, 1, 1, 1, 2);
    pPlaceGrid->setColumnStretch(1, 1);
    pPalmLayout->addLayout(pPlaceGrid);
    schkSwap = NewCheckBox(pPalm, "schkSwap", "Swap first name and last name in the contact record.");
    auto* pCustomLine = new QHBoxLayout;
    schkCustom = NewCheckBox(pPalm, "schkCustom", "Synchronize Custom Fields");
    sbtnCustom = new QPushButton(QStringLiteral("&Fields Mapping"), pPalm);
    sbtnCustom->setObjectName(QStringLiteral("sbtnCustom"));
    sbtnCustom->setMinimumWidth(110);
    pCustomLine->addWidget(schkCustom);
    pCustomLine->addStretch(1);
    pCustomLine->addWidget(sbtnCustom);
    chkEmail = NewCheckBox(pPalm, "chkEmail", "Convert contact records that have Email address only.");
    pPalmLayout->addWidget(schkSwap);
    pPalmLayout->addLayout(pCustomLine);
    pPalmLayout->addWidget(chkEmail);
    pLayout->addWidget(pPalm);
    pLayout->addStretch(1);

    connect(rbtnDefault, &QRadioButton::clicked, this, [this] { rbtnDefaultClick(); });
    connect(rbtnOther, &QRadioButton::clicked, this, [this] { rbtnOtherClick(); });
    connect(sbtnBrowse, &QPushButton::clicked, this, [this] { sbtnBrowseClick(); });
    connect(schkCustom, &QCheckBox::clicked, this, [this] { schkCustomClick(); });
    connect(sbtnCustom, &QPushButton::clicked, this, [this] { sbtnCustomClick(); });
    connect(sbtnPDPath, &QPushButton::clicked, this, [this] { sbtnPDPathClick(); });
}

void TfmOption::BuildColumnPage(QWidget* pPage)
{
    auto* pLayout = new QVBoxLayout(pPage);
    pLayout->setContentsMargins(10, 10, 10, 10);
    pLayout->setSpacing(10);

    auto* pColumns = new QGroupBox(QStringLiteral(" Show Columns "), pPage);
    auto* pGrid = new QGridLayout(pColumns);
    pGrid->setVerticalSpacing(3);
    constexpr int kRowsPerColumn = 8;
    for (int i = 0; i < static_cast<int>(std::size(kColumnBoxes)); ++i) {
        m_pColumnBoxes[i] = NewCheckBox(pColumns, kColumnBoxes[i].pszName, kColumnBoxes[i].pszCaption);
        pGrid->addWidget(m_pColumnBoxes[i], i % kRowsPerColumn, i / kRowsPerColumn);
    }
    pLayout->addWidget(pColumns);

    auto* pColors = new QGroupBox(QStringLiteral(" Show Records in Different Colors "), pPage);
    auto* pColorLayout = new QVBoxLayout(pColors);
    auto* pPanelLine = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto* pPanel = new QFrame(pColors);
        pPanel->setObjectName(QString::fromLatin1(kColorPanels[i].pszName));
        pPanel->setFrameShape(QFrame::Box);
        pPanel->setFixedSize(36, 20);
        pPanel->setAutoFillBackground(true);
        pPanel->setCursor(Qt::PointingHandCursor);
        pPanel->setToolTip(QStringLiteral("Click to choose the colour"));
        pPanel->installEventFilter(this);
        m_pColorPanels[i] = pPanel;
        auto* pLabel = new QLabel(QString::fromLatin1(kColorPanels[i].pszLabel), pColors);
        if (i > 0)
            pPanelLine->addSpacing(12);
        pPanelLine->addWidget(pLabel);
        pPanelLine->addWidget(pPanel);
    }
    pPanelLine->addStretch(1);
    cbDisableColor = NewCheckBox(pColors, "cbDisableColor", "Disable this feature");
    pColorLayout->addLayout(pPanelLine);
    pColorLayout->addWidget(cbDisableColor);
    pLayout->addWidget(pColors);
    pLayout->addStretch(1);
}

void TfmOption::FormCreate()
{
    ExchangeSettings(false);
}

bool TfmOption::ExchangeSettings(bool bSave)
{
    if (!bSave) {
        schkSwap->setChecked(m_Settings.SwapName != 0);
        const bool bOther = m_Settings.WabFile[0] != '\0';
        if (bOther) {
            rbtnOther->setChecked(true);
            edtWabName->setText(NativeToPath(m_Settings.WabFile));
        } else {
            rbtnDefault->setChecked(true);
        }
        edtWabName->setEnabled(bOther);
        sbtnBrowse->setEnabled(bOther);
        schkCustom->setChecked(m_Settings.SyncCustom != 0);
        sbtnCustom->setEnabled(m_Settings.SyncCustom != 0);
        for (int i = 0; i < static_cast<int>(std::size(kColumnBoxes)); ++i)
            m_pColumnBoxes[i]->setChecked(m_Settings.*kColumnBoxes[i].pFlag != 0);
        chkEmail->setChecked(m_Settings.EmailOnly != 0);
        for (int i = 0; i < 3; ++i)
            SetPanelColor(i, m_Settings.*kColorPanels[i].pColor);
        cbDisableColor->setChecked(m_Settings.DisableColor);

        m_strPalmFolder = ReadPalmFolderSetting();
        m_strCodePage = GetAnsiCodePage();
        edtPDPath->setText(NativeToPath(m_strPalmFolder.c_str()));
        char szFound[MAX_PATH] = {};
        if (m_strPalmFolder.empty() && GetDesktopFolder(szFound, MAX_PATH) == PD_FOLDER_OK)
            edtPDPath->setPlaceholderText(QStringLiteral("from the Wine registry: ") + NativeToPath(szFound));
        else
            edtPDPath->setPlaceholderText(QStringLiteral("not set: choose the folder of the Palm users"));
        cmbCodePage->clear();
        for (const CodePageChoice& choice : WindowsCodePages())
            cmbCodePage->addItem(
                QStringLiteral("%1 (Windows-%2)")
                    .arg(QString::fromLatin1(choice.pszScript), QString::fromLatin1(choice.pszName + 2)),
                QString::fromLatin1(choice.pszName));
        const QString strCurrent = QString::fromStdString(m_strCodePage);
        int nCurrent = -1;
        for (int i = 0; i < cmbCodePage->count(); ++i) {
            if (CodePageKey(cmbCodePage->itemData(i).toString()) == CodePageKey(strCurrent))
                nCurrent = i;
        }
        if (nCurrent < 0) {
            // A code page the settings file names that is not in the list
            // (CP932...) stays choosable as it is.
            cmbCodePage->addItem(strCurrent, strCurrent);
            nCurrent = cmbCodePage->count() - 1;
        }
        cmbCodePage->setCurrentIndex(nCurrent);
        return true;
    }

    // Check first, so that a refusal changes nothing.
    std::string strWabFile;
    if (rbtnOther->isChecked()) {
        const QString strName = edtWabName->text();
        if (strName.isEmpty()) {
            DialogSeam().ShowMessage(this, QString::fromLatin1(kNoWabChosen), QString::fromLatin1(kErrorCaption),
                                     kIconError);
            return false;
        }
        if (!PathToNative(strName, &strWabFile)) {
            DialogSeam().ShowMessage(this, QString::fromLatin1(kWabPathUnusable), QString::fromLatin1(kErrorCaption),
                                     kIconError);
            return false;
        }
        // The file as the file system names it, byte for byte.
        std::error_code error;
        if (!std::filesystem::exists(strWabFile, error)) {
            DialogSeam().ShowMessage(this, QString::fromLatin1(kWabMissing), QString::fromLatin1(kErrorCaption),
                                     kIconError);
            return false;
        }
    }

    std::string strPalmFolder;
    const QString strFolder = edtPDPath->text().trimmed();
    if (!strFolder.isEmpty()) {
        if (!QFileInfo(strFolder).isDir()) {
            spMain->setCurrentIndex(0);
            DialogSeam().ShowMessage(this, QString::fromLatin1(kPalmFolderMissing), QString::fromLatin1(kErrorCaption),
                                     kIconError);
            return false;
        }
        if (!PathToNative(strFolder, &strPalmFolder)) {
            DialogSeam().ShowMessage(this, QString::fromLatin1(kPalmFolderUnusable), QString::fromLatin1(kErrorCaption),
                                     kIconError);
            return false;
        }
    }
    const std::string strCodePage = cmbCodePage->currentData().toString().toStdString();
    if (strPalmFolder != m_strPalmFolder ||
        CodePageKey(QString::fromStdString(strCodePage)) != CodePageKey(QString::fromStdString(m_strCodePage)))
        m_bPalmChanged = true;
    m_strPalmFolder = strPalmFolder;
    m_strCodePage = strCodePage;

    CopyTextField(m_Settings.WabFile, strWabFile.c_str());
    m_Settings.SwapName = schkSwap->isChecked() ? 1 : 0;
    m_Settings.SyncCustom = schkCustom->isChecked() ? 1 : 0;
    for (int i = 0; i < static_cast<int>(std::size(kColumnBoxes)); ++i)
        m_Settings.*kColumnBoxes[i].pFlag = m_pColumnBoxes[i]->isChecked() ? 1 : 0;
    m_Settings.EmailOnly = chkEmail->isChecked() ? 1 : 0;
    for (int i = 0; i < 3; ++i)
        m_Settings.*kColorPanels[i].pColor = m_nPanelColors[i];
    m_Settings.DisableColor = cbDisableColor->isChecked();
    return true;
}

void TfmOption::sbtnOKClick()
{
    if (ExchangeSettings(true))
        done(kModalOk);
}

void TfmOption::reject()
{
    done(kModalCancel);
}

void TfmOption::rbtnDefaultClick()
{
    edtWabName->setEnabled(false);
    sbtnBrowse->setEnabled(false);
}

void TfmOption::rbtnOtherClick()
{
    edtWabName->setEnabled(true);
    sbtnBrowse->setEnabled(true);
}

void TfmOption::sbtnBrowseClick()
{
    QString strPath = edtWabName->text();  // the dialog starts at the file in use
    if (DialogSeam().GetOpenFileName(this, QStringLiteral("Open Windows Address Book File"),
                                     {{QStringLiteral("Windows Address Book File (*.wab)"), QStringLiteral("*.wab")},
                                      {QStringLiteral("All Files(*.*)"), QStringLiteral("*.*")}},
                                     &strPath))
        edtWabName->setText(strPath);
}

void TfmOption::sbtnPDPathClick()
{
    // Start at the folder in force: the one typed, else the registry's.
    QString strFolder = edtPDPath->text().trimmed();
    if (strFolder.isEmpty()) {
        char szFound[MAX_PATH] = {};
        if (GetDesktopFolder(szFound, MAX_PATH) == PD_FOLDER_OK)
            strFolder = NativeToPath(szFound);
    }
    if (DialogSeam().GetExistingFolder(this, QStringLiteral("Choose the Palm Desktop Folder"), &strFolder))
        edtPDPath->setText(strFolder);
}

void TfmOption::schkCustomClick()
{
    sbtnCustom->setEnabled(schkCustom->isChecked());
}

void TfmOption::sbtnCustomClick()
{
    // The mapping dialog writes the settings' ids itself on its own OK.
    TfmCustom dialog(this);
    dialog.SetCustomIDs(m_Settings.Custom);
    DialogSeam().RunModal(&dialog);
}

void TfmOption::SetPanelColor(int nPanel, int nColor)
{
    m_nPanelColors[nPanel] = nColor;
    QPalette palette = m_pColorPanels[nPanel]->palette();
    palette.setColor(QPalette::Window, ColorRefToQColor(nColor));
    m_pColorPanels[nPanel]->setPalette(palette);
}

void TfmOption::ColorPanelClick(int nPanel)
{
    int nColor = m_nPanelColors[nPanel];
    if (DialogSeam().ChooseColor(this, &nColor))
        SetPanelColor(nPanel, nColor);
}

bool TfmOption::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < 3; ++i) {
            if (pWatched == m_pColorPanels[i]) {
                ColorPanelClick(i);
                return true;
            }
        }
    }
    return QDialog::eventFilter(pWatched, pEvent);
}
