// The transfer engine, driven as the main window drives it: settings in a
// scratch corvane.ini, Palm data written by the address.dat generator, an
// address book made through the address-book connection, and the messages
// the window would show collected by a recording sink.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/oe/WabRecord.h"
#include "common/palm/PalmUser.h"
#include "common/palm/PmAddrInfo.h"
#include "platform/codepage/CodePage.h"
#include "platform/profile/PrivateProfile.h"
#include "platform/wab/MapiTags.h"
#include "src/core/ColumnTable.h"
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"
#include "tests/support/TestFiles.h"
#include "tools/datgen/DatGen.h"
#include "tools/pdgen/PdGen.h"

// The forwarding address-book library that fails one chosen call.
#include "tests/common/oe/FaultyWab_helpers.cpp"

namespace fs = std::filesystem;

namespace {

// A contact as the fixtures write it on either side.
struct Person {
    std::string first;
    std::string last;
    std::string email;
    std::string phone;  // work phone
};

struct Message {
    std::string text;
    std::string caption;
    int icon;
};

class RecordingSink : public IEngineSink {
public:
    void ShowMessage(const char* pszText, const char* pszCaption, int nIcon) override
    {
        messages.push_back({pszText, pszCaption, nIcon});
    }
    void Progress(int nCurrent, int nTotal) override { progress.emplace_back(nCurrent, nTotal); }

    std::vector<Message> messages;
    std::vector<std::pair<int, int>> progress;
};

// The Show... keys of the settings file, in column-table order (columns 2-26).
const char* const kShowKeys[] = {
    "ShowFirstName",    "ShowLastName",   "ShowCompany",     "ShowTitle",       "ShowEmail",
    "ShowBusiPhone",    "ShowHomePhone",  "ShowMobilePhone", "ShowFax",         "ShowMainPhone",
    "ShowBusiCountry",  "ShowBusiState",  "ShowBusiCity",    "ShowBusiStreet",  "ShowBusiPostal",
    "ShowHomeCountry",  "ShowHomeState",  "ShowHomeCity",    "ShowHomeStreet",  "ShowHomePostal",
    "ShowOtherCountry", "ShowOtherState", "ShowOtherCity",   "ShowOtherStreet", "ShowOtherPostal",
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No Palm Desktop, Wine registry or default address book of the
        // machine running the tests.
        setenv("WINEPREFIX", (m_dir + "/wine").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_dir + "/xdg").c_str(), 1);
        SetIniFilePathOverride(m_ini.c_str());
        Set("DatFile", m_palm);
        Set("WabFile", m_wab);
    }
    void TearDown() override
    {
        m_engine.reset();
        SetIniFilePathOverride(nullptr);
    }

    std::string File(const std::string& name) const { return m_tmp.File(name); }

    void Set(const char* pszKey, const std::string& value, const char* pszSection = "iSysVal")
    {
        ASSERT_TRUE(WritePrivateProfileStringA(pszSection, pszKey, value.c_str(), m_ini.c_str()));
    }

    static void WritePalm(const std::string& path, const std::vector<Person>& people)
    {
        namespace c = datgen::classic;
        datgen::DatDescription desc;
        for (const Person& p : people) {
            datgen::DatRecord rec;
            rec.Text(c::kFirstName, p.first).Text(c::kLastName, p.last);
            rec.Text(c::Phone(1), p.phone).Int(c::PhoneLabel(1), 0);  // work
            rec.Text(c::Phone(2), p.email).Int(c::PhoneLabel(2), 4);  // e-mail
            desc.records.push_back(rec);
        }
        ASSERT_TRUE(datgen::WriteBytesToFile(path, datgen::BuildFile(desc)));
    }

    static CommAddrRecord Neutral(const Person& p)
    {
        CommAddrRecord rec;
        ZeroCommRecord(&rec);
        SetTextField(&rec, CF_FIRST_NAME, p.first.c_str());
        SetTextField(&rec, CF_LAST_NAME, p.last.c_str());
        SetTextField(&rec, CF_EMAIL, p.email.c_str());
        SetTextField(&rec, CF_WORK_PHONE, p.phone.c_str());
        return rec;
    }

    static void WriteWab(const std::string& path, const std::vector<Person>& people)
    {
        CxWab wab(nullptr);
        ASSERT_TRUE(wab.OpenAddressBook(path.c_str()));
        for (const Person& p : people) {
            const CommAddrRecord rec = Neutral(p);
            ASSERT_TRUE(wab.StoreContact(&rec));
        }
    }

    static int CountWab(const std::string& path)
    {
        CxWab wab(nullptr);
        EXPECT_TRUE(wab.OpenAddressBook(path.c_str()));
        return wab.GetNeutralSet()->GetCount();
    }

    static int CountPalm(const std::string& path)
    {
        PmAddrInfo info(40102);
        EXPECT_TRUE(info.LoadContacts(path.c_str()));
        return info.GetContactSet()->GetCount();
    }

    void Fixture(const std::vector<Person>& palm, const std::vector<Person>& wab)
    {
        WritePalm(m_palm, palm);
        WriteWab(m_wab, wab);
    }

    TransferEngine& Start()
    {
        m_engine = std::make_unique<TransferEngine>(m_settings, &m_sink);
        m_engine->Startup();
        return *m_engine;
    }

    std::vector<std::string> Captions(ListType eList) const
    {
        std::vector<std::string> captions;
        for (int i = 0; i < m_engine->GetRowCount(eList); ++i)
            captions.push_back(m_engine->GetRow(eList, i)->strCaption);
        return captions;
    }

    std::vector<bool> Ticks(ListType eList) const
    {
        std::vector<bool> ticks;
        for (int i = 0; i < m_engine->GetRowCount(eList); ++i)
            ticks.push_back(m_engine->IsChecked(eList, i));
        return ticks;
    }

    vwtest::TempDir m_tmp{"engine"};
    const std::string m_dir = m_tmp.Path();
    const std::string m_ini = m_tmp.File("corvane.ini");
    const std::string m_palm = m_tmp.File("address.dat");
    const std::string m_wab = m_tmp.File("book.wab");
    SysSettings m_settings{};
    RecordingSink m_sink;
    std::unique_ptr<TransferEngine> m_engine;
};

