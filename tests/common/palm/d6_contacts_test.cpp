// The Desktop 6 contacts reader: loading "Main", writing single records,
// and new record ids.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/misc/CxDebugUtil.h"
#include "common/palm/PmAddrEx2DataMgr.h"
#include "common/palm/PmAddrEx2Record.h"
#include "common/palm/PmAddrEx2Util.h"
#include "common/palm/PmAddrInfo.h"
#include "common/palm/PmInfoEx2.h"
#include "common/palm/TdmMain.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/d6gen/D6TempFolder.h"

namespace {

using Rows = std::vector<std::map<std::string, std::string>>;

// The statements run on the address connection from now on.
class StatementLog {
public:
    StatementLog() { TdmMain::Instance()->connAddr.SetTrace(SQLITE_TRACE_STMT, &StatementLog::Trace, this); }
    ~StatementLog() { TdmMain::Instance()->connAddr.SetTrace(0, nullptr, nullptr); }
    std::vector<std::string> statements;

private:
    static int Trace(unsigned, void* ctx, void*, void* x)
    {
        static_cast<StatementLog*>(ctx)->statements.push_back(static_cast<const char*>(x));
        return 0;
    }
};

template <size_t N>
void SetText(char (&member)[N], const std::string& text)
{
    ASSERT_LT(text.size(), N);
    std::memset(member, 0, N);
    std::memcpy(member, text.data(), text.size());
}

int ColumnIndex(const std::string& column)
{
    const std::vector<D6Column>& columns = D6MainColumns();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (column == columns[i].pszName)
            return static_cast<int>(i);
    }
    ADD_FAILURE() << "no column " << column;
    return -1;
}

// The value the round trip gives each column of "Main", as SQLite prints it.
// Texts are "<column>#<seed>", numbers 1000 * seed + the column's position,
// flags alternate. Record ID and the names are the row's keys and stay.
std::string ExpectedValue(const D6Column& column, int seed)
{
    const std::string name = column.pszName;
    static const std::set<std::string> kUnmapped = {"Other Fax", "Other Mobile", "Work E-mail", "E-mail 1",
                                                    "E-mail 2",  "E-mail 3",     "Pager"};
    if (name == "Record ID")
        return "77";
    if (name == "First Name")
        return "Ann";
    if (name == "Last Name")
        return "O'Brien";
    if (kUnmapped.count(name) != 0)
        return "";
    if (std::strcmp(column.pszType, "TEXT") == 0)
        return name + "#" + std::to_string(seed);
    if (std::strcmp(column.pszType, "BOOLEAN") == 0)
        return std::to_string((seed + ColumnIndex(name)) % 2);
    return std::to_string(1000 * seed + ColumnIndex(name));
}

