// JetQuery: one statement run over a JetConnection, and the walk of the rows
// it returns.
//
// The statement text is 8-bit text in the program's ANSI code page; it is
// converted to UTF-8 when it is prepared, so what the database stores is
// UTF-8 and what it hands back is 16-bit text. Exactly one statement is run:
// text after the first statement (other than blanks) is an error.
//
// Field types are reported for the value at the current row: NULL is
// Null; a column declared BOOLEAN, BIT or YESNO holding an integer is
// Boolean; other integers that fit in 32 bits are Integer; text is WideText;
// anything else (floating point, binary, wider integers) is Other.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

class JetConnection;

enum class JetFieldType { Null, Integer, Boolean, WideText, Other };

class JetQuery {
public:
    explicit JetQuery(JetConnection* pConnection = nullptr);
    ~JetQuery();
    JetQuery(const JetQuery&) = delete;
    JetQuery& operator=(const JetQuery&) = delete;

    // Binds the query to a connection (closing any open result).
    void SetConnection(JetConnection* pConnection);
    JetConnection* GetConnection() const { return m_pConnection; }

    // Replaces the statement text (8-bit ANSI). Does not close an open result.
    void SetSql(const char* pszSql);
    const std::string& GetSql() const { return m_sql; }

    // Runs the statement as one that returns rows and positions on the first
    // row (Eof() when there is none). False, with GetLastError() set, when
    // the connection is not open or the statement cannot be prepared or run.
    bool Open();

    // Runs the statement to its end, for insert, update and delete. False,
    // with GetLastError() set, on the same failures as Open().
    bool ExecSql();

    // Releases the result. Harmless when nothing is open.
    void Close();

    bool IsActive() const { return m_pStmt != nullptr; }
    // True when no row is current: nothing open, no rows, or walked past the last.
    bool Eof() const { return m_bEof; }

    // Moves to the next row. False at the end of rows, or when reading the
    // next row failed (then GetLastError() is set and Failed() is true).
    bool Next();

    // Number of fields of the current row; 0 when no row is current.
    int FieldCount() const;
    JetFieldType FieldType(int nField) const;
    // The field as a 32-bit integer (Integer and Boolean fields).
    int32_t FieldAsInteger(int nField) const;
    // The field's text as 16-bit units, valid until the next move or Close.
    std::u16string_view FieldAsWideText(int nField) const;

    // Rows changed by the last ExecSql.
    int RowsAffected() const { return m_nRowsAffected; }

    // Whether the last Open, ExecSql or Next failed, and why (UTF-8 text).
    bool Failed() const { return m_bFailed; }
    const std::string& GetLastError() const { return m_lastError; }

private:
    friend class JetConnection;
    bool Prepare();
    bool Fail(const std::string& error);
    bool IsBooleanColumn(int nField) const;
    bool DeclaredBoolean(int nField) const;

    static constexpr signed char kColumnUnknown = -1;

    JetConnection* m_pConnection;  // not owned
    std::string m_sql;
    std::string m_lastError;
    sqlite3_stmt* m_pStmt;
    int m_nRowsAffected;
    bool m_bEof;
    bool m_bFailed;
    // Per result column of the prepared statement: 1 declared yes/no, 0 not,
    // kColumnUnknown not looked at yet. Empty while nothing is prepared.
    mutable std::vector<signed char> m_booleanColumns;
    // The 16-bit texts FieldAsWideText made itself, by field, each valid
    // until the field is asked for again (after the next move).
    mutable std::vector<std::u16string> m_wideTexts;
};
