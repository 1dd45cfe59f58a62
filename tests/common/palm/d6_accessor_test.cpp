// The Desktop 6 statement builder and the accessor that runs statements on
// the data module's address connection.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/misc/CxDebugUtil.h"
#include "common/palm/PmMDBAccessor.h"
#include "common/palm/TdmMain.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/d6gen/D6TempFolder.h"

namespace {

// A few values that free their texts when they go.
struct Values {
    std::vector<VARIANT> v;
    explicit Values(size_t n) : v(n)
    {
        for (VARIANT& x : v)
            JetInitValue(&x);
    }
    ~Values()
    {
        for (VARIANT& x : v)
            JetClearValue(&x);
    }
    VARIANT* data() { return v.data(); }
    VARIANT& operator[](size_t i) { return v[i]; }
};

std::string Sql(const char* table, const char* where, int op, std::vector<const char*> columns, Values* values)
{
    return PmDataAccessor::BuildSql(table, where, op, columns.data(), values != nullptr ? values->data() : nullptr,
                                    static_cast<int>(columns.size()));
}

int CountErrorLines(const std::string& logPath)
{
    std::ifstream in(logPath);
    std::string line;
    int n = 0;
    while (std::getline(in, line))
        n += line.find("[!!!]") != std::string::npos;
    return n;
}

TEST(D6StatementTest, StatementsReadExactlyAsSpecified)
{
    Values category(4);
    PmDataAccessor::IntValue(6, &category[0]);
    PmDataAccessor::TextValue("Family", &category[1]);
    PmDataAccessor::IntValue(1, &category[2]);
    PmDataAccessor::IntValue(0, &category[3]);
    const std::vector<const char*> categoryColumns = {"ID", "Name", "Status", "Color"};
    EXPECT_EQ(Sql("Category", nullptr, kSqlSelect, categoryColumns, nullptr),
              "SELECT [ID], [Name], [Status], [Color] FROM Category ");
    EXPECT_EQ(Sql("Category", nullptr, kSqlInsert, categoryColumns, &category),
              "INSERT INTO Category ([ID], [Name], [Status], [Color]) VALUES (6, 'Family', 1, 0)");
    EXPECT_EQ(Sql("Category", "WHERE [ID] = 6", kSqlDelete, {"ID"}, nullptr), "DELETE FROM Category WHERE [ID] = 6");

    Values update(2);
    PmDataAccessor::TextValue("Call back", &update[0]);
    PmDataAccessor::TextValue("Acme", &update[1]);
    EXPECT_EQ(Sql("Main", "WHERE [Record ID] = 12 AND [First Name] = 'Ann' AND [Last Name] = 'Lee'", kSqlUpdate,
                  {"Note", "Company"}, &update),
              "UPDATE Main SET [Note]='Call back', [Company]='Acme' WHERE [Record ID] = 12 AND [First Name] = 'Ann' "
              "AND [Last Name] = 'Lee'");

    // The binary columns follow 5 and 31 columns, not 4 and 30.
    std::vector<const char*> names;
    Values many(31);
    std::string nameList;
    std::string valueList;
    for (int i = 0; i < 31; ++i) {
        static char buffers[31][8];
        std::snprintf(buffers[i], sizeof(buffers[i]), "c%d", i);
        names.push_back(buffers[i]);
        PmDataAccessor::IntValue(i, &many[static_cast<size_t>(i)]);
        nameList += std::string(i ? ", " : "") + "[c" + std::to_string(i) + "]";
        valueList += std::string(i ? ", " : "") + std::to_string(i);
        const int n = i + 1;
        if (n != 4 && n != 5 && n != 30 && n != 31)
            continue;
        std::string expected = "INSERT INTO T (" + nameList;
        if (n > 30)
            expected += ", [Photo], [VoiceTag], [Ringtone]";
        if (n > 4)
            expected += ", [Blob]";
        expected += ") VALUES (" + valueList;
        if (n > 30)
            expected += ", 0x00000000, 0x00000000, 0x00000000";
        if (n > 4)
            expected += ", 0x00000000";
        expected += ")";
        EXPECT_EQ(PmDataAccessor::BuildSql("T", nullptr, kSqlInsert, names.data(), many.data(), n), expected) << n;
    }

    // No columns, or an unknown op, give the empty statement.
    for (int op : {int{kSqlSelect}, int{kSqlInsert}, int{kSqlDelete}, int{kSqlUpdate}, 0, 5}) {
        EXPECT_STREQ(PmDataAccessor::BuildSql("Main", nullptr, op, names.data(), many.data(), 0), "") << op;
        EXPECT_STREQ(PmDataAccessor::BuildSql("Main", nullptr, op, nullptr, many.data(), 3), "") << op;
    }
    EXPECT_STREQ(PmDataAccessor::BuildSql("Main", nullptr, 7, names.data(), many.data(), 3), "");
}

TEST(D6StatementTest, ValuesAndWhereClausesFormatAsSql)
{
    Values v(7);
    PmDataAccessor::BoolValue(1, &v[0]);
    PmDataAccessor::BoolValue(0, &v[1]);
    PmDataAccessor::IntValue(-42, &v[2]);
    PmDataAccessor::TextValue("O'Brien", &v[3]);
    PmDataAccessor::TextValue("", &v[4]);
    PmDataAccessor::IntTextValue(-1, &v[5]);
    v[6].vt = VT_I2;  // no SQL form
    v[6].iVal = 3;
    const char* expected[] = {"1", "0", "-42", "'O''Brien'", "''", "'-1'", ""};
    for (size_t i = 0; i < 7; ++i) {
        char buf[64];
        PmDataAccessor::FormatSqlValue(&v[i], buf, sizeof(buf));
        EXPECT_STREQ(buf, expected[i]) << i;
    }
    char tiny[10];
    EXPECT_FALSE(PmDataAccessor::FormatSqlValue(&v[3], tiny, 10)) << "'O''Brien' needs 11 bytes";
    EXPECT_STREQ(tiny, "");

    Values keys(3);
    PmDataAccessor::IntValue(17, &keys[0]);
    PmDataAccessor::TextValue("Ann", &keys[1]);
    PmDataAccessor::TextValue("O'Lee", &keys[2]);
    const char* columns[] = {"Record ID", "First Name", "Last Name"};
    const std::string clause = "WHERE [Record ID] = 17 AND [First Name] = 'Ann' AND [Last Name] = 'O''Lee'";
    char out[128];
    ASSERT_TRUE(PmDataAccessor::BuildWhere(columns, 3, keys.data(), out, sizeof(out)));
    EXPECT_EQ(out, clause);
    // A clause that does not fit is not cut: it would match other rows.
    EXPECT_FALSE(PmDataAccessor::BuildWhere(columns, 3, keys.data(), out, static_cast<int>(clause.size())));
    EXPECT_STREQ(out, "");
    EXPECT_TRUE(PmDataAccessor::BuildWhere(columns, 0, keys.data(), out, sizeof(out)));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(PmDataAccessor::BuildWhere(columns, 3, keys.data(), nullptr, 10));

    char quotes[12] = "it's 'x'";
    EXPECT_TRUE(PmDataAccessor::ReplaceQuotes(quotes, sizeof(quotes)));
    EXPECT_STREQ(quotes, "it''s ''x''");
    char full[7] = "a'b'c";
    EXPECT_FALSE(PmDataAccessor::ReplaceQuotes(full, sizeof(full)));
    EXPECT_STREQ(full, "a'b'c");
}

TEST(D6StatementTest, ValueReadersAcceptOnlyTheirTags)
{
    Values v(8);
    PmDataAccessor::IntValue(70000, &v[0]);
    v[1].vt = VT_I1;
    v[1].cVal = -5;
    v[2].vt = VT_I2;
    v[2].iVal = -300;
    PmDataAccessor::IntTextValue(-17, &v[3]);
    PmDataAccessor::TextValue("", &v[4]);  // no text
    PmDataAccessor::TextValue("abc", &v[5]);
    PmDataAccessor::BoolValue(5, &v[6]);
    struct Case {
        bool ok;
        int32_t value;
    } cases[] = {{true, 70000}, {true, -5},  {true, -300}, {true, -17},
                 {false, 99},   {false, 99}, {false, 99},  {false, 99}};
    for (size_t i = 0; i < 8; ++i) {
        int32_t n = 99;
        EXPECT_EQ(PmDataAccessor::ValueToInt(&v[i], &n), cases[i].ok) << i;
        EXPECT_EQ(n, cases[i].value) << i;
    }
    uint8_t b = 7;
    EXPECT_FALSE(PmDataAccessor::ValueToBool(&v[0], &b));
    EXPECT_EQ(b, 7);
    EXPECT_TRUE(PmDataAccessor::ValueToBool(&v[6], &b));
    EXPECT_EQ(b, 1);

    char text[4] = "xyz";
    EXPECT_FALSE(PmDataAccessor::ValueToText(&v[0], text, sizeof(text)));
    EXPECT_STREQ(text, "xyz");
    EXPECT_TRUE(PmDataAccessor::ValueToText(&v[4], text, sizeof(text)));
    EXPECT_STREQ(text, "");
    Values name(1);
    PmDataAccessor::TextValue("M\xFCller", &name[0]);  // Windows-1252
    EXPECT_EQ(std::u16string(name[0].bstrVal), u"M\u00fcller");
    EXPECT_TRUE(PmDataAccessor::ValueToText(&name[0], text, sizeof(text)));
    EXPECT_STREQ(text, "M\xFCl");

    char16_t wide[4];
    EXPECT_TRUE(PmDataAccessor::ToWide("M\xFCller", wide, 4));
    EXPECT_EQ(std::u16string(wide), u"M\u00fcl");
    char narrow[3];
    EXPECT_TRUE(PmDataAccessor::ToNarrow(u"\u00c5se", narrow, 3));
    EXPECT_STREQ(narrow, "\xC5s");
}

class D6AccessorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.IsValid());
        g_DebugUtil.SetFolder((m_folder.Path() + "/").c_str());
        std::string error;
        ASSERT_TRUE(D6CreateDatabase(m_folder.File("address.mdb"),
                                     "category 1|Business\ncategory 2|Personal\ncategory 3|QuickList\n", &error))
            << error;
    }
    void TearDown() override
    {
        g_DebugUtil.SetFolder("./");
        TdmMain::Instance()->connAddr.Close();
    }
    D6TempFolder m_folder;
};

