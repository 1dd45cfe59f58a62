#include "platform/jetdb/JetQuery.h"

#include <sqlite3.h>

#include <cctype>
#include <cstring>

#include "platform/codepage/CodePage.h"
#include "platform/jetdb/JetConnection.h"

namespace {

// Declared column types that hold yes/no values.
constexpr const char* kBooleanTypes[] = {"BOOLEAN", "BIT", "YESNO"};

bool EqualsNoCase(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == '\0' && *b == '\0';
}

}  // namespace

JetQuery::JetQuery(JetConnection* pConnection)
    : m_pConnection(nullptr), m_pStmt(nullptr), m_nRowsAffected(0), m_bEof(true), m_bFailed(false)
{
    SetConnection(pConnection);
}

JetQuery::~JetQuery()
{
    Close();
    if (m_pConnection != nullptr)
        m_pConnection->Detach(this);
}

void JetQuery::SetConnection(JetConnection* pConnection)
{
    Close();
    if (m_pConnection != nullptr)
        m_pConnection->Detach(this);
    m_pConnection = pConnection;
    if (m_pConnection != nullptr)
        m_pConnection->Attach(this);
}

void JetQuery::SetSql(const char* pszSql)
{
    m_sql = pszSql != nullptr ? pszSql : "";
}

void JetQuery::Close()
{
    if (m_pStmt != nullptr) {
        sqlite3_finalize(m_pStmt);
        m_pStmt = nullptr;
    }
    m_booleanColumns.clear();
    m_bEof = true;
}

bool JetQuery::Fail(const std::string& error)
{
    m_lastError = error;
    m_bFailed = true;
    Close();
    return false;
}

bool JetQuery::Prepare()
{
    Close();
    m_bFailed = false;
    m_lastError.clear();
    m_nRowsAffected = 0;
    if (m_pConnection == nullptr || !m_pConnection->IsOpen())
        return Fail("the connection is not open");

    const std::string utf8 = AnsiToUtf8(m_sql);
    sqlite3* pDb = m_pConnection->GetHandle();
    const char* pszTail = nullptr;
    if (sqlite3_prepare_v2(pDb, utf8.c_str(), static_cast<int>(utf8.size() + 1), &m_pStmt, &pszTail) != SQLITE_OK)
        return Fail(sqlite3_errmsg(pDb));
    if (m_pStmt == nullptr)
        return Fail("empty statement");
    for (; pszTail != nullptr && *pszTail != '\0'; ++pszTail) {
        if (!std::isspace(static_cast<unsigned char>(*pszTail)))
            return Fail("more than one statement");
    }
    return true;
}

bool JetQuery::Open()
{
    if (!Prepare())
        return false;
    const int rc = sqlite3_step(m_pStmt);
    if (rc == SQLITE_ROW) {
        m_bEof = false;
        return true;
    }
    if (rc == SQLITE_DONE) {
        m_bEof = true;  // an open result without rows
        return true;
    }
    return Fail(sqlite3_errmsg(m_pConnection->GetHandle()));
}

bool JetQuery::ExecSql()
{
    // A statement that is run rather than walked writes (or begins or ends
    // a write): the file is opened for writing now, not by a mere read.
    if (m_pConnection != nullptr && m_pConnection->IsOpen() && !m_pConnection->OpenForWriting()) {
        Close();
        m_bFailed = true;
        m_lastError = m_pConnection->GetLastError();
        return false;
    }
    if (!Prepare())
        return false;
    int rc;
    do {
        rc = sqlite3_step(m_pStmt);
    } while (rc == SQLITE_ROW);
    if (rc != SQLITE_DONE) {
        m_pConnection->NoteStatementFailure(rc);
        return Fail(sqlite3_errmsg(m_pConnection->GetHandle()));
    }
    m_nRowsAffected = sqlite3_changes(m_pConnection->GetHandle());
    Close();
    return true;
}

bool JetQuery::Next()
{
    if (m_pStmt == nullptr || m_bEof)
        return false;
    const int rc = sqlite3_step(m_pStmt);
    if (rc == SQLITE_ROW)
        return true;
    m_bEof = true;
    if (rc != SQLITE_DONE) {
        m_lastError = sqlite3_errmsg(m_pConnection->GetHandle());
        m_bFailed = true;
    }
    return false;
}

