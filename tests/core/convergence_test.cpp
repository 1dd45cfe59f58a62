// Transfers between the address book and Palm data of every generation, on
// books that hold namesakes, company-only contacts and contacts changed on
// both sides: no transfer merges two contacts into one, none loses a value,
// and one Synchronize leaves both sides the same, so that the next one
// writes nothing.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/oe/CxWab.h"
#include "common/oe/WabRecord.h"
#include "common/palm/PmAddrInfo.h"
#include "platform/profile/PrivateProfile.h"
#include "src/core/SysSettings.h"
#include "src/core/TransferEngine.h"
#include "tests/support/TestFiles.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/datgen/DatGen.h"
#include "tools/syncgen/SyncPopulation.h"

namespace {

// The fields a contact of these books fills: every one of them is held by
// all three Palm generations and by the address book.
const int32_t kFields[] = {CF_FIRST_NAME, CF_LAST_NAME,  CF_EMAIL,        CF_COMPANY,  CF_TITLE,
                           CF_WORK_PHONE, CF_HOME_PHONE, CF_MOBILE_PHONE, CF_WORK_FAX, CF_HOME_FAX,
                           CF_WORK_CITY,  CF_WORK_STATE, CF_NOTE};

using syncgen::Contact;
using syncgen::Neutral;

struct Generation {
    const char* pszName;
    unsigned int nVersion;  // the Palm Desktop version that expects it
    const char* pszFile;
};
const Generation kGenerations[] = {
    {"classic", 40000, "address.dat"},
    {"extended", 40102, "address.dat"},
    {"Desktop 6", 60000, "address.mdb"},
};

class NullSink : public IEngineSink {
public:
    void ShowMessage(const char*, const char*, int) override { }
};

class ConvergenceTest : public ::testing::TestWithParam<Generation> {
protected:
    void SetUp() override
    {
        setenv("WINEPREFIX", (m_tmp.Path() + "/wine").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_tmp.Path() + "/xdg").c_str(), 1);
        SetIniFilePathOverride(m_ini.c_str());
        ASSERT_TRUE(WritePrivateProfileStringA("iSysVal", "DatFile", m_palm.c_str(), m_ini.c_str()));
        ASSERT_TRUE(WritePrivateProfileStringA("iSysVal", "WabFile", m_wab.c_str(), m_ini.c_str()));
    }
    void TearDown() override { SetIniFilePathOverride(nullptr); }

    // Writes both books: each contact is added as it is, namesakes included.
    void WriteBooks(const std::vector<Contact>& palm, const std::vector<Contact>& wab)
    {
        const Generation& gen = GetParam();
        if (gen.nVersion >= 60000) {
            std::string strError;
            ASSERT_TRUE(D6CreateDatabase(m_palm, "", &strError, true)) << strError;
        } else {
            datgen::DatDescription desc;
            desc.format = gen.nVersion >= 40102 ? datgen::DatFormat::Extended : datgen::DatFormat::Classic;
            ASSERT_TRUE(datgen::WriteBytesToFile(m_palm, datgen::BuildFile(desc)));
        }
        {
            PmAddrInfo info(gen.nVersion);
            ASSERT_TRUE(info.LoadContacts(m_palm.c_str()));
            for (const Contact& contact : palm) {
                const CommAddrRecord record = Neutral(contact);
                ASSERT_TRUE(info.AddRecord(&record));
            }
            ASSERT_TRUE(info.SaveContacts());
        }
        CxWab book(nullptr);
        ASSERT_TRUE(book.OpenAddressBook(m_wab.c_str()));
        for (const Contact& contact : wab) {
            const CommAddrRecord record = Neutral(contact);
            ASSERT_TRUE(book.AddContact(&record));
        }
    }

    // Starts the engine on both books, as the window does.
    TransferEngine& Start()
    {
        m_engine = std::make_unique<TransferEngine>(m_settings, &m_sink);
        m_engine->Startup();
        return *m_engine;
    }

    // Rows of both lists whose record is not the same as the other side's.
    int RowsNotSame()
    {
        int nCount = 0;
        for (ListType eList : {LIST_PALM, LIST_WAB})
            for (int i = 0; i < m_engine->GetRowCount(eList); ++i)
                nCount += m_engine->RowState(eList, i) != RS_SAME ? 1 : 0;
        return nCount;
    }

