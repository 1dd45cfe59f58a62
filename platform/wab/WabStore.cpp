#include "platform/wab/WabStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/fsutil/FsUtil.h"
#include "platform/sqlitefile/SqliteFile.h"
#include "platform/wab/WabApi.h"

namespace {

constexpr size_t kApplicationIdOffset = 68;  // big-endian 32 bits

// Marks every identifier of this library, after 4 zero flag bytes.
constexpr char kIdMark[3] = {'V', 'W', 'B'};

constexpr int kBusyTimeoutMs = 5000;

const char* const kSchema =
    "CREATE TABLE wab_meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE entries(id INTEGER PRIMARY KEY, objtype INTEGER NOT NULL,"
    " entryid BLOB NOT NULL UNIQUE);";
// The property table, made with the others; a book keeps this text of it.
const char* const kPropsTable =
    "CREATE TABLE props(entry INTEGER NOT NULL REFERENCES entries(id), tag INTEGER NOT NULL,"
    " value, PRIMARY KEY(entry, tag)) WITHOUT ROWID";

// The pass of ReadAhead: every property from an entry on, in the order of the
// table's key, so it steps from one entry to the next without a seek.
const char* const kScanProps = "SELECT entry, tag, value FROM props WHERE entry>=?1 ORDER BY entry, tag";

// A pass that is behind the entry asked for steps over at most this many
// rows before it seeks instead (rows of entries no one asked for, such as
// the lists a walk of contacts skips).
constexpr int kMaxScanSkip = 64;

// Whether the value type keeps its value as bytes rather than an integer.
bool IsByteType(ULONG ulTag)
{
    const ULONG ulType = PROP_TYPE(ulTag);
    return ulType == PT_STRING8 || ulType == PT_BINARY;
}

// Reads column nCol of the current row as the value of ulTag; false when the
// stored value does not fit the tag's type.
bool ReadValue(sqlite3_stmt* pStmt, int nCol, ULONG ulTag, WabProp* pProp)
{
    pProp->ulTag = ulTag;
    const int nType = sqlite3_column_type(pStmt, nCol);
    if (IsByteType(ulTag)) {
        if (nType != SQLITE_BLOB && nType != SQLITE_TEXT)
            return false;
        const void* pData = sqlite3_column_blob(pStmt, nCol);
        const int nBytes = sqlite3_column_bytes(pStmt, nCol);
        pProp->bytes.assign(static_cast<const char*>(pData != nullptr ? pData : ""), static_cast<size_t>(nBytes));
        return true;
    }
    if (nType != SQLITE_INTEGER)
        return false;
    pProp->nValue = sqlite3_column_int64(pStmt, nCol);
    return true;
}

// Whether the file starts with a SQLite header that carries our mark. Reads
// only; the file is not opened for writing.
bool HasBookHeader(const std::string& path)
{
    const std::string head = ReadFileHead(path, kSqliteHeaderSize);
    if (head.size() < kSqliteHeaderSize || !HasSqliteMagic(head))
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(head.data()) + kApplicationIdOffset;
    const uint32_t ulId = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    return ulId == kWabApplicationId;
}

// The lines noted for the program's log, oldest first, until the program
// takes them (WabTakeLogLines). Only the last kMaxLogLines are kept, so a
// program that never takes them does not grow the list.
constexpr size_t kMaxLogLines = 200;
std::mutex g_logMutex;
std::deque<std::string> g_logLines;

__attribute__((format(printf, 1, 2))) void NoteLog(const char* pszFormat, ...)
{
    char line[4096];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(line, sizeof(line), pszFormat, args);
    va_end(args);
    std::lock_guard<std::mutex> guard(g_logMutex);
    if (g_logLines.size() >= kMaxLogLines)
        g_logLines.pop_front();
    g_logLines.emplace_back(line);
}

// Why the last open or save of a book failed, for the program to show.
FailReason g_lastFailure;

void SetFailure(const FailReason& reason)
{
    g_lastFailure = reason;
}

// Resets a cached statement for its next use.
struct StmtReset {
    sqlite3_stmt* pStmt;
    ~StmtReset()
    {
        sqlite3_reset(pStmt);
        sqlite3_clear_bindings(pStmt);
    }
};

}  // namespace

std::string WabStore::DefaultBookPath()
{
    const std::string base = XdgFolder("XDG_DATA_HOME", ".local/share");
    if (base.empty())
        return {};
    return base + "/varnwick/default.wab";
}

