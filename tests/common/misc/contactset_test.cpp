// CommAddrMgr: matching rules of Classify, merging, and the stored copies.
#include "common/misc/CommAddrMgr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

CommAddrRecord Contact(const char* pszFirst, const char* pszLast, const char* pszEmail, const char* pszWorkPhone = "")
{
    CommAddrRecord record;
    ZeroCommRecord(&record);
    SetTextField(&record, CF_FIRST_NAME, pszFirst);
    SetTextField(&record, CF_LAST_NAME, pszLast);
    SetTextField(&record, CF_EMAIL, pszEmail);
    SetTextField(&record, CF_WORK_PHONE, pszWorkPhone);
    return record;
}

TEST(TextDiffersTest, FoldsOnlyAsciiLetters)
{
    struct Case {
        const char* pszA;
        const char* pszB;
        bool bDiffer;
    };
    const Case cases[] = {
        {"", "", false},
        {"smith", "SMITH", false},
        {"McKay z", "MCKAY Z", false},
        {"Smith ", "Smith", true},       // no trimming
        {"\xC9mile", "\xE9mile", true},  // E acute: only a-z fold
        {"[", "{", true},                // neighbours of the letters
        {"@", "`", true},
        {"abc", "abd", true},
        {"abc", "ab", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommAddrMgr::TextDiffers(c.pszA, c.pszB) != 0, c.bDiffer) << c.pszA << " / " << c.pszB;
        EXPECT_EQ(CommAddrMgr::TextDiffers(c.pszB, c.pszA) != 0, c.bDiffer) << c.pszB << " / " << c.pszA;
    }
}

TEST(MatchFieldListTest, ComparesTextAndDatesAndSkipsTheRest)
{
    CommAddrRecord a = Contact("Ann", "Lee", "ann@x.org");
    CommAddrRecord b = a;
    // Fields outside the compared set never make two records differ.
    b.nGender = 2;
    SetTextField(&b, CF_CHILDREN_NAMES, "Tom");
    SetTextField(&b, CF_MHS_COMMON_NAME, "other");
    SetTextField(&b, CF_ID, "42");
    b.dtCreationTime = 5.0;
    b.nPrivate = 1;
    const int32_t skipped[] = {CF_GENDER, CF_CHILDREN_NAMES, CF_MHS_COMMON_NAME, CF_ID, CF_CREATION_TIME, CF_PRIVATE, 0,
                               91};
    EXPECT_TRUE(CommAddrMgr::MatchFieldList(&a, &b, skipped, static_cast<int32_t>(std::size(skipped))));

    const int32_t dates[] = {CF_BIRTHDAY};
    b.dtBirthday = 1.0;
    EXPECT_FALSE(CommAddrMgr::MatchFieldList(&a, &b, dates, 1));

    const int32_t texts[] = {CF_FIRST_NAME, CF_SPOUSE_NAME};
    SetTextField(&b, CF_SPOUSE_NAME, "Kim");
    EXPECT_FALSE(CommAddrMgr::MatchFieldList(&a, &b, texts, 2));
    EXPECT_TRUE(CommAddrMgr::MatchFieldList(&a, &b, texts, 1));

    EXPECT_FALSE(CommAddrMgr::MatchFieldList(&a, &a, texts, 0));
    EXPECT_FALSE(CommAddrMgr::MatchFieldList(&a, &a, nullptr, 1));
    EXPECT_FALSE(CommAddrMgr::MatchFieldList(nullptr, &a, texts, 1));
}