const Person kAnn{"Ann", "Archer", "ann@example.org", "555-1000"};
const Person kBob{"Bob", "Baker", "bob@example.org", "555-2000"};
const Person kCid{"Cid", "Carter", "cid@example.org", "555-3000"};
const Person kDee{"Dee", "Dalton", "dee@example.org", "555-4000"};

// ---- Columns and rows ------------------------------------------------------

TEST_F(EngineTest, ColumnsFollowTheShowFlagsOnBothLists)
{
    Fixture({kAnn}, {kBob});
    struct Case {
        std::vector<const char*> shown;  // flags set; every other flag cleared
        std::vector<int> columns;
    };
    const Case cases[] = {
        {{}, {1}},
        {{"ShowEmail", "ShowFax"}, {1, 6, 10}},
        {{"ShowOtherPostal", "ShowFirstName"}, {1, 2, 26}},
    };
    for (const Case& c : cases) {
        for (const char* pszKey : kShowKeys)
            Set(pszKey, "0");
        for (const char* pszKey : c.shown)
            Set(pszKey, "1");
        TransferEngine& engine = Start();
        for (ListType eList : {LIST_PALM, LIST_WAB}) {
            EXPECT_EQ(engine.GetColumns(eList), c.columns) << "list " << eList;
            ASSERT_EQ(engine.GetRowCount(eList), 1);
            EXPECT_EQ(engine.GetRow(eList, 0)->subItems.size(), c.columns.size() - 1);
        }
        m_engine.reset();
    }

    // Email and Fax: the sub-items are the e-mail address and the fax.
    for (const char* pszKey : kShowKeys)
        Set(pszKey, "0");
    Set("ShowEmail", "1");
    Set("ShowFax", "1");
    TransferEngine& engine = Start();
    EXPECT_STREQ(g_ColumnDef[6].pszCaption, "Email");
    EXPECT_STREQ(g_ColumnDef[10].pszCaption, "Fax");
    EXPECT_EQ(engine.GetRow(LIST_PALM, 0)->subItems, (std::vector<std::string>{kAnn.email, ""}));
    EXPECT_EQ(engine.GetRow(LIST_WAB, 0)->subItems, (std::vector<std::string>{kBob.email, ""}));
}

TEST_F(EngineTest, FirstRunColumnsAreTheDefaultOnes)
{
    Fixture({kAnn}, {});
    TransferEngine& engine = Start();
    std::vector<std::string> captions;
    for (int nIndex : engine.GetColumns(LIST_PALM))
        captions.push_back(g_ColumnDef[nIndex].pszCaption);
    EXPECT_EQ(captions, (std::vector<std::string>{"Display Name", "Company", "Title", "Email", "Business Phone",
                                                  "Home Phone", "Mobile Phone"}));
    EXPECT_EQ(engine.InitialMode(), SYNC_BOTH);
}

TEST_F(EngineTest, CaptionsComeFromTheNamesAndTheDisplayName)
{
    const Person lastOnly{"", "Baker", "bob@example.org", ""};
    Fixture({kAnn, lastOnly}, {kCid});
    TransferEngine& engine = Start();
    EXPECT_EQ(Captions(LIST_PALM), (std::vector<std::string>{"Ann Archer", " Baker"}));
    EXPECT_EQ(Captions(LIST_WAB), (std::vector<std::string>{"Cid Carter"}));
    EXPECT_EQ(engine.PalmRecordAt(1)->nSourceType, CST_PALM);
    EXPECT_STREQ(engine.WabRecordAt(0)->PR_EMAIL_ADDRESS, kCid.email.c_str());
    EXPECT_EQ(engine.WabRecordAt(1), nullptr);
    EXPECT_EQ(engine.PalmRecordAt(-1), nullptr);
}