// Sets every member that stores a column, by hand, to ExpectedValue.
void FillEveryColumn(PmAddrEx2Record* r, int seed)
{
    std::memset(r, 0, sizeof(*r));
    const auto text = [seed](const char* column) { return std::string(column) + "#" + std::to_string(seed); };
    const auto number = [seed](const char* column) { return 1000 * seed + ColumnIndex(column); };
    const auto flag = [seed](const char* column) { return static_cast<uint8_t>((seed + ColumnIndex(column)) % 2); };
    r->RecordID = 77;
    r->Status = number("Status");
    r->Placement = number("Placement");
    r->Private = flag("Private");
    r->Category = number("Category");
    SetText(r->Note, text("Note"));
    SetText(r->Prefix, text("Prefix"));
    SetText(r->FirstName, "Ann");
    SetText(r->MiddleName, text("Middle Name"));
    SetText(r->LastName, "O'Brien");
    SetText(r->Suffix, text("Suffix"));
    SetText(r->NickName, text("NickName"));
    r->Anniversary = number("Anniversary");
    r->Birthday = number("Birthday");
    SetText(r->Profession, text("Profession"));
    SetText(r->Company, text("Company"));
    SetText(r->JobTitle, text("Job Title"));
    SetText(r->AssistantName, text("Assistant Name"));
    SetText(r->AssistantPhone, text("Assistant Phone"));
    SetText(r->WorkStreet, text("Work Street"));
    SetText(r->WorkCity, text("Work City"));
    SetText(r->WorkState, text("Work State"));
    SetText(r->WorkZip, text("Work Zip"));
    SetText(r->WorkCountry, text("Work Country"));
    SetText(r->HomeStreet, text("Home Street"));
    SetText(r->HomeCity, text("Home City"));
    SetText(r->HomeState, text("Home State"));
    SetText(r->HomeZip, text("Home Zip"));
    SetText(r->HomeCountry, text("Home Country"));
    SetText(r->OtherStreet, text("Other Street"));
    SetText(r->OtherCity, text("Other City"));
    SetText(r->OtherState, text("Other State"));
    SetText(r->OtherZip, text("Other Zip"));
    SetText(r->OtherCountry, text("Other Country"));
    const char* phones[] = {"Work Phone", "Work Fax",    "Work Mobile", "Home Phone",
                            "Home Fax",   "Home Mobile", "Other Phone"};
    for (int i = 0; i < 7; ++i) {
        SetText(r->phone[i], text(phones[i]));
        r->phoneLabel[i] = number(("Phone Label" + std::to_string(i + 1)).c_str());
    }
    for (int i = 0; i < 14; ++i)
        SetText(r->Custom[i], text(("Custom " + std::to_string(i + 1)).c_str()));
    r->PrimaryContact = number("Primary Contact");
    SetText(r->FirstYomi, text("First Yomi"));
    SetText(r->LastYomi, text("Last Yomi"));
    SetText(r->CompanyYomi, text("Company Yomi"));
    SetText(r->Chat1, text("Chat1"));
    SetText(r->Chat2, text("Chat2"));
    r->Chat1LabelID = number("Chat1 LabelID");
    r->Chat2LabelID = number("Chat2 LabelID");
    SetText(r->Website, text("Website"));
    r->BirthdayAlarmSet = flag("Birthday AlarmSet");
    r->BirthdayAlarmAdv = number("Birthday AlarmAdv");
    r->Avatar = number("Avatar");
    r->AddrLabel1 = number("Addr Label1");
    r->AddrLabel2 = number("Addr Label2");
    r->AddrLabel3 = number("Addr Label3");
    r->AnniversaryAlarmSet = flag("Anniversary AlarmSet");
    r->AnniversaryAlarmAdv = number("Anniversary AlarmAdv");
    SetText(r->EnglishName, text("English Name"));
    SetText(r->PictureURL, text("Picture URL"));
    SetText(r->PictureFilename, text("Picture Filename"));
    SetText(r->PictureMIMEType, text("Picture MIME type"));
    SetText(r->PictureSyncCounter, text("Picture Sync counter"));
    SetText(r->RingtoneURL, text("Ringtone URL"));
    SetText(r->RingtoneFilename, text("Ringtone Filename"));
    SetText(r->RingtoneMIMEType, text("Ringtone MIME type"));
    SetText(r->RingtoneSyncCounter, text("Ringtone Sync counter"));
}

int CountErrorLines(const std::string& logPath, int* pAllLines = nullptr)
{
    std::ifstream in(logPath);
    std::string line;
    int n = 0;
    int all = 0;
    while (std::getline(in, line)) {
        ++all;
        n += line.find("[!!!]") != std::string::npos;
    }
    if (pAllLines != nullptr)
        *pAllLines = all;
    return n;
}