// Classify over a small set. Each case stores copies, then classifies an
// incoming record.
TEST(ClassifyTest, OrderRules)
{
    struct Case {
        const char* pszName;
        std::vector<CommAddrRecord> stored;
        CommAddrRecord incoming;
        int nResult;
        int32_t nPos;
    };
    CommAddrRecord otherStreet = Contact("Ann", "Lee", "ann@x.org", "1");
    SetTextField(&otherStreet, CF_OTHER_STREET, "1 High St");
    CommAddrRecord nickAndBirthday = Contact("Ann", "Lee", "ann@x.org", "1");
    SetTextField(&nickAndBirthday, CF_NICK_NAME, "Annie");
    nickAndBirthday.dtBirthday = 30000.0;

    auto company = [](const char* pszCompany, const char* pszPhone) {
        CommAddrRecord record = Contact("", "", "", pszPhone);
        SetTextField(&record, CF_COMPANY, pszCompany);
        return record;
    };
    const std::string strLong = "Northern Regional Plumbing and Heating Cooperative";  // 50 characters
    CommAddrRecord longCompany = Contact("Ann", "Lee", "a@x", "1");
    SetTextField(&longCompany, CF_COMPANY, strLong.c_str());
    CommAddrRecord cutCompany = Contact("Ann", "Lee", "a@x", "1");
    SetTextField(&cutCompany, CF_COMPANY, strLong.substr(0, 31).c_str());
    CommAddrRecord shortCompany = Contact("Ann", "Lee", "a@x", "1");
    SetTextField(&shortCompany, CF_COMPANY, strLong.substr(0, 30).c_str());
    CommAddrRecord workFax = Contact("Ann", "Lee", "a@x", "1");
    SetTextField(&workFax, CF_WORK_FAX, "555-0100");
    CommAddrRecord homeFax = Contact("Ann", "Lee", "a@x", "1");
    SetTextField(&homeFax, CF_HOME_FAX, "555-0100");
    CommAddrRecord bothFaxes = homeFax;
    SetTextField(&bothFaxes, CF_WORK_FAX, "555-0100");

    const Case cases[] = {
        {"empty set: new at 0", {}, Contact("Ann", "Lee", "a@x"), CLASSIFY_NEW, 0},
        {"keys differ in case only: same",
         {Contact("Bob", "Roe", "b@x"), Contact("Ann", "Lee", "ann@x.org", "1")},
         Contact("ANN", "lee", "ANN@X.ORG", "1"),
         CLASSIFY_SAME,
         1},
        {"two modified copies: the last one",
         {Contact("Ann", "Lee", "a@x", "1"), Contact("Bob", "Roe", "b@x"), Contact("Ann", "Lee", "a@x", "2")},
         Contact("Ann", "Lee", "a@x", "3"),
         CLASSIFY_MODIFIED,
         2},
        {"modified before same: same wins",
         {Contact("Ann", "Lee", "a@x", "1"), Contact("Ann", "Lee", "a@x", "3")},
         Contact("Ann", "Lee", "a@x", "3"),
         CLASSIFY_SAME,
         1},
        {"same before modified: the first same",
         {Contact("Ann", "Lee", "a@x", "3"), Contact("Ann", "Lee", "a@x", "1")},
         Contact("Ann", "Lee", "a@x", "3"),
         CLASSIFY_SAME,
         0},
        {"two same copies: the first",
         {Contact("Bob", "Roe", "b@x"), Contact("Ann", "Lee", "a@x"), Contact("Ann", "Lee", "a@x")},
         Contact("Ann", "Lee", "a@x"),
         CLASSIFY_SAME,
         1},
        {"no keys, no company, equal fields: same",
         {Contact("Bob", "Roe", "b@x"), Contact("", "", "", "5")},
         Contact("", "", "", "5"),
         CLASSIFY_SAME,
         1},
        {"no keys, no company, a field differs: new, never modified",
         {Contact("", "", "", "5")},
         Contact("", "", "", "6"),
         CLASSIFY_NEW,
         1},
        {"no keys: the company is the key",
         {company("Acme Plumbing", "1"), company("Joe's Pizza", "2")},
         company("JOE'S PIZZA", "3"),
         CLASSIFY_MODIFIED,
         1},
        {"no keys: another company is another contact",
         {company("Acme Plumbing", "1")},
         company("City Hospital", "1"),
         CLASSIFY_NEW,
         1},
        {"no keys: a company cut at 31 is that company",
         {company(strLong.c_str(), "1")},
         company(strLong.substr(0, 31).c_str(), "1"),
         CLASSIFY_SAME,
         0},
        {"a compare text cut at 31 equals the whole text", {longCompany}, cutCompany, CLASSIFY_SAME, 0},
        {"the whole text equals its cut copy", {cutCompany}, longCompany, CLASSIFY_SAME, 0},
        {"a text shorter than a cut length differs", {longCompany}, shortCompany, CLASSIFY_MODIFIED, 0},
        {"a home fax returns as the work fax: same", {homeFax}, workFax, CLASSIFY_SAME, 0},
        {"a work fax against the entry's home fax: same", {workFax}, homeFax, CLASSIFY_SAME, 0},
        {"work fax beside a home fax: modified", {bothFaxes}, workFax, CLASSIFY_MODIFIED, 0},
        {"E acute is not folded: new",
         {Contact("\xC9mile", "Roe", "e@x")},
         Contact("\xE9mile", "Roe", "e@x"),
         CLASSIFY_NEW,
         1},
        {"trailing blank in a key: new",
         {Contact("Ann", "Lee", "a@x")},
         Contact("Ann ", "Lee", "a@x"),
         CLASSIFY_NEW,
         1},
        {"change outside the compare list: same",
         {Contact("Ann", "Lee", "ann@x.org", "1")},
         nickAndBirthday,
         CLASSIFY_SAME,
         0},
        {"other street differs: modified",
         {Contact("Ann", "Lee", "ann@x.org", "1")},
         otherStreet,
         CLASSIFY_MODIFIED,
         0},
    };
    for (const Case& c : cases) {
        CommAddrMgr set;
        std::vector<CommAddrRecord*> copies;
        for (const CommAddrRecord& record : c.stored)
            copies.push_back(set.AddCopy(&record));

        CommAddrRecord sentinel;
        CommAddrRecord* pMatch = &sentinel;
        int32_t nPos = -7;
        EXPECT_EQ(set.Classify(&c.incoming, &pMatch, &nPos), c.nResult) << c.pszName;
        EXPECT_EQ(nPos, c.nPos) << c.pszName;
        if (c.nResult == CLASSIFY_NEW)
            EXPECT_EQ(pMatch, &sentinel) << c.pszName;  // left as the caller set it
        else
            EXPECT_EQ(pMatch, copies.at(static_cast<size_t>(c.nPos))) << c.pszName;
    }
}

