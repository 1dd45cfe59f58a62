// The main window on real Palm and address-book files in a scratch folder,
// driven by its controls.

#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>

#include "common/palm/PalmUser.h"
#include "gui_helpers.h"
#include "platform/codepage/CodePage.h"
#include "src/TfmMain.h"
#include "tools/pdgen/PdGen.h"

namespace guitest {
namespace {

constexpr const char kInformation[] = "Information";

// Palm and address book sharing Ann (the same on both sides) and Bob (a
// different company on each side); Cid is only on the Palm side, Dee only
// in the address book.
const std::vector<Contact> kPalmContacts = {
    {"Ann", "Archer", "ann@example.org", "Acme", "", "", ""},
    {"Bob", "Baker", "bob@example.org", "Bakery One", "", "", ""},
    {"Cid", "Cole", "cid@example.org", "", "", ""},
};
const std::vector<Contact> kWabContacts = {
    {"Ann", "Archer", "ann@example.org", "Acme", "", "", ""},
    {"Bob", "Baker", "bob@example.org", "Bakery Two", "", "", ""},
    {"Dee", "Dunn", "dee@example.org", "", "", ""},
};

class MainWindowTest : public GuiTest {
protected:
    // Both sides from the contacts, and settings naming them.
    void MakeSides(const std::vector<Contact>& palm, const std::vector<Contact>& wab,
                   std::vector<std::string> keys = {})
    {
        std::filesystem::remove(WabPath());
        ASSERT_TRUE(WritePalmFile(PalmPath(), palm));
        ASSERT_TRUE(WriteWabFile(WabPath(), wab));
        keys.push_back("DatFile=" + PalmPath());
        keys.push_back("WabFile=" + WabPath());
        WriteIni(keys);
    }
    std::string PalmPath() const { return File("address.dat"); }
    std::string WabPath() const { return File("book.wab"); }

