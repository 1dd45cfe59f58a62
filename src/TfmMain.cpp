#include "src/TfmMain.h"

#include <algorithm>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/palm/PalmUser.h"
#include "common/palm/PmAddrInfo.h"
#include "src/ContactListModel.h"
#include "src/DialogSeam.h"
#include "src/FormStyle.h"
#include "src/Logo.h"
#include "src/TfmDetail.h"
#include "src/TfmOption.h"
#include "src/core/ColumnTable.h"

const char kApplicationTitle[] = "Varnwick - Sync Outlook Express and Palm Desktop";
const char kMainWindowCaption[] = "Varnwick - Synchronize Outlook Express Address Book and Palm Desktop Contact";

// Shows the wait cursor while it lives (nested scopes show it once). A
// message box shown meanwhile gets the normal cursor back while it is up.
class BusyCursor {
public:
    explicit BusyCursor(TfmMain& window) : m_Window(window)
    {
        if (m_Window.m_nBusy++ == 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor()
    {
        if (--m_Window.m_nBusy == 0)
            QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    TfmMain& m_Window;
};

namespace {

// The form's fixed sizes, in pixels.
constexpr int kClientWidth = 811;
constexpr int kClientHeight = 594;
constexpr int kTopHeight = 81;
constexpr int kUserHeight = 65;
constexpr int kStatusHeight = 19;
constexpr int kPalmPanelWidth = 394;  // pnlPD before the user moves the splitter
constexpr int kSplitterWidth = 5;
constexpr int kNarrowSide = 150;    // what a panel-caption click leaves the other side
constexpr int kMinPanelWidth = 30;  // the narrowest the splitter makes a side
constexpr int kTopButtonWidth = 80;
constexpr int kTopButtonHeight = 27;

// The open-file dialog of btnBrowse for each data-source entry.
struct BrowseChoice {
    const char* pszTitle;
    const char* pszDescription;
    const char* pszPattern;
};
constexpr BrowseChoice kBrowseChoices[] = {
    {"Open Windows Address Book File", "Windows Address Book File (*.wab)", "*.wab"},
    {"Open Palm Desktop Contacts File", "Palm Desktop Contacts Data File (*.dat)", "*.dat"},
};
constexpr const char kAllFilesDescription[] = "All Files(*.*)";
constexpr const char kAllFilesPattern[] = "*.*";

// ---- Why a side did not load ----------------------------------------------
// The sides keep the reason of their last failure and the engine hands it
// out; the window only words the sentence around it.

SideProblem PalmLoadProblem(const TransferEngine& engine)
{
    const PmAddrInfo* pInfo = engine.GetPalmInfo();
    if (pInfo == nullptr || pInfo->IsLoaded())
        return SideProblem();
    const char* pszPath = engine.GetSettings().DatFile;
    const QString strReason = QString::fromUtf8(FailReasonText(engine.GetSideFailure(LIST_PALM)));
    return {QStringLiteral("Palm Desktop data not loaded"), pszPath[0] != '\0' ? NativeToPath(pszPath) : QString(),
            strReason};
}

SideProblem OutlookOpenProblem(TransferEngine& engine)
{
    CxWab* pWab = engine.GetWab();
    if (pWab == nullptr || pWab->IsOpen())
        return SideProblem();
    const QString strSide = QStringLiteral("Outlook Express address book not opened");
    if (!pWab->IsLibraryLoaded())
        return {strSide, QString(), QStringLiteral("the address-book library is not available")};
    const char* pszPath = engine.GetSettings().WabFile;
    const QString strReason = QString::fromUtf8(FailReasonText(engine.GetSideFailure(LIST_WAB)));
    if (pszPath[0] == '\0' && engine.GetSettings().nWabFileTooLong == 0)
        return {QStringLiteral("Default Outlook Express address book not opened"), QString(), strReason};
    return {strSide, pszPath[0] != '\0' ? NativeToPath(pszPath) : QString(), strReason};
}

// A HotSync user's name. The user library names users after their folders,
// whose names the file system spells in UTF-8; a name that is no UTF-8 is
// taken as ANSI text, as Palm Desktop itself writes names.
QString UserNameText(const char* pszName)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString strName = decoder(QByteArrayView(pszName));
    return decoder.hasError() ? AnsiToQString(pszName) : strName;
}

}  // namespace

QUrl HelpPageUrl()
{
    char szFolder[MAX_PATH] = {};
    GetAppFolder(nullptr, szFolder);
    const QString strFolder = QString::fromLocal8Bit(szFolder);
    // Beside the program in the build folder; under share/ once installed.
    const QString strBeside = strFolder + QStringLiteral("help/varnwick-help.html");
    const QString strInstalled = strFolder + QStringLiteral("../share/varnwick/help/varnwick-help.html");
    if (!QFileInfo::exists(strBeside) && QFileInfo::exists(strInstalled))
        return QUrl::fromLocalFile(QFileInfo(strInstalled).absoluteFilePath());
    return QUrl::fromLocalFile(strBeside);
}

TfmMain::TfmMain(QWidget* pParent) : QMainWindow(pParent), m_Engine(m_Settings, this)
{
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QString::fromLatin1(kMainWindowCaption));
    setFixedSize(kClientWidth, kClientHeight);
    ApplyFormFont(this);

    auto* pCentral = new QWidget(this);
    pCentral->setObjectName(QStringLiteral("pnlMain"));
    auto* pLayout = new QVBoxLayout(pCentral);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    BuildTopPanel(pCentral);
    BuildUserPanel(pCentral);
    BuildClientPanel(pCentral);
    pLayout->addWidget(pnlTop);
    pLayout->addWidget(pnlUser);
    pLayout->addWidget(pClient, 1);
    setCentralWidget(pCentral);

    sbMain = new QStatusBar(this);
    sbMain->setObjectName(QStringLiteral("sbMain"));
    sbMain->setFixedHeight(kStatusHeight);
    sbMain->setSizeGripEnabled(false);
    lblLegend = new QLabel(sbMain);
    lblLegend->setObjectName(QStringLiteral("lblLegend"));
    lblLegend->setTextFormat(Qt::RichText);
    lblLegend->setContentsMargins(0, 0, 8, 0);
    lblLegend->setToolTip(QStringLiteral("What the colours of the rows mean (Options, User Interface Options)"));
    sbMain->addPermanentWidget(lblLegend);
    setStatusBar(sbMain);

    // Lay the form out now, so that the panels have their designed widths
    // before anything is shown.
    layout()->activate();
    pCentral->layout()->activate();
    Splitter1->setSizes({kPalmPanelWidth, pClient->width() - kPalmPanelWidth - kSplitterWidth});
    pnlTopResize();

    FormCreate();
}

TfmMain::~TfmMain()
{
    FormDestroy();
}

ContactListModel* TfmMain::Model(ListType eList) const
{
    return eList == LIST_PALM ? m_pPalmModel : m_pOutlookModel;
}

QTreeView* TfmMain::View(ListType eList) const
{
    return eList == LIST_PALM ? lvPD : lvOE;
}

// ---- The form ---------------------------------------------------------------

void TfmMain::BuildTopPanel(QWidget* pParent)
{
    pnlTop = new QFrame(pParent);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setFixedHeight(kTopHeight);
    pnlTop->setStyleSheet(QStringLiteral(
        "QFrame#pnlTop { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #ffffff, stop:1 #dbe6f3);"
        " border-bottom: 1px solid #9fb3cc; }"));

    imgTop = new QLabel(pnlTop);
    imgTop->setObjectName(QStringLiteral("imgTop"));
    imgTop->setPixmap(MakeLogoPixmap());
    imgTop->setGeometry(12, (kTopHeight - kLogoHeight) / 2, kLogoWidth, kLogoHeight);

    btnOption = new QPushButton(QStringLiteral("&Options"), pnlTop);
    btnOption->setObjectName(QStringLiteral("btnOption"));
    btnHelp = new QPushButton(QStringLiteral("&Help"), pnlTop);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnExit = new QPushButton(QStringLiteral("E&xit"), pnlTop);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    for (QPushButton* pButton : {btnOption, btnHelp, btnExit})
        pButton->resize(kTopButtonWidth, kTopButtonHeight);
    pnlTop->installEventFilter(this);

    connect(btnOption, &QPushButton::clicked, this, [this] { btnOptionClick(); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { btnHelpClick(); });
    connect(btnExit, &QPushButton::clicked, this, [this] { btnExitClick(); });
}

void TfmMain::BuildUserPanel(QWidget* pParent)
{
    pnlUser = new QFrame(pParent);
    pnlUser->setObjectName(QStringLiteral("pnlUser"));
    pnlUser->setFixedHeight(kUserHeight);
    pnlUser->setFrameShape(QFrame::NoFrame);

    auto* pLayout = new QVBoxLayout(pnlUser);
    pLayout->setContentsMargins(10, 5, 10, 5);
    pLayout->setSpacing(4);

    auto* pModeLine = new QHBoxLayout;
    pModeLine->setSpacing(10);
    auto* pModeLabel = new QLabel(QStringLiteral("Set Synchronization Mode:"), pnlUser);
    rbtnP2O = new QRadioButton(QStringLiteral("Palm Desktop to Outlook Express"), pnlUser);
    rbtnP2O->setObjectName(QStringLiteral("rbtnP2O"));
    rbtnO2P = new QRadioButton(QStringLiteral("Outlook Express to Palm Desktop"), pnlUser);
    rbtnO2P->setObjectName(QStringLiteral("rbtnO2P"));
    rbtnSync = new QRadioButton(QStringLiteral("Synchronize"), pnlUser);
    rbtnSync->setObjectName(QStringLiteral("rbtnSync"));
    auto* pModes = new QButtonGroup(pnlUser);
    for (QRadioButton* pButton : {rbtnP2O, rbtnO2P, rbtnSync})
        pModes->addButton(pButton);
    rbtnP2O->setChecked(true);  // the form's designed choice
    btnStart = new QPushButton(QStringLiteral("Start Now!"), pnlUser);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnStart->setFixedSize(90, 25);
    QFont startFont = btnStart->font();
    startFont.setBold(true);
    btnStart->setFont(startFont);
    pModeLine->addWidget(pModeLabel);
    pModeLine->addWidget(rbtnP2O);
    pModeLine->addWidget(rbtnO2P);
    pModeLine->addWidget(rbtnSync);
    pModeLine->addStretch(1);
    pModeLine->addWidget(btnStart);
    pLayout->addLayout(pModeLine);

    auto* pDataLine = new QHBoxLayout;
    pDataLine->setSpacing(6);
    auto* pUserLabel = new QLabel(QStringLiteral("Change Palm User:"), pnlUser);
    cmbUser = new QComboBox(pnlUser);
    cmbUser->setObjectName(QStringLiteral("cmbUser"));
    cmbUser->setFixedWidth(140);
    auto* pDataLabel = new QLabel(QStringLiteral("Change"), pnlUser);
    cmbData = new QComboBox(pnlUser);
    cmbData->setObjectName(QStringLiteral("cmbData"));
    cmbData->setFixedWidth(180);
    edtData = new QLineEdit(pnlUser);
    edtData->setObjectName(QStringLiteral("edtData"));
    edtData->setReadOnly(true);
    btnBrowse = new QPushButton(QStringLiteral("..."), pnlUser);
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    btnBrowse->setFixedWidth(32);
    pUserLabel->setBuddy(cmbUser);
    pDataLabel->setBuddy(cmbData);
    pDataLine->addWidget(pUserLabel);
    pDataLine->addWidget(cmbUser);
    pDataLine->addSpacing(8);
    pDataLine->addWidget(pDataLabel);
    pDataLine->addWidget(cmbData);
    pDataLine->addWidget(edtData, 1);
    pDataLine->addWidget(btnBrowse);
    pLayout->addLayout(pDataLine);

    for (const auto& [pButton, nMode] : ModeButtons())
        connect(pButton, &QRadioButton::clicked, this, [this, nMode = nMode] { m_Engine.ModeClicked(nMode); });
    connect(btnStart, &QPushButton::clicked, this, [this] { btnStartClick(); });
    // Only the user's choices count as changes, not choices made by code.
    connect(cmbUser, &QComboBox::activated, this, [this](int nIndex) { cmbUserChange(nIndex); });
    connect(cmbData, &QComboBox::activated, this, [this](int nIndex) { cmbDataChange(nIndex); });
    connect(btnBrowse, &QPushButton::clicked, this, [this] { btnBrowseClick(); });
}

QFrame* TfmMain::BuildListPanel(QWidget* pParent, const char* pszPanel, const char* pszCaption, const char* pszList,
                                const char* pszMenu, const char* pszItemPrefix, ListType eList)
{
    auto* pPanel = new QFrame(pParent);
    pPanel->setObjectName(QString::fromLatin1(pszPanel));
    pPanel->setMinimumWidth(kMinPanelWidth);
    auto* pLayout = new QVBoxLayout(pPanel);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);

    // The panel's caption: clicking it gives this side most of the room.
    auto* pCaption = new QLabel(QString::fromLatin1(pszCaption), pPanel);
    pCaption->setObjectName(QString::fromLatin1(pszPanel) + QStringLiteral("Caption"));
    pCaption->setAlignment(Qt::AlignCenter);
    pCaption->setFixedHeight(22);
    pCaption->setMinimumWidth(1);  // the caption never keeps the splitter from narrowing the panel
    pCaption->setCursor(Qt::PointingHandCursor);
    pCaption->setToolTip(QStringLiteral("Click to widen this side"));
    pCaption->setStyleSheet(QStringLiteral(
        "QLabel { background: #dbe6f3; color: #19376e; font-weight: bold; border: 1px solid #9fb3cc; }"));
    pCaption->installEventFilter(this);
    pPanel->installEventFilter(this);

    auto* pModel = new ContactListModel(m_Engine, eList, this);
    auto* pView = new QTreeView(pPanel);
    pView->setObjectName(QString::fromLatin1(pszList));
    pView->setModel(pModel);
    pView->setRootIsDecorated(false);
    pView->setItemsExpandable(false);
    pView->setUniformRowHeights(true);
    pView->setSortingEnabled(false);
    pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    pView->setSelectionMode(QAbstractItemView::SingleSelection);
    pView->setAllColumnsShowFocus(true);
    pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pView->setContextMenuPolicy(Qt::CustomContextMenu);
    pView->header()->setStretchLastSection(false);
    pView->header()->setSectionsMovable(false);
    connect(pView->header(), &QHeaderView::sectionResized, this,
            [this, eList](int nSection, int, int nNewSize) { ColumnResized(eList, nSection, nNewSize); });
    pLayout->addWidget(pCaption);
    pLayout->addWidget(pView, 1);

    auto* pMenu = new QMenu(pView);
    pMenu->setObjectName(QString::fromLatin1(pszMenu));
    const QString strPrefix = QString::fromLatin1(pszItemPrefix);
    QAction* pSelectAll = pMenu->addAction(QStringLiteral("&Select All"));
    pSelectAll->setObjectName(strPrefix + QStringLiteral("SelAll"));
    QAction* pClearAll = pMenu->addAction(QStringLiteral("&Clear All"));
    pClearAll->setObjectName(strPrefix + QStringLiteral("Clear"));
    pMenu->addSeparator();
    QAction* pDetails = pMenu->addAction(QStringLiteral("&Details"));
    pDetails->setObjectName(strPrefix + QStringLiteral("Details"));
    pMenu->addSeparator();
    QAction* pExportAll = pMenu->addAction(QStringLiteral("&Export All..."));
    pExportAll->setObjectName(strPrefix + QStringLiteral("ExportAll"));
    QAction* pExportTicked = pMenu->addAction(QStringLiteral("Export &Ticked..."));
    pExportTicked->setObjectName(strPrefix + QStringLiteral("ExportTicked"));
    QAction* pImport = pMenu->addAction(QStringLiteral("&Import..."));
    pImport->setObjectName(strPrefix + QStringLiteral("Import"));
    pMenu->addSeparator();
    QAction* pCancel = pMenu->addAction(QStringLiteral("Cancel"));  // only closes the menu
    pCancel->setObjectName(strPrefix + QStringLiteral("Cancel"));

    connect(pSelectAll, &QAction::triggered, this, [this, eList] {
        m_Engine.SelectAll(eList);
        Model(eList)->StatesChanged();
    });
    connect(pClearAll, &QAction::triggered, this, [this, eList] {
        m_Engine.ClearAll(eList);
        Model(eList)->StatesChanged();
    });
    connect(pDetails, &QAction::triggered, this, [this, eList] { lvDblClick(eList); });
    connect(pExportAll, &QAction::triggered, this, [this, eList] { pmExportClick(eList, false); });
    connect(pExportTicked, &QAction::triggered, this, [this, eList] { pmExportClick(eList, true); });
    connect(pImport, &QAction::triggered, this, [this, eList] { pmImportClick(eList); });
    connect(pView, &QTreeView::doubleClicked, this, [this, eList] { lvDblClick(eList); });
    connect(pView, &QWidget::customContextMenuRequested, this,
            [pView, pMenu](const QPoint& pos) { pMenu->exec(pView->viewport()->mapToGlobal(pos)); });

    if (eList == LIST_PALM) {
        m_pPalmModel = pModel;
        lvPD = pView;
        pmPD = pMenu;
        m_pPDCaption = pCaption;
    } else {
        m_pOutlookModel = pModel;
        lvOE = pView;
        pmOE = pMenu;
        m_pOECaption = pCaption;
    }
    return pPanel;
}

void TfmMain::BuildClientPanel(QWidget* pParent)
{
    pClient = new QWidget(pParent);
    pClient->setObjectName(QStringLiteral("pClient"));
    auto* pLayout = new QHBoxLayout(pClient);
    pLayout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, pClient);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    pnlPD = BuildListPanel(Splitter1, "pnlPD", "Palm Desktop Data", "lvPD", "pmPD", "pmiPD", LIST_PALM);
    pnlOE = BuildListPanel(Splitter1, "pnlOE", "Outlook Express Data", "lvOE", "pmOE", "pmiOE", LIST_WAB);
    Splitter1->addWidget(pnlPD);
    Splitter1->addWidget(pnlOE);
    // The Outlook Express side takes whatever the window gains or loses.
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    pLayout->addWidget(Splitter1);
}