// A whole side is paired one to one: namesakes go to distinct copies, exact
// pairs before modified ones, the rest in load order.
TEST(ClassifySideTest, PairsEveryStoredCopyAtMostOnce)
{
    struct Case {
        const char* pszName;
        std::vector<CommAddrRecord> stored;
        std::vector<CommAddrRecord> side;
        std::vector<std::string> expected;  // result@position per side record
    };
    const Case cases[] = {
        {"two namesakes into one: the second is new",
         {Contact("John", "Smith", "", "1")},
         {Contact("John", "Smith", "", "1"), Contact("John", "Smith", "", "2")},
         {"1@0", "2@-1"}},
        {"namesakes both changed: each to its own copy, in load order",
         {Contact("John", "Smith", "", "1"), Contact("John", "Smith", "", "2")},
         {Contact("John", "Smith", "", "3"), Contact("John", "Smith", "", "4")},
         {"3@0", "3@1"}},
        {"the exact pair is made first, whatever the order",
         {Contact("John", "Smith", "", "1"), Contact("John", "Smith", "", "2")},
         {Contact("John", "Smith", "", "9"), Contact("John", "Smith", "", "1")},
         {"3@1", "1@0"}},
        {"unique keys: the answers of Classify",
         {Contact("Ann", "Lee", "a@x", "1"), Contact("Bob", "Roe", "b@x", "2")},
         {Contact("Bob", "Roe", "b@x", "2"), Contact("Ann", "Lee", "a@x", "5"), Contact("Cy", "Doe", "", "")},
         {"1@1", "3@0", "2@-1"}},
    };
    for (const Case& c : cases) {
        CommAddrMgr set;
        for (const CommAddrRecord& record : c.stored)
            set.AddCopy(&record);
        std::vector<const CommAddrRecord*> side;
        for (const CommAddrRecord& record : c.side)
            side.push_back(&record);
        std::vector<ClassifyMatch> answers(side.size());
        ASSERT_TRUE(set.ClassifySide(side.data(), static_cast<int32_t>(side.size()), answers.data())) << c.pszName;
        for (size_t i = 0; i < side.size(); ++i)
            EXPECT_EQ(std::to_string(answers[i].nResult) + "@" + std::to_string(answers[i].nPos), c.expected[i])
                << c.pszName << ", record " << i;
    }
    CommAddrMgr set;
    EXPECT_FALSE(set.ClassifySide(nullptr, 1, nullptr));
    EXPECT_TRUE(set.ClassifySide(nullptr, 0, nullptr));
}

