// Export and import of a side, driven through the transfer engine as the
// window and the command line drive it: the Palm side an extended
// address.dat filled through the facade, the address book a scratch .wab.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "common/exchange/ContactExchange.h"
#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/palm/PmAddrInfo.h"
#include "platform/oletime/OleTime.h"
#include "platform/profile/PrivateProfile.h"
#include "src/core/SideExchange.h"
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"
#include "tests/support/TestFiles.h"
#include "tools/datgen/DatGen.h"

namespace {

CommAddrRecord Contact(const char* pszFirst, const char* pszLast, const char* pszEmail, const char* pszPhone)
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    SetTextField(&record, CF_FIRST_NAME, pszFirst);
    SetTextField(&record, CF_LAST_NAME, pszLast);
    SetTextField(&record, CF_EMAIL, pszEmail);
    SetTextField(&record, CF_WORK_PHONE, pszPhone);
    return record;
}

// Contacts with most of what both sides keep: accents, addresses, a note
// of two lines, several phones, a birthday, a company-only contact.
std::vector<CommAddrRecord> People()
{
    std::vector<CommAddrRecord> people;
    CommAddrRecord ann = Contact("Ann", "Arch\xE9r", "ann@example.org", "555-1000");
    SetTextField(&ann, CF_COMPANY, "Caf\xE9 Ol\xE9, Inc.");
    SetTextField(&ann, CF_TITLE, "Buyer");
    SetTextField(&ann, CF_HOME_PHONE, "555-1001");
    SetTextField(&ann, CF_MOBILE_PHONE, "555-1002");
    SetTextField(&ann, CF_WORK_STREET, "1 Main St");
    SetTextField(&ann, CF_WORK_CITY, "San Jos\xE9");
    SetTextField(&ann, CF_HOME_STREET, "2 Elm; Apt 3");
    SetTextField(&ann, CF_HOME_COUNTRY, "USA");
    SetTextField(&ann, CF_NOTE, "Line one, first\nLine two; second");
    SYSTEMTIME st = {};
    st.wYear = 1984, st.wMonth = 11, st.wDay = 14;
    SystemTimeToVariantTime(&st, &ann.dtBirthday);
    people.push_back(ann);
    people.push_back(Contact("Bob", "Baker", "", "555-2000"));
    CommAddrRecord acme = Contact("", "", "", "555-3000");
    SetTextField(&acme, CF_COMPANY, "Acme Plumbing");
    people.push_back(acme);
    return people;
}

class SideExchangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("WINEPREFIX", File("wine").c_str(), 1);
        setenv("XDG_DATA_HOME", File("xdg").c_str(), 1);
        SetIniFilePathOverride(m_ini.c_str());
        WritePrivateProfileStringA("iSysVal", "DatFile", m_palm.c_str(), m_ini.c_str());
        WritePrivateProfileStringA("iSysVal", "WabFile", m_wab.c_str(), m_ini.c_str());
    }
    void TearDown() override
    {
        m_engine.reset();
        SetIniFilePathOverride(nullptr);
    }

    std::string File(const std::string& name) const { return m_tmp.File(name); }

    // An extended address.dat holding the records, written by the facade.
    static void WritePalm(const std::string& path, const std::vector<CommAddrRecord>& records)
    {
        datgen::DatDescription desc;
        desc.format = datgen::DatFormat::Extended;
        ASSERT_TRUE(datgen::WriteBytesToFile(path, datgen::BuildFile(desc)));
        if (records.empty())
            return;
        PmAddrInfo info(40102);
        ASSERT_TRUE(info.LoadContacts(path.c_str()));
        for (const CommAddrRecord& record : records)
            ASSERT_TRUE(info.AddRecord(&record));
        ASSERT_TRUE(info.SaveContacts());
    }

    static void WriteWab(const std::string& path, const std::vector<CommAddrRecord>& records)
    {
        CxWab wab(nullptr);
        ASSERT_TRUE(wab.OpenAddressBook(path.c_str()));
        for (const CommAddrRecord& record : records)
            ASSERT_TRUE(wab.StoreContact(&record));
    }

    TransferEngine& Start()
    {
        m_engine.reset();
        m_engine = std::make_unique<TransferEngine>(m_settings);
        m_engine->Startup();
        return *m_engine;
    }

    // Every row of both lists compares "same" with the other side.
    void ExpectAllSame(const char* pszWhat)
    {
        for (ListType eList : {LIST_PALM, LIST_WAB}) {
            for (int nRow = 0; nRow < m_engine->GetRowCount(eList); ++nRow)
                EXPECT_EQ(m_engine->RowState(eList, nRow), RS_SAME)
                    << pszWhat << ": " << (eList == LIST_PALM ? "Palm" : "address-book") << " row " << nRow << " "
                    << m_engine->GetRow(eList, nRow)->strCaption;
        }
    }

    vwtest::TempDir m_tmp{"sideexchange"};
    const std::string m_ini = m_tmp.File("corvane.ini");
    const std::string m_palm = m_tmp.File("address.dat");
    const std::string m_wab = m_tmp.File("book.wab");
    SysSettings m_settings{};
    std::unique_ptr<TransferEngine> m_engine;
};