    // The rows not the same, with their values, for a failure message.
    std::string DescribeNotSame()
    {
        std::string out;
        for (ListType eList : {LIST_PALM, LIST_WAB}) {
            const std::vector<Contact> listed = Listed(eList);
            for (int i = 0; i < m_engine->GetRowCount(eList); ++i) {
                if (m_engine->RowState(eList, i) == RS_SAME)
                    continue;
                out += eList == LIST_PALM ? "\n palm:" : "\n book:";
                for (const auto& [nId, text] : listed[static_cast<size_t>(i)])
                    out += " " + std::to_string(nId) + "=" + text;
            }
        }
        return out;
    }

    // The contacts of one side as the engine lists them, field by field.
    std::vector<Contact> Listed(ListType eList)
    {
        std::vector<Contact> contacts;
        for (int i = 0; i < m_engine->GetRowCount(eList); ++i) {
            CommAddrRecord record;
            ZeroCommRecord(&record);
            if (eList == LIST_PALM)
                record = *m_engine->PalmRecordAt(i);
            else
                CxWab::ConvertToComm(m_engine->WabRecordAt(i), &record);
            Contact contact;
            for (int32_t nId : kFields)
                if (GetTextField(&record, nId)[0] != '\0')
                    contact[nId] = GetTextField(&record, nId);
            contacts.push_back(contact);
        }
        return contacts;
    }

    // How many listed contacts hold every value of wanted (texts of the
    // narrower side may end cut at 31 characters).
    static int CountHolding(const std::vector<Contact>& listed, const Contact& wanted)
    {
        int nCount = 0;
        for (const Contact& contact : listed) {
            bool bAll = true;
            for (const auto& [nId, text] : wanted) {
                auto found = contact.find(nId);
                const std::string have = found != contact.end() ? found->second : "";
                bAll = bAll && (have == text || (have.size() == 31 && text.compare(0, 31, have) == 0));
            }
            nCount += bAll ? 1 : 0;
        }
        return nCount;
    }

    vwtest::TempDir m_tmp{"converge"};
    const std::string m_ini = m_tmp.File("corvane.ini");
    const std::string m_palm = m_tmp.File(GetParam().pszFile);
    const std::string m_wab = m_tmp.File("book.wab");
    SysSettings m_settings{};
    NullSink m_sink;
    std::unique_ptr<TransferEngine> m_engine;
};

Contact Company(const char* pszCompany, const char* pszPhone)
{
    return {{CF_COMPANY, pszCompany}, {CF_WORK_PHONE, pszPhone}};
}
Contact JohnSmith(const char* pszCompany, const char* pszPhone)
{
    return {{CF_FIRST_NAME, "John"}, {CF_LAST_NAME, "Smith"}, {CF_COMPANY, pszCompany}, {CF_WORK_PHONE, pszPhone}};
}

// Three company-only contacts and two John Smiths without e-mail go to an
// empty book, then are synchronized twice: every one stays a contact of its
// own on both sides with its own values.
TEST_P(ConvergenceTest, NamesakesAndCompanyOnlyContactsStayApart)
{
    const std::vector<Contact> palm = {Company("Acme Plumbing", "555-0101"), Company("City Hospital", "555-0102"),
                                       Company("Joe's Pizza", "555-0103"), JohnSmith("Smith Bakery", "555-0201"),
                                       JohnSmith("Smith Roofing", "555-0202")};
    WriteBooks(palm, {});
    TransferEngine& engine = Start();
    engine.SelectAll(LIST_PALM);
    TransferResult result = engine.StartTransfer(SYNC_PALM_TO_OE);
    EXPECT_TRUE(result.bSuccess) << result.strMessage;
    EXPECT_EQ(result.toWab.nAdded, 5);
    EXPECT_EQ(RowsNotSame(), 0);
    EXPECT_EQ(engine.CountChecked(LIST_PALM) + engine.CountChecked(LIST_WAB), 0);

    for (int nRun = 0; nRun < 2; ++nRun) {
        SCOPED_TRACE("synchronize " + std::to_string(nRun + 1));
        result = engine.StartTransfer(SYNC_BOTH);
        EXPECT_TRUE(result.bSuccess) << result.strMessage;
        EXPECT_EQ(result.nReported, 10) << result.toWab.nAdded << " " << result.toWab.nUpdated << " "
                                        << result.toPalm.nAdded << " " << result.toPalm.nUpdated << " "
                                        << result.toPalm.nUnchanged << " " << result.toWab.nUnchanged;
        EXPECT_EQ(result.toWab.nAdded + result.toWab.nUpdated + result.toPalm.nAdded + result.toPalm.nUpdated, 0);
        EXPECT_EQ(RowsNotSame(), 0);
        for (ListType eList : {LIST_PALM, LIST_WAB}) {
            const std::vector<Contact> listed = Listed(eList);
            ASSERT_EQ(listed.size(), 5u);
            for (const Contact& contact : palm)
                EXPECT_EQ(CountHolding(listed, contact), 1) << contact.at(CF_COMPANY);
        }
    }

    // Back the other way into a Palm file that has none of them.
    m_engine.reset();
    std::filesystem::remove(m_wab);
    WriteBooks({}, {});
    CxWab book(nullptr);
    ASSERT_TRUE(book.OpenAddressBook(m_wab.c_str()));
    for (const Contact& contact : palm) {
        const CommAddrRecord record = Neutral(contact);
        ASSERT_TRUE(book.AddContact(&record));
    }
    Start().SelectAll(LIST_WAB);
    result = m_engine->StartTransfer(SYNC_OE_TO_PALM);
    EXPECT_TRUE(result.bSuccess) << result.strMessage;
    EXPECT_EQ(result.toPalm.nAdded, 5);
    EXPECT_EQ(RowsNotSame(), 0);
    const std::vector<Contact> listed = Listed(LIST_PALM);
    for (const Contact& contact : palm)
        EXPECT_EQ(CountHolding(listed, contact), 1) << contact.at(CF_COMPANY);
}