TEST(ClassifyTest, StoredCopyIsAlwaysSameAsItself)
{
    // A birthday that is not a number never equals itself: only the identity
    // rule makes the stored copy the same as itself.
    CommAddrRecord record = Contact("Ann", "Lee", "a@x");
    record.dtBirthday = std::numeric_limits<double>::quiet_NaN();
    CommAddrMgr set;
    const int32_t compare[] = {CF_BIRTHDAY};
    set.SetCompareFields(compare, 1);
    set.AddCopy(&record);
    CommAddrRecord* pStored = set.AddCopy(&record);

    CommAddrRecord* pMatch = nullptr;
    int32_t nPos = -1;
    EXPECT_EQ(set.Classify(pStored, &pMatch, &nPos), CLASSIFY_SAME);
    EXPECT_EQ(pMatch, pStored);
    EXPECT_EQ(nPos, 1);
    EXPECT_EQ(set.Classify(&record, &pMatch, &nPos), CLASSIFY_MODIFIED);
    EXPECT_EQ(nPos, 1);
}

TEST(ClassifyTest, NullRecordAndOutArguments)
{
    CommAddrMgr set;
    CommAddrRecord record = Contact("Ann", "Lee", "a@x");
    set.AddCopy(&record);
    CommAddrRecord* pMatch = &record;
    int32_t nPos = 9;
    EXPECT_EQ(set.Classify(nullptr, &pMatch, &nPos), CLASSIFY_NONE);
    EXPECT_EQ(pMatch, &record);
    EXPECT_EQ(nPos, 9);
    EXPECT_EQ(set.Classify(&record, nullptr, nullptr), CLASSIFY_SAME);

    struct StateCase {
        int nClassify;
        RecordState state;
    };
    const StateCase states[] = {
        {CLASSIFY_SAME, RS_SAME}, {CLASSIFY_NEW, RS_NEW}, {CLASSIFY_MODIFIED, RS_MODIFIED}, {CLASSIFY_NONE, RS_SAME}};
    for (const StateCase& c : states)
        EXPECT_EQ(ClassifyToState(c.nClassify), c.state) << c.nClassify;
}

TEST(ClassifyTest, KeyAndCompareListsCanBeReplacedAndRestored)
{
    CommAddrMgr set;
    CommAddrRecord stored = Contact("Ann", "Lee", "a@x");
    SetTextField(&stored, CF_COMPANY, "Acme");
    set.AddCopy(&stored);
    CommAddrRecord incoming = Contact("Bob", "Roe", "b@x");
    SetTextField(&incoming, CF_COMPANY, "ACME");

    const int32_t byCompany[] = {CF_COMPANY};
    set.SetKeyFields(byCompany, 1);
    EXPECT_EQ(set.Classify(&incoming, nullptr, nullptr), CLASSIFY_MODIFIED);  // Email is compared and differs
    set.SetCompareFields(byCompany, 1);
    EXPECT_EQ(set.Classify(&incoming, nullptr, nullptr), CLASSIFY_SAME);

    set.SetKeyFields(nullptr, 5);  // back to first name, last name, e-mail
    EXPECT_EQ(set.Classify(&incoming, nullptr, nullptr), CLASSIFY_NEW);
    set.SetKeyFields(byCompany, 1);
    set.SetKeyFields(byCompany, 0);
    EXPECT_EQ(set.Classify(&incoming, nullptr, nullptr), CLASSIFY_NEW);

    // A list longer than the catalog is cut, never overflows.
    int32_t many[200];
    for (int32_t& nId : many)
        nId = CF_COMPANY;
    set.SetKeyFields(many, 200);
    EXPECT_EQ(set.Classify(&incoming, nullptr, nullptr), CLASSIFY_SAME);
}