// ---- Start and stop ---------------------------------------------------------

void TfmMain::FormCreate()
{
    // Settings, facade, address book, user list, libraries, users, both
    // lists and their states: the engine's start, whose list reports the
    // models follow as they come.
    m_Engine.Startup(true);

    FillUserBox();

    cmbData->clear();
    cmbData->addItem(QStringLiteral("Outlook Express WAB File"));
    cmbData->addItem(QStringLiteral("Palm Desktop Data File"));
    cmbData->setCurrentIndex(DATA_WAB_FILE);  // the path box stays empty until the user chooses

    // The engine's start mode picks its button; a SyncMode it does not know
    // gives the designed choice (and is written back unchanged).
    const int nInitialMode = m_Engine.InitialMode();
    for (const auto& [pButton, nMode] : ModeButtons()) {
        if (nMode == nInitialMode)
            pButton->setChecked(true);
    }
}

void TfmMain::FormDestroy()
{
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    EndProgress();
    m_Engine.Shutdown(true);
    // The rows went with their sides; the views must not ask for them.
    lvPD->setModel(nullptr);
    lvOE->setModel(nullptr);
    delete m_pPalmModel;
    m_pPalmModel = nullptr;
    delete m_pOutlookModel;
    m_pOutlookModel = nullptr;
}