int JetQuery::FieldCount() const
{
    if (m_pStmt == nullptr || m_bEof)
        return 0;
    return sqlite3_data_count(m_pStmt);
}

bool JetQuery::IsBooleanColumn(int nField) const
{
    // The declared types belong to the statement: read once per column.
    if (m_booleanColumns.empty())
        m_booleanColumns.assign(static_cast<size_t>(sqlite3_column_count(m_pStmt)), kColumnUnknown);
    if (nField < 0 || static_cast<size_t>(nField) >= m_booleanColumns.size())
        return false;
    signed char& cKnown = m_booleanColumns[static_cast<size_t>(nField)];
    if (cKnown == kColumnUnknown)
        cKnown = DeclaredBoolean(nField) ? 1 : 0;
    return cKnown == 1;
}

bool JetQuery::DeclaredBoolean(int nField) const
{
    const char* pszType = sqlite3_column_decltype(m_pStmt, nField);
    if (pszType == nullptr)
        return false;
    while (std::isspace(static_cast<unsigned char>(*pszType)))
        ++pszType;
    std::string type(pszType);
    while (!type.empty() && std::isspace(static_cast<unsigned char>(type.back())))
        type.pop_back();
    for (const char* pszBoolean : kBooleanTypes) {
        if (EqualsNoCase(type.c_str(), pszBoolean))
            return true;
    }
    return false;
}

JetFieldType JetQuery::FieldType(int nField) const
{
    if (nField < 0 || nField >= FieldCount())
        return JetFieldType::Null;
    switch (sqlite3_column_type(m_pStmt, nField)) {
    case SQLITE_NULL:
        return JetFieldType::Null;
    case SQLITE_INTEGER: {
        if (IsBooleanColumn(nField))
            return JetFieldType::Boolean;
        const sqlite3_int64 nValue = sqlite3_column_int64(m_pStmt, nField);
        if (nValue < INT32_MIN || nValue > INT32_MAX)
            return JetFieldType::Other;
        return JetFieldType::Integer;
    }
    case SQLITE_TEXT:
        return JetFieldType::WideText;
    default:
        return JetFieldType::Other;
    }
}

int32_t JetQuery::FieldAsInteger(int nField) const
{
    if (nField < 0 || nField >= FieldCount())
        return 0;
    const sqlite3_int64 nValue = sqlite3_column_int64(m_pStmt, nField);
    if (nValue < INT32_MIN || nValue > INT32_MAX)
        return 0;
    return static_cast<int32_t>(nValue);
}

std::u16string_view JetQuery::FieldAsWideText(int nField) const
{
    if (nField < 0 || nField >= FieldCount())
        return {};
    // Most texts are plain ASCII: their 16-bit form is their bytes widened,
    // made here without SQLite's conversion and its memory. Any other text
    // is converted by SQLite.
    const unsigned char* pUtf8 = sqlite3_column_text(m_pStmt, nField);
    if (pUtf8 == nullptr)
        return {};
    const size_t nUtf8Bytes = static_cast<size_t>(sqlite3_column_bytes(m_pStmt, nField));
    bool bAscii = true;
    for (size_t i = 0; i < nUtf8Bytes && bAscii; ++i)
        bAscii = pUtf8[i] < 0x80;
    if (bAscii) {
        if (m_wideTexts.size() <= static_cast<size_t>(nField))
            m_wideTexts.resize(static_cast<size_t>(nField) + 1);
        std::u16string& wide = m_wideTexts[static_cast<size_t>(nField)];
        wide.assign(pUtf8, pUtf8 + nUtf8Bytes);
        return wide;
    }
    const void* pText = sqlite3_column_text16(m_pStmt, nField);
    if (pText == nullptr)
        return {};
    const int nBytes = sqlite3_column_bytes16(m_pStmt, nField);
    return std::u16string_view(static_cast<const char16_t*>(pText), static_cast<size_t>(nBytes) / sizeof(char16_t));
}
