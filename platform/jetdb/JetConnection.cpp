#include "platform/jetdb/JetConnection.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

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
bool HasSqliteHeader(const std::string& path, std::string* pError)
{
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (fp == nullptr) {
        *pError = "cannot read " + path;
        return false;
    }
    char header[sizeof(kSqliteMagic)] = {};
    const size_t nRead = std::fread(header, 1, sizeof(header), fp);
    std::fclose(fp);
    if (nRead != sizeof(header) || std::memcmp(header, kSqliteMagic, sizeof(header)) != 0) {
        *pError = "not a database: " + path;
        return false;
    }
    return true;
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

    std::string path;
    if (!ParseDataSource(m_connectionString, &path) || path.empty()) {
        m_lastError = "no data source in the connection string";
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_lastError = "no such file: " + path;
        return false;
    }
    if (!HasSqliteHeader(path, &m_lastError))
        return false;

    sqlite3* pDb = nullptr;
    // SQLITE_OPEN_READWRITE without SQLITE_OPEN_CREATE: an existing file
    // only. One thread uses a connection, so SQLite need not lock around
    // every call (SQLITE_OPEN_NOMUTEX).
    const int rc = sqlite3_open_v2(path.c_str(), &pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        m_lastError = pDb != nullptr ? sqlite3_errmsg(pDb) : sqlite3_errstr(rc);
        sqlite3_close_v2(pDb);
        return false;
    }
    sqlite3_busy_timeout(pDb, kBusyTimeoutMs);
    // Reading the schema proves the file is a database and not just a file
    // with the right first bytes.
    char* pszError = nullptr;
    if (sqlite3_exec(pDb, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &pszError) != SQLITE_OK) {
        m_lastError = pszError != nullptr ? pszError : sqlite3_errmsg(pDb);
        sqlite3_free(pszError);
        sqlite3_close_v2(pDb);
        return false;
    }
    m_pDb = pDb;
    UseWriteAheadLog();
    return true;
}

// Every statement is a transaction of its own, seen by every other reader of
// the file as soon as it ends. With a rollback journal each such commit waits
// for the disk two or three times; with SQLite's write-ahead log it waits for
// none (the log is synced when it is copied back into the file), and the file
// stays consistent whatever happens to the process. The file's own journal
// mode is put back when the connection closes. A file that cannot take the
// log (a read-only folder, say) keeps its mode.
void JetConnection::UseWriteAheadLog()
{
    m_restoreJournalMode.clear();
    const std::string mode = JournalMode("PRAGMA journal_mode");
    if (mode.empty())
        return;
    if (mode != "wal") {
        if (JournalMode("PRAGMA journal_mode=WAL") != "wal")
            return;
        m_restoreJournalMode = mode;
    }
    sqlite3_exec(m_pDb, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    // The log is copied back when it reaches this many pages and when the
    // connection closes: a page many statements write is copied once.
    sqlite3_exec(m_pDb, "PRAGMA wal_autocheckpoint=8192", nullptr, nullptr, nullptr);
}

// Runs a journal_mode pragma and answers the mode it reports ("" on failure
// or for an answer that is not a plain word).
std::string JetConnection::JournalMode(const char* pszPragma)
{
    sqlite3_stmt* pStmt = nullptr;
    std::string mode;
    if (sqlite3_prepare_v2(m_pDb, pszPragma, -1, &pStmt, nullptr) == SQLITE_OK && sqlite3_step(pStmt) == SQLITE_ROW) {
        const unsigned char* pszMode = sqlite3_column_text(pStmt, 0);
        if (pszMode != nullptr)
            mode = reinterpret_cast<const char*>(pszMode);
    }
    sqlite3_finalize(pStmt);
    for (char c : mode) {
        if (!std::islower(static_cast<unsigned char>(c)))
            return std::string();
    }
    return mode;
}

void JetConnection::Close()
{
    for (JetQuery* pQuery : m_queries)
        pQuery->Close();
    if (m_pDb != nullptr) {
        // Copies the log back into the file and removes it; harmless when
        // another connection still reads the file (the log then stays). This
        // is the connection's own housekeeping, not a statement of its user:
        // whatever traces the user's statements is told nothing more.
        if (!m_restoreJournalMode.empty()) {
            sqlite3_trace_v2(m_pDb, 0, nullptr, nullptr);
            JournalMode(("PRAGMA journal_mode=" + m_restoreJournalMode).c_str());
        }
        m_restoreJournalMode.clear();
        sqlite3_close_v2(m_pDb);
        m_pDb = nullptr;
    }
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