// Random books from one population: shared contacts changed on one side or
// both (namesakes, company-only contacts, long companies and home faxes
// among them), and contacts of each side alone.
TEST_P(ConvergenceTest, OneSynchronizeConvergesOnRandomBooks)
{
    for (uint32_t nSeed = 1; nSeed <= 3; ++nSeed) {
        SCOPED_TRACE("seed " + std::to_string(nSeed));
        const syncgen::Population population =
            syncgen::MakePopulation(nSeed * 7919 + static_cast<uint32_t>(GetParam().nVersion), 40, 20);
        const std::vector<Contact>& palm = population.palm;
        const std::vector<Contact>& wab = population.wab;
        const std::vector<std::pair<Contact, Contact>>& shared = population.shared;

        m_engine.reset();
        std::filesystem::remove(m_wab);
        WriteBooks(palm, wab);
        TransferEngine& engine = Start();
        TransferResult result = engine.StartTransfer(SYNC_BOTH);
        EXPECT_TRUE(result.bSuccess) << result.strMessage;
        EXPECT_EQ(result.nReported, 120);

        // Every row the same, every contact on both sides once.
        EXPECT_EQ(RowsNotSame(), 0) << DescribeNotSame();
        const std::vector<Contact> listedPalm = Listed(LIST_PALM);
        const std::vector<Contact> listedWab = Listed(LIST_WAB);
        EXPECT_EQ(listedPalm.size(), 80u);
        EXPECT_EQ(listedWab.size(), 80u);
        // Nothing lost: each Palm contact keeps every value it had (the
        // Palm value wins a conflict), and each value only the book had
        // reached it.
        for (const auto& [onPalm, onWab] : shared) {
            Contact merged = onWab;
            merged.erase(CF_HOME_FAX);
            for (const auto& [nId, text] : onPalm)
                merged[nId] = text;
            if (onPalm.count(CF_WORK_FAX) != 0)
                merged.erase(CF_HOME_FAX);
            EXPECT_GE(CountHolding(listedPalm, merged), 1) << merged[CF_FIRST_NAME] << merged[CF_COMPANY];
        }
        for (size_t i = 40; i < palm.size(); ++i)
            EXPECT_GE(CountHolding(listedWab, palm[i]), 1);
        for (size_t i = 40; i < wab.size(); ++i)
            EXPECT_GE(CountHolding(listedPalm, wab[i]), 1);

        // The second Synchronize has nothing left to add or update, and
        // leaves an address.dat as it is, bytes and time.
        const std::string palmBytes = vwtest::ReadFileText(m_palm);
        const auto palmTime = std::filesystem::last_write_time(m_palm);
        result = engine.StartTransfer(SYNC_BOTH);
        if (GetParam().nVersion < 60000) {
            EXPECT_TRUE(vwtest::ReadFileText(m_palm) == palmBytes);
            EXPECT_TRUE(std::filesystem::last_write_time(m_palm) == palmTime);
        }
        EXPECT_TRUE(result.bSuccess) << result.strMessage;
        EXPECT_EQ(result.toWab.nAdded + result.toWab.nUpdated, 0);
        EXPECT_EQ(result.toPalm.nAdded + result.toPalm.nUpdated, 0);
        EXPECT_EQ(RowsNotSame(), 0);
        if (HasFailure())
            return;
    }
}