    static void Start(TfmMain& window, const char* pszMode)
    {
        Find<QRadioButton>(&window, pszMode)->click();
        Find<QPushButton>(&window, "btnStart")->click();
    }
    QStringList MessageTexts() const
    {
        QStringList texts;
        for (const FakeSeam::Message& message : seam.messages)
            texts << message.strCaption + ": " + message.strText;
        return texts;
    }
};

TEST_F(MainWindowTest, ColumnsFollowTheShowFlagsOnBothLists)
{
    struct Case {
        std::vector<std::string> flags;
        QStringList headers;
    };
    const std::vector<std::string> allClear = {"ShowFirstName=0", "ShowLastName=0",   "ShowCompany=0",
                                               "ShowTitle=0",     "ShowEmail=0",      "ShowHomePhone=0",
                                               "ShowBusiPhone=0", "ShowMobilePhone=0"};
    std::vector<std::string> emailAndFax = allClear;
    emailAndFax.insert(emailAndFax.end(), {"ShowEmail=1", "ShowFax=1"});
    const Case cases[] = {
        {allClear, {"Display Name"}},
        {emailAndFax, {"Display Name", "Email", "Fax"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers.join(",").toStdString());
        MakeSides({{"Eve", "Ember", "eve@example.org", "", "555-0101", "", ""}},
                  {{"Eve", "Ember", "eve@example.org", "", "555-0101", "", ""}}, c.flags);
        auto pWindow = OpenMain();
        for (const char* pszList : {"lvPD", "lvOE"}) {
            auto* pView = Find<QTreeView>(pWindow.get(), pszList);
            EXPECT_EQ(Headers(pView), c.headers) << pszList;
            ASSERT_EQ(pView->model()->rowCount(), 1) << pszList;
            if (c.headers.size() == 3) {
                EXPECT_EQ(Cell(pView, 0, 1), "eve@example.org") << pszList;
                EXPECT_EQ(Cell(pView, 0, 2), "555-0101") << pszList;
            }
        }
        EXPECT_EQ(Cell(Find<QTreeView>(pWindow.get(), "lvPD"), 0, 0), "Eve Ember");
    }
}

TEST_F(MainWindowTest, PalmCaptionOfALastNameOnlyContactStartsWithABlank)
{
    MakeSides({{"", "Lone", "lone@example.org", "", "", ""}}, {});
    auto pWindow = OpenMain();
    EXPECT_EQ(Captions(Find<QTreeView>(pWindow.get(), "lvPD")), QStringList{" Lone"});
}

TEST_F(MainWindowTest, RowsAreColouredAndTickedByState)
{
    // Colours 0x00BBGGRR: same red, modified green, new blue.
    for (bool bDisable : {false, true}) {
        SCOPED_TRACE(bDisable ? "colours off" : "colours on");
        MakeSides(kPalmContacts, kWabContacts,
                  {"SameColor=255", "ModifiedColor=65280", "NewColor=16711680",
                   std::string("DisableColor=") + (bDisable ? "1" : "0")});
        auto pWindow = OpenMain();
        auto* lvPD = Find<QTreeView>(pWindow.get(), "lvPD");
        auto* lvOE = Find<QTreeView>(pWindow.get(), "lvOE");
        ASSERT_EQ(Captions(lvPD), (QStringList{"Ann Archer", "Bob Baker", "Cid Cole"}));
        ASSERT_EQ(lvOE->model()->rowCount(), 3);

        const int palmColors[] = {0x0000FF, 0x00FF00, 0xFF0000};
        const bool palmTicks[] = {false, true, true};
        const int wabColors[] = {0x0000FF, 0x00FF00, 0xFF0000};
        for (int nRow = 0; nRow < 3; ++nRow) {
            EXPECT_EQ(RowColor(lvPD, nRow), bDisable ? -1 : palmColors[nRow]) << "Palm row " << nRow;
            EXPECT_EQ(IsTicked(lvPD, nRow), palmTicks[nRow]) << "Palm row " << nRow;
            EXPECT_EQ(RowColor(lvOE, nRow), bDisable ? -1 : wabColors[nRow]) << "address-book row " << nRow;
            EXPECT_EQ(IsTicked(lvOE, nRow), palmTicks[nRow]) << "address-book row " << nRow;
        }
    }
}

TEST_F(MainWindowTest, EmailOnlyKeepsContactsWithoutAddressOutOfListsAndTransfers)
{
    MakeSides({{"Nia", "Noaddr", "", "", "", ""}, {"Yul", "Young", "yul@example.org", "", "", ""}},
              {{"Zed", "Zane", "zed@example.org", "", "", ""}, {"Ola", "Noaddr", "", "", "", ""}}, {"EmailOnly=1"});
    auto pWindow = OpenMain();
    EXPECT_EQ(Captions(Find<QTreeView>(pWindow.get(), "lvPD")), QStringList{"Yul Young"});
    EXPECT_EQ(Find<QTreeView>(pWindow.get(), "lvOE")->model()->rowCount(), 1);

    Start(*pWindow, "rbtnSync");
    EXPECT_EQ(MessageTexts(), QStringList{"Information: Outlook Express and Palm Desktop synchronized successfully, "
                                          "2 records transfered."});
    const std::vector<std::string> book = ReadWabFile(WabPath());
    EXPECT_EQ(book.size(), 3u);  // Zed, Ola and Yul; Nia was never listed
    for (const std::string& entry : book)
        EXPECT_EQ(entry.find("Nia"), std::string::npos) << entry;
}

TEST_F(MainWindowTest, PalmToOutlookWithThreeTickedRowsOneOfThemTheSame)
{
    MakeSides(kPalmContacts, kWabContacts);
    auto pWindow = OpenMain();
    auto* lvPD = Find<QTreeView>(pWindow.get(), "lvPD");
    SetTicked(lvPD, 0, true);  // Ann, the same on both sides; Bob and Cid are ticked already
    ASSERT_TRUE(IsTicked(lvPD, 1) && IsTicked(lvPD, 2));

    Start(*pWindow, "rbtnP2O");
    EXPECT_EQ(MessageTexts(), QStringList{"Information: Palm Desktop to Outlook Express completed "
                                          "successfully, 3 records transfered."});
    EXPECT_EQ(seam.messages.at(0).nIcon, kIconInformation);
    EXPECT_EQ(ReadWabFile(WabPath()),
              (std::vector<std::string>{"Ann Archer <ann@example.org> Acme", "Bob Baker <bob@example.org> Bakery One",
                                        "Dee Dunn <dee@example.org> ", "Cid Cole <cid@example.org> "}));

    // lvOE is rebuilt: only Dee, whom the Palm side lacks, is ticked again.
    auto* lvOE = Find<QTreeView>(pWindow.get(), "lvOE");
    ASSERT_EQ(lvOE->model()->rowCount(), 4);
    EXPECT_FALSE(IsTicked(lvOE, 0));
    EXPECT_FALSE(IsTicked(lvOE, 1));
    EXPECT_TRUE(IsTicked(lvOE, 2));
    EXPECT_FALSE(IsTicked(lvOE, 3));
    // The transfer leaves no busy cursor and no progress dialog behind.
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(pWindow->findChild<QProgressDialog*>(), nullptr);
}

TEST_F(MainWindowTest, OutlookToPalmWithNothingTickedWritesNothing)
{
    MakeSides(kPalmContacts, kWabContacts);
    const std::string before = vwtest::ReadFileText(PalmPath());
    auto pWindow = OpenMain();
    Find<QAction>(pWindow.get(), "pmiOEClear")->trigger();
    EXPECT_FALSE(IsTicked(Find<QTreeView>(pWindow.get(), "lvOE"), 2));

    Start(*pWindow, "rbtnO2P");
    EXPECT_EQ(MessageTexts(), QStringList{"Information: Please select Outlook Express contacts which you "
                                          "want to transfer to Palm Desktop."});
    EXPECT_EQ(vwtest::ReadFileText(PalmPath()), before);
}

TEST_F(MainWindowTest, SynchronizeHandsOverEveryListedRow)
{
    std::vector<Contact> palm;
    std::vector<Contact> wab;
    for (int i = 0; i < 5; ++i)
        palm.push_back({"Palm" + std::to_string(i), "Person", "p" + std::to_string(i) + "@example.org"});
    for (int i = 0; i < 7; ++i)
        wab.push_back({"Book" + std::to_string(i), "Person", "b" + std::to_string(i) + "@example.org"});
    MakeSides(palm, wab);
    auto pWindow = OpenMain();
    Find<QAction>(pWindow.get(), "pmiPDClear")->trigger();
    Find<QAction>(pWindow.get(), "pmiOEClear")->trigger();

    Start(*pWindow, "rbtnSync");
    EXPECT_EQ(MessageTexts(), QStringList{"Information: Outlook Express and Palm Desktop synchronized "
                                          "successfully, 12 records transfered."});
    // Both sides reloaded with all twelve, each the same as its match.
    for (const char* pszList : {"lvPD", "lvOE"}) {
        auto* pView = Find<QTreeView>(pWindow.get(), pszList);
        ASSERT_EQ(pView->model()->rowCount(), 12) << pszList;
        for (int nRow = 0; nRow < 12; ++nRow)
            EXPECT_FALSE(IsTicked(pView, nRow)) << pszList << " row " << nRow;
    }
}

TEST_F(MainWindowTest, SynchronizeWithBothListsEmpty)
{
    MakeSides({}, {});
    auto pWindow = OpenMain();
    Start(*pWindow, "rbtnSync");
    EXPECT_EQ(MessageTexts(), QStringList{"Error: No contact records found."});
}

TEST_F(MainWindowTest, TheStatusBarShowsTheReasonEachSideGives)
{
    MakeSides({}, {});
    std::string jet(2048, '\0');
    jet.replace(0, 19, std::string("\x00\x01\x00\x00Standard Jet DB", 19));
    const std::string mdb = File("address.mdb");
    std::ofstream(mdb, std::ios::binary) << jet;
    const std::string book = File("windows.wab");
    std::ofstream(book, std::ios::binary)
        << std::string("\x9C\xCB\xCB\x8D\x13\x75\xD2\x11\x91\x58\x00\xC0\x4F\x79\x56\xA4", 16) << std::string(512, 'x');
    WriteIni({"DatFile=" + mdb, "WabFile=" + book});
    auto pWindow = OpenMain();
    const QString strTip = Find<QStatusBar>(pWindow.get(), "sbMain")->toolTip();
    EXPECT_TRUE(strTip.contains("Palm Desktop 6 database made on Windows (Jet); Varnwick cannot read it yet"))
        << strTip.toStdString();
    EXPECT_TRUE(strTip.contains("an address book made by Windows (.wab)")) << strTip.toStdString();
}

TEST_F(MainWindowTest, SideThatCannotBeLoadedIsNamedAndNotReportedAsWritten)
{
    MakeSides({}, kWabContacts);
    const std::string missing = File("gone/address.dat");
    WriteIni({"DatFile=" + missing, "WabFile=" + WabPath()});
    auto pWindow = OpenMain();
    auto* sbMain = Find<QStatusBar>(pWindow.get(), "sbMain");
    EXPECT_TRUE(sbMain->currentMessage().startsWith("Palm Desktop data not loaded from"))
        << sbMain->currentMessage().toStdString();
    EXPECT_TRUE(sbMain->currentMessage().endsWith("its folder does not exist."));
    EXPECT_TRUE(sbMain->toolTip().contains(QString::fromStdString(missing))) << sbMain->toolTip().toStdString();

    Find<QAction>(pWindow.get(), "pmiOESelAll")->trigger();
    Start(*pWindow, "rbtnO2P");
    ASSERT_EQ(seam.messages.size(), 1u);
    EXPECT_EQ(seam.messages[0].strCaption, "Error");
    EXPECT_FALSE(seam.messages[0].strText.contains("successfully"));
}

TEST_F(MainWindowTest, PopupMenuTicksAndShowsDetails)
{
    MakeSides({{"Hal", "Home", "hal@example.org", "", "", "1 Elm Street", "Springfield"}},
              {{"Ivy", "Inkwell", "ivy@example.org", "Ink Ltd", "", "", ""}});
    auto pWindow = OpenMain();
    auto* lvPD = Find<QTreeView>(pWindow.get(), "lvPD");
    auto* lvOE = Find<QTreeView>(pWindow.get(), "lvOE");
    Find<QAction>(pWindow.get(), "pmiPDClear")->trigger();
    EXPECT_FALSE(IsTicked(lvPD, 0));
    Find<QAction>(pWindow.get(), "pmiPDSelAll")->trigger();
    EXPECT_TRUE(IsTicked(lvPD, 0));

    // Nothing selected: no dialog.
    Find<QAction>(pWindow.get(), "pmiPDDetails")->trigger();
    EXPECT_TRUE(seam.modalDialogs.isEmpty());

    QStringList shown;
    auto capture = [&shown](QDialog* pDialog) {
        for (const char* pszBox : {"edtFirstName", "edtCompany", "edtWorkStreet", "edtHomeStreet", "edtHomeCity"})
            shown << Find<QLineEdit>(pDialog, pszBox)->text();
    };
    seam.modalScripts = {capture, capture};
    SelectRow(lvPD, 0);
    Find<QAction>(pWindow.get(), "pmiPDDetails")->trigger();
    SelectRow(lvOE, 0);
    emit lvOE->doubleClicked(lvOE->model()->index(0, 0));
    EXPECT_EQ(seam.modalDialogs, (QStringList{"fmDetail", "fmDetail"}));
    EXPECT_EQ(shown, (QStringList{"Hal", "", "", "1 Elm Street", "Springfield",  // Palm row
                                  "Ivy", "Ink Ltd", "", "", ""}));               // address-book row
}

TEST_F(MainWindowTest, BrowsingChoosesADataFileOrChangesNothing)
{
    MakeSides({{"Old", "Palm", "old@example.org"}}, {});
    // A folder name beyond ASCII: the path reaches the file functions as the
    // file system spells it.
    std::filesystem::create_directories(File("J\xC3\xBCrgen"));
    const std::string other = File("J\xC3\xBCrgen/other.dat");
    ASSERT_TRUE(WritePalmFile(other, {{"New", "Palm", "new@example.org"}, {"Two", "Palm", "two@example.org"}}));
    auto pWindow = OpenMain();
    auto* cmbData = Find<QComboBox>(pWindow.get(), "cmbData");
    auto* edtData = Find<QLineEdit>(pWindow.get(), "edtData");
    auto* lvPD = Find<QTreeView>(pWindow.get(), "lvPD");
    EXPECT_EQ(cmbData->currentText(), "Outlook Express WAB File");
    EXPECT_EQ(edtData->text(), "");

    cmbData->setCurrentIndex(1);
    emit cmbData->activated(1);
    EXPECT_EQ(edtData->text().toStdString(), PalmPath());

    seam.openAnswers = {"", QString::fromUtf8(other.c_str())};
    Find<QPushButton>(pWindow.get(), "btnBrowse")->click();  // cancelled
    EXPECT_EQ(edtData->text().toStdString(), PalmPath());
    EXPECT_EQ(Captions(lvPD), QStringList{"Old Palm"});
    EXPECT_EQ(pWindow->Settings().DatFile, PalmPath());

    Find<QPushButton>(pWindow.get(), "btnBrowse")->click();
    EXPECT_EQ(edtData->text(), QString::fromUtf8(other.c_str()));
    EXPECT_EQ(pWindow->Settings().DatFile, other);
    EXPECT_EQ(Captions(lvPD), (QStringList{"New Palm", "Two Palm"}));

    ASSERT_EQ(seam.openRequests.size(), 2u);
    EXPECT_EQ(seam.openRequests[0].strTitle, "Open Palm Desktop Contacts File");
    EXPECT_EQ(
        seam.openRequests[0].filters,
        (std::vector<FileFilter>{{"Palm Desktop Contacts Data File (*.dat)", "*.dat"}, {"All Files(*.*)", "*.*"}}));
}

TEST_F(MainWindowTest, OptionsConfirmedRebuildBothLists)
{
    MakeSides({{"Eve", "Ember", "eve@example.org", "", "555-0101"}}, {{"Eve", "Ember", "eve@example.org"}});
    auto pWindow = OpenMain();
    ASSERT_FALSE(Headers(Find<QTreeView>(pWindow.get(), "lvPD")).contains("Fax"));

    seam.modalScripts = {[](QDialog* pDialog) {
                             Find<QCheckBox>(pDialog, "cbFax")->setChecked(true);
                             Find<QPushButton>(pDialog, "sbtnCancel")->click();
                         },
                         [](QDialog* pDialog) {
                             Find<QCheckBox>(pDialog, "cbFax")->setChecked(true);
                             Find<QPushButton>(pDialog, "sbtnOK")->click();
                         }};
    Find<QPushButton>(pWindow.get(), "btnOption")->click();
    EXPECT_FALSE(Headers(Find<QTreeView>(pWindow.get(), "lvPD")).contains("Fax"));
    Find<QPushButton>(pWindow.get(), "btnOption")->click();
    EXPECT_EQ(seam.modalDialogs, (QStringList{"fmOption", "fmOption"}));
    for (const char* pszList : {"lvPD", "lvOE"})
        EXPECT_TRUE(Headers(Find<QTreeView>(pWindow.get(), pszList)).contains("Fax")) << pszList;
}

TEST_F(MainWindowTest, CellsTellTheirWholeTextAndColumnWidthsSurviveReloads)
{
    const std::string company = "Ramirez Importaciones y Exportaciones del Pacifico S.A.";
    MakeSides({{"Jos\xE9", "Ram\xEDrez", "jose.ramirez@example.org", company}}, {{"Ann", "Archer", "ann@example.org"}});
    auto pWindow = OpenMain();
    auto* lvPD = Find<QTreeView>(pWindow.get(), "lvPD");
    const int nCompany = static_cast<int>(Headers(lvPD).indexOf("Company"));
    ASSERT_GT(nCompany, 0);
    const QAbstractItemModel* pModel = lvPD->model();
    EXPECT_EQ(pModel->data(pModel->index(0, 0), Qt::ToolTipRole).toString(),
              QString::fromUtf8("Jos\u00e9 Ram\u00edrez"));
    EXPECT_EQ(pModel->data(pModel->index(0, nCompany), Qt::ToolTipRole).toString().toStdString(), company);
    EXPECT_LT(lvPD->header()->sectionSize(nCompany),
              lvPD->fontMetrics().horizontalAdvance(QString::fromStdString(company)));

    // The user widens the column; reloads (Options, another file) keep it.
    lvPD->header()->resizeSection(nCompany, 333);
    auto* lvOE = Find<QTreeView>(pWindow.get(), "lvOE");
    const int nOtherWidth = lvOE->header()->sectionSize(nCompany);
    seam.modalScripts = {[](QDialog* pDialog) { Find<QPushButton>(pDialog, "sbtnOK")->click(); }};
    Find<QPushButton>(pWindow.get(), "btnOption")->click();
    EXPECT_EQ(lvPD->header()->sectionSize(nCompany), 333);
    EXPECT_EQ(lvOE->header()->sectionSize(nCompany), nOtherWidth);  // each list its own
    pWindow->Engine().LoadPalmList();
    EXPECT_EQ(lvPD->header()->sectionSize(nCompany), 333);
}

TEST_F(MainWindowTest, StatusBarSaysWhatEachSideLoadedAndWhatTheColoursMean)
{
    MakeSides(kPalmContacts, kWabContacts, {"SameColor=255", "ModifiedColor=65280", "NewColor=16711680"});
    auto pWindow = OpenMain();
    auto* sbMain = Find<QStatusBar>(pWindow.get(), "sbMain");
    const QString strShown = sbMain->currentMessage();
    EXPECT_TRUE(strShown.startsWith("Palm Desktop: 3 contacts from ")) << strShown.toStdString();
    EXPECT_TRUE(strShown.contains(QString::fromUtf8(" \u00b7 address book: 3 entries from ")))
        << strShown.toStdString();
    EXPECT_TRUE(strShown.endsWith("book.wab")) << strShown.toStdString();
    EXPECT_EQ(sbMain->toolTip().toStdString(),
              "Palm Desktop: 3 contacts from " + PalmPath() + "\naddress book: 3 entries from " + WabPath());
    const QString strLegend = Find<QLabel>(pWindow.get(), "lblLegend")->text();
    EXPECT_TRUE(strLegend.contains("color:#ff0000\">\u25a0 same")) << strLegend.toStdString();  // 0x0000FF is red
    EXPECT_TRUE(strLegend.contains("color:#00ff00\">\u25a0 modified")) << strLegend.toStdString();
    EXPECT_TRUE(strLegend.contains("color:#0000ff\">\u25a0 new")) << strLegend.toStdString();

    // One entry, the default book.
    pWindow->Settings().WabFile[0] = '\0';
    pWindow->Engine().LoadOutlookList();
    EXPECT_TRUE(sbMain->currentMessage().endsWith("address book: 0 entries in the default address book"))
        << sbMain->currentMessage().toStdString();
}

TEST_F(MainWindowTest, UserBoxFollowsTheLoadedFileAndFileDialogsStartAtIt)
{
    pdgen::Folder folder;
    folder.users = {{"Ann", "address", "address.dat", {}}, {"Bob", "address", "address.dat", {}}};
    const std::string desktop = File("Palm");
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(desktop, folder));
    ASSERT_TRUE(WritePalmFile(desktop + "/Ann/address/address.dat", {{"Amy", "Alpha", "amy@example.org"}}));
    ASSERT_TRUE(WritePalmFile(desktop + "/Bob/address/address.dat", {{"Ben", "Beta", "ben@example.org"}}));
    ASSERT_TRUE(WritePalmFile(PalmPath(), {{"Out", "Side", "out@example.org"}}));
    ASSERT_TRUE(WriteWabFile(WabPath(), {}));
    WriteIni({"WabFile=" + WabPath()}, "[Path]\nPDPath=" + desktop + "\n");
    auto pWindow = OpenMain();
    auto* cmbUser = Find<QComboBox>(pWindow.get(), "cmbUser");
    auto* cmbData = Find<QComboBox>(pWindow.get(), "cmbData");
    ASSERT_EQ(cmbUser->count(), 2);
    EXPECT_EQ(cmbUser->currentText(), "Ann");

    cmbData->setCurrentIndex(DATA_PALM_FILE);
    emit cmbData->activated(DATA_PALM_FILE);
    seam.openAnswers = {QString::fromStdString(PalmPath()),
                        QString::fromStdString(desktop + "/Bob/address/address.dat")};
    Find<QPushButton>(pWindow.get(), "btnBrowse")->click();
    EXPECT_EQ(Captions(Find<QTreeView>(pWindow.get(), "lvPD")), QStringList{"Out Side"});
    EXPECT_EQ(cmbUser->currentIndex(), -1);  // a file of no user
    Find<QPushButton>(pWindow.get(), "btnBrowse")->click();
    EXPECT_EQ(cmbUser->currentText(), "Bob");

    cmbData->setCurrentIndex(DATA_WAB_FILE);
    emit cmbData->activated(DATA_WAB_FILE);
    Find<QPushButton>(pWindow.get(), "btnBrowse")->click();  // cancelled
    ASSERT_EQ(seam.openRequests.size(), 3u);
    EXPECT_EQ(seam.openRequests[0].strStart.toStdString(), desktop + "/Ann/address/address.dat");
    EXPECT_EQ(seam.openRequests[1].strStart.toStdString(), PalmPath());
    EXPECT_EQ(seam.openRequests[2].strStart.toStdString(), WabPath());
}

// A Palm Desktop folder copied from Windows (user folders only: no palm.exe,
// no library file) and Cyrillic data, both chosen in Options.
TEST_F(MainWindowTest, OptionsChooseThePalmFolderAndTextEncodingAtOnce)
{
    pdgen::Folder folder;
    folder.bPalmExe = false;
    folder.libraryMask = 0;
    folder.users = {{"Olga", "Address", "Address.dat", {}}};
    const std::string copied = File("Palm OS Desktop");
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(copied, folder));
    // "Иван Петров" in Windows-1251.
    ASSERT_TRUE(WritePalmFile(copied + "/Olga/Address/Address.dat",
                              {{"\xC8\xE2\xE0\xED", "\xCF\xE5\xF2\xF0\xEE\xE2", "ivan@example.org"}}));
    ASSERT_TRUE(WriteWabFile(WabPath(), {}));
    WriteIni({"WabFile=" + WabPath()});
    auto pWindow = OpenMain();
    auto* cmbUser = Find<QComboBox>(pWindow.get(), "cmbUser");
    ASSERT_EQ(cmbUser->count(), 0);

