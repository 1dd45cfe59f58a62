// The SQLite stand-in for the Desktop 6 database connection: it opens only
// existing database files, runs 8-bit statement text, and reports typed fields.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <string>

#include <sys/stat.h>

#include "platform/jetdb/JetConnection.h"
#include "platform/jetdb/JetQuery.h"
#include "platform/jetdb/JetValue.h"
#include "tests/support/TestFiles.h"

namespace {

class JetDbTest : public ::testing::Test {
protected:
    void TearDown() override { m_conn.Close(); }
    std::string PathOf(const char* name) const { return m_dir.File(name); }

    // A database made with SQLite directly, holding one table.
    std::string MakeDb(const char* sql)
    {
        const std::string path = PathOf("t.db");
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
        return path;
    }
    bool Connect(const std::string& path)
    {
        m_conn.SetConnectionString(("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path + "\"").c_str());
        return m_conn.Open();
    }

    vwtest::TempDir m_dir{"jetdb"};
    JetConnection m_conn;
};

TEST_F(JetDbTest, OpensOnlyExistingDatabaseFilesAndLeavesOthersAlone)
{
    const std::string missing = PathOf("missing.mdb");
    EXPECT_FALSE(Connect(missing));
    EXPECT_NE(m_conn.GetLastError().find("no such file"), std::string::npos);
    struct stat st { };
    EXPECT_NE(stat(missing.c_str(), &st), 0) << "a missing file must not be created";

    struct Case {
        const char* name;
        std::string content;
    } cases[] = {
        {"text.mdb", "Standard Jet DB\nthis is no SQLite file at all, but long enough"},
        {"empty.mdb", ""},
        {"torn.mdb", std::string("SQLite format 3\0", 16) + std::string(200, '\x7f')},
    };
    for (const Case& c : cases) {
        const std::string path = PathOf(c.name);
        std::ofstream(path, std::ios::binary) << c.content;
        EXPECT_FALSE(Connect(path)) << c.name;
        EXPECT_FALSE(m_conn.IsOpen()) << c.name;
        EXPECT_FALSE(m_conn.GetLastError().empty()) << c.name;
        EXPECT_EQ(vwtest::ReadFileText(path), c.content) << c.name;
        EXPECT_NE(stat((path + "-journal").c_str(), &st), 0) << c.name;
    }

    m_conn.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0");
    EXPECT_FALSE(m_conn.Open());
}

TEST_F(JetDbTest, DataSourceIsFoundInConnectionStrings)
{
    struct Case {
        const char* text;
        const char* path;
    } cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/a b/c.mdb\"", "/a b/c.mdb"},
        {"Data Source=/x/y.mdb;Provider=P", "/x/y.mdb"},
        {"provider=p; data source = \"/odd;name\".mdb\"", "/odd;name\".mdb"},
    };
    for (const Case& c : cases) {
        std::string path;
        ASSERT_TRUE(JetConnection::ParseDataSource(c.text, &path)) << c.text;
        EXPECT_EQ(path, c.path) << c.text;
    }
    std::string path;
    EXPECT_FALSE(JetConnection::ParseDataSource("Provider=P;Data Source=\"unterminated", &path));
}

TEST_F(JetDbTest, FieldsAreReportedByTheirStoredAndDeclaredTypes)
{
    const std::string path = MakeDb(
        "CREATE TABLE T (i INTEGER, t TEXT, b BOOLEAN, bit BIT, yn YESNO, r REAL, bl BLOB, n TEXT, w INTEGER);"
        "INSERT INTO T VALUES (-7, 'Ann', 1, 0, 1, 2.5, x'00ff', NULL, 5000000000);");
    ASSERT_TRUE(Connect(path)) << m_conn.GetLastError();
    JetQuery query(&m_conn);
    query.SetSql("SELECT * FROM T");
    ASSERT_TRUE(query.Open()) << query.GetLastError();
    ASSERT_FALSE(query.Eof());
    ASSERT_EQ(query.FieldCount(), 9);

    const JetFieldType expected[] = {JetFieldType::Integer, JetFieldType::WideText, JetFieldType::Boolean,
                                     JetFieldType::Boolean, JetFieldType::Boolean,  JetFieldType::Other,
                                     JetFieldType::Other,   JetFieldType::Null,     JetFieldType::Other};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(query.FieldType(i), expected[i]) << "field " << i;
    EXPECT_EQ(query.FieldAsInteger(0), -7);
    EXPECT_EQ(query.FieldAsWideText(1), u"Ann");
    EXPECT_EQ(query.FieldAsInteger(2), 1);
    EXPECT_EQ(query.FieldAsInteger(3), 0);
    EXPECT_FALSE(query.Next());
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.FieldCount(), 0);
}

TEST_F(JetDbTest, EightBitStatementTextIsStoredAsUtf8AndReadAsWideText)
{
    const std::string path = MakeDb("CREATE TABLE T (name TEXT);");
    ASSERT_TRUE(Connect(path));
    JetQuery query(&m_conn);
    // "Renée Öhman" in Windows-1252.
    query.SetSql(
        "INSERT INTO T ([name]) VALUES ('Ren\xE9"
        "e \xD6hman')");
    ASSERT_TRUE(query.ExecSql()) << query.GetLastError();
    EXPECT_EQ(query.RowsAffected(), 1);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT name FROM T", -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                 "Ren\xC3\xA9"
                 "e \xC3\x96hman");
    sqlite3_finalize(stmt);
    sqlite3_close(db);

    query.SetSql(
        "SELECT [name] FROM T WHERE [name] = 'Ren\xE9"
        "e \xD6hman'");
    ASSERT_TRUE(query.Open());
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsWideText(0), u"Ren\u00e9e \u00d6hman");
}

TEST_F(JetDbTest, WalksEveryRowAndReportsFailures)
{
    const std::string path = MakeDb("CREATE TABLE T (n INTEGER); INSERT INTO T VALUES (1),(2),(3);");
    ASSERT_TRUE(Connect(path));
    JetQuery query(&m_conn);
    query.SetSql("SELECT n FROM T ORDER BY n");
    ASSERT_TRUE(query.Open());
    int sum = 0;
    int rows = 0;
    for (bool more = !query.Eof(); more; more = query.Next()) {
        sum += query.FieldAsInteger(0);
        ++rows;
    }
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(sum, 6);
    EXPECT_FALSE(query.Failed());

    const char* bad[] = {
        "SELECT [missing] FROM T",
        "INSERT INTO T VALUES (4); DELETE FROM T",
        "",
    };
    for (const char* sql : bad) {
        query.SetSql(sql);
        EXPECT_FALSE(query.ExecSql()) << sql;
        EXPECT_TRUE(query.Failed()) << sql;
        EXPECT_FALSE(query.GetLastError().empty()) << sql;
    }
    query.SetSql("SELECT count(*) FROM T");
    ASSERT_TRUE(query.Open());
    EXPECT_EQ(query.FieldAsInteger(0), 3) << "a rejected second statement must not have run";

    // Closing the connection closes the query bound to it.
    m_conn.Close();
    EXPECT_FALSE(query.IsActive());
    EXPECT_FALSE(query.Open());
}

}  // namespace