// Everything of one engine that a transfer leaves behind and a later one
// works from: per list the rows (caption, sub-items, tick, state, in order)
// and the bytes of each row's record; the address book's neutral copies and
// its entries' identifiers too.
struct EngineSnapshot {
    std::vector<std::string> rows[2];
    std::vector<std::string> records[2];
    std::vector<std::string> bookCopies;
};

// A record's bytes up to its attached block (the block is a pointer of the
// side that holds it).
std::string CopyBytes(const CommAddrRecord* pRecord)
{
    return std::string(reinterpret_cast<const char*>(pRecord), offsetof(CommAddrRecord, pAttached));
}

EngineSnapshot Snapshot(TransferEngine& engine)
{
    EngineSnapshot shot;
    for (ListType eList : {LIST_PALM, LIST_WAB}) {
        const int nSide = eList == LIST_PALM ? 0 : 1;
        for (int i = 0; i < engine.GetRowCount(eList); ++i) {
            const ContactRow* pRow = engine.GetRow(eList, i);
            std::string row = pRow->strCaption;
            for (const std::string& item : pRow->subItems)
                row += "|" + item;
            row += pRow->bChecked ? "|ticked" : "|not ticked";
            row += "|state " + std::to_string(engine.RowState(eList, i));
            shot.rows[nSide].push_back(row);
            if (eList == LIST_PALM) {
                shot.records[nSide].push_back(CopyBytes(engine.PalmRecordAt(i)));
            } else {
                // The entry without its two pointers, then its identifier.
                WabRecord entry = *engine.WabRecordAt(i);
                const std::string id(reinterpret_cast<const char*>(entry.lpEntryID), entry.cbEntryID);
                entry.lpEntryID = nullptr;
                entry.lpMailUser = nullptr;
                shot.records[nSide].push_back(std::string(reinterpret_cast<const char*>(&entry), sizeof entry) + id);
            }
        }
    }
    CommAddrMgr* pCopies = engine.GetWab()->GetNeutralSet();
    for (int32_t nPos = 0; nPos < pCopies->GetCount(); ++nPos)
        shot.bookCopies.push_back(CopyBytes(pCopies->GetRecordAt(nPos)));
    return shot;
}

// The first difference of two snapshots, "" when they are equal.
std::string Difference(const EngineSnapshot& have, const EngineSnapshot& fresh)
{
    const auto compare = [](const std::vector<std::string>& a, const std::vector<std::string>& b, const char* pszWhat,
                            bool bShow) -> std::string {
        if (a.size() != b.size())
            return std::string(pszWhat) + ": " + std::to_string(a.size()) + " against " + std::to_string(b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i] == b[i])
                continue;
            std::string out = std::string(pszWhat) + " " + std::to_string(i) + " differs";
            if (bShow)
                out += ": " + a[i] + " against " + b[i];
            else
                for (size_t n = 0; n < a[i].size() && n < b[i].size(); ++n)
                    if (a[i][n] != b[i][n])
                        return out + " from byte " + std::to_string(n);
            return out;
        }
        return "";
    };
    for (const std::string& diff : {compare(have.rows[0], fresh.rows[0], "Palm row", true),
                                    compare(have.rows[1], fresh.rows[1], "book row", true),
                                    compare(have.records[0], fresh.records[0], "Palm record", false),
                                    compare(have.records[1], fresh.records[1], "book entry", false),
                                    compare(have.bookCopies, fresh.bookCopies, "book copy", false)})
        if (!diff.empty())
            return diff;
    return "";
}

std::string Counts(const TransferResult& result)
{
    std::string out = result.strMessage;
    for (const SideOutcome* pSide : {&result.toWab, &result.toPalm})
        out += " | " + std::to_string(pSide->nHanded) + " " + std::to_string(pSide->nAdded) + " " +
               std::to_string(pSide->nUpdated) + " " + std::to_string(pSide->nUnchanged) + " " +
               std::to_string(pSide->nFailed);
    return out;
}