HRESULT WabStore::Open(const char* pszFile, std::shared_ptr<WabStore>* ppStore)
{
    if (ppStore == nullptr)
        return MAPI_E_INVALID_PARAMETER;
    ppStore->reset();
    g_lastFailure.Clear();

    const bool bDefault = pszFile == nullptr || pszFile[0] == '\0';
    std::string path = bDefault ? DefaultBookPath() : std::string(pszFile);
    if (path.empty()) {
        NoteLog("No home folder is known for the default address book");
        SetFailure(FailReason::Of(FailKind::Missing, "no home folder"));
        return MAPI_E_CALL_FAILED;
    }

    // Decide from the file itself, before SQLite touches it, whether this is
    // a book of ours, a book still to be made, or a file to leave alone.
    // Nothing is created or written here: a book that does not exist yet,
    // or an empty file, reads as an empty book and is made by its first save.
    std::shared_ptr<WabStore> pStore(new WabStore());
    pStore->m_path = path;
    pStore->m_bDefault = bDefault;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        const int nErrno = errno;
        if (nErrno != ENOENT) {
            const FailReason reason = CheckInputPath(path);
            SetFailure(reason.IsSet() ? reason : ReasonFromErrno(nErrno, false));
            NoteLog("Address book %s cannot be opened: %s", path.c_str(), FailReasonText(g_lastFailure).c_str());
            return MAPI_E_CALL_FAILED;
        }
        *ppStore = std::move(pStore);
        return hrSuccess;
    }
    if (!S_ISREG(st.st_mode)) {
        SetFailure(FailReason::Of(FailKind::NotRegular, NonRegularKind(path)));
        NoteLog("Address book %s is not a file; left untouched (%s)", path.c_str(),
                FailReasonText(g_lastFailure).c_str());
        return MAPI_E_NOT_A_BOOK;
    }
    // One program at a time, from the open of the book to its close.
    FailReason reason;
    if (!pStore->m_hold.Acquire(path, &reason)) {
        SetFailure(reason);
        NoteLog("Address book %s cannot be opened: %s", path.c_str(), FailReasonText(reason).c_str());
        return reason.eKind == FailKind::NotRegular ? MAPI_E_NOT_A_BOOK : MAPI_E_CALL_FAILED;
    }
    if (st.st_size == 0) {
        *ppStore = std::move(pStore);
        return hrSuccess;
    }
    if (!HasBookHeader(path)) {
        if (IsWindowsWab(path))
            SetFailure(FailReason::Of(FailKind::WrongKind,
                                      "an address book made by Windows (.wab); Varnwick cannot read it yet"));
        else
            SetFailure(
                FailReason::Of(FailKind::WrongKind, DescribeContent(path) == "unknown data"
                                                        ? std::string("not a Varnwick address book")
                                                        : DescribeContent(path) + ", not a Varnwick address book"));
        NoteLog("%s is not a Varnwick address book; left untouched (%s)", path.c_str(),
                FailReasonText(g_lastFailure).c_str());
        return MAPI_E_NOT_A_BOOK;
    }
    const HRESULT hr = pStore->OpenDatabase(false);
    if (HR_FAILED(hr))
        return hr;
    *ppStore = std::move(pStore);
    return hrSuccess;
}