TEST_F(D6AccessorTest, NextRowWalksOnlyTheLastQueryFirst)
{
    PmMDBAccessor accessor(kAccessorAddress, m_folder.File("address.mdb").c_str());
    ASSERT_TRUE(accessor.IsConnected());
    const char* columns[] = {"ID", "Name"};
    VARIANT* pValues = nullptr;
    int nCount = 2;
    ASSERT_TRUE(accessor.QueryFirst("Category", columns, &pValues, &nCount));
    ASSERT_EQ(nCount, 2);
    EXPECT_EQ(pValues[0].lVal, 1);
    PmDataAccessor::FreeValues(pValues, nCount);
    EXPECT_STREQ(accessor.GetLastSql(), "SELECT [ID], [Name] FROM Category ");

    pValues = nullptr;
    EXPECT_FALSE(accessor.NextRow("SELECT [ID], [Name] FROM Category", &pValues, &nCount))
        << "a statement other than the last one must not move the walk";
    EXPECT_EQ(pValues, nullptr);
    std::vector<int> ids;
    while (accessor.QueryNext("Category", columns, &pValues, &nCount)) {
        ids.push_back(pValues[0].lVal);
        PmDataAccessor::FreeValues(pValues, nCount);
    }
    EXPECT_EQ(ids, (std::vector<int>{2, 3}));
}