// The set's one cursor: where each call leaves it, seen through the copy that
// GetNextRecord returns next.
TEST(CursorTest, EveryCallLeavesTheCursorWhereAWalkWould)
{
    CommAddrMgr set;
    CommAddrRecord ann = Contact("Ann", "Lee", "a@x", "1");
    CommAddrRecord* pNothing = nullptr;
    EXPECT_EQ(set.Classify(&ann, nullptr, nullptr), CLASSIFY_NEW);  // empty set
    EXPECT_EQ(set.GetNextRecord(), pNothing);

    CommAddrRecord bob = Contact("Bob", "Roe", "b@x", "1");
    CommAddrRecord cyd = Contact("Cyd", "Day", "c@x", "1");
    CommAddrRecord* pAnn = set.AddCopy(&ann);
    CommAddrRecord* pBob = set.AddCopy(&bob);
    CommAddrRecord* pCyd = set.AddCopy(&cyd);
    EXPECT_EQ(set.GetNextRecord(), pNothing);  // AddCopy: on the new copy, the last

    CommAddrRecord bobChanged = Contact("Bob", "Roe", "b@x", "2");
    CommAddrRecord dan = Contact("Dan", "Fox", "d@x");
    struct Step {
        const char* pszWhat;
        std::function<void()> call;
        CommAddrRecord* pNext;  // what GetNextRecord returns after the call
    };
    const Step steps[] = {
        {"GetFirstRecord", [&] { set.GetFirstRecord(); }, pBob},
        {"GetRecordAt 1", [&] { set.GetRecordAt(1); }, pCyd},
        {"GetRecordAt outside",
         [&] {
             set.GetRecordAt(0);
             set.GetRecordAt(3);
             set.GetRecordAt(-1);
         },
         pBob},
        {"same", [&] { set.Classify(&ann, nullptr, nullptr); }, pBob},
        {"modified",
         [&] {
             set.GetFirstRecord();
             set.Classify(&bobChanged, nullptr, nullptr);
         },
         pNothing},
        {"new",
         [&] {
             set.GetFirstRecord();
             set.Classify(&dan, nullptr, nullptr);
         },
         pNothing},
        {"null record",
         [&] {
             set.GetFirstRecord();
             set.Classify(nullptr, nullptr, nullptr);
         },
         pBob},
        {"MergeAt", [&] { set.MergeAt(&bobChanged, 1); }, pCyd},
        {"MergeAt outside",
         [&] {
             set.GetFirstRecord();
             set.MergeAt(&bobChanged, 3);
         },
         pBob},
        {"past the end",
         [&] {
             set.GetRecordAt(2);
             set.GetNextRecord();
         },
         pNothing},
    };
    for (const Step& step : steps) {
        step.call();
        EXPECT_EQ(set.GetNextRecord(), step.pNext) << step.pszWhat;
    }
    EXPECT_EQ(set.GetFirstRecord(), pAnn);

    set.ClearRecords();
    EXPECT_EQ(set.GetNextRecord(), pNothing);
    CommAddrRecord* pAgain = set.AddCopy(&dan);
    EXPECT_EQ(set.GetNextRecord(), pNothing);
    EXPECT_EQ(set.GetFirstRecord(), pAgain);
}

TEST(ClassifyTest, SeesCopiesAsTheyStandAtTheFirstClassifyAfterAddCopy)
{
    CommAddrMgr set;
    CommAddrRecord ann = Contact("Ann", "Lee", "a@x");
    EXPECT_EQ(set.Classify(&ann, nullptr, nullptr), CLASSIFY_NEW);
    // The caller fills in the copy AddCopy returned before classifying again.
    CommAddrRecord* pCopy = set.AddCopy(&ann);
    SetTextField(pCopy, CF_LAST_NAME, "Ng");
    int32_t nPos = -1;
    EXPECT_EQ(set.Classify(&ann, nullptr, &nPos), CLASSIFY_NEW);
    CommAddrRecord annNg = Contact("ann", "NG", "A@X");
    EXPECT_EQ(set.Classify(&annNg, nullptr, &nPos), CLASSIFY_SAME);
    EXPECT_EQ(nPos, 0);
}