    seam.folderAnswers = {QString::fromStdString(copied)};
    seam.modalScripts = {[](QDialog* pDialog) {  // a folder that does not exist is refused
                             Find<QLineEdit>(pDialog, "edtPDPath")->setText("/no/such/folder");
                             Find<QPushButton>(pDialog, "sbtnOK")->click();
                             Find<QPushButton>(pDialog, "sbtnCancel")->click();
                         },
                         [](QDialog* pDialog) {
                             Find<QPushButton>(pDialog, "sbtnPDPath")->click();
                             auto* cmbCodePage = Find<QComboBox>(pDialog, "cmbCodePage");
                             EXPECT_EQ(cmbCodePage->currentData().toString(), "CP1252");
                             EXPECT_EQ(cmbCodePage->currentText(), "Western European (Windows-1252)");
                             const int nCyrillic = cmbCodePage->findData(QStringLiteral("CP1251"));
                             ASSERT_GE(nCyrillic, 0);
                             EXPECT_EQ(cmbCodePage->itemText(nCyrillic), "Cyrillic (Windows-1251)");
                             cmbCodePage->setCurrentIndex(nCyrillic);
                             Find<QPushButton>(pDialog, "sbtnOK")->click();
                         }};
    Find<QPushButton>(pWindow.get(), "btnOption")->click();
    ASSERT_EQ(seam.messages.size(), 1u);
    EXPECT_EQ(seam.messages[0].strText, "The Palm Desktop folder doesn't exist, please choose another one!");
    EXPECT_EQ(cmbUser->count(), 0);

