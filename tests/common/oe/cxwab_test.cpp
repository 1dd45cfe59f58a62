// CxWab against real address-book files in a scratch folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FaultyWab.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/misc/CxDebugUtil.h"
#include "common/oe/CxWab.h"
#include "platform/wab/MapiTags.h"
#include "platform/wab/WabLoader.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestTime.h"

namespace {

constexpr DWORD kNoMapping[CxWab::kCustomCount] = {};

using Props = std::vector<std::pair<ULONG, std::string>>;

class CxWabTest : public ::testing::Test {
protected:
    void SetUp() override { g_DebugUtil.SetFolder((dir + "/").c_str()); }
    void TearDown() override
    {
        UseRealWab();
        WabSetDllPath(nullptr);
        CxWab::SetCustomMapping(kNoMapping, CxWab::kCustomCount);
        g_DebugUtil.SetFolder("./");
    }

    static std::unique_ptr<CommAddrRecord> Contact(const char* first, const char* last, const char* email)
    {
        auto p = std::make_unique<CommAddrRecord>();
        ZeroCommRecord(p.get());
        SetTextField(p.get(), CF_FIRST_NAME, first);
        SetTextField(p.get(), CF_LAST_NAME, last);
        SetTextField(p.get(), CF_EMAIL, email);
        return p;
    }

    // Writes entries straight through the library: each an object type and
    // its text properties.
    void WriteEntries(const std::vector<std::pair<LONG, Props>>& entries)
    {
        IAddrBook* lpBook = nullptr;
        IWABObject* lpObject = nullptr;
        WAB_PARAM wp = {};
        wp.cbSize = sizeof wp;
        wp.szFileName = book.data();
        ASSERT_EQ(WABOpen(&lpBook, &lpObject, &wp, 0), hrSuccess);
        ULONG cb = 0;
        LPENTRYID lpId = nullptr;
        ASSERT_EQ(lpBook->GetPAB(&cb, &lpId), hrSuccess);
        ULONG type = 0;
        IMAPIUnknown* lpUnknown = nullptr;
        ASSERT_EQ(lpBook->OpenEntry(cb, lpId, nullptr, 0, &type, &lpUnknown), hrSuccess);
        lpObject->FreeBuffer(lpId);
        auto* lpContainer = static_cast<IABContainer*>(lpUnknown);
        for (const auto& entry : entries) {
            SizedSPropTagArray<1> tags = {1,
                                          {entry.first == MAPI_DISTLIST ? PR_DEF_CREATE_DL : PR_DEF_CREATE_MAILUSER}};
            ULONG count = 0;
            LPSPropValue lpTemplate = nullptr;
            ASSERT_EQ(lpContainer->GetProps(tags.Get(), 0, &count, &lpTemplate), hrSuccess);
            IMailUser* lpEntry = nullptr;
            ASSERT_EQ(lpContainer->CreateEntry(lpTemplate[0].Value.bin.cb, lpTemplate[0].Value.bin.lpb, 0, &lpEntry),
                      hrSuccess);
            lpObject->FreeBuffer(lpTemplate);
            std::vector<SPropValue> values;
            for (const auto& prop : entry.second) {
                SPropValue value = {};
                value.ulPropTag = prop.first;
                value.Value.lpszA = const_cast<char*>(prop.second.c_str());
                values.push_back(value);
            }
            ASSERT_EQ(lpEntry->SetProps(static_cast<ULONG>(values.size()), values.data(), nullptr), hrSuccess);
            ASSERT_EQ(lpEntry->SaveChanges(0), hrSuccess);
            lpEntry->Release();
        }
        lpContainer->Release();
        lpBook->Release();
        lpObject->Release();
    }

    static std::vector<WabRecord*> Records(CxWab& wab)
    {
        std::vector<WabRecord*> records;
        for (WabRecord* p = wab.GetFirstEntry(); p != nullptr; p = wab.GetNextEntry())
            records.push_back(p);
        return records;
    }
    static std::vector<std::string> Names(CxWab& wab)
    {
        std::vector<std::string> names;
        for (WabRecord* p : Records(wab))
            names.push_back(p->PR_DISPLAY_NAME);
        return names;
    }
    // Everything of the book on disk: the database and its write-ahead log.
    std::string BookState() const { return vwtest::ReadFileText(book) + "|" + vwtest::ReadFileText(book + "-wal"); }