// ---- What the engine reports ------------------------------------------------

void TfmMain::ShowMessage(const char* pszText, const char* pszCaption, int nIcon)
{
    EndProgress();
    // The message box gets the normal cursor while it is up.
    if (m_nBusy > 0)
        QApplication::restoreOverrideCursor();
    DialogSeam().ShowMessage(this, AnsiToQString(pszText), AnsiToQString(pszCaption), nIcon);
    if (m_nBusy > 0)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TfmMain::Progress(int nCurrent, int nTotal)
{
    if (nTotal <= 0)
        return;
    if (m_pProgress == nullptr) {
        // Shown by itself once the transfer has taken about half a second.
        m_pProgress =
            new QProgressDialog(QStringLiteral("Transferring contact records..."), QString(), 0, nTotal, this);
        m_pProgress->setObjectName(QStringLiteral("dlgProgress"));
        m_pProgress->setWindowTitle(QString::fromLatin1(kApplicationTitle));
        m_pProgress->setMinimumDuration(500);
        m_pProgress->setAutoClose(false);
        m_pProgress->setAutoReset(false);
        m_ProgressPump.start();
    }
    m_pProgress->setMaximum(nTotal);
    m_pProgress->setValue(nCurrent);
    // Let the dialog appear and paint; the user's input waits until the
    // transfer is over.
    if (m_ProgressPump.elapsed() >= 50) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_ProgressPump.restart();
    }
}