TEST_F(D6AccessorTest, FailedStatementsAreReportedAndLogged)
{
    PmMDBAccessor accessor(kAccessorAddress, m_folder.File("address.mdb").c_str());
    EXPECT_TRUE(accessor.Execute("DELETE FROM Category WHERE [ID] = 3", false));
    EXPECT_FALSE(accessor.Execute("INSERT INTO Nowhere ([ID]) VALUES (1)", false));
    EXPECT_FALSE(accessor.Execute("UPDATE Category SET [Name]= WHERE [ID] = 1", false));
    EXPECT_EQ(CountErrorLines(g_DebugUtil.GetLogPath()), 2);
    EXPECT_FALSE(accessor.Execute("", false));
    const char* none[] = {"ID"};
    EXPECT_FALSE(accessor.Execute(accessor.BuildCategorySql(nullptr, kSqlSelect, none, nullptr, 0), true));

    // Another kind has no connection open: nothing runs there.
    PmMDBAccessor memo(kAccessorMemo, nullptr);
    EXPECT_FALSE(memo.Execute("DELETE FROM Category", false));
    std::vector<std::map<std::string, std::string>> rows;
    std::string error;
    ASSERT_TRUE(D6Query(m_folder.File("address.mdb"), "SELECT [ID] FROM Category", &rows, &error)) << error;
    EXPECT_EQ(rows.size(), 2u);
}

TEST_F(D6AccessorTest, ConnectingToAMissingFileClosesTheConnectionAndCreatesNothing)
{
    PmMDBAccessor accessor(kAccessorAddress, m_folder.File("address.mdb").c_str());
    ASSERT_TRUE(accessor.IsConnected());
    const std::string missing = m_folder.File("gone.mdb");
    EXPECT_FALSE(accessor.Connect(kAccessorAddress, missing.c_str()));
    EXPECT_FALSE(accessor.IsConnected()) << "queries must not reach the file connected before";
    VARIANT* pValues = nullptr;
    int nCount = 1;
    const char* columns[] = {"ID"};
    EXPECT_FALSE(accessor.QueryFirst("Category", columns, &pValues, &nCount));
    std::ifstream probe(missing);
    EXPECT_FALSE(probe.good());
}

}  // namespace