TEST_F(EngineTest, EmailOnlyHidesRowsButClassifiesEveryRecord)
{
    const Person palmNoMail{"Eve", "Evans", "", "555-5000"};
    const Person wabNoMailChanged{"Eve", "Evans", "", "555-5999"};
    const Person palmOnlyNoMail{"Fay", "Fisher", "", "555-6000"};
    Fixture({kAnn, palmNoMail, palmOnlyNoMail}, {kAnn, wabNoMailChanged, kDee});
    Set("EmailOnly", "1");
    TransferEngine& engine = Start();

    EXPECT_EQ(Captions(LIST_PALM), (std::vector<std::string>{"Ann Archer"}));
    EXPECT_EQ(Captions(LIST_WAB), (std::vector<std::string>{"Ann Archer", "Dee Dalton"}));
    EXPECT_EQ(Ticks(LIST_WAB), (std::vector<bool>{false, true}));

    // The hidden records are classified all the same.
    CommAddrMgr* pPalmSet = engine.GetPalmInfo()->GetContactSet();
    EXPECT_EQ(pPalmSet->GetRecordAt(1)->nStatus, RS_MODIFIED);
    EXPECT_EQ(pPalmSet->GetRecordAt(2)->nStatus, RS_NEW);
    CxWab* pWab = engine.GetWab();
    WabRecord* pEntry = pWab->GetFirstEntry();
    pEntry = pWab->GetNextEntry();
    EXPECT_EQ(pEntry->nState, RS_MODIFIED);

    // ... and never handed over, not even by Synchronize.
    const TransferResult result = engine.StartTransfer(SYNC_BOTH);
    EXPECT_EQ(result.nReported, 3);
    m_engine.reset();
    EXPECT_EQ(CountWab(m_wab), 3);    // Fay did not arrive
    EXPECT_EQ(CountPalm(m_palm), 4);  // Dee did; Eve stays unchanged
}

TEST_F(EngineTest, RowColoursFollowStatesAndDisableColorKeepsTheTicks)
{
    const Person bobChanged{"Bob", "Baker", "bob@example.org", "555-2999"};
    Fixture({kAnn, kBob, kCid}, {kAnn, bobChanged});
    Set("SameColor", "1");
    Set("ModifiedColor", "2");
    Set("NewColor", "3");
    for (const bool bDisable : {false, true}) {
        Set("DisableColor", bDisable ? "1" : "0");
        TransferEngine& engine = Start();
        EXPECT_EQ(Ticks(LIST_PALM), (std::vector<bool>{false, true, true})) << bDisable;
        EXPECT_EQ(Ticks(LIST_WAB), (std::vector<bool>{false, true})) << bDisable;
        const int expected[] = {1, 2, 3};
        for (int nRow = 0; nRow < 3; ++nRow) {
            int nColor = -1;
            EXPECT_EQ(engine.RowColor(LIST_PALM, nRow, &nColor), !bDisable);
            EXPECT_EQ(nColor, bDisable ? -1 : expected[nRow]) << "row " << nRow;
        }
        m_engine.reset();
    }
}

TEST_F(EngineTest, PopupSelectAllAndClearAllTickEveryRow)
{
    Fixture({kAnn, kBob}, {kAnn, kBob});
    TransferEngine& engine = Start();
    EXPECT_EQ(engine.CountChecked(LIST_PALM), 0);
    engine.SelectAll(LIST_PALM);
    EXPECT_EQ(Ticks(LIST_PALM), (std::vector<bool>{true, true}));
    EXPECT_EQ(engine.CountChecked(LIST_WAB), 0);
    engine.ClearAll(LIST_PALM);
    EXPECT_EQ(engine.CountChecked(LIST_PALM), 0);
}

// ---- Transfers -------------------------------------------------------------

TEST_F(EngineTest, PalmToOutlookReportsTickedRowsAndAddsOnlyWhatDiffers)
{
    Fixture({kAnn, kBob, kCid}, {kAnn});
    const std::string palmBefore = vwtest::ReadFileText(m_palm);
    TransferEngine& engine = Start();
    EXPECT_EQ(Ticks(LIST_PALM), (std::vector<bool>{false, true, true}));
    engine.SetChecked(LIST_PALM, 0, true);  // the same one, ticked by the user

    const TransferResult result = engine.StartTransfer(SYNC_PALM_TO_OE);
    ASSERT_EQ(m_sink.messages.size(), 1u);
    EXPECT_EQ(m_sink.messages[0].text, "Palm Desktop to Outlook Express completed successfully, 3 records transfered.");
    EXPECT_EQ(m_sink.messages[0].caption, "Information");
    EXPECT_EQ(m_sink.messages[0].icon, kIconInformation);
    EXPECT_EQ(result.toWab.nAdded, 2);
    EXPECT_EQ(result.toWab.nUnchanged, 1);
    EXPECT_FALSE(result.toPalm.bReceiving);
    EXPECT_EQ(m_sink.progress.back(), std::make_pair(3, 3));

    // The book was reopened: three rows, all the same now, none ticked.
    EXPECT_EQ(Captions(LIST_WAB), (std::vector<std::string>{"Ann Archer", "Bob Baker", "Cid Carter"}));
    EXPECT_EQ(Ticks(LIST_WAB), (std::vector<bool>{false, false, false}));
    m_engine.reset();
    EXPECT_EQ(CountWab(m_wab), 3);
    EXPECT_EQ(vwtest::ReadFileText(m_palm), palmBefore);
}