class D6ContactsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        g_DebugUtil.SetFolder((m_folder.Path() + "/").c_str());
        m_path = m_folder.File("address.mdb");
    }
    void TearDown() override
    {
        g_DebugUtil.SetFolder("./");
        g_DebugUtil.SetDetail(false, 0);
        TdmMain::Instance()->connAddr.Close();
    }
    void MakeDb(const std::string& description)
    {
        std::string error;
        ASSERT_TRUE(D6CreateDatabase(m_path, description, &error)) << error;
    }
    Rows Query(const std::string& sql)
    {
        Rows rows;
        std::string error;
        EXPECT_TRUE(D6Query(m_path, sql, &rows, &error)) << error;
        return rows;
    }
    // The loaded record with this id, or null.
    static PmAddrEx2Record* Find(PmAddrEx2Util& util, int32_t id)
    {
        for (PmAddrEx2Record* p = util.GetDataMgr()->First(); p != nullptr; p = util.GetDataMgr()->Next()) {
            if (p->RecordID == id)
                return p;
        }
        return nullptr;
    }

    D6TempFolder m_folder;
    std::string m_path;
};

TEST_F(D6ContactsTest, DerivedFieldsComeFromPhoneLabelsAndCategory)
{
    MakeDb(
        "category 3|Family\n"
        "contact Record ID=1|First Name=Ann|Last Name=Lee|Category=3|Work Phone=555-0101|Phone Label1=7"
        "|Work Fax=fax|Phone Label2=5|Work Mobile=first|Phone Label3=2|Home Phone=second|Phone Label4=2"
        "|Home Fax=ignored|Phone Label5=8|Home Mobile=" +
        std::string(40, '9') +
        "|Phone Label6=0"
        "|Phone Label7=-1\n"
        "contact Record ID=2|First Name=Bo|Category=9\n");
    PmAddrEx2Util util;
    // Files copied from Windows come in any letter case.
    ASSERT_TRUE(util.LoadFile(m_folder.File("Address.MDB").c_str()));
    ASSERT_EQ(util.GetDataMgr()->Count(), 2);
    const PmAddrEx2Record* pAnn = util.GetDataMgr()->GetAt(0);
    EXPECT_STREQ(pAnn->labelText[10], "555-0101");
    EXPECT_STREQ(pAnn->labelText[8], "fax");
    EXPECT_STREQ(pAnn->labelText[2], "second") << "a later slot with the same label wins";
    EXPECT_EQ(std::string(pAnn->labelText[0]), std::string(31, '9'));
    EXPECT_STREQ(pAnn->categoryName, "Family");
    const PmAddrEx2Record* pBo = util.GetDataMgr()->GetAt(1);
    EXPECT_STREQ(pBo->categoryName, "") << "an unknown category id leaves the name alone";
    EXPECT_STREQ(pBo->labelText[0], "");
}

TEST_F(D6ContactsTest, OnlyChangedColumnsAreWritten)
{
    MakeDb("contact Record ID=12|First Name=Ann|Last Name=Lee|Note=old|Company=Acme|Placement=4\n");
    const std::string lookup = "FROM Main WHERE [Record ID] = 12 AND [First Name] = 'Ann' AND [Last Name] = 'Lee'";
    struct Case {
        const char* what;
        std::function<void(PmAddrEx2Record&)> change;
        std::vector<std::string> writes;
    } cases[] = {
        {"nothing", [](PmAddrEx2Record&) {}, {}},
        {"Placement", [](PmAddrEx2Record& r) { r.Placement = 99; }, {}},
        {"Assistant Name", [](PmAddrEx2Record& r) { SetText(r.AssistantName, "Bob"); }, {}},
        {"a phone label: the number moves with it",
         [](PmAddrEx2Record& r) { r.phoneLabel[0] = 3; },
         {"UPDATE Main SET [Phone Label1]=3 WHERE [Record ID] = 12 AND [First Name] = 'Ann' AND [Last Name] = 'Lee'"}},
        {"Note",
         [](PmAddrEx2Record& r) { SetText(r.Note, "Call back"); },
         {"UPDATE Main SET [Note]='Call back' WHERE [Record ID] = 12 AND [First Name] = 'Ann' AND "
          "[Last Name] = 'Lee'"}},
        {"Note, Private and Category",
         [](PmAddrEx2Record& r) {
             SetText(r.Note, "it's new");
             r.Private = 1;
             r.Category = 2;
         },
         {"UPDATE Main SET [Private]=1, [Category]='2', [Note]='it''s new' WHERE [Record ID] = 12 AND "
          "[First Name] = 'Ann' AND [Last Name] = 'Lee'"}},
    };
    for (const Case& c : cases) {
        PmAddrEx2Util util;
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        PmAddrEx2Record record = *util.GetDataMgr()->GetAt(0);
        c.change(record);
        StatementLog log;
        EXPECT_TRUE(util.WriteRecord(&record)) << c.what;
        ASSERT_GE(log.statements.size(), 1u) << c.what;
        const std::string& select = log.statements[0];
        EXPECT_EQ(select.rfind("SELECT [Record ID], [Status], [Placement], ", 0), 0u) << select;
        EXPECT_EQ(select.substr(select.size() - lookup.size()), lookup) << c.what;
        EXPECT_EQ(std::vector<std::string>(log.statements.begin() + 1, log.statements.end()), c.writes) << c.what;
    }
    const Rows rows = Query("SELECT Note, Private, Category, Placement FROM Main");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("Note"), "it's new");
    EXPECT_EQ(rows[0].at("Category"), "2");
    EXPECT_EQ(rows[0].at("Placement"), "4");
}