    Find<QPushButton>(pWindow.get(), "btnOption")->click();
    ASSERT_EQ(seam.folderRequests.size(), 1u);
    ASSERT_EQ(cmbUser->count(), 1);
    EXPECT_EQ(cmbUser->currentText(), "Olga");
    EXPECT_EQ(Captions(Find<QTreeView>(pWindow.get(), "lvPD")),
              QStringList{QString::fromUtf8("\u0418\u0432\u0430\u043d \u041f\u0435\u0442\u0440\u043e\u0432")});
    const std::string ini = vwtest::ReadFileText(IniPath());
    EXPECT_NE(ini.find("PDPath=" + copied), std::string::npos) << ini;
    EXPECT_NE(ini.find("Ansi=CP1251"), std::string::npos) << ini;
    pWindow.reset();
    SetAnsiCodePage("CP1252");
}

TEST_F(MainWindowTest, LayoutAndPanelCaptionClicks)
{
    MakeSides({}, {});
    auto pWindow = OpenMain();
    EXPECT_EQ(pWindow->size(), QSize(811, 594));
    EXPECT_EQ(pWindow->windowTitle(), "Varnwick - Synchronize Outlook Express Address Book and Palm Desktop Contact");
    EXPECT_EQ(Find<QWidget>(pWindow.get(), "pnlTop")->height(), 81);
    EXPECT_EQ(Find<QWidget>(pWindow.get(), "pnlUser")->height(), 65);
    EXPECT_EQ(Find<QWidget>(pWindow.get(), "sbMain")->height(), 19);
    EXPECT_EQ(Find<QLabel>(pWindow.get(), "imgTop")->size(), QSize(300, 52));
    const int nTopWidth = Find<QWidget>(pWindow.get(), "pnlTop")->width();
    EXPECT_EQ(Find<QPushButton>(pWindow.get(), "btnExit")->x(), nTopWidth - 110);
    EXPECT_EQ(Find<QPushButton>(pWindow.get(), "btnHelp")->x(), nTopWidth - 215);
    EXPECT_EQ(Find<QPushButton>(pWindow.get(), "btnOption")->x(), nTopWidth - 320);

    auto* pnlPD = Find<QWidget>(pWindow.get(), "pnlPD");
    const int nClient = Find<QWidget>(pWindow.get(), "pClient")->width();
    EXPECT_EQ(pnlPD->width(), 394);
    ClickPanel(Find<QWidget>(pWindow.get(), "pnlOECaption"));
    EXPECT_EQ(pnlPD->width(), 150);
    ClickPanel(Find<QWidget>(pWindow.get(), "pnlPDCaption"));
    EXPECT_EQ(pnlPD->width(), nClient - 150);
}

// ---- Start-up and shut-down ---------------------------------------------------

TEST_F(MainWindowTest, SyncModeSelectsItsButtonAndIsWrittenBackAtExit)
{
    struct Case {
        int nSyncMode;
        const char* pszChecked;
        const char* pszClick;  // a button the user clicks before exit, or null
        int nWritten;
    };
    const Case cases[] = {
        {0, "rbtnSync", nullptr, 0}, {1, "rbtnP2O", nullptr, 1},   {2, "rbtnO2P", nullptr, 2},
        {7, "rbtnP2O", nullptr, 7},  {7, "rbtnP2O", "rbtnO2P", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nSyncMode);
        MakeSides({}, {}, {"SyncMode=" + std::to_string(c.nSyncMode)});
        {
            auto pWindow = OpenMain();
            EXPECT_TRUE(Find<QRadioButton>(pWindow.get(), c.pszChecked)->isChecked());
            if (c.pszClick != nullptr)
                Find<QRadioButton>(pWindow.get(), c.pszClick)->click();
        }
        EXPECT_EQ(IniValue("SyncMode"), std::to_string(c.nWritten));
    }
}

TEST_F(MainWindowTest, FirstStartWithoutSettingsFileUsesTheFirstHotSyncUser)
{
    // A Palm Desktop installation with two users, found through Wine's
    // registry as on a first start; no corvane.ini.
    pdgen::Folder folder;
    const std::string alice = File("alice.dat");
    const std::string bob = File("bob.dat");
    const Contact kit("Kit", "Kay", "kit@example.org");  // with both users and in the address book
    ASSERT_TRUE(WritePalmFile(alice, {{"Amy", "Alpha", "amy@example.org"}, kit}));
    ASSERT_TRUE(WritePalmFile(bob, {{"Ben", "Beta", "ben@example.org"}, kit}));
    std::filesystem::create_directories(File("data/varnwick"));
    ASSERT_TRUE(WriteWabFile(File("data/varnwick/default.wab"), {kit}));
    folder.users = {{"Alice", "address", "address.dat", {}}, {"Bj\xC3\xB6rn", "address", "address.dat", {}}};
    for (size_t i = 0; i < 2; ++i) {
        const std::string bytes = vwtest::ReadFileText(i == 0 ? alice : bob);
        folder.users[i].addressData.assign(bytes.begin(), bytes.end());
    }
    const std::string desktop = File("Palm");
    std::string error;
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(desktop, folder, &error)) << error;
    ASSERT_TRUE(pdgen::MakeWinePrefix(File("wine"), desktop, &error)) << error;
    ASSERT_FALSE(std::filesystem::exists(IniPath()));