// Two Palm contacts sharing their key fields are two contacts: the book
// gains an entry for each, and neither is merged into the other.
TEST_F(EngineTest, NamesakesBecomeTwoEntries)
{
    const Person bobAgain{"Bob", "Baker", "bob@example.org", "555-2999"};
    Fixture({kBob, bobAgain, kCid}, {});
    TransferEngine& engine = Start();
    const TransferResult result = engine.StartTransfer(SYNC_PALM_TO_OE);
    EXPECT_TRUE(result.bSuccess);
    EXPECT_EQ(result.strMessage, "Palm Desktop to Outlook Express completed successfully, 3 records transfered.");
    EXPECT_EQ(result.toWab.nAdded, 3);
    EXPECT_EQ(result.toWab.nFailed, 0);
    EXPECT_EQ(Captions(LIST_WAB), (std::vector<std::string>{"Bob Baker", "Bob Baker", "Cid Carter"}));
    EXPECT_EQ(engine.GetRow(LIST_WAB, 0)->subItems[3], "555-2000");  // Business Phone
    EXPECT_EQ(engine.GetRow(LIST_WAB, 1)->subItems[3], "555-2999");
    // Each Palm row found its own entry: nothing is left to transfer.
    EXPECT_EQ(Ticks(LIST_PALM), (std::vector<bool>{false, false, false}));
}

TEST_F(EngineTest, OutlookToPalmWithNothingTickedOnlyAsks)
{
    Fixture({kAnn}, {kBob, kCid});
    const std::string palmBefore = vwtest::ReadFileText(m_palm);
    TransferEngine& engine = Start();
    engine.ClearAll(LIST_WAB);
    const TransferResult result = engine.StartTransfer(SYNC_OE_TO_PALM);
    EXPECT_FALSE(result.bRan);
    ASSERT_EQ(m_sink.messages.size(), 1u);
    EXPECT_EQ(m_sink.messages[0].text,
              "Please select Outlook Express contacts which you want to transfer to Palm Desktop.");
    EXPECT_EQ(m_sink.messages[0].caption, "Information");
    EXPECT_EQ(engine.GetRowCount(LIST_PALM), 1);
    m_engine.reset();
    EXPECT_EQ(vwtest::ReadFileText(m_palm), palmBefore);
}

TEST_F(EngineTest, OutlookToPalmAddsAndReloads)
{
    const Person annChanged{"Ann", "Archer", "ann@example.org", "555-1999"};
    Fixture({kAnn}, {annChanged, kBob});
    TransferEngine& engine = Start();
    const TransferResult result = engine.StartTransfer(SYNC_OE_TO_PALM);
    EXPECT_EQ(result.strMessage, "Outlook Express to Palm Desktop completed successfully, 2 records transfered.");
    EXPECT_EQ(result.toPalm.nUpdated, 1);
    EXPECT_EQ(result.toPalm.nAdded, 1);
    EXPECT_EQ(Captions(LIST_PALM), (std::vector<std::string>{"Ann Archer", "Bob Baker"}));
    EXPECT_EQ(engine.GetRow(LIST_PALM, 0)->subItems[3], "555-1999");  // Business Phone
    EXPECT_EQ(Ticks(LIST_PALM), (std::vector<bool>{false, false}));
}

TEST_F(EngineTest, SynchronizeHandsEveryRowAndReportsTheirSum)
{
    std::vector<Person> palm, wab;
    for (int i = 0; i < 5; ++i)
        palm.push_back({"P" + std::to_string(i), "Palm", "p" + std::to_string(i) + "@example.org", ""});
    for (int i = 0; i < 7; ++i)
        wab.push_back({"W" + std::to_string(i), "Book", "w" + std::to_string(i) + "@example.org", ""});
    Fixture(palm, wab);
    TransferEngine& engine = Start();
    engine.ClearAll(LIST_PALM);
    engine.ClearAll(LIST_WAB);
    const TransferResult result = engine.StartTransfer(SYNC_BOTH);
    EXPECT_EQ(result.strMessage, "Outlook Express and Palm Desktop synchronized successfully, 12 records transfered.");
    EXPECT_EQ(result.toWab.nAdded, 5);
    EXPECT_EQ(result.toPalm.nAdded, 7);
    // Entries the book gained were not handed back: each side holds 12.
    EXPECT_EQ(engine.GetRowCount(LIST_PALM), 12);
    EXPECT_EQ(engine.GetRowCount(LIST_WAB), 12);
    EXPECT_EQ(engine.CountChecked(LIST_PALM) + engine.CountChecked(LIST_WAB), 0);
}