TEST_F(D6ContactsTest, ANewRecordIsInsertedWithAll95ColumnsAndTheBinaryOnes)
{
    MakeDb("");
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmAddrEx2Record record{};
    record.RecordID = 12;
    record.Status = 1;
    record.Placement = 0x7FFFFFFF;
    record.Private = 1;
    record.Category = 3;
    SetText(record.FirstName, "Ann");
    SetText(record.LastName, "Lee");
    SetText(record.Company, "Acme");
    SetText(record.phone[0], "555-0101");
    for (int i = 0; i < 7; ++i)
        record.phoneLabel[i] = i;
    record.Birthday = 129080608;
    StatementLog log;
    ASSERT_TRUE(util.WriteRecord(&record));
    ASSERT_EQ(log.statements.size(), 2u);
    const std::string expected =
        "INSERT INTO Main ([Record ID], [Status], [Placement], [Private], [Category], [Note], [Prefix], "
        "[First Name], [Middle Name], [Last Name], [Suffix], [NickName], [Anniversary], [Birthday], "
        "[Profession], [Company], [Job Title], [Assistant Name], [Assistant Phone], [Work Street], [Work City], "
        "[Work State], [Work Zip], [Work Country], [Home Street], [Home City], [Home State], [Home Zip], "
        "[Home Country], [Other Street], [Other City], [Other State], [Other Zip], [Other Country], [Work Phone], "
        "[Work Fax], [Work Mobile], [Home Phone], [Home Fax], [Home Mobile], [Other Phone], [Other Fax], "
        "[Other Mobile], [Work E-mail], [E-mail 1], [E-mail 2], [E-mail 3], [Pager], [Custom 1], [Custom 2], "
        "[Custom 3], [Custom 4], [Primary Contact], [Phone Label1], [Phone Label2], [Phone Label3], "
        "[Phone Label4], [Phone Label5], [Phone Label6], [Phone Label7], [First Yomi], [Last Yomi], "
        "[Company Yomi], [Chat1], [Chat2], [Chat1 LabelID], [Chat2 LabelID], [Website], [Custom 5], [Custom 6], "
        "[Custom 7], [Custom 8], [Custom 9], [Custom 10], [Custom 11], [Custom 12], [Custom 13], [Custom 14], "
        "[Birthday AlarmSet], [Birthday AlarmAdv], [Avatar], [Addr Label1], [Addr Label2], [Addr Label3], "
        "[Anniversary AlarmSet], [Anniversary AlarmAdv], [English Name], [Picture URL], [Picture Filename], "
        "[Picture MIME type], [Picture Sync counter], [Ringtone URL], [Ringtone Filename], [Ringtone MIME type], "
        "[Ringtone Sync counter], [Photo], [VoiceTag], [Ringtone], [Blob]) VALUES ("
        "12, 1, 2147483647, 1, '3', '', '', 'Ann', '', 'Lee', '', '', 0, 129080608, "
        "'', 'Acme', '', '', '', '', '', '', '', '', '', '', '', '', '', '', '', '', '', '', "
        "'555-0101', '', '', '', '', '', '', "
        "'', '', '', '', '', '', '', "
        "'', '', '', '', 0, 0, 1, 2, 3, 4, 5, 6, "
        "'', '', '', '', '', 0, 0, '', "
        "'', '', '', '', '', '', '', '', '', '', "
        "0, 0, 0, 0, 0, 0, 0, 0, "
        "'', '', '', '', '', '', '', '', '', "
        "0x00000000, 0x00000000, 0x00000000, 0x00000000)";
    EXPECT_EQ(log.statements[1], expected);
    EXPECT_EQ(Query("SELECT * FROM Main").size(), 1u);
}