TEST(AddCopyTest, StoresIndependentCopiesWithTheirOwnBlock)
{
    CommAddrMgr set;
    EXPECT_EQ(set.AddCopy(nullptr), nullptr);
    EXPECT_EQ(set.GetCount(), 0);

    char block[] = "source record";
    CommAddrRecord record = Contact("Ann", "Lee", "a@x");
    record.pAttached = block;
    record.nAttachedLen = sizeof block;
    CommAddrRecord* pCopy = set.AddCopy(&record);
    ASSERT_NE(pCopy, nullptr);
    ASSERT_NE(pCopy->pAttached, nullptr);
    EXPECT_NE(pCopy->pAttached, static_cast<void*>(block));
    EXPECT_EQ(pCopy->nAttachedLen, sizeof block);
    EXPECT_EQ(std::memcmp(pCopy->pAttached, block, sizeof block), 0);

    // Neither the record nor its block is shared with the caller.
    block[0] = 'X';
    SetTextField(&record, CF_FIRST_NAME, "Zed");
    EXPECT_EQ(static_cast<char*>(pCopy->pAttached)[0], 's');
    EXPECT_STREQ(pCopy->szFirstName, "Ann");

    // A pointer without a length is no block: the copy carries none.
    record.nAttachedLen = 0;
    CommAddrRecord* pNoBlock = set.AddCopy(&record);
    ASSERT_NE(pNoBlock, nullptr);
    EXPECT_EQ(pNoBlock->pAttached, nullptr);

    EXPECT_EQ(set.GetCount(), 2);
    EXPECT_EQ(set.GetFirstRecord(), pCopy);
    EXPECT_EQ(set.GetNextRecord(), pNoBlock);
    EXPECT_EQ(set.GetNextRecord(), nullptr);

    // The set frees the copies and their blocks (the leak checker watches).
    set.ClearRecords();
    EXPECT_EQ(set.GetCount(), 0);
    EXPECT_EQ(set.GetFirstRecord(), nullptr);
    CommAddrRecord* pAgain = set.AddCopy(&record);
    EXPECT_EQ(set.GetRecordAt(0), pAgain);
}

class MergeAtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CommAddrRecord stored = Contact("Ann", "Lee", "ann@x.org", "555-1");
        SetTextField(&stored, CF_COMPANY, "Acme");
        stored.dtBirthday = 30000.0;
        stored.dtAnniversary = 31000.0;
        stored.dtCreationTime = 1.0;
        stored.dtLastModificationTime = 2.0;
        stored.nSourceType = CST_PALM;
        stored.nStatus = RS_MODIFIED;
        stored.nPrivate = 1;
        stored.nGender = 2;
        SetTextField(&stored, CF_ID, "id-7");
        stored.pAttached = m_block;
        stored.nAttachedLen = sizeof m_block;
        const CommAddrRecord other = Contact("Bob", "Roe", "b@x");
        m_set.AddCopy(&other);
        m_pStored = m_set.AddCopy(&stored);
        ZeroCommRecord(&m_incoming);
    }

    CommAddrMgr m_set;
    CommAddrRecord* m_pStored = nullptr;
    CommAddrRecord m_incoming;
    char m_block[4] = {1, 2, 3, 4};
};

TEST_F(MergeAtTest, EmptyIncomingFieldsKeepTheStoredValues)
{
    void* pBlock = m_pStored->pAttached;
    ASSERT_TRUE(m_set.MergeAt(&m_incoming, 1));
    EXPECT_STREQ(m_pStored->szFirstName, "Ann");
    EXPECT_STREQ(m_pStored->szCompany, "Acme");
    EXPECT_STREQ(m_pStored->szWorkPhone, "555-1");
    // An unset date and a cleared private flag say nothing: kept.
    EXPECT_EQ(m_pStored->dtBirthday, 30000.0);
    EXPECT_EQ(m_pStored->dtAnniversary, 31000.0);
    EXPECT_EQ(m_pStored->nPrivate, 1);
    // Gender is copied over as it is.
    EXPECT_EQ(m_pStored->nGender, 0);
    // The stored side's own bookkeeping is never touched.
    EXPECT_EQ(m_pStored->dtCreationTime, 1.0);
    EXPECT_EQ(m_pStored->dtLastModificationTime, 2.0);
    EXPECT_EQ(m_pStored->nSourceType, CST_PALM);
    EXPECT_EQ(m_pStored->nStatus, RS_MODIFIED);
    EXPECT_STREQ(m_pStored->szID, "id-7");
    EXPECT_EQ(m_pStored->pAttached, pBlock);
}