// Opens the existing book file read-only (a read never changes it) or for
// writing, checks its marks and prepares the statements.
HRESULT WabStore::OpenDatabase(bool bWrite)
{
    CloseDatabase();
    std::string uri = FileUri(m_path);
    if (!bWrite)
        uri += IsClosedLogFile(m_path) ? "?mode=ro&immutable=1" : "?mode=ro";
    const int nFlags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI | (bWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
    const int rc = sqlite3_open_v2(uri.c_str(), &m_db, nFlags, nullptr);
    if (rc != SQLITE_OK) {
        SetFailure(ReasonFromSqlite(rc, m_path, bWrite));
        LogSqlError("cannot be opened");
        CloseDatabase();
        return MAPI_E_CALL_FAILED;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    m_bReadOnly = !bWrite;
    HRESULT hr = Verify();
    if (HR_SUCCEEDED(hr))
        hr = Prepare();
    if (HR_FAILED(hr)) {
        if (!g_lastFailure.IsSet())
            SetFailure(FailReason::Of(FailKind::WrongKind, "a SQLite database, not a Varnwick address book"));
        CloseDatabase();
    }
    return hr;
}

void WabStore::CloseDatabase()
{
    EndReadBatch();
    CommitWriteBatch();
    for (sqlite3_stmt** ppStmt :
         {&m_stmtFindEntry, &m_stmtLoadProps, &m_stmtLoadProp, &m_stmtNextEntries, &m_stmtLastId, &m_stmtInsertEntry,
          &m_stmtPutProp, &m_stmtSavepoint, &m_stmtRelease, &m_stmtScanProps}) {
        sqlite3_finalize(*ppStmt);
        *ppStmt = nullptr;
    }
    if (m_db != nullptr)
        sqlite3_close(m_db);
    m_db = nullptr;
}

// Makes the book writable before its first save: creates a book that does
// not exist yet (and the folders of the default book), fills an empty file
// with the schema, or reopens a book that was opened for reading.
HRESULT WabStore::EnsureWritable()
{
    if (m_db != nullptr && !m_bReadOnly)
        return hrSuccess;
    IgnoreFileSizeSignal();
    if (!MayReplaceFile(m_path)) {
        SetFailure(FailReason::Of(FailKind::ReadOnly));
        NoteLog("Address book %s cannot be written: %s", m_path.c_str(), FailReasonText(g_lastFailure).c_str());
        return MAPI_E_CALL_FAILED;
    }
    if (m_db != nullptr)
        return OpenDatabase(true);

    struct stat st;
    const bool bCreate = stat(m_path.c_str(), &st) != 0;
    if (bCreate && m_bDefault) {
        const size_t nSlash = m_path.find_last_of('/');
        if (!MakeFolders(m_path.substr(0, nSlash))) {
            SetFailure(ReasonFromErrno(errno, true));
            NoteLog("Folder of the address book %s cannot be created: %s", m_path.c_str(), std::strerror(errno));
            return MAPI_E_CALL_FAILED;
        }
    }
    const int nFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (bCreate ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(m_path.c_str(), &m_db, nFlags, nullptr);
    if (rc != SQLITE_OK) {
        SetFailure(ReasonFromSqlite(rc, m_path, true));
        LogSqlError("cannot be created");
        CloseDatabase();
        return MAPI_E_CALL_FAILED;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    m_bReadOnly = false;
    FailReason reason;
    if (!m_hold.Acquire(m_path, &reason)) {
        SetFailure(reason);
        CloseDatabase();
        return MAPI_E_CALL_FAILED;
    }
    bool bInitialised = false;
    HRESULT hr = Initialise(&bInitialised);
    if (HR_FAILED(hr) && bCreate) {
        // Leave no half-made file behind: the name was free before.
        CloseDatabase();
        m_hold.Release();
        unlink(m_path.c_str());
        return hr;
    }
    if (HR_SUCCEEDED(hr) && !bInitialised && !HasBookHeader(m_path)) {
        // Someone else filled the empty file meanwhile; leave it alone.
        SetFailure(FailReason::Of(FailKind::WrongKind, DescribeContent(m_path) + ", not a Varnwick address book"));
        NoteLog("%s is not a Varnwick address book; left untouched", m_path.c_str());
        CloseDatabase();
        return MAPI_E_NOT_A_BOOK;
    }
    if (HR_SUCCEEDED(hr))
        hr = Verify();
    if (HR_SUCCEEDED(hr))
        hr = Prepare();
    if (HR_FAILED(hr))
        CloseDatabase();
    return hr;
}

WabStore::~WabStore()
{
    CloseDatabase();
}

const FailReason& WabLastFailure()
{
    return g_lastFailure;
}

std::vector<std::string> WabTakeLogLines()
{
    std::lock_guard<std::mutex> guard(g_logMutex);
    std::vector<std::string> lines(g_logLines.begin(), g_logLines.end());
    g_logLines.clear();
    return lines;
}

void WabStore::LogSqlError(const char* pszWhat)
{
    // The reason the program shows, unless a more precise one is known.
    if (m_db != nullptr && !g_lastFailure.IsSet())
        SetFailure(ReasonFromSqlite(sqlite3_extended_errcode(m_db), m_path, std::strstr(pszWhat, "written") != nullptr,
                                    sqlite3_system_errno(m_db)));
    NoteLog("Address book %s %s: %s", m_path.c_str(), pszWhat,
            m_db != nullptr ? sqlite3_errmsg(m_db) : "out of memory");
}

bool WabStore::Exec(const char* pszSql)
{
    return sqlite3_exec(m_db, pszSql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool WabStore::Exec(sqlite3_stmt* pStmt)
{
    const bool bDone = sqlite3_step(pStmt) == SQLITE_DONE;
    sqlite3_reset(pStmt);
    return bDone;
}

// Writes the schema and the marks into an empty database. *pbInitialised is
// false when the database turned out not to be empty (then nothing is
// written). The journal switches to write-ahead logging only after the
// schema is in the main file, so the mark is always readable there.
HRESULT WabStore::Initialise(bool* pbInitialised)
{
    *pbInitialised = false;
    if (!Exec("BEGIN IMMEDIATE")) {
        LogSqlError("cannot be initialised");
        return MAPI_E_CALL_FAILED;
    }
    sqlite3_stmt* pStmt = nullptr;
    int nObjects = -1;
    if (sqlite3_prepare_v2(m_db, "SELECT count(*) FROM sqlite_master", -1, &pStmt, nullptr) == SQLITE_OK &&
        sqlite3_step(pStmt) == SQLITE_ROW) {
        nObjects = sqlite3_column_int(pStmt, 0);
    }
    sqlite3_finalize(pStmt);
    if (nObjects != 0) {
        Exec("ROLLBACK");
        if (nObjects < 0) {
            LogSqlError("cannot be initialised");
            return MAPI_E_CALL_FAILED;
        }
        return hrSuccess;
    }

    char szMeta[160];
    std::snprintf(szMeta, sizeof szMeta,
                  "PRAGMA application_id=%u;"
                  "INSERT INTO wab_meta VALUES('format','%s'),('version','%d');",
                  kWabApplicationId, kWabFormatName, kWabFormatVersion);
    if (!Exec(kSchema) || !Exec(kPropsTable) || !Exec(szMeta) || !Exec("COMMIT")) {
        LogSqlError("cannot be initialised");
        Exec("ROLLBACK");
        return MAPI_E_CALL_FAILED;
    }
    Exec("PRAGMA journal_mode=WAL");
    *pbInitialised = true;
    return hrSuccess;
}

// Checks the format mark inside the database.
HRESULT WabStore::Verify()
{
    sqlite3_stmt* pStmt = nullptr;
    std::string format;
    int nVersion = 0;
    if (sqlite3_prepare_v2(m_db, "SELECT key, value FROM wab_meta WHERE key IN ('format','version')", -1, &pStmt,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(pStmt) == SQLITE_ROW) {
            const char* pszKey = reinterpret_cast<const char*>(sqlite3_column_text(pStmt, 0));
            const char* pszValue = reinterpret_cast<const char*>(sqlite3_column_text(pStmt, 1));
            if (pszKey == nullptr || pszValue == nullptr)
                continue;
            if (std::strcmp(pszKey, "format") == 0)
                format = pszValue;
            else
                nVersion = std::atoi(pszValue);
        }
    }
    sqlite3_finalize(pStmt);
    if (format != kWabFormatName) {
        SetFailure(FailReason::Of(FailKind::WrongKind, "a SQLite database, not a Varnwick address book"));
        NoteLog("%s is not a Varnwick address book; left untouched", m_path.c_str());
        return MAPI_E_NOT_A_BOOK;
    }
    if (nVersion < 1 || nVersion > kWabFormatVersion) {
        SetFailure(FailReason::Of(FailKind::WrongKind, "an address book of another Varnwick version"));
        NoteLog("Address book %s has format version %d, this program reads %d", m_path.c_str(), nVersion,
                kWabFormatVersion);
        return MAPI_E_NOT_A_BOOK;
    }
    // Each save is a transaction of its own; with the write-ahead log a
    // commit needs no sync of the main file, and the book stays consistent
    // whatever happens to the process.
    Exec("PRAGMA synchronous=NORMAL");
    // The log is copied back into the file when it reaches this many pages
    // (and when the book closes), so a page written by many saves in a row
    // is copied once rather than again every thousand pages.
    Exec("PRAGMA wal_autocheckpoint=8192");
    // A batch of saves touches pages all over the property index; a page
    // cache of 32 MB keeps them in memory until the commit instead of
    // spilling them into the log again and again.
    Exec("PRAGMA cache_size=-32768");
    // Each save of a batch is a savepoint, whose journal of the pages it
    // changed is a few pages at most: kept in memory, not written to a
    // temporary file over and over (a million writes for 200 000 saves).
    Exec("PRAGMA temp_store=MEMORY");
    // A book opened for reading is read through a mapping of the file: its
    // pages come from the system's file cache as they are, instead of being
    // copied into the page cache one by one.
    if (m_bReadOnly)
        Exec("PRAGMA mmap_size=1073741824");
    return hrSuccess;
}

HRESULT WabStore::Prepare()
{
    struct {
        sqlite3_stmt** ppStmt;
        const char* pszSql;
    } const statements[] = {
        {&m_stmtFindEntry, "SELECT id, objtype FROM entries WHERE entryid=?1"},
        {&m_stmtLoadProps, "SELECT tag, value FROM props WHERE entry=?1 ORDER BY tag"},
        {&m_stmtLoadProp, "SELECT value FROM props WHERE entry=?1 AND tag=?2"},
        {&m_stmtNextEntries, "SELECT id, objtype, entryid FROM entries WHERE id>?1 ORDER BY id LIMIT ?2"},
        {&m_stmtLastId, "SELECT COALESCE(MAX(id),0) FROM entries"},
        {&m_stmtInsertEntry, "INSERT INTO entries(id, objtype, entryid) VALUES(?1,?2,?3)"},
        {&m_stmtPutProp, "INSERT OR REPLACE INTO props(entry, tag, value) VALUES(?1,?2,?3)"},
        // Each save of a write batch is a savepoint of its own.
        {&m_stmtSavepoint, "SAVEPOINT entry"},
        {&m_stmtRelease, "RELEASE entry"},
    };
    for (const auto& statement : statements) {
        if (sqlite3_prepare_v3(m_db, statement.pszSql, -1, SQLITE_PREPARE_PERSISTENT, statement.ppStmt, nullptr) !=
            SQLITE_OK) {
            LogSqlError("has an unexpected layout");
            return MAPI_E_NOT_A_BOOK;
        }
    }
    // The pass of ReadAhead finds exactly the rows of an entry that the
    // query by entry finds only where the table's key orders entries as
    // integers; a table laid out otherwise is read entry by entry.
    sqlite3_stmt* pStmt = nullptr;
    bool bOurs = false;
    if (sqlite3_prepare_v2(m_db, "SELECT sql FROM sqlite_master WHERE type='table' AND name='props'", -1, &pStmt,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(pStmt) == SQLITE_ROW) {
        const auto* pszSql = reinterpret_cast<const char*>(sqlite3_column_text(pStmt, 0));
        bOurs = pszSql != nullptr && std::strcmp(pszSql, kPropsTable) == 0;
    }
    sqlite3_finalize(pStmt);
    if (bOurs &&
        sqlite3_prepare_v3(m_db, kScanProps, -1, SQLITE_PREPARE_PERSISTENT, &m_stmtScanProps, nullptr) != SQLITE_OK) {
        m_stmtScanProps = nullptr;
    }
    return hrSuccess;
}

std::string WabStore::MakeEntryId(IdKind kind, int64_t nNumber)
{
    std::string id(kEntryIdSize, '\0');
    std::memcpy(&id[4], kIdMark, sizeof kIdMark);
    id[7] = static_cast<char>(kind);
    const uint64_t ulNumber = static_cast<uint64_t>(nNumber);
    for (int i = 0; i < 8; ++i)
        id[8 + i] = static_cast<char>((ulNumber >> (8 * i)) & 0xFF);
    return id;
}

bool WabStore::ParseEntryId(const BYTE* lpEntryID, ULONG cbEntryID, IdKind* pKind, int64_t* pnNumber)
{
    if (lpEntryID == nullptr || cbEntryID != kEntryIdSize)
        return false;
    if (lpEntryID[0] != 0 || lpEntryID[1] != 0 || lpEntryID[2] != 0 || lpEntryID[3] != 0 ||
        std::memcmp(lpEntryID + 4, kIdMark, sizeof kIdMark) != 0) {
        return false;
    }
    const char chKind = static_cast<char>(lpEntryID[7]);
    if (chKind != static_cast<char>(IdKind::Entry) && chKind != static_cast<char>(IdKind::Pab) &&
        chKind != static_cast<char>(IdKind::Template)) {
        return false;
    }
    uint64_t ulNumber = 0;
    for (int i = 7; i >= 0; --i)
        ulNumber = (ulNumber << 8) | lpEntryID[8 + i];
    *pKind = static_cast<IdKind>(chKind);
    *pnNumber = static_cast<int64_t>(ulNumber);
    return true;
}

HRESULT WabStore::FindEntry(const BYTE* lpEntryID, ULONG cbEntryID, WabEntryRow* pRow)
{
    if (lpEntryID == nullptr || cbEntryID == 0 || m_db == nullptr)
        return MAPI_E_INVALID_ENTRYID;
    IdKind kind;
    int64_t nNumber = 0;
    if (m_bReadBatch && !m_readAhead.empty() && ParseEntryId(lpEntryID, cbEntryID, &kind, &nNumber) &&
        kind == IdKind::Entry) {
        // A row the walk has just handed out is the one the query would find:
        // identifiers are unique, and the read batch's snapshot holds still.
        const ReadAheadSlot& slot = m_readAhead[static_cast<uint64_t>(nNumber) % kReadAheadSlots];
        if (slot.bKept && slot.row.nId == nNumber && slot.row.entryId.size() == cbEntryID &&
            std::memcmp(slot.row.entryId.data(), lpEntryID, cbEntryID) == 0) {
            *pRow = slot.row;
            return hrSuccess;
        }
    }
    StmtReset reset{m_stmtFindEntry};
    sqlite3_bind_blob(m_stmtFindEntry, 1, lpEntryID, static_cast<int>(cbEntryID), SQLITE_STATIC);
    const int rc = sqlite3_step(m_stmtFindEntry);
    if (rc == SQLITE_DONE)
        return MAPI_E_INVALID_ENTRYID;
    if (rc != SQLITE_ROW) {
        LogSqlError("cannot be read");
        return MAPI_E_CALL_FAILED;
    }
    pRow->nId = sqlite3_column_int64(m_stmtFindEntry, 0);
    pRow->lObjType = static_cast<LONG>(sqlite3_column_int(m_stmtFindEntry, 1));
    pRow->entryId.assign(reinterpret_cast<const char*>(lpEntryID), cbEntryID);
    return hrSuccess;
}

HRESULT WabStore::LoadProps(int64_t nId, std::vector<WabProp>* pProps)
{
    pProps->clear();
    if (m_db == nullptr)
        return hrSuccess;
    StmtReset reset{m_stmtLoadProps};
    sqlite3_bind_int64(m_stmtLoadProps, 1, nId);
    int rc;
    while ((rc = sqlite3_step(m_stmtLoadProps)) == SQLITE_ROW) {
        WabProp prop;
        const ULONG ulTag = static_cast<ULONG>(sqlite3_column_int64(m_stmtLoadProps, 0));
        if (ReadValue(m_stmtLoadProps, 1, ulTag, &prop))
            pProps->push_back(std::move(prop));
    }
    if (rc != SQLITE_DONE) {
        LogSqlError("cannot be read");
        pProps->clear();
        return MAPI_E_CALL_FAILED;
    }
    return hrSuccess;
}

HRESULT WabStore::LoadProp(int64_t nId, ULONG ulTag, WabProp* pProp)
{
    if (m_db == nullptr)
        return MAPI_E_NOT_FOUND;
    StmtReset reset{m_stmtLoadProp};
    sqlite3_bind_int64(m_stmtLoadProp, 1, nId);
    sqlite3_bind_int64(m_stmtLoadProp, 2, ulTag);
    const int rc = sqlite3_step(m_stmtLoadProp);
    if (rc == SQLITE_DONE)
        return MAPI_E_NOT_FOUND;
    if (rc != SQLITE_ROW) {
        LogSqlError("cannot be read");
        return MAPI_E_CALL_FAILED;
    }
    return ReadValue(m_stmtLoadProp, 0, ulTag, pProp) ? hrSuccess : MAPI_E_NOT_FOUND;
}

HRESULT WabStore::NextEntries(int64_t nAfterId, int nMax, std::vector<WabEntryRow>* pRows)
{
    pRows->clear();
    if (m_db == nullptr)
        return hrSuccess;
    StmtReset reset{m_stmtNextEntries};
    sqlite3_bind_int64(m_stmtNextEntries, 1, nAfterId);
    sqlite3_bind_int(m_stmtNextEntries, 2, nMax);
    int rc;
    int64_t nLastId = nAfterId;
    while ((rc = sqlite3_step(m_stmtNextEntries)) == SQLITE_ROW) {
        WabEntryRow row;
        row.nId = sqlite3_column_int64(m_stmtNextEntries, 0);
        if (row.nId <= nLastId) {
            // Ids that do not climb come from a damaged file; a walk of them
            // would never end.
            SetFailure(FailReason::Of(FailKind::Damaged, "its entries are out of order"));
            NoteLog("Address book %s cannot be read: %s", m_path.c_str(), FailReasonText(g_lastFailure).c_str());
            pRows->clear();
            return MAPI_E_CALL_FAILED;
        }
        nLastId = row.nId;
        row.lObjType = static_cast<LONG>(sqlite3_column_int(m_stmtNextEntries, 1));
        const void* pId = sqlite3_column_blob(m_stmtNextEntries, 2);
        row.entryId.assign(static_cast<const char*>(pId != nullptr ? pId : ""),
                           static_cast<size_t>(sqlite3_column_bytes(m_stmtNextEntries, 2)));
        pRows->push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        LogSqlError("cannot be read");
        pRows->clear();
        return MAPI_E_CALL_FAILED;
    }
    return hrSuccess;
}

HRESULT WabStore::LastEntryId(int64_t* pnId)
{
    *pnId = 0;
    if (m_db == nullptr)
        return hrSuccess;
    StmtReset reset{m_stmtLastId};
    if (sqlite3_step(m_stmtLastId) != SQLITE_ROW) {
        LogSqlError("cannot be read");
        return MAPI_E_CALL_FAILED;
    }
    *pnId = sqlite3_column_int64(m_stmtLastId, 0);
    return hrSuccess;
}

void WabStore::BeginReadBatch()
{
    // A deferred transaction: the read lock is taken by the first read.
    if (!m_bReadBatch && m_db != nullptr && sqlite3_get_autocommit(m_db) != 0)
        m_bReadBatch = Exec("BEGIN");
}

void WabStore::EndReadBatch()
{
    if (!m_bReadBatch)
        return;
    m_bReadBatch = false;
    // What was read ahead belongs to the batch's snapshot, and its memory
    // to the walk.
    StopScan();
    std::vector<ReadAheadSlot>().swap(m_readAhead);
    if (!Exec("COMMIT"))
        Exec("ROLLBACK");
}

HRESULT WabStore::BeginWriteBatch()
{
    m_bBatchWanted = true;
    return hrSuccess;
}

HRESULT WabStore::EndWriteBatch()
{
    m_bBatchWanted = false;
    return CommitWriteBatch();
}

// Commits the batch's transaction when one is open.
HRESULT WabStore::CommitWriteBatch()
{
    if (!m_bWriteBatch)
        return hrSuccess;
    m_bWriteBatch = false;
    if (!Exec("COMMIT")) {
        SetFailure(ReasonFromSqlite(sqlite3_extended_errcode(m_db), m_path, true, sqlite3_system_errno(m_db)));
        LogSqlError("cannot be written");
        Exec("ROLLBACK");
        return MAPI_E_CALL_FAILED;
    }
    // A batch is a transfer: the book stays open after it, so its log is
    // folded into the file now, as closing the book would, and the file on
    // its own holds the whole book while the program runs on.
    Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    return hrSuccess;
}

HRESULT WabStore::SaveEntry(WabEntryRow* pRow, const std::vector<WabProp>& props)
{
    EndReadBatch();
    const HRESULT hrWritable = EnsureWritable();
    if (HR_FAILED(hrWritable))
        return hrWritable;
    // The batch's transaction opens with its first entry, once the book is
    // writable; inside it each entry is a savepoint, alone a transaction.
    if (m_bBatchWanted && !m_bWriteBatch) {
        if (!Exec("BEGIN IMMEDIATE")) {
            SetFailure(ReasonFromSqlite(sqlite3_extended_errcode(m_db), m_path, true, sqlite3_system_errno(m_db)));
            LogSqlError("cannot be written");
            return MAPI_E_CALL_FAILED;
        }
        m_bWriteBatch = true;
    }
    // The two statements of every save of a batch are prepared once.
    const auto begin = [this] { return m_bWriteBatch ? Exec(m_stmtSavepoint) : Exec("BEGIN IMMEDIATE"); };
    const auto commit = [this] { return m_bWriteBatch ? Exec(m_stmtRelease) : Exec("COMMIT"); };
    const char* pszRollback = m_bWriteBatch ? "ROLLBACK TO entry" : "ROLLBACK";
    if (!begin()) {
        SetFailure(ReasonFromSqlite(sqlite3_extended_errcode(m_db), m_path, true, sqlite3_system_errno(m_db)));
        LogSqlError("cannot be written");
        return MAPI_E_CALL_FAILED;
    }
    WabEntryRow row = *pRow;
    bool bOk = true;
    if (row.nId == 0) {
        int64_t nLast = 0;
        bOk = HR_SUCCEEDED(LastEntryId(&nLast));
        if (bOk) {
            row.nId = nLast + 1;
            row.entryId = MakeEntryId(IdKind::Entry, row.nId);
            StmtReset reset{m_stmtInsertEntry};
            sqlite3_bind_int64(m_stmtInsertEntry, 1, row.nId);
            sqlite3_bind_int(m_stmtInsertEntry, 2, row.lObjType);
            sqlite3_bind_blob(m_stmtInsertEntry, 3, row.entryId.data(), static_cast<int>(row.entryId.size()),
                              SQLITE_STATIC);
            bOk = sqlite3_step(m_stmtInsertEntry) == SQLITE_DONE;
        }
    }
    for (size_t i = 0; bOk && i < props.size(); ++i) {
        const WabProp& prop = props[i];
        StmtReset reset{m_stmtPutProp};
        sqlite3_bind_int64(m_stmtPutProp, 1, row.nId);
        sqlite3_bind_int64(m_stmtPutProp, 2, prop.ulTag);
        if (IsByteType(prop.ulTag))
            sqlite3_bind_blob(m_stmtPutProp, 3, prop.bytes.data(), static_cast<int>(prop.bytes.size()), SQLITE_STATIC);
        else
            sqlite3_bind_int64(m_stmtPutProp, 3, prop.nValue);
        bOk = sqlite3_step(m_stmtPutProp) == SQLITE_DONE;
    }
    if (bOk)
        bOk = commit();
    if (!bOk) {
        SetFailure(ReasonFromSqlite(sqlite3_extended_errcode(m_db), m_path, true, sqlite3_system_errno(m_db)));
        LogSqlError("cannot be written");
        Exec(pszRollback);
        if (m_bWriteBatch)
            Exec(m_stmtRelease);
        return MAPI_E_CALL_FAILED;
    }
    *pRow = row;
    return hrSuccess;
}

// Starts the pass at the first row of entry nId or after it.
bool WabStore::SeekScan(int64_t nId)
{
    sqlite3_reset(m_stmtScanProps);
    sqlite3_bind_int64(m_stmtScanProps, 1, nId);
    m_bScanOpen = true;
    m_nScanFrom = nId;
    m_nScanEntry = nId;
    return StepScan();
}

// Moves the pass to its next row whose entry is an integer, the only rows
// the query by entry finds. False when the table cannot be read so, or its
// entries do not climb (a damaged file): the pass is given up.
bool WabStore::StepScan()
{
    for (;;) {
        const int rc = sqlite3_step(m_stmtScanProps);
        if (rc == SQLITE_DONE) {
            m_bScanRow = false;
            return true;
        }
        if (rc != SQLITE_ROW) {
            StopScan();
            return false;
        }
        if (sqlite3_column_type(m_stmtScanProps, 0) != SQLITE_INTEGER)
            continue;
        const int64_t nEntry = sqlite3_column_int64(m_stmtScanProps, 0);
        if (nEntry < m_nScanEntry) {
            StopScan();
            return false;
        }
        m_bScanRow = true;
        m_nScanEntry = nEntry;
        return true;
    }
}

void WabStore::StopScan()
{
    if (m_stmtScanProps != nullptr)
        sqlite3_reset(m_stmtScanProps);
    m_bScanOpen = false;
    m_bScanRow = false;
}

bool WabStore::ReadAhead(const WabEntryRow& row, WabPropRange* pProps)
{
    if (!m_bReadBatch || m_stmtScanProps == nullptr || row.nId <= 0)
        return false;
    if (m_readAhead.empty())
        m_readAhead.resize(kReadAheadSlots);
    ReadAheadSlot& slot = m_readAhead[static_cast<uint64_t>(row.nId) % kReadAheadSlots];
    slot.bKept = false;

    const int64_t nId = row.nId;
    if (m_bScanOpen && nId >= m_nScanFrom) {
        for (int nSkipped = 0; m_bScanRow && m_nScanEntry < nId && nSkipped < kMaxScanSkip; ++nSkipped) {
            if (!StepScan())
                return false;
        }
    }
    if (!m_bScanOpen || nId < m_nScanFrom || (m_bScanRow && m_nScanEntry < nId)) {
        if (!SeekScan(nId))
            return false;
    }
    // The current row is the first of entry nId, or of a later one.
    size_t nProps = 0;
    ULONG ulLastTag = 0;
    bool bInOrder = true;
    while (m_bScanRow && m_nScanEntry == nId) {
        const ULONG ulTag = static_cast<ULONG>(sqlite3_column_int64(m_stmtScanProps, 1));
        if (nProps == slot.props.size())
            slot.props.emplace_back();
        WabProp& prop = slot.props[nProps];
        prop.nValue = 0;
        prop.bytes.clear();
        if (ReadValue(m_stmtScanProps, 2, ulTag, &prop)) {
            bInOrder = bInOrder && (nProps == 0 || ulTag > ulLastTag);
            ulLastTag = ulTag;
            ++nProps;
        }
        if (!StepScan())
            return false;
    }
    m_nScanFrom = nId + 1;
    // Tags out of order (stored as something other than integers) are left
    // to the reader that sorts them.
    if (!bInOrder)
        return false;
    slot.bKept = true;
    slot.row = row;
    slot.nProps = nProps;
    pProps->pFirst = slot.props.data();
    pProps->nCount = nProps;
    return true;
}

bool WabStore::ReadAheadOf(int64_t nId, WabPropRange* pProps) const
{
    if (!m_bReadBatch || m_readAhead.empty() || nId <= 0)
        return false;
    const ReadAheadSlot& slot = m_readAhead[static_cast<uint64_t>(nId) % kReadAheadSlots];
    if (!slot.bKept || slot.row.nId != nId)
        return false;
    pProps->pFirst = slot.props.data();
    pProps->nCount = slot.nProps;
    return true;
}
