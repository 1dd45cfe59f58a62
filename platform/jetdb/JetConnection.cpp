#include "platform/jetdb/JetConnection.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/fsutil/FsUtil.h"
#include "platform/jetdb/JetQuery.h"
#include "platform/sqlitefile/SqliteFile.h"

namespace {

// How long a statement waits for a lock held by another process (another
// reader of the same file) before it fails.
constexpr int kBusyTimeoutMs = 5000;

std::string Trim(const std::string& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first])))
        ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1])))
        --last;
    return text.substr(first, last - first);
}

bool EqualsNoCase(const std::string& a, const char* b)
{
    const size_t nLength = std::strlen(b);
    if (a.size() != nLength)
        return false;
    for (size_t i = 0; i < nLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Checks the first bytes of the file; an empty file is no database here,
// even though SQLite would take it as a new one and write to it.
bool HasSqliteHeader(const std::string& path, std::string* pError, FailReason* pReason)
{
    FailReason reason = CheckInputPath(path);
    const std::string head = reason.IsSet() ? std::string() : ReadFileHead(path, kSqliteHeaderSize);
    if (reason.IsSet()) {
        *pError = "cannot read " + path;
        *pReason = reason;
        return false;
    }
    if (!HasSqliteMagic(head)) {
        *pError = "not a database: " + path;
        *pReason = FailReason::Of(FailKind::WrongKind, DescribeContent(path));
        return false;
    }
    return true;
}

}  // namespace

JetConnection::JetConnection() : m_pDb(nullptr) { }

JetConnection::~JetConnection()
{
    Close();
    for (JetQuery* pQuery : m_queries)
        pQuery->m_pConnection = nullptr;
}

void JetConnection::SetConnectionString(const char* pszConnectionString)
{
    m_connectionString = pszConnectionString != nullptr ? pszConnectionString : "";
    m_dataSource.clear();
    m_bDataSourceSet = false;
}

void JetConnection::SetDataSource(const char* pszPath)
{
    m_dataSource = pszPath != nullptr ? pszPath : "";
    m_bDataSourceSet = true;
}

bool JetConnection::ParseDataSource(const std::string& connectionString, std::string* pPath)
{
    size_t nPos = 0;
    while (nPos < connectionString.size()) {
        const size_t nEquals = connectionString.find('=', nPos);
        if (nEquals == std::string::npos)
            return false;
        const std::string key = Trim(connectionString.substr(nPos, nEquals - nPos));
        size_t nValue = nEquals + 1;
        while (nValue < connectionString.size() && connectionString[nValue] == ' ')
            ++nValue;
        std::string value;
        size_t nNext;
        if (nValue < connectionString.size() && connectionString[nValue] == '"') {
            // A quoted value ends at a quote followed by ';' or the end, so a
            // path may itself hold ';'.
            size_t nClose = nValue + 1;
            for (;;) {
                nClose = connectionString.find('"', nClose);
                if (nClose == std::string::npos)
                    return false;
                size_t nAfter = nClose + 1;
                while (nAfter < connectionString.size() && connectionString[nAfter] == ' ')
                    ++nAfter;
                if (nAfter >= connectionString.size() || connectionString[nAfter] == ';') {
                    value = connectionString.substr(nValue + 1, nClose - nValue - 1);
                    nNext = nAfter + 1;
                    break;
                }
                ++nClose;
            }
        } else {
            const size_t nSemicolon = connectionString.find(';', nValue);
            const size_t nEnd = nSemicolon == std::string::npos ? connectionString.size() : nSemicolon;
            value = Trim(connectionString.substr(nValue, nEnd - nValue));
            nNext = nEnd + 1;
        }
        if (EqualsNoCase(key, "Data Source")) {
            *pPath = value;
            return true;
        }
        nPos = nNext;
    }
    return false;
}

bool JetConnection::Open()
{
    Close();
    m_lastError.clear();
    m_lastFailure.Clear();

    std::string path;
    if (m_bDataSourceSet) {
        path = m_dataSource;
    } else if (!ParseDataSource(m_connectionString, &path)) {
        path.clear();
    }
    if (path.empty()) {
        m_lastError = "no data source in the connection string";
        m_lastFailure = FailReason::Of(FailKind::Missing);
        return false;
    }
    m_lastFailure = CheckInputPath(path);
    if (m_lastFailure.IsSet()) {
        m_lastError = "no such file: " + path;
        return false;
    }
    if (!HasSqliteHeader(path, &m_lastError, &m_lastFailure))
        return false;
    m_path = path;
    if (!OpenFile(false)) {
        m_path.clear();
        return false;
    }
    return true;
}

// Opens m_path read-only or for writing, and reads the schema, which proves
// the file is a database and not just a file with the right first bytes.
bool JetConnection::OpenFile(bool bWrite)
{
    sqlite3* pDb = nullptr;
    // Never SQLITE_OPEN_CREATE: an existing file only. One thread uses a
    // connection, so SQLite need not lock around every call.
    int nFlags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI | (bWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
    std::string uri = FileUri(m_path);
    if (!bWrite)
        uri += IsClosedLogFile(m_path) ? "?mode=ro&immutable=1" : "?mode=ro";
    if (bWrite)
        IgnoreFileSizeSignal();
    int rc = sqlite3_open_v2(uri.c_str(), &pDb, nFlags, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(pDb, 1);
        sqlite3_busy_timeout(pDb, kBusyTimeoutMs);
        char* pszError = nullptr;
        rc = sqlite3_exec(pDb, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &pszError);
        if (rc != SQLITE_OK) {
            m_lastError = pszError != nullptr ? pszError : sqlite3_errmsg(pDb);
            sqlite3_free(pszError);
        }
    } else {
        m_lastError = pDb != nullptr ? sqlite3_errmsg(pDb) : sqlite3_errstr(rc);
    }
    if (rc != SQLITE_OK) {
        m_lastFailure = ReasonFromSqlite(rc, m_path, bWrite);
        sqlite3_close_v2(pDb);
        return false;
    }
    m_pDb = pDb;
    m_bReadOnly = !bWrite;
    if (m_pTrace != nullptr)
        sqlite3_trace_v2(m_pDb, m_uTraceMask, m_pTrace, m_pTraceContext);
    return true;
}

void JetConnection::SetTrace(unsigned uMask, TraceCallback pCallback, void* pContext)
{
    m_uTraceMask = pCallback != nullptr ? uMask : 0;
    m_pTrace = pCallback;
    m_pTraceContext = pContext;
    if (m_pDb != nullptr)
        sqlite3_trace_v2(m_pDb, m_uTraceMask, m_pTrace, m_pTraceContext);
}

bool JetConnection::OpenForWriting()
{
    if (m_pDb == nullptr)
        return false;
    if (!m_bReadOnly)
        return true;
    if (!MayReplaceFile(m_path, &m_lastFailure)) {
        m_lastError = "the file is read-only: " + m_path;
        return false;
    }
    for (JetQuery* pQuery : m_queries)
        pQuery->Close();
    sqlite3_close_v2(m_pDb);
    m_pDb = nullptr;
    if (OpenFile(true))
        return true;
    // Keep reading what could be read before.
    const FailReason failure = m_lastFailure;
    const std::string error = m_lastError;
    OpenFile(false);
    m_lastFailure = failure;
    m_lastError = error;
    return false;
}

void JetConnection::NoteStatementFailure(int nResult)
{
    const int nPrimary = nResult & 0xFF;
    if (nPrimary == SQLITE_FULL || nPrimary == SQLITE_READONLY || nPrimary == SQLITE_BUSY ||
        nPrimary == SQLITE_LOCKED || nPrimary == SQLITE_IOERR || nPrimary == SQLITE_CORRUPT ||
        nPrimary == SQLITE_PERM || nPrimary == SQLITE_CANTOPEN)
        m_lastFailure = ReasonFromSqlite(nResult, m_path, true, sqlite3_system_errno(m_pDb));
}

bool JetConnection::CanPrepare(const char* pszSqlUtf8, std::string* pError)
{
    if (m_pDb == nullptr || pszSqlUtf8 == nullptr)
        return false;
    sqlite3_stmt* pStmt = nullptr;
    const bool bOk = sqlite3_prepare_v2(m_pDb, pszSqlUtf8, -1, &pStmt, nullptr) == SQLITE_OK && pStmt != nullptr;
    if (!bOk && pError != nullptr)
        *pError = sqlite3_errmsg(m_pDb);
    sqlite3_finalize(pStmt);
    return bOk;
}

void JetConnection::Close()
{
    for (JetQuery* pQuery : m_queries)
        pQuery->Close();
    if (m_pDb != nullptr) {
        sqlite3_close_v2(m_pDb);
        m_pDb = nullptr;
    }
    m_path.clear();
    m_bReadOnly = false;
}

void JetConnection::Attach(JetQuery* pQuery)
{
    if (std::find(m_queries.begin(), m_queries.end(), pQuery) == m_queries.end())
        m_queries.push_back(pQuery);
}

void JetConnection::Detach(JetQuery* pQuery)
{
    m_queries.erase(std::remove(m_queries.begin(), m_queries.end(), pQuery), m_queries.end());
}