TEST_F(EngineTest, SynchronizeOfAContactChangedOnBothSidesLeavesOneValueOnEach)
{
    // Ann's work phone differs; only the book has a fax, and it is a home fax.
    WritePalm(m_palm, {{"Ann", "Archer", "ann@example.org", "555-1111"}});
    {
        CommAddrRecord rec = Neutral({"Ann", "Archer", "ann@example.org", "555-2222"});
        SetTextField(&rec, CF_HOME_FAX, "555-9999");
        CxWab wab(nullptr);
        ASSERT_TRUE(wab.OpenAddressBook(m_wab.c_str()));
        ASSERT_TRUE(wab.StoreContact(&rec));
    }
    TransferEngine& engine = Start();
    ASSERT_EQ(engine.RowState(LIST_PALM, 0), RS_MODIFIED);
    const TransferResult first = engine.StartTransfer(SYNC_BOTH);
    EXPECT_TRUE(first.bSuccess) << first.strMessage;
    EXPECT_EQ(first.toWab.nUpdated, 1);

    // Where both sides held a value the Palm side's stands on both; the fax
    // only the book had reaches the Palm side, and the book keeps it as its
    // home fax.
    ASSERT_EQ(engine.GetRowCount(LIST_PALM), 1);
    ASSERT_EQ(engine.GetRowCount(LIST_WAB), 1);
    EXPECT_EQ(engine.GetRow(LIST_PALM, 0)->subItems[3], "555-1111");  // Business Phone
    EXPECT_EQ(engine.GetRow(LIST_WAB, 0)->subItems[3], "555-1111");
    EXPECT_EQ(engine.RowState(LIST_PALM, 0), RS_SAME);
    EXPECT_EQ(engine.RowState(LIST_WAB, 0), RS_SAME);
    {
        PmAddrInfo info(40102);
        ASSERT_TRUE(info.LoadContacts(m_palm.c_str()));
        const CommAddrRecord* pPalm = info.GetContactSet()->GetRecordAt(0);
        ASSERT_NE(pPalm, nullptr);
        EXPECT_STREQ(pPalm->szWorkPhone, "555-1111");
        EXPECT_STREQ(pPalm->szWorkFax, "555-9999");
    }
    {
        CxWab wab(nullptr);
        ASSERT_TRUE(wab.OpenAddressBook(m_wab.c_str()));
        const CommAddrRecord* pBook = wab.GetNeutralSet()->GetRecordAt(0);
        ASSERT_NE(pBook, nullptr);
        EXPECT_STREQ(pBook->szWorkPhone, "555-1111");
        EXPECT_STREQ(pBook->szHomeFax, "555-9999");
        EXPECT_STREQ(pBook->szWorkFax, "");
    }

    // Nothing is left to carry either way.
    engine.SelectAll(LIST_PALM);
    engine.SelectAll(LIST_WAB);
    const TransferResult second = engine.StartTransfer(SYNC_BOTH);
    EXPECT_EQ(second.toWab.nAdded + second.toWab.nUpdated + second.toPalm.nAdded + second.toPalm.nUpdated, 0)
        << second.strMessage;
}

TEST_F(EngineTest, SynchronizeWithBothListsEmptyIsAnError)
{
    Fixture({}, {});
    const std::string palmBefore = vwtest::ReadFileText(m_palm);
    TransferEngine& engine = Start();
    const TransferResult result = engine.StartTransfer(SYNC_BOTH);
    EXPECT_FALSE(result.bRan);
    ASSERT_EQ(m_sink.messages.size(), 1u);
    EXPECT_EQ(m_sink.messages[0].text, "No contact records found.");
    EXPECT_EQ(m_sink.messages[0].caption, "Error");
    EXPECT_EQ(m_sink.messages[0].icon, kIconInformation);
    m_engine.reset();
    EXPECT_EQ(vwtest::ReadFileText(m_palm), palmBefore);
}

TEST_F(EngineTest, CustomMappingIsHandedOnlyWhenSyncCustomIsOn)
{
    Fixture({kAnn}, {kAnn});
    Set("Custom1", std::to_string(PR_NICKNAME));
    Set("Custom9", std::to_string(PR_PAGER_TELEPHONE_NUMBER));
    for (const bool bOn : {false, true}) {
        Set("SyncCustom", bOn ? "1" : "0");
        TransferEngine& engine = Start();  // the connection clears the mapping
        engine.StartTransfer(SYNC_BOTH);
        const DWORD* pMapping = CxWab::GetCustomMapping();
        EXPECT_EQ(pMapping[0], bOn ? PR_NICKNAME : 0u);
        EXPECT_EQ(pMapping[8], bOn ? PR_PAGER_TELEPHONE_NUMBER : 0u);
        m_engine.reset();
    }
}