    vwtest::TempDir m_tmp{"cxwab"};
    const std::string dir = m_tmp.Path();
    std::string book = m_tmp.File("book.wab");
};

TEST_F(CxWabTest, ReadsContactsInTableOrderWithTheirNeutralCopies)
{
    WriteEntries({
        {MAPI_MAILUSER, {{PR_DISPLAY_NAME, "Ann Lee"}, {PR_GIVEN_NAME, "Ann"}, {PR_COMMENT, std::string(3000, 'n')}}},
        {MAPI_DISTLIST, {{PR_DISPLAY_NAME, "Team"}}},
        {MAPI_MAILUSER, {}},
    });
    CxWab wab(book.c_str());
    ASSERT_TRUE(wab.IsOpen());
    const std::vector<WabRecord*> records = Records(wab);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_STREQ(records[0]->PR_GIVEN_NAME, "Ann");
    EXPECT_EQ(std::string(records[0]->PR_COMMENT), std::string(2047, 'n'));

    // The entry without properties: identifier and interface only.
    WabRecord empty;
    std::memcpy(&empty, records[1], sizeof empty);
    EXPECT_NE(empty.lpEntryID, nullptr);
    EXPECT_NE(empty.cbEntryID, 0u);
    EXPECT_NE(empty.lpMailUser, nullptr);
    empty.lpEntryID = nullptr;
    empty.cbEntryID = 0;
    empty.lpMailUser = nullptr;
    WabRecord zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&empty, &zero, sizeof zero), 0);

    CommAddrMgr* pSet = wab.GetNeutralSet();
    ASSERT_EQ(pSet->GetCount(), 2);
    int i = 0;
    for (CommAddrRecord* pCopy = pSet->GetFirstRecord(); pCopy != nullptr; pCopy = pSet->GetNextRecord(), ++i) {
        CommField field;
        ASSERT_TRUE(LookupField(CF_SOURCE_TYPE, &field));
        char szText[64];
        ASSERT_TRUE(FieldToText(pCopy, &field, szText, sizeof szText));
        EXPECT_STREQ(szText, "Windows Address Book");
        ASSERT_EQ(pCopy->nAttachedLen, sizeof(WabRecord));
        EXPECT_EQ(std::memcmp(pCopy->pAttached, records[i], sizeof(WabRecord)), 0);
        EXPECT_STREQ(pCopy->szCategory, "");
    }
    EXPECT_STREQ(pSet->GetRecordAt(0)->szFirstName, "Ann");
}

TEST_F(CxWabTest, AStoredBookReopensWithEveryPropertyIntact)
{
    // Every connection starts without a custom mapping; it is set once the
    // connection exists, as the transfer does.
    const DWORD tags[CxWab::kCustomCount] = {PR_GENERATION, PR_ISDN_NUMBER, PR_COMPUTER_NETWORK_NAME};
    auto openMapped = [&](CxWab& wab) {
        ASSERT_TRUE(CxWab::SetCustomMapping(tags, CxWab::kCustomCount));
        ASSERT_TRUE(wab.OpenAddressBook(book.c_str()));
    };

    std::vector<std::unique_ptr<CommAddrRecord>> contacts;
    contacts.push_back(Contact("Ren\xE9", "M\xFCller", "rene@example.org"));
    contacts.push_back(Contact("Bob", "Stone", ""));
    contacts.push_back(Contact("", "", "only@example.org"));
    // The first contact fills every field the book takes, most of them to
    // the width of their property.
    CommAddrRecord* pFull = contacts[0].get();
    int n = 0;
    for (int32_t id = 1; id <= COMM_FIELD_COUNT; ++id) {
        char* pszField = GetTextField(pFull, id);
        if (pszField == nullptr || id == CF_FIRST_NAME || id == CF_LAST_NAME || id == CF_EMAIL ||
            id == CF_DISPLAY_NAME || id == CF_CATEGORY)
            continue;
        const std::string text = std::string(1, static_cast<char>('A' + n++ % 26)) + std::to_string(id) +
                                 std::string(static_cast<size_t>(GetFieldWidth(id)), '\xE4');
        SetTextField(pFull, id, text.c_str());
    }
    const SYSTEMTIME st = vwtest::MakeSystemTime(1970, 7, 14);
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &pFull->dtBirthday));
    pFull->dtAnniversary = 0.0;  // not set

    std::vector<WabRecord> expected(contacts.size());
    {
        CxWab wab(nullptr);
        openMapped(wab);
        for (size_t i = 0; i < contacts.size(); ++i) {
            EXPECT_TRUE(wab.StoreContact(contacts[i].get())) << i;
            std::memset(&expected[i], 0, sizeof(WabRecord));
            CxWab::ConvertFromComm(contacts[i].get(), &expected[i]);
        }
    }

    CxWab wab(nullptr);
    openMapped(wab);
    const std::vector<WabRecord*> records = Records(wab);
    ASSERT_EQ(records.size(), contacts.size());
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        WabRecord actual;
        std::memcpy(&actual, records[i], sizeof actual);
        actual.cbEntryID = 0;
        actual.lpEntryID = nullptr;
        actual.lpMailUser = nullptr;
        // Neither has a property of its own: the folder name comes from the
        // folder, the children's names are not kept in the book.
        std::memset(expected[i].szFolderName, 0, sizeof expected[i].szFolderName);
        std::memset(expected[i].szChildrenNames, 0, sizeof expected[i].szChildrenNames);
        EXPECT_EQ(std::memcmp(&actual, &expected[i], sizeof actual), 0);
    }
    EXPECT_STREQ(records[0]->PR_GIVEN_NAME, "Ren\xE9");
    EXPECT_EQ(records[0]->PR_WEDDING_ANNIVERSARY.dwHighDateTime | records[0]->PR_WEDDING_ANNIVERSARY.dwLowDateTime, 0u);
    EXPECT_STREQ(records[1]->PR_DISPLAY_NAME, "Bob Stone");

    // And back to neutral: the fields both sides keep come back unchanged.
    const CommAddrRecord* pCopy = wab.GetNeutralSet()->GetRecordAt(0);
    for (int32_t id :
         std::initializer_list<int32_t>{CF_WORK_STREET, CF_HOME_POSTAL, CF_WORK_PHONE, CF_PAGER, CF_WORK_FAX, CF_NOTE,
                                        CF_TITLE, CF_ASSISTANT_PHONE, CF_WORK_PHONE2, CF_CUSTOM1, CF_CUSTOM1 + 2}) {
        const std::string original = GetTextField(pFull, id);
        const std::string back = GetTextField(pCopy, id);
        EXPECT_EQ(back, original.substr(0, back.size())) << id;
        EXPECT_GE(back.size(), 15u) << id;
    }
    EXPECT_EQ(pCopy->dtBirthday, pFull->dtBirthday);
    EXPECT_EQ(pCopy->dtAnniversary, 0.0);
    // A contact with no names reads back with no names, so it matches its source.
    EXPECT_STREQ(wab.GetNeutralSet()->GetRecordAt(2)->szFirstName, "");
}