    DWORD dwAliceId = 0;
    {
        auto pWindow = OpenMain();
        auto* cmbUser = Find<QComboBox>(pWindow.get(), "cmbUser");
        ASSERT_EQ(cmbUser->count(), 2);
        EXPECT_EQ(cmbUser->currentText(), "Alice");
        EXPECT_EQ(cmbUser->itemText(1), QString::fromUtf8("Bj\u00f6rn"));
        dwAliceId = pWindow->Engine().GetUser(0)->dwUserID;
        EXPECT_EQ(static_cast<DWORD>(pWindow->Settings().UserID), dwAliceId);
        EXPECT_TRUE(Find<QRadioButton>(pWindow.get(), "rbtnSync")->isChecked());
        EXPECT_EQ(
            Headers(Find<QTreeView>(pWindow.get(), "lvPD")),
            (QStringList{"Display Name", "Company", "Title", "Email", "Business Phone", "Home Phone", "Mobile Phone"}));
        EXPECT_EQ(Captions(Find<QTreeView>(pWindow.get(), "lvPD")), (QStringList{"Amy Alpha", "Kit Kay"}));
        EXPECT_TRUE(QString::fromLatin1(pWindow->Settings().DatFile).endsWith("Alice/address/address.dat"));

        // The default address book is listed; Kit is the same on both sides.
        auto* lvOE = Find<QTreeView>(pWindow.get(), "lvOE");
        ASSERT_EQ(Captions(lvOE), QStringList{"Kit Kay"});
        ASSERT_FALSE(IsTicked(lvOE, 0));

        // Another user: lvPD is rebuilt, a tick set by hand in lvOE stays.
        SetTicked(lvOE, 0, true);
        cmbUser->setCurrentIndex(1);
        emit cmbUser->activated(1);
        EXPECT_EQ(Captions(Find<QTreeView>(pWindow.get(), "lvPD")), (QStringList{"Ben Beta", "Kit Kay"}));
        EXPECT_TRUE(IsTicked(lvOE, 0)) << "lvOE is not rebuilt by a user change";
        cmbUser->setCurrentIndex(0);
        emit cmbUser->activated(0);
    }
    ASSERT_TRUE(std::filesystem::exists(IniPath()));
    EXPECT_EQ(IniValue("SyncMode"), "0");
    EXPECT_EQ(IniValue("UserID"), std::to_string(static_cast<int>(dwAliceId)));
}

}  // namespace
}  // namespace guitest