// A receiving side that cannot take the records gets an error naming it,
// never the success message.
TEST_F(EngineTest, FailedReceivingSideIsReportedAsAnError)
{
    struct Case {
        const char* name;
        int nMode;
        bool bBadBook;        // WabFile is not an address book
        bool bNoPalmFile;     // DatFile does not exist
        bool bSaveFails;      // the Palm file cannot be replaced after loading
        bool bRefuseEntries;  // the book creates no new entry
        const char* pszSaid;  // part of the message
    };
    const Case cases[] = {
        {"book not open", SYNC_PALM_TO_OE, true, false, false, false, "Outlook Express address book"},
        {"book takes nothing", SYNC_PALM_TO_OE, false, false, false, true, "1 of the 1 new"},
        {"palm not loaded", SYNC_OE_TO_PALM, false, true, false, false, "is not loaded"},
        {"palm save fails", SYNC_OE_TO_PALM, false, false, true, false, "could not be saved"},
        {"sync, book not open", SYNC_BOTH, true, false, false, false, "is not open"},
        {"sync, palm save fails", SYNC_BOTH, false, false, true, false, "could not be saved"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_palm);
        fs::remove_all(m_wab);
        Fixture({kAnn}, {kBob});
        if (c.bBadBook) {
            std::ofstream(m_wab, std::ios::trunc) << "not an address book\n";
        }
        if (c.bNoPalmFile)
            fs::remove(m_palm);
        UseFaultyWab(c.bRefuseEntries ? WabFault::CreateEntry : WabFault::None);
        TransferEngine& engine = Start();
        engine.SelectAll(LIST_PALM);
        engine.SelectAll(LIST_WAB);
        if (c.bSaveFails) {
            fs::remove(m_palm);
            fs::create_directory(m_palm);
        }
        m_sink.messages.clear();
        const TransferResult result = engine.StartTransfer(c.nMode);
        EXPECT_TRUE(result.bRan);
        EXPECT_FALSE(result.bSuccess);
        ASSERT_EQ(m_sink.messages.size(), 1u);
        EXPECT_EQ(m_sink.messages[0].caption, "Error");
        EXPECT_EQ(m_sink.messages[0].icon, kIconError);
        EXPECT_NE(m_sink.messages[0].text.find(c.pszSaid), std::string::npos) << m_sink.messages[0].text;
        EXPECT_EQ(m_sink.messages[0].text.find("successfully"), std::string::npos);
        // A Palm side that could not be saved is loaded again, not listed
        // from memory: its place holds no data file any more.
        if (c.bSaveFails) {
            EXPECT_EQ(engine.GetRowCount(LIST_PALM), 0);
        }
        m_engine.reset();
        UseRealWab();
        if (c.bBadBook) {
            EXPECT_EQ(vwtest::ReadFileText(m_wab), "not an address book\n");
        }
    }
}

// Each one-way transfer speaks of its own direction: the prompt when no row
// is ticked, and the error that names the receiving side it could not use.
TEST_F(EngineTest, EachOneWayTransferNamesItsOwnDirection)
{
    struct Case {
        int nMode;
        ListType eFrom;
        const char* pszPrompt;
        const char* pszFailure;  // how the error begins when the other side is not there
    };
    const Case cases[] = {
        {SYNC_PALM_TO_OE, LIST_PALM,
         "Please select Palm Desktop contacts which you want to transfer to Outlook Express.",
         "Palm Desktop to Outlook Express failed: the Outlook Express address book "},
        {SYNC_OE_TO_PALM, LIST_WAB,
         "Please select Outlook Express contacts which you want to transfer to Palm Desktop.",
         "Outlook Express to Palm Desktop failed: the Palm Desktop data file "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nMode);
        const bool bToWab = c.eFrom == LIST_PALM;
        fs::remove_all(m_palm);
        fs::remove_all(m_wab);
        Fixture({kAnn}, {kBob});
        TransferEngine& engine = Start();
        engine.ClearAll(c.eFrom);
        m_sink.messages.clear();
        TransferResult result = engine.StartTransfer(c.nMode);
        EXPECT_FALSE(result.bRan);
        EXPECT_EQ(result.nMode, c.nMode);
        ASSERT_EQ(m_sink.messages.size(), 1u);
        EXPECT_EQ(m_sink.messages[0].text, c.pszPrompt);
        m_engine.reset();

        // The receiving side cannot be read: nothing is handed, all fail.
        if (bToWab)
            std::ofstream(m_wab, std::ios::trunc) << "not an address book\n";
        else
            fs::remove(m_palm);
        TransferEngine& again = Start();
        again.SelectAll(c.eFrom);
        m_sink.messages.clear();
        result = again.StartTransfer(c.nMode);
        EXPECT_TRUE(result.bRan);
        EXPECT_EQ(result.nMode, c.nMode);
        ASSERT_EQ(m_sink.messages.size(), 1u);
        EXPECT_EQ(m_sink.messages[0].text.rfind(c.pszFailure, 0), 0u) << m_sink.messages[0].text;
        const SideOutcome& receiver = bToWab ? result.toWab : result.toPalm;
        const SideOutcome& sender = bToWab ? result.toPalm : result.toWab;
        EXPECT_TRUE(receiver.bReceiving);
        EXPECT_EQ(receiver.nFailed, 1);
        EXPECT_EQ(receiver.nHanded, 0);
        EXPECT_FALSE(sender.bReceiving);
        m_engine.reset();
    }
}

