// PmMDBAccessor: the accessor that runs statements on the data module's
// connection and query of one kind (address book, date book, to-do, memo).
//
// Connect opens the database file at a path on the connection of the kind;
// the connection belongs to the data module and stays open when the
// accessor goes. Each select replaces the query's result, so a walk with
// QueryFirst/QueryNext must not be interleaved with OpenQuery or Execute on
// the same kind.
//
// Failures are logged at level 0: a file that cannot be opened as a
// database (once, when connecting) and a statement that fails (with the
// database's error text). A select on a kind whose connection is not open
// finds no rows without logging again.
#pragma once

#include "common/palm/PmDataAccessor.h"
#include "platform/fsutil/FailReason.h"
#include "platform/wintypes/WinTypes.h"

class JetConnection;
class JetQuery;
class TdmMain;

class PmMDBAccessor : public PmDataAccessor {
public:
    // Takes the program's data module and connects (Connect).
    PmMDBAccessor(int nKind, const char* pszPath);
    ~PmMDBAccessor() override;

    // Stores the kind and the path (null: ""), then opens the file on the
    // connection of the kind, closing whatever that connection had open.
    // When no file exists at the path, or the path does not fit in
    // MAX_PATH, the connection is closed and nothing is opened, so later
    // queries find no rows. False when no database was opened; a file that
    // exists but cannot be opened leaves one level-0 log line.
    bool Connect(int nKind, const char* pszPath);

    // Builds a select of the columns on the table (the incoming *pnCount is
    // the number of columns), keeps it as the last statement and runs it
    // with OpenQuery. False without a query for the kind or when the select
    // is longer than the last-statement field.
    bool QueryFirst(const char* pszTable, const char* const* ppszColumns, VARIANT** ppValues, int* pnCount) override;
    // NextRow with the last statement of QueryFirst.
    bool QueryNext(const char* pszTable, const char* const* ppszColumns, VARIANT** ppValues, int* pnCount) override;
    // Runs a select and hands back its first row (RowToValues). False for an
    // empty statement, no query for the kind, a failed select, or no row.
    bool OpenQuery(const char* pszSql, VARIANT** ppValues, int* pnCount) override;
    // Moves the walk started by QueryFirst one row on and hands back the
    // row. False, without moving, unless pszSql is exactly the last
    // statement of QueryFirst and the query still holds its result; false
    // at the end of rows.
    bool NextRow(const char* pszSql, VARIANT** ppValues, int* pnCount) override;
    // Runs a statement: a select (bReturnsRows) is left open on its first
    // row, any other statement is run to its end. False for an empty
    // statement, no query for the kind, a closed connection, or a failure of
    // the statement (logged at level 0 with the database's error text).
    bool Execute(const char* pszSql, bool bReturnsRows) override;

    // The data module's queries and connections, by name and by the kind of
    // this accessor (null for a kind outside 1 to 4).
    virtual JetQuery* GetAddrQuery();
    virtual JetQuery* GetDateQuery();
    virtual JetQuery* GetTodoQuery();
    virtual JetQuery* GetMemoQuery();
    virtual JetQuery* GetQuery();
    virtual JetConnection* GetAddrConnection();
    virtual JetConnection* GetDateConnection();
    virtual JetConnection* GetTodoConnection();
    virtual JetConnection* GetMemoConnection();
    virtual JetConnection* GetConnection();

    // The current row of a query as values: one per field, by the field's
    // type (integer VT_I4, boolean VT_BOOL, text VT_BSTR; null and every
    // other type VT_EMPTY). False when the query has no current row or
    // memory runs out.
    static bool RowToValues(JetQuery* pQuery, VARIANT** ppValues, int* pnCount);

    int GetKind() const { return m_nKind; }
    const char* GetPath() const { return m_szPath; }
    // Whether the connection of the kind has a database open.
    bool IsConnected();
    // Whether the last Execute failed (as opposed to a select without rows).
    bool LastExecuteFailed() const { return m_bLastFailed; }

    // Why the last Connect or Execute failed: the file missing, not a
    // regular file, not a database (a Jet file from Windows is named as
    // such), damaged, in use, read-only, the disk full, the path too long.
    const FailReason& GetLastFailure() const { return m_LastFailure; }
    void SetLastFailure(const FailReason& reason) { m_LastFailure = reason; }

protected:
    TdmMain* m_pDataModule;  // not owned
    int m_nKind;
    char m_szPath[MAX_PATH];
    bool m_bLastFailed;
    FailReason m_LastFailure;
};