TEST_F(CxWabTest, StoringWhatTheBookHasWritesNothing)
{
    auto ann = Contact("Ann", "Lee", "ann@example.org");
    SetTextField(ann.get(), CF_COMPANY, "Acme");
    {
        CxWab wab(book.c_str());
        ASSERT_TRUE(wab.StoreContact(ann.get()));
        const std::string before = BookState();
        EXPECT_FALSE(wab.StoreContact(ann.get()));  // the new entry already counts
        EXPECT_EQ(BookState(), before);
    }
    CxWab wab(book.c_str());
    const std::string before = BookState();
    auto upper = Contact("ANN", "LEE", "ANN@EXAMPLE.ORG");
    SetTextField(upper.get(), CF_COMPANY, "acme");
    EXPECT_FALSE(wab.StoreContact(upper.get()));
    EXPECT_EQ(BookState(), before);
    EXPECT_EQ(Records(wab).size(), 1u);
}

TEST_F(CxWabTest, AnUpdateWritesOnlyTheNonEmptyFields)
{
    auto ann = Contact("Ann", "Lee", "ann@example.org");
    SetTextField(ann.get(), CF_COMPANY, "Acme");
    SetTextField(ann.get(), CF_WORK_PHONE, "111");
    SetTextField(ann.get(), CF_NICK_NAME, "Annie");
    {
        CxWab wab(book.c_str());
        ASSERT_TRUE(wab.StoreContact(ann.get()));
        // Created in this run: it has no identifier yet and cannot be updated.
        SetTextField(ann.get(), CF_WORK_PHONE, "222");
        EXPECT_FALSE(wab.StoreContact(ann.get()));
    }
    auto changed = Contact("Ann", "Lee", "ann@example.org");
    SetTextField(changed.get(), CF_WORK_PHONE, "333");
    {
        CxWab wab(book.c_str());
        EXPECT_TRUE(wab.StoreContact(changed.get()));
    }
    CxWab wab(book.c_str());
    const std::vector<WabRecord*> records = Records(wab);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_STREQ(records[0]->PR_BUSINESS_TELEPHONE_NUMBER, "333");
    EXPECT_STREQ(records[0]->PR_COMPANY_NAME, "Acme");
    EXPECT_STREQ(records[0]->PR_NICKNAME, "Annie");
}