// A book that fills the disk part of the way through: the contacts it took
// are counted as added, the rest as failed, and the transfer is an error
// that says which side, how many and why, never a success.
TEST_F(EngineTest, ATransferIntoAFullDiskIsAnError)
{
    std::vector<Person> palm;
    for (int i = 0; i < 400; ++i)
        palm.push_back({"First" + std::to_string(i), "Last" + std::to_string(i),
                        "p" + std::to_string(i) + "@example.org", "555-" + std::to_string(1000 + i)});
    Fixture(palm, {});
    TransferEngine& engine = Start();
    engine.SelectAll(LIST_PALM);

    // The book may grow by some 32 KB: a file-size limit is a full disk.
    struct rlimit saved { };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*pOldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = static_cast<rlim_t>((fs::exists(m_wab) ? fs::file_size(m_wab) : 0) + 32 * 1024);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const TransferResult result = engine.StartTransfer(SYNC_PALM_TO_OE);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, pOldHandler);

    EXPECT_TRUE(result.bRan);
    EXPECT_FALSE(result.bSuccess);
    EXPECT_EQ(result.strCaption, "Error");
    // The book takes a transfer in one transaction: all of it or none.
    EXPECT_EQ(result.toWab.nAdded, 0);
    EXPECT_EQ(result.toWab.nFailed, 400);
    const std::string counted = std::to_string(result.toWab.nFailed) +
                                " of the 400 new or changed records could not "
                                "be written to the Outlook Express address book: the disk is full";
    EXPECT_NE(result.strMessage.find(counted), std::string::npos) << result.strMessage;
    // Nothing of it is in the book, and the list shows the book as it is,
    // not the entries that were to be written.
    EXPECT_EQ(CountWab(m_wab), 0);
    EXPECT_EQ(engine.GetRowCount(LIST_WAB), 0);
    EXPECT_EQ(engine.GetWab()->GetNeutralSet()->GetCount(), 0);
}

// ---- Users, data files, start and stop -------------------------------------

TEST_F(EngineTest, UsersAreListedAndAUserChangeReloadsOnlyThePalmList)
{
    const std::string root = File("Palm");
    pdgen::Folder folder;  // palm.exe 4.1.2: extended address.dat expected
    folder.users = {{"Ann", "address", "address.dat", {}}, {"Bob", "address", "address.dat", {}}};
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(root, folder));
    WritePalm(root + "/Ann/address/address.dat", {kAnn});
    WritePalm(root + "/Bob/address/address.dat", {kBob, kCid});
    WriteWab(m_wab, {kDee});
    Set("PDPath", root, "Path");
    Set("UserID", "0");

    TransferEngine& engine = Start();
    ASSERT_EQ(engine.GetUserCount(), 2);
    EXPECT_STREQ(engine.GetUser(0)->szName, "Ann");
    EXPECT_EQ(engine.GetSelectedUser(), 0);
    EXPECT_EQ(static_cast<DWORD>(m_settings.UserID), engine.GetUser(0)->dwUserID);
    EXPECT_EQ(std::string(m_settings.DatFile), root + "/Ann/address/address.dat");
    EXPECT_EQ(Captions(LIST_PALM), (std::vector<std::string>{"Ann Archer"}));

    engine.DataSourceChanged(DATA_PALM_FILE);
    EXPECT_STREQ(engine.GetDataText(), m_settings.DatFile);
    engine.ClearAll(LIST_WAB);
    engine.SetChecked(LIST_WAB, 0, true);
    engine.UserChanged(1);
    EXPECT_EQ(static_cast<DWORD>(m_settings.UserID), engine.GetUser(1)->dwUserID);
    EXPECT_EQ(std::string(m_settings.DatFile), root + "/Bob/address/address.dat");
    EXPECT_STREQ(engine.GetDataText(), m_settings.DatFile);
    EXPECT_EQ(Captions(LIST_PALM), (std::vector<std::string>{"Bob Baker", "Cid Carter"}));
    EXPECT_EQ(Ticks(LIST_WAB), (std::vector<bool>{true}));
    const DWORD dwBob = engine.GetUser(1)->dwUserID;
    m_engine.reset();

    // A stored id selects its user; an unknown one shows the first user and
    // keeps the id.
    Set("UserID", std::to_string(dwBob));
    EXPECT_EQ(Start().GetSelectedUser(), 1);
    m_engine.reset();
    Set("UserID", "12345");
    EXPECT_EQ(Start().GetSelectedUser(), 0);
    EXPECT_EQ(m_settings.UserID, 12345);
}