TEST_F(D6ContactsTest, NewContactsGetIdsNoRowHasAndNeverShareARow)
{
    MakeDb("info FreeRecID=3\ncontact Record ID=5|First Name=Old|Last Name=Row\n");
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmAddrEx2Record first{};
    SetText(first.FirstName, "Ann");
    SetText(first.LastName, "O'Brien");
    SetText(first.Note, "first");
    PmAddrEx2Record second = first;
    SetText(second.Note, "second");

    ASSERT_TRUE(util.AssignNewRecordId(&first));
    ASSERT_TRUE(util.WriteRecord(&first));
    ASSERT_TRUE(util.AssignNewRecordId(&second));
    ASSERT_TRUE(util.WriteRecord(&second));
    EXPECT_EQ(first.RecordID, 6) << "one past the largest Record ID, FreeRecID being lower";
    EXPECT_EQ(second.RecordID, 7);
    EXPECT_EQ(util.GetInfo()->FreeRecID, 8);

    // The apostrophe survives, and the record is found again by its keys.
    SetText(first.Note, "first, changed");
    ASSERT_TRUE(util.WriteRecord(&first));
    const Rows rows = Query("SELECT [Record ID] AS Id, Note FROM Main WHERE [Last Name] = 'O''Brien' ORDER BY 1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].at("Id"), "6");
    EXPECT_EQ(rows[0].at("Note"), "first, changed");
    EXPECT_EQ(rows[1].at("Note"), "second");
    const Rows info = Query("SELECT Note FROM Information WHERE Name = 'FreeRecID'");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].at("Note"), "8");

    // A FreeRecID above every row wins; a missing key is inserted.
    PmAddrEx2Util other;
    ASSERT_TRUE(other.LoadFile(m_path.c_str()));
    ASSERT_TRUE(other.WriteInformationValue("FreeRecID", "1200"));
    PmAddrEx2Record third{};
    ASSERT_TRUE(other.AssignNewRecordId(&third));
    EXPECT_EQ(third.RecordID, 1200);
    ASSERT_EQ(sqlite3_exec(TdmMain::Instance()->connAddr.GetHandle(),
                           "DELETE FROM Information WHERE Name = 'FreeRecID'", nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(other.AssignNewRecordId(&third));
    EXPECT_EQ(third.RecordID, 1201) << "never an id handed out before";
    EXPECT_EQ(Query("SELECT Note FROM Information WHERE Name = 'FreeRecID'"), (Rows{{{"Note", "1202"}}}));
}

TEST_F(D6ContactsTest, LongTextsAreWrittenWhole)
{
    MakeDb("");
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    std::string note;
    while (note.size() < 2047)
        note += "It's line " + std::to_string(note.size()) + ".\r\n";
    note.resize(2047);
    PmAddrEx2Record record{};
    SetText(record.FirstName, "Long");
    SetText(record.Note, note);
    SetText(record.Custom[13], std::string(255, '\''));
    ASSERT_TRUE(util.AssignNewRecordId(&record));
    ASSERT_TRUE(util.WriteRecord(&record));
    std::reverse(note.begin(), note.end());
    SetText(record.Note, note);
    ASSERT_TRUE(util.WriteRecord(&record));

    const Rows rows = Query("SELECT Note, [Custom 14] AS C FROM Main");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("Note"), note);
    EXPECT_EQ(rows[0].at("C"), std::string(255, '\''));
}