TEST_F(MergeAtTest, SetIncomingFieldsReplaceTheStoredValues)
{
    SetTextField(&m_incoming, CF_COMPANY, "Ac");  // shorter, not a cut length
    SetTextField(&m_incoming, CF_CHILDREN_NAMES, "Tom");
    SetTextField(&m_incoming, CF_CATEGORY, "Business");
    SetTextField(&m_incoming, CF_CUSTOM_LABEL9, "Label");
    SetTextField(&m_incoming, CF_ID, "other id");
    SetTextField(&m_incoming, CF_NOTE, std::string(8191, 'n').c_str());
    m_incoming.dtBirthday = 36526.5;
    m_incoming.dtAnniversary = -1.25;
    m_incoming.nPrivate = 1;
    m_incoming.nGender = 1;
    m_incoming.nSourceType = CST_WAB;

    ASSERT_TRUE(m_set.MergeAt(&m_incoming, 1));
    EXPECT_STREQ(m_pStored->szCompany, "Ac");
    EXPECT_STREQ(m_pStored->szChildrenNames, "Tom");
    EXPECT_STREQ(m_pStored->szCategory, "Business");
    EXPECT_STREQ(m_pStored->szCustomLabel[8], "Label");
    EXPECT_EQ(std::string(m_pStored->szNote), std::string(8191, 'n'));
    EXPECT_EQ(m_pStored->dtBirthday, 36526.5);
    EXPECT_EQ(m_pStored->dtAnniversary, -1.25);
    EXPECT_EQ(m_pStored->nGender, 1);
    EXPECT_STREQ(m_pStored->szID, "id-7");
    EXPECT_EQ(m_pStored->nSourceType, CST_PALM);
    EXPECT_STREQ(m_pStored->szFirstName, "Ann");  // empty incoming
}

// A text that came back cut by a narrower field on the other side must not
// shorten the stored one.
TEST_F(MergeAtTest, CutCopyOfTheStoredTextLeavesItWhole)
{
    struct Case {
        int32_t nId;
        std::string stored;
        std::string incoming;
        bool bKept;
    };
    const std::string company40 = "Northern Lights Imports & Export Trading";
    ASSERT_EQ(company40.size(), 40u);
    const std::string note3000 = std::string(2500, 'a') + std::string(500, 'b');
    const Case cases[] = {
        {CF_COMPANY, company40, company40.substr(0, 31), true},
        {CF_COMPANY, company40, company40.substr(0, 30), false},                // not a cut length
        {CF_COMPANY, company40, "X" + company40.substr(1, 30), false},          // not a prefix
        {CF_COMPANY, company40.substr(0, 31), company40.substr(0, 31), false},  // equal: no-op
        {CF_WORK_POSTAL, "123456789012345", "123456789012345", false},
        {CF_WORK_STREET, std::string(255, 's'), std::string(127, 's'), true},
        {CF_WORK_CITY, std::string(31, 'c'), std::string(23, 'c'), true},
        {CF_NICK_NAME, std::string(20, 'n'), std::string(15, 'n'), true},
        {CF_NOTE, note3000, note3000.substr(0, 2047), true},
        {CF_NOTE, note3000, note3000.substr(0, 2046), false},
        {CF_PROFESSION, std::string(63, 'p'), std::string(63, 'p'), false},
        {CF_FIRST_NAME, "annabelle", "ANNA", false},
    };
    for (const Case& c : cases) {
        SetTextField(m_pStored, c.nId, c.stored.c_str());
        ZeroCommRecord(&m_incoming);
        SetTextField(&m_incoming, c.nId, c.incoming.c_str());
        ASSERT_TRUE(m_set.MergeAt(&m_incoming, 1));
        const std::string expected = c.bKept ? c.stored : c.incoming;
        EXPECT_EQ(std::string(GetTextField(m_pStored, c.nId)), expected)
            << "field " << c.nId << ", incoming length " << c.incoming.size();
    }
}

TEST_F(MergeAtTest, RefusesBadArguments)
{
    SetTextField(&m_incoming, CF_COMPANY, "Other");
    EXPECT_FALSE(m_set.MergeAt(&m_incoming, 2));  // the number of stored copies
    EXPECT_FALSE(m_set.MergeAt(&m_incoming, -1));
    EXPECT_FALSE(m_set.MergeAt(nullptr, 0));
    EXPECT_STREQ(m_pStored->szCompany, "Acme");
}

}  // namespace