TEST_F(SideExchangeTest, ExportThenImportIntoAnEmptySideComparesSameInEveryFormat)
{
    for (ExchangeFormat eFormat : {EXF_VCARD4, EXF_VCARD3, EXF_CSV_GOOGLE, EXF_CSV_OUTLOOK}) {
        const std::string name = ExchangeFormatName(eFormat);
        // Palm to an empty address book.
        WritePalm(m_palm, People());
        std::remove(m_wab.c_str());
        TransferEngine& engine = Start();
        const std::string file = File("palm-" + name);
        ASSERT_TRUE(ExportSide(engine, LIST_PALM, eFormat, false, file.c_str()).bSuccess) << name;
        const ImportResult toWab = ImportFile(engine, file.c_str(), LIST_WAB, nullptr);
        EXPECT_TRUE(toWab.bSuccess) << name << ": " << toWab.strMessage;
        EXPECT_EQ(toWab.outcome.nAdded, 3) << name;
        ASSERT_EQ(engine.GetRowCount(LIST_WAB), 3) << name;
        ExpectAllSame(("palm to wab via " + name).c_str());

        // The address book to an empty Palm file.
        WritePalm(m_palm, {});
        Start();
        const std::string back = File("wab-" + name);
        ASSERT_TRUE(ExportSide(*m_engine, LIST_WAB, eFormat, false, back.c_str()).bSuccess) << name;
        const ImportResult toPalm = ImportFile(*m_engine, back.c_str(), LIST_PALM, nullptr);
        EXPECT_TRUE(toPalm.bSuccess) << name << ": " << toPalm.strMessage;
        EXPECT_EQ(toPalm.outcome.nAdded, 3) << name;
        ASSERT_EQ(m_engine->GetRowCount(LIST_PALM), 3) << name;
        ExpectAllSame(("wab to palm via " + name).c_str());
    }
}

TEST_F(SideExchangeTest, ASecondImportOfTheSameFileChangesNothing)
{
    WritePalm(m_palm, {});
    TransferEngine& engine = Start();
    std::vector<const CommAddrRecord*> pointers;
    const std::vector<CommAddrRecord> people = People();
    for (const CommAddrRecord& record : people)
        pointers.push_back(&record);
    const std::string file = File("people.vcf");
    const std::string text = WriteContacts(pointers, EXF_VCARD3);
    ASSERT_TRUE(vwtest::WriteFileText(file, text));

    for (ListType eInto : {LIST_PALM, LIST_WAB}) {
        const ImportResult first = ImportFile(engine, file.c_str(), eInto, nullptr);
        ASSERT_TRUE(first.bSuccess) << first.strMessage;
        EXPECT_EQ(first.outcome.nAdded, 3);
        const vwtest::Bytes palmBefore = vwtest::ReadFileBytes(m_palm);

        const ImportResult second = ImportFile(engine, file.c_str(), eInto, nullptr);
        ASSERT_TRUE(second.bSuccess) << second.strMessage;
        EXPECT_EQ(second.outcome.nAdded, 0);
        EXPECT_EQ(second.outcome.nUpdated, 0);
        EXPECT_EQ(second.outcome.nUnchanged, 3);
        EXPECT_EQ(engine.GetRowCount(eInto), 3);
        EXPECT_EQ(vwtest::ReadFileBytes(m_palm), palmBefore) << "the Palm file was rewritten";
    }
    // Both sides got the file: they now compare the same.
    ExpectAllSame("both sides imported");
}