TEST_F(CxWabTest, ClassifiesBothSides)
{
    auto ann = Contact("Ann", "Lee", "ann@example.org");
    SetTextField(ann.get(), CF_WORK_PHONE, "111");
    auto bob = Contact("Bob", "Stone", "");
    auto dan = Contact("Dan", "Park", "");
    {
        CxWab wab(book.c_str());
        for (const auto* p : {ann.get(), bob.get(), dan.get()})
            ASSERT_TRUE(wab.StoreContact(p));
    }
    CommAddrMgr palm;
    SetTextField(ann.get(), CF_WORK_PHONE, "222");
    palm.AddCopy(ann.get());
    palm.AddCopy(bob.get());
    palm.AddCopy(Contact("Cid", "Ray", "").get());

    CxWab wab(book.c_str());
    ASSERT_TRUE(wab.ClassifySet(&palm));
    std::vector<int32_t> states;
    for (CommAddrRecord* p = palm.GetFirstRecord(); p != nullptr; p = palm.GetNextRecord())
        states.push_back(p->nStatus);
    EXPECT_EQ(states, (std::vector<int32_t>{RS_MODIFIED, RS_SAME, RS_NEW}));

    ASSERT_TRUE(wab.ClassifyEntries(&palm));
    states.clear();
    for (WabRecord* p : Records(wab))
        states.push_back(p->nState);
    EXPECT_EQ(states, (std::vector<int32_t>{RS_MODIFIED, RS_SAME, RS_NEW}));

    EXPECT_FALSE(wab.ClassifySet(nullptr));
    EXPECT_FALSE(wab.ClassifyEntries(nullptr));
    WabRecord* pMatch = nullptr;
    EXPECT_EQ(wab.MatchContact(nullptr, &pMatch), CLASSIFY_NONE);
}

// The book answers again from its last ClassifySet only while nothing
// that answer depends on changed: each change below must be seen.
TEST_F(CxWabTest, ClassifyingTheSetAgainSeesEveryChangeSinceClassifySet)
{
    {
        CxWab wab(book.c_str());
        ASSERT_TRUE(wab.StoreContact(Contact("Ann", "Lee", "").get()));
        ASSERT_TRUE(wab.StoreContact(Contact("Bob", "Stone", "").get()));
    }
    CommAddrMgr palm;
    palm.AddCopy(Contact("Ann", "Lee", "").get());
    palm.AddCopy(Contact("Bob", "Stone", "").get());
    CxWab wab(book.c_str());
    auto answersFor = [&](const std::vector<const CommAddrRecord*>& records, const CommAddrMgr* pOwner) {
        std::vector<ClassifyMatch> answers(records.size());
        EXPECT_TRUE(wab.ClassifyRecords(records.data(), static_cast<int32_t>(records.size()), answers.data(), pOwner));
        std::vector<int> results;
        for (const ClassifyMatch& answer : answers)
            results.push_back(answer.nResult);
        return results;
    };
    auto palmRecords = [&] { return std::vector<const CommAddrRecord*>{palm.GetRecordAt(0), palm.GetRecordAt(1)}; };
    const std::vector<int> same{CLASSIFY_SAME, CLASSIFY_SAME};

    ASSERT_TRUE(wab.ClassifySet(&palm));
    EXPECT_EQ(answersFor(palmRecords(), &palm), same);
    // Other records, or the same in another order, are classified anew.
    EXPECT_EQ(answersFor({palm.GetRecordAt(1)}, &palm), (std::vector<int>{CLASSIFY_SAME}));
    auto cid = Contact("Cid", "Ray", "");
    EXPECT_EQ(answersFor({cid.get(), palm.GetRecordAt(1)}, &palm), (std::vector<int>{CLASSIFY_NEW, CLASSIFY_SAME}));

    // A Palm contact merged into since.
    auto annPhone = Contact("Ann", "Lee", "");
    SetTextField(annPhone.get(), CF_WORK_PHONE, "555");
    ASSERT_TRUE(palm.MergeAt(annPhone.get(), 0));
    EXPECT_EQ(answersFor(palmRecords(), &palm), (std::vector<int>{CLASSIFY_MODIFIED, CLASSIFY_SAME}));

    // The book changed since: Ann stored with her phone, in a batch whose
    // entries the book brings up to date in memory.
    ASSERT_TRUE(wab.ClassifySet(&palm));
    ASSERT_TRUE(wab.BeginStoreBatch());
    ASSERT_TRUE(wab.StoreContact(annPhone.get()));
    ASSERT_TRUE(wab.EndStoreBatch());
    ASSERT_TRUE(wab.ApplyWrittenEntries());
    EXPECT_EQ(answersFor(palmRecords(), &palm), same);

    // The book's compare list replaced since: a phone it no longer compares.
    auto annOtherPhone = Contact("Ann", "Lee", "");
    SetTextField(annOtherPhone.get(), CF_WORK_PHONE, "777");
    ASSERT_TRUE(palm.MergeAt(annOtherPhone.get(), 0));
    ASSERT_TRUE(wab.ClassifySet(&palm));
    EXPECT_EQ(palm.GetRecordAt(0)->nStatus, RS_MODIFIED);
    const int32_t homePhoneOnly[] = {CF_HOME_PHONE};
    wab.GetNeutralSet()->SetCompareFields(homePhoneOnly, 1);
    EXPECT_EQ(answersFor(palmRecords(), &palm), same);

    // Without an owner nothing is taken from before.
    wab.GetNeutralSet()->SetCompareFields(nullptr, 0);
    ASSERT_TRUE(wab.ClassifySet(&palm));
    EXPECT_EQ(answersFor(palmRecords(), nullptr), (std::vector<int>{CLASSIFY_MODIFIED, CLASSIFY_SAME}));

    // An entry added to the book since.
    palm.AddCopy(cid.get());
    ASSERT_TRUE(wab.ClassifySet(&palm));
    EXPECT_EQ(palm.GetRecordAt(2)->nStatus, RS_NEW);
    ASSERT_TRUE(wab.AddContact(cid.get()));
    EXPECT_EQ(answersFor({palm.GetRecordAt(0), palm.GetRecordAt(1), palm.GetRecordAt(2)}, &palm),
              (std::vector<int>{CLASSIFY_MODIFIED, CLASSIFY_SAME, CLASSIFY_SAME}));
}