void TfmMain::EndProgress()
{
    delete m_pProgress;
    m_pProgress = nullptr;
}

void TfmMain::ListRebuilt(ListType eList)
{
    ContactListModel* pModel = Model(eList);
    if (pModel == nullptr)
        return;
    pModel->Rebuild();
    ApplyColumnWidths(eList);
    if (eList == LIST_PALM)
        ShowLoadedUser();
    if (eList == LIST_PALM)
        m_PalmProblem = PalmLoadProblem(m_Engine);
    else
        m_OutlookProblem = OutlookOpenProblem(m_Engine);
    UpdateStatus();
}

void TfmMain::StatesRefreshed()
{
    UpdateLegend();
    for (ListType eList : {LIST_PALM, LIST_WAB}) {
        if (Model(eList) != nullptr)
            Model(eList)->StatesChanged();
    }
}

void TfmMain::ApplyColumnWidths(ListType eList)
{
    // The width the user gave the column in this run; else the table's
    // width, or what the caption needs when the font is wider than the table
    // was made for: a caption is never cut.
    QHeaderView* pHeader = View(eList)->header();
    const ContactListModel* pModel = Model(eList);
    const int* pUserWidths = m_nUserWidths[eList == LIST_PALM ? 0 : 1];
    m_bApplyingWidths = true;
    for (int nSection = 0; nSection < pModel->columnCount(); ++nSection) {
        const int nIndex = pModel->TableIndex(nSection);
        const int nWidth = pUserWidths[nIndex] > 0
                               ? pUserWidths[nIndex]
                               : std::max<int>(g_ColumnDef[nIndex].nWidth, pHeader->sectionSizeHint(nSection));
        pHeader->resizeSection(nSection, nWidth);
    }
    m_bApplyingWidths = false;
}