// After a transfer the engine lists both sides from memory where it wrote
// them: rows, states, ticks, records and the book's copies are those of an
// engine started afresh on the files the transfer saved, and the next
// Synchronize does the same in both.
TEST_P(ConvergenceTest, SidesAfterATransferAreThoseOfAFreshStart)
{
    struct Scenario {
        const char* pszName;
        int nMode;
        ListType eTicked;
    };
    const Scenario kScenarios[] = {
        {"Palm to book", SYNC_PALM_TO_OE, LIST_PALM},
        {"book to Palm", SYNC_OE_TO_PALM, LIST_WAB},
        {"synchronize", SYNC_BOTH, LIST_PALM},
    };
    const std::string strLongNote(3000, 'n');
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.pszName);
        syncgen::Population population =
            syncgen::MakePopulation(31 + static_cast<uint32_t>(GetParam().nVersion), 30, 15);
        // Texts longer than either side keeps, on each side alone and on
        // one contact changed on both.
        population.palm.push_back({{CF_FIRST_NAME, "Long"},
                                   {CF_LAST_NAME, "Palmnote"},
                                   {CF_NOTE, strLongNote},
                                   {CF_COMPANY, std::string(70, 'c')},
                                   {CF_HOME_FAX, "555-0999"}});
        population.wab.push_back({{CF_FIRST_NAME, "Long"},
                                  {CF_LAST_NAME, "Booknote"},
                                  {CF_NOTE, strLongNote},
                                  {CF_TITLE, std::string(80, 't')}});
        population.palm.push_back({{CF_FIRST_NAME, "Both"}, {CF_LAST_NAME, "Long"}, {CF_NOTE, strLongNote + "p"}});
        population.wab.push_back(
            {{CF_FIRST_NAME, "Both"}, {CF_LAST_NAME, "Long"}, {CF_NOTE, "short"}, {CF_HOME_FAX, "555-0998"}});

        m_engine.reset();
        std::filesystem::remove(m_wab);
        std::filesystem::remove(m_wab + "-wal");
        std::filesystem::remove(m_wab + "-shm");
        WriteBooks(population.palm, population.wab);
        TransferEngine& engine = Start();
        engine.SelectAll(scenario.eTicked);
        const TransferResult result = engine.StartTransfer(scenario.nMode);
        ASSERT_TRUE(result.bSuccess) << result.strMessage;
        ASSERT_GT(result.toWab.nAdded + result.toWab.nUpdated + result.toPalm.nAdded + result.toPalm.nUpdated, 0);

        // A fresh engine on copies of the saved files (this engine holds them).
        const std::string folder = m_tmp.File(std::string("fresh-") + std::to_string(scenario.nMode));
        std::filesystem::create_directories(folder);
        const std::string palmCopy = folder + "/" + GetParam().pszFile;
        const std::string wabCopy = folder + "/book.wab";
        for (const char* pszSuffix : {"", "-wal"}) {
            if (std::filesystem::exists(m_palm + pszSuffix))
                std::filesystem::copy_file(m_palm + pszSuffix, palmCopy + pszSuffix,
                                           std::filesystem::copy_options::overwrite_existing);
            if (std::filesystem::exists(m_wab + pszSuffix))
                std::filesystem::copy_file(m_wab + pszSuffix, wabCopy + pszSuffix,
                                           std::filesystem::copy_options::overwrite_existing);
        }
        SysSettings freshSettings{};
        TransferEngine fresh(freshSettings, &m_sink);
        fresh.Startup(false);
        CopyTextField(freshSettings.DatFile, palmCopy.c_str());
        CopyTextField(freshSettings.WabFile, wabCopy.c_str());
        fresh.LoadPalmList();
        fresh.LoadOutlookList();
        fresh.RefreshStates();
        ASSERT_EQ(fresh.GetRowCount(LIST_PALM), engine.GetRowCount(LIST_PALM));
        EXPECT_EQ(Difference(Snapshot(engine), Snapshot(fresh)), "");

        // The next transfer starts from the same sides in both.
        engine.SelectAll(LIST_PALM);
        fresh.SelectAll(LIST_PALM);
        engine.SelectAll(LIST_WAB);
        fresh.SelectAll(LIST_WAB);
        const TransferResult next = engine.StartTransfer(SYNC_BOTH);
        const TransferResult freshNext = fresh.StartTransfer(SYNC_BOTH);
        EXPECT_TRUE(next.bSuccess) << next.strMessage;
        EXPECT_EQ(Counts(next), Counts(freshNext));
        EXPECT_EQ(Difference(Snapshot(engine), Snapshot(fresh)), "");
        if (HasFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryGeneration, ConvergenceTest, ::testing::ValuesIn(kGenerations),
                         [](const ::testing::TestParamInfo<Generation>& generation) {
                             std::string name = generation.param.pszName;
                             name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
                             return name;
                         });

}  // namespace