// Classifying again with nothing changed gives the states of the last time;
// a change on either side, or of the custom mapping the book's entries are
// read through, is seen.
TEST_F(CxWabTest, StatesAreWorkedOutAgainOnlyWhenASideOrTheMappingChanged)
{
    {
        CxWab wab(book.c_str());
        auto ann = Contact("Ann", "Lee", "");
        SetTextField(ann.get(), CF_NICK_NAME, "Annie");
        ASSERT_TRUE(wab.StoreContact(ann.get()));
        ASSERT_TRUE(wab.StoreContact(Contact("Bob", "Stone", "").get()));
    }
    CommAddrMgr palm;
    auto ann = Contact("Ann", "Lee", "");
    SetTextField(ann.get(), CF_NICK_NAME, "Annie");
    palm.AddCopy(ann.get());
    palm.AddCopy(Contact("Bob", "Stone", "").get());
    CxWab wab(book.c_str());
    auto states = [&] {
        EXPECT_TRUE(wab.ClassifySet(&palm));
        EXPECT_TRUE(wab.ClassifyEntries(&palm));
        std::vector<int32_t> both;
        for (CommAddrRecord* p = palm.GetFirstRecord(); p != nullptr; p = palm.GetNextRecord())
            both.push_back(p->nStatus);
        for (WabRecord* p : Records(wab))
            both.push_back(p->nState);
        return both;
    };
    const std::vector<int32_t> allSame{RS_SAME, RS_SAME, RS_SAME, RS_SAME};
    EXPECT_EQ(states(), allSame);
    // Nothing changed: the states are set again, not left as someone wrote them.
    palm.GetRecordAt(0)->nStatus = RS_NEW;
    Records(wab)[1]->nState = RS_NEW;
    EXPECT_EQ(states(), allSame);

    // The Palm side changed.
    auto annPhone = Contact("Ann", "Lee", "");
    SetTextField(annPhone.get(), CF_WORK_PHONE, "555");
    ASSERT_TRUE(palm.MergeAt(annPhone.get(), 0));
    EXPECT_EQ(states(), (std::vector<int32_t>{RS_MODIFIED, RS_SAME, RS_MODIFIED, RS_SAME}));
    EXPECT_EQ(states(), (std::vector<int32_t>{RS_MODIFIED, RS_SAME, RS_MODIFIED, RS_SAME}));

    // The mapping changed, with Custom 1 a compare field on both sides: the
    // book's Ann now carries her nickname as Custom 1, Palm's Ann does not.
    const int32_t compare[] = {CF_CUSTOM1};
    palm.SetCompareFields(compare, 1);
    wab.GetNeutralSet()->SetCompareFields(compare, 1);
    EXPECT_EQ(states(), allSame);
    DWORD tags[CxWab::kCustomCount] = {PR_NICKNAME};
    ASSERT_TRUE(CxWab::SetCustomMapping(tags, CxWab::kCustomCount));
    EXPECT_EQ(states(), (std::vector<int32_t>{RS_MODIFIED, RS_SAME, RS_MODIFIED, RS_SAME}));
    auto annCustom = Contact("Ann", "Lee", "");
    SetTextField(annCustom.get(), CF_CUSTOM1, "Annie");
    ASSERT_TRUE(palm.MergeAt(annCustom.get(), 0));
    EXPECT_EQ(states(), allSame);
}