void TfmMain::ColumnResized(ListType eList, int nSection, int nNewSize)
{
    const ContactListModel* pModel = Model(eList);
    if (m_bApplyingWidths || pModel == nullptr || nNewSize <= 0)
        return;
    const int nIndex = pModel->TableIndex(nSection);
    if (nIndex > 0 && nIndex <= kColumnCount)
        m_nUserWidths[eList == LIST_PALM ? 0 : 1][nIndex] = nNewSize;
}

void TfmMain::UpdateStatus()
{
    UpdateLegend();  // first: the text gets the room the legend leaves
    std::vector<const SideProblem*> problems;
    for (const SideProblem* pProblem : {&m_PalmProblem, &m_OutlookProblem}) {
        if (!pProblem->strSide.isEmpty())
            problems.push_back(pProblem);
    }
    if (problems.empty()) {
        ShowLoadedSummary();
        return;
    }
    // Each problem gets its share of the bar; a path too long for it is
    // shortened in the middle. The tooltip has everything whole.
    const QFontMetrics metrics(sbMain->font());
    const int nShare = (sbMain->width() - lblLegend->sizeHint().width() - 24) / static_cast<int>(problems.size());
    QStringList shown;
    QStringList whole;
    for (const SideProblem* pProblem : problems) {
        whole << pProblem->Text(pProblem->strPath);
        const int nFixed = metrics.horizontalAdvance(pProblem->Text(QString()));
        shown << pProblem->Text(metrics.elidedText(pProblem->strPath, Qt::ElideMiddle, std::max(60, nShare - nFixed)));
    }
    sbMain->showMessage(metrics.elidedText(shown.join(QStringLiteral("   ")), Qt::ElideRight,
                                           sbMain->width() - lblLegend->sizeHint().width() - 24));
    sbMain->setToolTip(whole.join(QLatin1Char('\n')));
}