// The Options dialog's Palm Desktop folder and code page: written into the
// settings file at once and in force for the lists that follow.
TEST_F(EngineTest, ChosenPalmFolderAndCodePageTakeEffectAtOnce)
{
    // A folder as copied from a Windows disk: user folders only, no
    // palm.exe, no library file; Olga's names are Windows-1251 bytes.
    const std::string copied = File("Copied Palm");
    pdgen::Folder folder;
    folder.bPalmExe = false;
    folder.libraryMask = 0;
    folder.users = {{"Olga", "address", "address.dat", {}}, {"Pavel", "Address", "ADDRESS.DAT", {}}};
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(copied, folder));
    WritePalm(copied + "/Olga/address/address.dat", {{"\xC8\xE2\xE0\xED", "\xCF\xE5\xF2\xF0\xEE\xE2", "", ""}});
    WritePalm(copied + "/Pavel/Address/ADDRESS.DAT", {kBob});
    Fixture({kAnn}, {kAnn});
    Set("UserID", "777");

    TransferEngine& engine = Start();
    EXPECT_EQ(engine.GetUserCount(), 0);
    EXPECT_EQ(engine.GetLoadedUser(), -1);
    engine.DataSourceChanged(DATA_PALM_FILE);

    ASSERT_TRUE(engine.SetPalmDesktop(copied.c_str(), "CP1251"));
    EXPECT_EQ(engine.GetRowCount(LIST_PALM), 0);  // the caller reloads
    char szValue[MAX_PATH] = {};
    GetPrivateProfileStringA("Path", "PDPath", "", szValue, MAX_PATH, m_ini.c_str());
    EXPECT_EQ(std::string(szValue), copied);
    GetPrivateProfileStringA("CodePage", "Ansi", "", szValue, MAX_PATH, m_ini.c_str());
    EXPECT_STREQ(szValue, "CP1251");
    EXPECT_EQ(GetAnsiCodePage(), "CP1251");
    ASSERT_EQ(engine.GetUserCount(), 2);
    EXPECT_EQ(engine.GetSelectedUser(), 0);  // 777 is nobody here: the first user
    EXPECT_EQ(static_cast<DWORD>(m_settings.UserID), engine.GetUser(0)->dwUserID);
    EXPECT_EQ(std::string(m_settings.DatFile), copied + "/Olga/address/address.dat");
    EXPECT_STREQ(engine.GetDataText(), m_settings.DatFile);
    engine.LoadPalmList();
    ASSERT_EQ(engine.GetRowCount(LIST_PALM), 1);
    EXPECT_EQ(AnsiToUtf8(engine.GetRow(LIST_PALM, 0)->strCaption),
              "\u0418\u0432\u0430\u043d \u041f\u0435\u0442\u0440\u043e\u0432");
    EXPECT_EQ(engine.GetLoadedUser(), 0);

    // The user the list shows is the one whose file is loaded, whatever chose it.
    engine.BrowseResult((copied + "/pavel/address/address.dat").c_str());
    EXPECT_EQ(engine.GetLoadedUser(), 1);
    engine.BrowseResult(m_palm.c_str());
    EXPECT_EQ(engine.GetLoadedUser(), -1);

    // A folder without users names no file of the old one.
    const std::string empty = File("Empty Palm");
    fs::create_directories(empty);
    ASSERT_TRUE(engine.SetPalmDesktop(empty.c_str(), "CP1252"));
    EXPECT_EQ(engine.GetUserCount(), 0);
    EXPECT_STREQ(m_settings.DatFile, "");
    EXPECT_EQ(GetAnsiCodePage(), "CP1252");

    EXPECT_FALSE(engine.SetPalmDesktop(copied.c_str(), "NO-SUCH-PAGE"));
    GetPrivateProfileStringA("Path", "PDPath", "", szValue, MAX_PATH, m_ini.c_str());
    EXPECT_EQ(std::string(szValue), empty);
}

TEST_F(EngineTest, BrowseResultReplacesTheFileOfTheChosenSource)
{
    Fixture({kAnn}, {kBob});
    const std::string other = File("other.dat");
    WritePalm(other, {kCid, kDee});
    TransferEngine& engine = Start();
    EXPECT_STREQ(engine.GetDataText(), "");  // nothing shown until the user chooses

    engine.DataSourceChanged(DATA_PALM_FILE);
    engine.BrowseResult(nullptr);  // cancelled
    EXPECT_EQ(std::string(m_settings.DatFile), m_palm);
    EXPECT_EQ(engine.GetRowCount(LIST_PALM), 1);

    engine.BrowseResult(other.c_str());
    EXPECT_EQ(std::string(m_settings.DatFile), other);
    EXPECT_EQ(std::string(engine.GetDataText()), other);
    EXPECT_EQ(Captions(LIST_PALM), (std::vector<std::string>{"Cid Carter", "Dee Dalton"}));
    EXPECT_EQ(Ticks(LIST_PALM), (std::vector<bool>{true, true}));
    engine.DataSourceChanged(DATA_WAB_FILE);
    EXPECT_EQ(std::string(engine.GetDataText()), m_wab);
}

TEST_F(EngineTest, ShutdownSavesTheSettingsOnceAndModeClicksAreKept)
{
    Fixture({kAnn}, {});
    Set("SyncMode", "7");
    TransferEngine& engine = Start();
    EXPECT_EQ(engine.InitialMode(), SYNC_PALM_TO_OE);
    EXPECT_EQ(m_settings.SyncMode, 7);
    EXPECT_TRUE(engine.Shutdown(true));
    EXPECT_NE(vwtest::ReadFileText(m_ini).find("SyncMode=7"), std::string::npos);
    EXPECT_EQ(engine.GetPalmInfo(), nullptr);
    EXPECT_EQ(engine.GetRowCount(LIST_PALM), 0);

    // A second shutdown writes nothing.
    fs::remove(m_ini);
    EXPECT_TRUE(engine.Shutdown(true));
    EXPECT_FALSE(fs::exists(m_ini));
    m_engine.reset();

    Set("SyncMode", "0");
    Start().ModeClicked(SYNC_OE_TO_PALM);
    m_engine.reset();  // destruction alone does not save
    EXPECT_NE(vwtest::ReadFileText(m_ini).find("SyncMode=0"), std::string::npos);
    Start().ModeClicked(SYNC_OE_TO_PALM);
    EXPECT_TRUE(m_engine->Shutdown(true));
    EXPECT_NE(vwtest::ReadFileText(m_ini).find("SyncMode=2"), std::string::npos);
}

}  // namespace