// The neutral set reads the folder's entries: once a write batch is
// applied, the next classification sees the entries as written, the updated
// one and the one created in the batch alike. Until then it sees the book
// as it was read, also for an entry the batch has already updated.
TEST_F(CxWabTest, AClassificationAfterAWriteBatchSeesTheWrittenEntries)
{
    auto ann = Contact("Ann", "Lee", "ann@example.org");
    SetTextField(ann.get(), CF_WORK_PHONE, "111");
    auto bob = Contact("Bob", "Stone", "");
    {
        CxWab wab(book.c_str());
        ASSERT_TRUE(wab.StoreContact(ann.get()));
        ASSERT_TRUE(wab.StoreContact(bob.get()));
    }
    CxWab wab(book.c_str());
    CommAddrMgr* pSet = wab.GetNeutralSet();
    ASSERT_EQ(pSet->GetCount(), 2);
    // A view over the folder: nothing to store into, nothing to merge.
    EXPECT_EQ(pSet->AddCopy(ann.get()), nullptr);
    EXPECT_FALSE(pSet->MergeAt(ann.get(), 0));
    EXPECT_FALSE(pSet->ReplaceFieldsAt(ann.get(), 0));

    // The Palm side as it stands before and after the batch: classified
    // against the book before it, so the book's index is built by then.
    SetTextField(ann.get(), CF_WORK_PHONE, "222");
    CommAddrMgr palm;
    palm.AddCopy(ann.get());
    palm.AddCopy(bob.get());
    auto states = [&] {
        std::vector<int32_t> out;
        for (CommAddrRecord* p = palm.GetFirstRecord(); p != nullptr; p = palm.GetNextRecord())
            out.push_back(p->nStatus);
        for (WabRecord* p : Records(wab))
            out.push_back(p->nState);
        return out;
    };
    ASSERT_TRUE(wab.ClassifySet(&palm));
    ASSERT_TRUE(wab.ClassifyEntries(&palm));
    EXPECT_EQ(states(), (std::vector<int32_t>{RS_MODIFIED, RS_SAME, RS_MODIFIED, RS_SAME}));

    auto cid = Contact("Cid", "Ray", "cid@example.org");
    ASSERT_TRUE(wab.BeginStoreBatch());
    ASSERT_TRUE(wab.StoreContact(ann.get()));
    WabRecord* pMatch = nullptr;
    EXPECT_EQ(wab.MatchContact(ann.get(), &pMatch), CLASSIFY_MODIFIED);
    ASSERT_TRUE(wab.StoreContact(cid.get()));
    EXPECT_EQ(pSet->GetCount(), 3);
    ASSERT_TRUE(wab.EndStoreBatch());
    ASSERT_TRUE(wab.ApplyWrittenEntries());

    ASSERT_TRUE(wab.ClassifySet(&palm));
    ASSERT_TRUE(wab.ClassifyEntries(&palm));
    EXPECT_EQ(states(), (std::vector<int32_t>{RS_SAME, RS_SAME, RS_SAME, RS_SAME, RS_NEW}));
    const std::vector<WabRecord*> records = Records(wab);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(wab.MatchContact(ann.get(), &pMatch), CLASSIFY_SAME);
    EXPECT_EQ(pMatch, records[0]);
    EXPECT_EQ(wab.MatchContact(cid.get(), &pMatch), CLASSIFY_SAME);
    EXPECT_EQ(pMatch, records[2]);
    EXPECT_STREQ(pSet->GetRecordAt(0)->szWorkPhone, "222");
    EXPECT_EQ(pSet->GetRecordAt(0)->pAttached, records[0]);
    EXPECT_FALSE(wab.StoreContact(ann.get()));  // nothing left to write
}

