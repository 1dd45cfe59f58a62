// JetConnection: one connection to a Desktop 6 contacts database file.
//
// The database is a SQLite file. The connection is named by a connection
// string of "key=value" pairs separated by ';', of which only "Data Source"
// (the file path, optionally in double quotes) is used; a "Provider" pair is
// accepted and ignored. A path can also be given as it stands
// (SetDataSource), which no quoting inside it can redirect. Open() only ever
// opens a file that already exists and begins like a SQLite database: it
// never creates a file and never writes to one that is something else.
//
// Queries bound to the connection (JetQuery) are closed when it closes.
//
// Reading never writes: Open() opens the file read-only, and a file whose
// log was cleanly closed is read without the lock files SQLite would leave
// beside it. The first statement that writes (JetQuery::ExecSql) reopens the
// file for writing. The file's journal mode is never changed.
#pragma once

#include <string>
#include <vector>

#include "platform/fsutil/FailReason.h"

struct sqlite3;

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
    // Names the file directly, byte for byte (null: none); replaces the
    // connection string's "Data Source" until the next SetConnectionString.
    void SetDataSource(const char* pszPath);
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
    // The same as a reason value: Missing, NotRegular, WrongKind (what the
    // file is instead), Damaged, Locked, ReadOnly, DiskFull... Also set by a
    // failed OpenForWriting and by a statement that failed for want of room
    // or permission.
    const FailReason& GetLastFailure() const { return m_lastFailure; }
    // Reopens the open file for writing (closing the bound queries). True
    // when it is open for writing afterwards.
    bool OpenForWriting();
    bool IsReadOnly() const { return m_bReadOnly; }
    // Whether the statement compiles against the file's schema (its tables
    // and columns are there). Runs nothing.
    bool CanPrepare(const char* pszSqlUtf8, std::string* pError = nullptr);

    // Traces the statements of this connection (sqlite3_trace_v2), also
    // across the reopen for writing; a null callback ends the trace.
    using TraceCallback = int (*)(unsigned, void*, void*, void*);
    void SetTrace(unsigned uMask, TraceCallback pCallback, void* pContext);

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
    bool OpenFile(bool bWrite);
    void NoteStatementFailure(int nResult);

    std::string m_connectionString;
    std::string m_dataSource;  // from SetDataSource
    bool m_bDataSourceSet = false;
    std::string m_path;  // the file open now
    std::string m_lastError;
    FailReason m_lastFailure;
    sqlite3* m_pDb;
    bool m_bReadOnly = false;
    unsigned m_uTraceMask = 0;
    TraceCallback m_pTrace = nullptr;
    void* m_pTraceContext = nullptr;
    std::vector<JetQuery*> m_queries;  // bound queries, not owned
};