void TfmMain::ShowLoadedSummary()
{
    const SysSettings& settings = m_Engine.GetSettings();
    const int nPalmRows = m_Engine.GetRowCount(LIST_PALM);
    const int nWabRows = m_Engine.GetRowCount(LIST_WAB);
    const QString strPalmPath = NativeToPath(settings.DatFile);
    const QString strWabPath = settings.WabFile[0] != '\0' ? NativeToPath(settings.WabFile) : QString();
    auto palmText = [&](const QString& strPath) {
        return QStringLiteral("Palm Desktop: %1 %2 from %3")
            .arg(nPalmRows)
            .arg(nPalmRows == 1 ? QStringLiteral("contact") : QStringLiteral("contacts"), strPath);
    };
    auto wabText = [&](const QString& strPath) {
        const QString strEntries = QStringLiteral("address book: %1 %2 ")
                                       .arg(nWabRows)
                                       .arg(nWabRows == 1 ? QStringLiteral("entry") : QStringLiteral("entries"));
        return strPath.isEmpty() ? strEntries + QStringLiteral("in the default address book")
                                 : strEntries + QStringLiteral("from ") + strPath;
    };
    const QString strSeparator = QStringLiteral(" \u00b7 ");
    sbMain->setToolTip(palmText(strPalmPath) + QLatin1Char('\n') + wabText(strWabPath));

    // The paths share the room the fixed words leave; one too long keeps
    // its end ("\u2026/Ana/address/address.dat").
    const QFontMetrics metrics(sbMain->font());
    const int nWidth = sbMain->width() - lblLegend->sizeHint().width() - 24;
    // A text measured in pieces can come out a pixel or two wider than the
    // sum of its pieces (kerning, rounding): a character's width to spare,
    // so the last words are never cut off with the paths.
    const int nRoom = nWidth - metrics.horizontalAdvance(palmText(QString()) + strSeparator + wabText(QString())) -
                      metrics.averageCharWidth();
    // The book's path takes at most half the room; the Palm path the rest.
    const QString strWabShown = metrics.elidedText(strWabPath, Qt::ElideLeft, std::max(60, nRoom / 2));
    const int nPalmRoom = std::max(60, nRoom - metrics.horizontalAdvance(strWabShown));
    const QString strShown =
        palmText(metrics.elidedText(strPalmPath, Qt::ElideLeft, nPalmRoom)) + strSeparator + wabText(strWabShown);
    sbMain->showMessage(metrics.elidedText(strShown, Qt::ElideRight, nWidth));
}