TEST_F(SideExchangeTest, NamesakesStayDistinct)
{
    const std::string file = File("namesakes.vcf");
    ASSERT_TRUE(vwtest::WriteFileText(file,
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:John Smith\r\nN:Smith;John;;;\r\n"
                                      "TEL;TYPE=work,voice:555-0001\r\nEND:VCARD\r\n"
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:John Smith\r\nN:Smith;John;;;\r\n"
                                      "TEL;TYPE=work,voice:555-0002\r\nEND:VCARD\r\n"));
    WritePalm(m_palm, {});
    TransferEngine& engine = Start();
    for (ListType eInto : {LIST_PALM, LIST_WAB}) {
        for (int nTime = 1; nTime <= 2; ++nTime) {
            const ImportResult result = ImportFile(engine, file.c_str(), eInto, nullptr);
            EXPECT_TRUE(result.bSuccess) << result.strMessage;
            EXPECT_EQ(result.outcome.nAdded, nTime == 1 ? 2 : 0) << "import " << nTime;
            EXPECT_EQ(result.outcome.nUnchanged, nTime == 1 ? 0 : 2) << "import " << nTime;
            ASSERT_EQ(engine.GetRowCount(eInto), 2);
        }
        std::vector<std::string> phones;
        for (const CommAddrRecord& record : SideRecords(engine, eInto, false))
            phones.push_back(record.szWorkPhone);
        EXPECT_EQ(phones, (std::vector<std::string>{"555-0001", "555-0002"}));
    }
}

TEST_F(SideExchangeTest, AContactTheCodePageCannotHoldIsNamedAndNeverStored)
{
    WritePalm(m_palm, {});
    TransferEngine& engine = Start();
    const std::string file = File("mixed.vcf");
    ASSERT_TRUE(vwtest::WriteFileText(file,
                                      "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:\xE7\x8E\x8B\xE4\xBC\x9F\r\n"
                                      "N:\xE7\x8E\x8B;\xE4\xBC\x9F;;;\r\nEND:VCARD\r\n"
                                      "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Ok;Fine;;;\r\nEND:VCARD\r\n"));
    const ImportResult result = ImportFile(engine, file.c_str(), LIST_PALM, nullptr);
    EXPECT_FALSE(result.bSuccess);
    EXPECT_EQ(result.nRead, 2);
    EXPECT_EQ(result.outcome.nAdded, 1);
    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_NE(result.strMessage.find("1 contact was not imported"), std::string::npos) << result.strMessage;
    EXPECT_NE(result.strMessage.find("\xE7\x8E\x8B\xE4\xBC\x9F"), std::string::npos) << result.strMessage;
    ASSERT_EQ(engine.GetRowCount(LIST_PALM), 1);
    EXPECT_STREQ(engine.PalmRecordAt(0)->szFirstName, "Fine");
}

TEST_F(SideExchangeTest, FailuresAreReportedAndLeaveFilesAlone)
{
    // No Palm data file: nothing is stored and the message says why.
    WriteWab(m_wab, {Contact("Ann", "Archer", "ann@example.org", "1")});
    TransferEngine& engine = Start();
    const std::string file = File("ann.vcf");
    ASSERT_TRUE(ExportSide(engine, LIST_WAB, EXF_VCARD4, false, file.c_str()).bSuccess);
    const ImportResult notLoaded = ImportFile(engine, file.c_str(), LIST_PALM, nullptr);
    EXPECT_FALSE(notLoaded.bSuccess);
    EXPECT_NE(notLoaded.strMessage.find("is not loaded"), std::string::npos) << notLoaded.strMessage;

    // A file that is no contact file, and one that does not exist.
    ASSERT_TRUE(vwtest::WriteFileText(File("prices.csv"), "id,price\n1,2\n"));
    const ImportResult notContacts = ImportFile(engine, File("prices.csv").c_str(), LIST_WAB, nullptr);
    EXPECT_FALSE(notContacts.bRan);
    EXPECT_NE(notContacts.strMessage.find("neither a vCard file nor a CSV file"), std::string::npos);
    EXPECT_FALSE(ImportFile(engine, File("missing.vcf").c_str(), LIST_WAB, nullptr).bSuccess);
    EXPECT_EQ(engine.GetRowCount(LIST_WAB), 1);

    // An export into a folder that does not exist writes nothing.
    const ExportResult failed = ExportSide(engine, LIST_WAB, EXF_VCARD4, false, File("no/such/out.vcf").c_str());
    EXPECT_FALSE(failed.bSuccess);
    EXPECT_NE(failed.strMessage.find("folder does not exist"), std::string::npos) << failed.strMessage;
}

TEST_F(SideExchangeTest, ExportOfTheTickedRowsTakesOnlyThose)
{
    WritePalm(m_palm, People());
    TransferEngine& engine = Start();
    engine.ClearAll(LIST_PALM);
    engine.SetChecked(LIST_PALM, 1, true);
    const ExportResult result = ExportSide(engine, LIST_PALM, EXF_VCARD4, true, nullptr);
    ASSERT_TRUE(result.bSuccess);
    EXPECT_EQ(result.nContacts, 1);
    EXPECT_NE(result.strText.find("N:Baker;Bob;;;"), std::string::npos) << result.strText;
    EXPECT_EQ(result.strText.find("Archer"), std::string::npos);
}

}  // namespace
