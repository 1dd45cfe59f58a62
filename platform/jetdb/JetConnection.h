// JetConnection: one connection to a Desktop 6 contacts database file.
//
// The database is a SQLite file. The connection is named by a connection
// string of "key=value" pairs separated by ';', of which only "Data Source"
// (the file path, optionally in double quotes) is used; a "Provider" pair is
// accepted and ignored. Open() only ever opens a file that already exists
// and begins like a SQLite database: it never creates a file and never
// writes to one that is something else.
//
// Queries bound to the connection (JetQuery) are closed when it closes.
//
// While open, the connection keeps the file in SQLite's write-ahead-log mode,
// so that a statement's commit does not wait for the disk; the file's own
// journal mode is restored when the connection closes.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

class JetQuery;

class JetConnection {
public:
    JetConnection();
    // Closes the connection and every query bound to it.
    ~JetConnection();
    JetConnection(const JetConnection&) = delete;
    JetConnection& operator=(const JetConnection&) = delete;

    // Replaces the connection string. An open connection stays open on the
    // file it has until the next Open().
    void SetConnectionString(const char* pszConnectionString);
    const std::string& GetConnectionString() const { return m_connectionString; }

    // Opens the file named by "Data Source", closing any file open before.
    // False, with GetLastError() saying why, when the string names no file,
    // the file does not exist, is not a SQLite database, or cannot be read.
    bool Open();

    // Closes every bound query, then the file. Harmless when closed.
    void Close();

    bool IsOpen() const { return m_pDb != nullptr; }

    // The reason of the last failure of Open() (UTF-8 text, may be empty).
    const std::string& GetLastError() const { return m_lastError; }

    // The SQLite handle while open, else null. For bound queries and for
    // tests that observe what is run.
    sqlite3* GetHandle() const { return m_pDb; }

    // The value of "Data Source" in a connection string, with surrounding
    // double quotes removed. False when there is no such pair.
    static bool ParseDataSource(const std::string& connectionString, std::string* pPath);

private:
    friend class JetQuery;
    void Attach(JetQuery* pQuery);
    void Detach(JetQuery* pQuery);
    void UseWriteAheadLog();
    std::string JournalMode(const char* pszPragma);

    std::string m_connectionString;
    std::string m_lastError;
    sqlite3* m_pDb;
    std::string m_restoreJournalMode;   // the file's own journal mode, while the log is used
    std::vector<JetQuery*> m_queries;   // bound queries, not owned
};