TEST_F(D6ContactsTest, EveryColumnSurvivesInsertUpdateAndReload)
{
    MakeDb("category 1|Business\ngenerate 3 5\n");
    PmAddrEx2Record inserted;
    FillEveryColumn(&inserted, 1);
    PmAddrEx2Record changed;
    FillEveryColumn(&changed, 2);
    {
        PmAddrEx2Util util;
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        ASSERT_EQ(util.GetDataMgr()->Count(), 3);
        ASSERT_TRUE(util.WriteRecord(&inserted));
        ASSERT_TRUE(util.WriteRecord(&changed));
    }
    // An update writes the record's data columns, its phone labels and
    // chats; the address labels, the yomi and the chat label ids keep what
    // the insert wrote.
    const std::set<std::string> kNotUpdated = {"First Yomi",    "Last Yomi",   "Company Yomi", "Chat1 LabelID",
                                               "Chat2 LabelID", "Addr Label1", "Addr Label2",  "Addr Label3"};
    const Rows rows = Query("SELECT * FROM Main WHERE [Record ID] = 77");
    ASSERT_EQ(rows.size(), 1u);
    for (const D6Column& column : D6MainColumns()) {
        const int seed = kNotUpdated.count(column.pszName) != 0 ? 1 : 2;
        EXPECT_EQ(rows[0].at(column.pszName), ExpectedValue(column, seed)) << column.pszName;
    }
    for (const char* binary : {"Photo", "VoiceTag", "Ringtone", "Blob"})
        EXPECT_EQ(rows[0].at(binary), "0") << binary;

    PmAddrEx2Record expected = changed;
    std::memcpy(expected.FirstYomi, inserted.FirstYomi, sizeof(expected.FirstYomi));
    std::memcpy(expected.LastYomi, inserted.LastYomi, sizeof(expected.LastYomi));
    std::memcpy(expected.CompanyYomi, inserted.CompanyYomi, sizeof(expected.CompanyYomi));
    expected.Chat1LabelID = inserted.Chat1LabelID;
    expected.Chat2LabelID = inserted.Chat2LabelID;
    expected.AddrLabel1 = inserted.AddrLabel1;
    expected.AddrLabel2 = inserted.AddrLabel2;
    expected.AddrLabel3 = inserted.AddrLabel3;

    PmAddrEx2Util reloaded;
    ASSERT_TRUE(reloaded.LoadFile(m_path.c_str()));
    ASSERT_EQ(reloaded.GetDataMgr()->Count(), 4);
    const PmAddrEx2Record* pRecord = Find(reloaded, 77);
    ASSERT_NE(pRecord, nullptr);
    EXPECT_EQ(std::memcmp(pRecord, &expected, sizeof(expected)), 0) << "every member as written";
    EXPECT_TRUE(PmAddrEx2Util::RecordsEqual(pRecord, &expected));
}

TEST_F(D6ContactsTest, FilesThatAreNoDatabaseGiveNoRowsAndStayAsTheyAre)
{
    g_DebugUtil.SetDetail(true, 9);
    PmAddrEx2Util util;
    EXPECT_FALSE(util.LoadFile(""));
    int allLines = 0;
    EXPECT_EQ(CountErrorLines(g_DebugUtil.GetLogPath(), &allLines), 0);
    EXPECT_EQ(allLines, 0) << "an empty path logs nothing";

    struct Case {
        const char* name;
        bool exists;
        std::string content;
        bool loads;
    } cases[] = {
        {"missing.mdb", false, "", false},
        {"text.mdb", true, "Standard Jet DB, or so it claims\n", false},
        {"empty.mdb", true, "", false},
    };
    for (const Case& c : cases) {
        const std::string path = m_folder.File(c.name);
        if (c.exists)
            std::ofstream(path, std::ios::binary) << c.content;
        const std::string log = m_folder.File(c.name) + ".log";
        g_DebugUtil.SetFolder((m_folder.Path() + "/" + c.name + "-").c_str());

        PmAddrEx2Util reader;
        EXPECT_EQ(reader.LoadFile(path.c_str()), c.loads) << c.name;
        EXPECT_EQ(reader.GetDataMgr()->Count(), 0) << c.name;
        PmAddrEx2Record record{};
        SetText(record.FirstName, "Ann");
        EXPECT_FALSE(reader.AssignNewRecordId(&record)) << c.name;
        EXPECT_EQ(CountErrorLines(g_DebugUtil.GetLogPath()), 1) << c.name;
        EXPECT_FALSE(reader.WriteRecord(&record)) << c.name;

        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(in.good(), c.exists) << c.name << ": a missing file must not be created";
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.content) << c.name;
    }
}

}  // namespace