TEST_F(CxWabTest, WithoutTheLibraryNothingOpensAndEverythingIsNew)
{
    const struct {
        const char* name;
        WabLibraryForTest library;
        const char* dllPath;
        bool loaded;
    } cases[] = {
        {"library missing", {false, nullptr}, nullptr, false},
        {"no WABOpen", {true, nullptr}, nullptr, true},
        {"configured path names another library", {true, &WABOpen}, "C:\\Mail\\msoe.dll", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetWabLibraryForTest(&c.library);
        WabSetDllPath(c.dllPath);
        CommAddrMgr palm;
        auto ann = Contact("Ann", "Lee", "");
        ann->nStatus = RS_MODIFIED;
        palm.AddCopy(ann.get());
        {
            CxWab wab(book.c_str());
            EXPECT_EQ(wab.IsLibraryLoaded(), c.loaded);
            EXPECT_FALSE(wab.IsOpen());
            EXPECT_FALSE(wab.OpenAddressBook(book.c_str()));
            EXPECT_EQ(wab.GetFirstEntry(), nullptr);
            EXPECT_EQ(wab.GetNextEntry(), nullptr);
            EXPECT_TRUE(wab.ClassifySet(&palm));
            EXPECT_EQ(palm.GetRecordAt(0)->nStatus, RS_NEW);
            EXPECT_TRUE(wab.ClassifyEntries(&palm));
            EXPECT_FALSE(wab.StoreContact(ann.get()));
        }
        EXPECT_EQ(WabLoadedModuleCount(), 0);
        struct stat st;
        EXPECT_NE(stat(book.c_str(), &st), 0);
    }
}

TEST_F(CxWabTest, EveryFailureOfOpeningEndsClosedOrEmpty)
{
    WriteEntries({
        {MAPI_MAILUSER, {{PR_DISPLAY_NAME, "one"}}},
        {MAPI_MAILUSER, {{PR_DISPLAY_NAME, "two"}}},
        {MAPI_MAILUSER, {{PR_DISPLAY_NAME, "three"}}},
    });
    const struct {
        WabFault fault;
        bool result;
        std::vector<std::string> names;
    } cases[] = {
        {WabFault::None, true, {"one", "two", "three"}},
        {WabFault::WabOpen, false, {}},
        {WabFault::GetPab, false, {}},
        {WabFault::OpenPab, false, {}},
        {WabFault::ContentsTable, true, {}},
        {WabFault::SetColumns, false, {}},
        {WabFault::SeekRow, false, {}},
        {WabFault::QueryRowsSecond, false, {}},
        {WabFault::OpenSecondEntry, true, {"one", "three"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        UseFaultyWab(c.fault);
        CxWab wab(nullptr);
        EXPECT_EQ(wab.OpenAddressBook(book.c_str()), c.result);
        EXPECT_EQ(wab.IsOpen(), c.result);
        EXPECT_EQ(Names(wab), c.names);
        EXPECT_EQ(wab.GetNeutralSet()->GetCount(), static_cast<int32_t>(c.names.size()));
    }
}

TEST_F(CxWabTest, AFailedCreationChangesNothing)
{
    WriteEntries({{MAPI_MAILUSER, {{PR_DISPLAY_NAME, "one"}}}});
    for (WabFault fault : {WabFault::Templates, WabFault::CreateEntry}) {
        SCOPED_TRACE(static_cast<int>(fault));
        UseFaultyWab(fault);
        CxWab wab(book.c_str());
        const std::string before = BookState();
        EXPECT_FALSE(wab.StoreContact(Contact("Ann", "Lee", "").get()));
        EXPECT_EQ(Names(wab), std::vector<std::string>{"one"});
        EXPECT_EQ(wab.GetNeutralSet()->GetCount(), 1);
        EXPECT_EQ(BookState(), before);
    }
}

TEST_F(CxWabTest, RecordsKeepTheirAddressesAndContentsWhileContactsAreAdded)
{
    // More contacts than the folder's first blocks of records hold, stored
    // into a book read from disk: no record moves or takes another's bytes,
    // and each neutral copy still carries its own record.
    constexpr int kAdded = 150;
    WriteEntries({{MAPI_MAILUSER, {{PR_DISPLAY_NAME, "one"}, {PR_COMMENT, std::string(2100, 'c')}}}});
    CxWab wab(book.c_str());
    ASSERT_TRUE(wab.IsOpen());
    std::vector<WabRecord*> seen = Records(wab);
    for (int n = 0; n < kAdded; ++n) {
        const std::string first = "First" + std::to_string(n);
        ASSERT_TRUE(wab.StoreContact(Contact(first.c_str(), "Added", "").get()));
        WabRecord* pLast = nullptr;
        for (WabRecord* p = wab.GetFirstEntry(); p != nullptr; p = wab.GetNextEntry())
            pLast = p;
        seen.push_back(pLast);
    }
    ASSERT_EQ(Records(wab), seen);
    EXPECT_EQ(std::string(seen[0]->PR_COMMENT), std::string(2047, 'c'));
    for (int n = 0; n < kAdded; ++n) {
        const WabRecord* pRecord = seen[static_cast<size_t>(n) + 1];
        EXPECT_EQ(std::string(pRecord->PR_GIVEN_NAME), "First" + std::to_string(n));
        EXPECT_STREQ(pRecord->PR_COMMENT, "");
        EXPECT_NE(pRecord->lpMailUser, nullptr);
    }
    CommAddrMgr* pSet = wab.GetNeutralSet();
    ASSERT_EQ(pSet->GetCount(), kAdded + 1);
    for (int32_t i = 0; i < pSet->GetCount(); ++i)
        EXPECT_EQ(pSet->GetRecordAt(i)->pAttached, seen[static_cast<size_t>(i)]) << i;

    CxWab again(book.c_str());
    std::vector<std::string> names = Names(again);
    ASSERT_EQ(names.size(), static_cast<size_t>(kAdded + 1));
    EXPECT_EQ(names[kAdded], "First" + std::to_string(kAdded - 1) + " Added");
}

TEST_F(CxWabTest, OpeningAgainReplacesTheEarlierBook)
{
    WriteEntries({{MAPI_MAILUSER, {{PR_DISPLAY_NAME, "one"}}}, {MAPI_MAILUSER, {{PR_DISPLAY_NAME, "two"}}}});
    const std::string first = book;
    book = dir + "/second.wab";
    WriteEntries({{MAPI_MAILUSER, {{PR_DISPLAY_NAME, "three"}}}});

    CxWab wab(first.c_str());
    ASSERT_EQ(Names(wab).size(), 2u);
    ASSERT_TRUE(wab.OpenAddressBook(book.c_str()));
    EXPECT_EQ(Names(wab), std::vector<std::string>{"three"});
    EXPECT_EQ(wab.GetNeutralSet()->GetCount(), 1);
    EXPECT_STREQ(wab.GetWabFile(), book.c_str());

    // A path too long for the buffer is refused: cut, it would name another file.
    const std::string longPath = dir + "/" + std::string(300 - dir.size() - 1, 'p');
    EXPECT_FALSE(wab.OpenAddressBook(longPath.c_str()));
    EXPECT_EQ(wab.GetLastFailure().eKind, FailKind::PathTooLong);
    struct stat st;
    EXPECT_NE(stat(longPath.substr(0, MAX_PATH - 1).c_str(), &st), 0) << "the cut path is not created";
    EXPECT_TRUE(wab.CloseAddressBook());
    EXPECT_FALSE(wab.IsOpen());
    EXPECT_EQ(wab.GetNeutralSet()->GetCount(), 0);
}

TEST_F(CxWabTest, WhatTheLibraryNotesOfAFailureReachesTheLog)
{
    const std::string notBook = dir + "/notes.wab";
    ASSERT_TRUE(vwtest::WriteFileText(notBook, "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n"));
    WriteEntries({{MAPI_MAILUSER, {{PR_DISPLAY_NAME, "one"}}}});
    ASSERT_EQ(chmod(book.c_str(), 0444), 0);

    const struct {
        const char* name;
        std::string path;
        bool bStore;           // the failure is in a save, not in the open
        const char* pszWords;  // what the line says
    } cases[] = {
        {"not a book", notBook, false, "is not a Varnwick address book"},
        {"read-only book", book, true, "cannot be written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(g_DebugUtil.GetLogPath().c_str());
        CxWab wab(nullptr);
        EXPECT_EQ(wab.OpenAddressBook(c.path.c_str()), c.bStore);
        if (c.bStore) {
            EXPECT_FALSE(wab.StoreContact(Contact("Ann", "Lee", "").get()));
        }
        const std::string log = vwtest::ReadFileText(g_DebugUtil.GetLogPath());
        EXPECT_NE(log.find("!!!"), std::string::npos) << log;
        EXPECT_NE(log.find(c.path + " "), std::string::npos) << log;
        EXPECT_NE(log.find(c.pszWords), std::string::npos) << log;
    }
    chmod(book.c_str(), 0644);
}

TEST_F(CxWabTest, AnEmptyPathOpensTheDefaultBook)
{
    const vwtest::ScopedEnv dataHome("XDG_DATA_HOME", (dir + "/data").c_str());
    {
        CxWab wab(nullptr);
        EXPECT_TRUE(wab.OpenAddressBook(""));
        EXPECT_STREQ(wab.GetWabFile(), "");
        EXPECT_TRUE(wab.StoreContact(Contact("Ann", "Lee", "").get()));
    }
    CxWab wab(nullptr);
    EXPECT_TRUE(wab.OpenAddressBook(nullptr));
    EXPECT_EQ(Names(wab), std::vector<std::string>{"Ann Lee"});
}

}  // namespace