void TfmMain::UpdateLegend()
{
    const SysSettings& settings = m_Engine.GetSettings();
    if (settings.DisableColor) {
        lblLegend->setText(QStringLiteral("Colours off"));
        return;
    }
    struct Entry {
        int nColor;
        const char* pszState;
    };
    const Entry entries[] = {
        {settings.SameColor, "same"}, {settings.ModifiedColor, "modified"}, {settings.NewColor, "new"}};
    QStringList parts;
    for (const Entry& entry : entries)
        parts << QStringLiteral("<span style=\"color:%1\">\u25a0 %2</span>")
                     .arg(ColorRefToQColor(entry.nColor).name(), QString::fromLatin1(entry.pszState));
    lblLegend->setText(parts.join(QStringLiteral("&nbsp;&nbsp;")));
}

// ---- Event handlers -----------------------------------------------------------

void TfmMain::FillUserBox()
{
    cmbUser->clear();
    for (int nIndex = 0; nIndex < m_Engine.GetUserCount(); ++nIndex)
        cmbUser->addItem(UserNameText(m_Engine.GetUser(nIndex)->szName));
    ShowLoadedUser();
}

void TfmMain::ShowLoadedUser()
{
    // The user of the file the Palm list shows; a file of no user (one
    // chosen with the browse button) leaves the box empty.
    if (cmbUser->count() > 0)
        cmbUser->setCurrentIndex(m_Engine.GetLoadedUser());
}

void TfmMain::ShowDataText()
{
    edtData->setText(NativeToPath(m_Engine.GetDataText()));
}

void TfmMain::cmbUserChange(int nIndex)
{
    BusyCursor busy(*this);
    m_Engine.UserChanged(nIndex);
    ShowDataText();
}

void TfmMain::cmbDataChange(int nIndex)
{
    m_Engine.DataSourceChanged(nIndex);
    ShowDataText();
}

void TfmMain::btnBrowseClick()
{
    const int nIndex = cmbData->currentIndex() == DATA_PALM_FILE ? DATA_PALM_FILE : DATA_WAB_FILE;
    const BrowseChoice& choice = kBrowseChoices[nIndex];
    // The dialog starts at the file in use.
    QString strPath = NativeToPath(nIndex == DATA_PALM_FILE ? m_Settings.DatFile : m_Settings.WabFile);
    if (!DialogSeam().GetOpenFileName(
            this, QString::fromLatin1(choice.pszTitle),
            {{QString::fromLatin1(choice.pszDescription), QString::fromLatin1(choice.pszPattern)},
             {QString::fromLatin1(kAllFilesDescription), QString::fromLatin1(kAllFilesPattern)}},
            &strPath))
        return;
    std::string strNative;
    if (!PathToNative(strPath, &strNative)) {
        DialogSeam().ShowMessage(this,
                                 QStringLiteral("The path \"%1\" is too long (at most 259 bytes); please move the "
                                                "file or choose another one.")
                                     .arg(strPath),
                                 QStringLiteral("Error"), kIconError);
        return;
    }
    BusyCursor busy(*this);
    m_Engine.BrowseResult(strNative.c_str());
    ShowDataText();
}