namespace {

// A contact loaded from a row goes back into that row, whatever its names
// hold: names that the update changes in letter case, names that are NULL in
// the row, and names with a character the ANSI code page cannot show. None
// of them becomes a second row.
TEST_F(D6ContactsTest, AnUpdateGoesBackIntoTheRowItWasLoadedFrom)
{
    MakeDb(
        "contact Record ID=1|First Name=ann|Last Name=lee|Note=one\n"
        "contact Record ID=2|First Name=x|Last Name=x|Note=two\n"
        "contact Record ID=3|First Name=x|Last Name=Nowak|Note=three\n");
    {
        sqlite3* pDb = nullptr;
        ASSERT_EQ(sqlite3_open(m_path.c_str(), &pDb), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(pDb,
                               "UPDATE Main SET [First Name] = NULL, [Last Name] = NULL WHERE [Record ID] = 2;"
                               "UPDATE Main SET [First Name] = '\xC5\x81ukasz' WHERE [Record ID] = 3;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(pDb);
    }
    struct Case {
        const char* what;
        const char* pszFirst;  // what the incoming record calls the contact
        const char* pszLast;
        const char* pszNote;
    };
    const Case cases[] = {
        {"names in another letter case", "Ann", "Lee", "one, changed"},
        {"NULL names", "", "", "two, changed"},
        {"a name outside the code page", "", "Nowak", "three, changed"},
    };
    {
        PmAddrInfo info(60000);
        ASSERT_TRUE(info.LoadContacts(m_path.c_str()));
        ASSERT_EQ(info.GetContactSet()->GetCount(), 3);
        for (int nPos = 0; nPos < 3; ++nPos) {
            const Case& c = cases[nPos];
            CommAddrRecord record;
            ZeroCommRecord(&record);
            SetTextField(&record, CF_FIRST_NAME, c.pszFirst);
            SetTextField(&record, CF_LAST_NAME, c.pszLast);
            SetTextField(&record, CF_NOTE, c.pszNote);
            EXPECT_TRUE(info.UpdateRecord(&record, nPos)) << c.what;
        }
        EXPECT_TRUE(info.SaveContacts());
    }
    const Rows rows = Query("SELECT [Record ID] AS Id, [First Name] AS F, Note FROM Main ORDER BY [Record ID]");
    ASSERT_EQ(rows.size(), 3u) << "no row was inserted again";
    EXPECT_EQ(rows[0].at("F"), "Ann");
    EXPECT_EQ(rows[0].at("Note"), "one, changed");
    EXPECT_EQ(rows[1].at("Note"), "two, changed");
    EXPECT_EQ(rows[2].at("Note"), "three, changed");
}

// An update whose row has gone (another program deleted it) is refused, and
// never inserts the contact again.
TEST_F(D6ContactsTest, AnUpdateWithoutItsRowInsertsNothing)
{
    MakeDb("contact Record ID=5|First Name=Ann|Last Name=Lee|Note=one\n");
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmAddrEx2Record record = *util.GetDataMgr()->GetAt(0);
    record.RecordID = 6;
    SetText(record.Note, "changed");
    EXPECT_FALSE(util.RewriteRecord(&record));
    const Rows rows = Query("SELECT Note FROM Main");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].at("Note"), "one");
}

}  // namespace
