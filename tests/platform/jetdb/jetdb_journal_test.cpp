// The connection writes through SQLite's write-ahead log while it is open:
// every statement is still seen by other readers when it ends, and closing
// leaves the file as it was found, in its own journal mode with no log beside
// it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "platform/jetdb/JetConnection.h"
#include "platform/jetdb/JetQuery.h"
#include "tests/support/TestFiles.h"

namespace {

// Runs a query on its own connection and answers the first column of its
// first row as text ("" when there is none).
std::string ReadOne(const std::string& path, const char* pszSql)
{
    sqlite3* db = nullptr;
    std::string text;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, pszSql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW &&
            sqlite3_column_text(stmt, 0) != nullptr)
            text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return text;
}

TEST(JetJournalTest, StatementsAreSeenAtOnceAndTheFileIsLeftInItsOwnMode)
{
    vwtest::TempDir dir("jetjournal");
    const std::string path = dir.File("address.mdb");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE Main([Record ID] INTEGER, [Last Name] TEXT)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(ReadOne(path, "PRAGMA journal_mode"), "delete");

    JetConnection connection;
    connection.SetConnectionString(("Data Source=" + path).c_str());
    ASSERT_TRUE(connection.Open());
    JetQuery query(&connection);
    for (int n = 1; n <= 3; ++n) {
        const std::string sql =
            "INSERT INTO Main ([Record ID], [Last Name]) VALUES (" + std::to_string(n) + ", 'O''Brien')";
        query.SetSql(sql.c_str());
        ASSERT_TRUE(query.ExecSql()) << query.GetLastError();
        // Another reader sees the row as soon as the statement has run.
        EXPECT_EQ(ReadOne(path, "SELECT count(*) FROM Main"), std::to_string(n));
    }

    connection.Close();
    EXPECT_EQ(ReadOne(path, "PRAGMA journal_mode"), "delete");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"address.mdb"});
    EXPECT_EQ(ReadOne(path, "SELECT group_concat([Last Name]) FROM Main"), "O'Brien,O'Brien,O'Brien");
}

}  // namespace