void TfmMain::btnOptionClick()
{
    TfmOption dialog(m_Settings, this);
    if (DialogSeam().RunModal(&dialog) != kModalOk)
        return;
    BusyCursor busy(*this);
    if (dialog.PalmDesktopChanged()) {
        // The folder and the code page count at once: users, then the lists.
        if (!m_Engine.SetPalmDesktop(dialog.GetPalmFolder().c_str(), dialog.GetCodePage().c_str())) {
            char szIni[MAX_PATH] = {};
            GetIniFilePath(szIni);
            DialogSeam().ShowMessage(this,
                                     QStringLiteral("The Palm Desktop folder and text encoding could not be "
                                                    "saved in the settings file %1; they stay as they were.")
                                         .arg(NativeToPath(szIni)),
                                     QStringLiteral("Error"), kIconError);
        }
        FillUserBox();
    }
    m_Engine.LoadPalmList();
    m_Engine.LoadOutlookList();
    m_Engine.RefreshStates();
    // A path box that shows a file follows a change of that file.
    if (!edtData->text().isEmpty()) {
        m_Engine.DataSourceChanged(cmbData->currentIndex());
        ShowDataText();
    }
}

void TfmMain::btnHelpClick()
{
    const QUrl url = HelpPageUrl();
    if (!QFileInfo::exists(url.toLocalFile())) {
        DialogSeam().ShowMessage(this, QStringLiteral("The help page %1 is missing.").arg(url.toLocalFile()),
                                 QStringLiteral("Error"), kIconError);
        return;
    }
    if (!DialogSeam().OpenUrl(url))
        DialogSeam().ShowMessage(
            this, QStringLiteral("The help page %1 could not be opened in your web browser.").arg(url.toLocalFile()),
            QStringLiteral("Error"), kIconError);
}

void TfmMain::btnExitClick()
{
    close();
}

void TfmMain::btnStartClick()
{
    // The checked button decides the mode, not the SyncMode setting.
    int nMode = SYNC_BOTH;
    for (const auto& [pButton, nButtonMode] : ModeButtons()) {
        if (pButton->isChecked())
            nMode = nButtonMode;
    }
    BusyCursor busy(*this);
    m_Engine.StartTransfer(nMode);
    EndProgress();
}

std::array<std::pair<QRadioButton*, int>, 3> TfmMain::ModeButtons() const
{
    return {{{rbtnP2O, SYNC_PALM_TO_OE}, {rbtnO2P, SYNC_OE_TO_PALM}, {rbtnSync, SYNC_BOTH}}};
}

int TfmMain::SelectedRow(ListType eList) const
{
    const QModelIndexList rows = View(eList)->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void TfmMain::lvDblClick(ListType eList)
{
    const int nRow = SelectedRow(eList);
    if (nRow < 0)
        return;
    if (eList == LIST_PALM) {
        const CommAddrRecord* pRecord = m_Engine.PalmRecordAt(nRow);
        if (pRecord == nullptr)
            return;
        TfmDetail dialog(this);
        dialog.SetRecord(pRecord);
        dialog.FillControls();
        DialogSeam().RunModal(&dialog);
        return;
    }
    const WabRecord* pEntry = m_Engine.WabRecordAt(nRow);
    if (pEntry == nullptr)
        return;
    // The entry as it would be carried to the Palm side.
    CommAddrRecord record;
    ZeroCommRecord(&record);
    CxWab::ConvertToComm(pEntry, &record);
    TfmDetail dialog(this);
    dialog.SetRecord(&record);
    dialog.FillControls();
    DialogSeam().RunModal(&dialog);
}

void TfmMain::pnlPDClick()
{
    Splitter1->setSizes({pClient->width() - kNarrowSide, kNarrowSide - kSplitterWidth});
}

void TfmMain::pnlOEClick()
{
    Splitter1->setSizes({kNarrowSide, pClient->width() - kNarrowSide - kSplitterWidth});
}

void TfmMain::pnlTopResize()
{
    const int nTop = (pnlTop->height() - kTopButtonHeight) / 2;
    btnExit->move(pnlTop->width() - 110, nTop);
    btnHelp->move(btnExit->x() - 105, nTop);
    btnOption->move(btnHelp->x() - 105, nTop);
}

bool TfmMain::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == pnlTop && pEvent->type() == QEvent::Resize) {
        pnlTopResize();
    } else if (pEvent->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(pEvent)->button() == Qt::LeftButton) {
        if (pWatched == pnlPD || pWatched == m_pPDCaption) {
            pnlPDClick();
            return true;
        }
        if (pWatched == pnlOE || pWatched == m_pOECaption) {
            pnlOEClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}
