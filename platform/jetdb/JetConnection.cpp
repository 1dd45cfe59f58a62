#include "platform/jetdb/JetConnection.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "platform/fsutil/FsUtil.h"
#include "platform/jetdb/JetQuery.h"

namespace {

// Every SQLite database file starts with these 16 bytes.
constexpr char kSqliteMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                   'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

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
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Checks the first bytes of the file; an empty file is no database here,
// even though SQLite would take it as a new one and write to it.
bool HasSqliteHeader(const std::string& path, std::string* pError, FailReason* pReason)
{
    FailReason reason = CheckInputPath(path);
    const std::string head = reason.IsSet() ? std::string() : ReadFileHead(path, sizeof(kSqliteMagic));
    if (reason.IsSet()) {
        *pError = "cannot read " + path;
        *pReason = reason;
        return false;
    }
    if (head.size() < sizeof(kSqliteMagic) || std::memcmp(head.data(), kSqliteMagic, sizeof(kSqliteMagic)) != 0) {
        *pError = "not a database: " + path;
        *pReason = FailReason::Of(FailKind::WrongKind, DescribeContent(path));
        return false;
    }
    return true;
}

// Whether the file is in write-ahead-log mode (header bytes 18 and 19 are 2)
// with no log beside it: everything is in the file itself, and it can be read
// as an immutable file, without the lock files a reader would otherwise make.
bool IsClosedLogFile(const std::string& path)
{
    const std::string head = ReadFileHead(path, 100);
    if (head.size() < 100)
        return false;
    if (head[18] != 2 || head[19] != 2)
        return false;
    struct stat st {};
    return ::stat((path + "-wal").c_str(), &st) != 0;
}

// A file: URI for a path, every byte outside the unreserved set escaped, so
// that no character of the path is taken for a parameter.
std::string FileUri(const std::string& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

FailReason ReasonFromSqlite(int nResult, const std::string& path, bool bWriting, int nSystemErrno = 0)
{
    // An I/O error with the system's own error (a full disk, a file-size
    // limit) is named by that error.
    if ((nResult & 0xFF) == SQLITE_IOERR) {
        const int nErrno = nSystemErrno != 0 ? nSystemErrno : errno;
        if (nErrno == ENOSPC || nErrno == EFBIG || nErrno == EDQUOT)
            return ReasonFromErrno(nErrno, bWriting);
    }
    switch (nResult & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return FailReason::Of(FailKind::Locked);
    case SQLITE_FULL:
        return FailReason::Of(FailKind::DiskFull);
    case SQLITE_READONLY:
        return FailReason::Of(FailKind::ReadOnly);
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return FailReason::Of(bWriting ? FailKind::ReadOnly : FailKind::Unreadable, "permission denied");
    case SQLITE_CORRUPT:
        return FailReason::Of(FailKind::Damaged);
    case SQLITE_NOTADB:
        return FailReason::Of(FailKind::WrongKind, DescribeContent(path));
    case SQLITE_CANTOPEN:
        if (bWriting && !MayReplaceFile(path))
            return FailReason::Of(FailKind::ReadOnly);
        return FailReason::Of(bWriting ? FailKind::WriteFailed : FailKind::Unreadable, sqlite3_errstr(nResult));
    case SQLITE_IOERR:
        return FailReason::Of(bWriting ? FailKind::WriteFailed : FailKind::Unreadable, sqlite3_errstr(nResult));
    default:
        return FailReason::Of(bWriting ? FailKind::WriteFailed : FailKind::Unreadable, sqlite3_errstr(nResult));
    }
}

}  // namespace

JetConnection::JetConnection() : m_pDb(nullptr) {}

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
